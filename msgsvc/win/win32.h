// win32.h - the Windows headers of the message service's Win32 side, in the order Winsock needs them:
// FD_SETSIZE before winsock2.h (the service selects on more sockets than the default 64), winsock2.h before
// windows.h.
#ifndef TOLVIK_MSGSVC_WIN32_H
#define TOLVIK_MSGSVC_WIN32_H

#ifndef FD_SETSIZE
#define FD_SETSIZE 256
#endif
#include <winsock2.h>
#include <windows.h>

#endif
