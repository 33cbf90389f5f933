// send.h - the Send command and its worker threads.
#ifndef TOLVIK_SEND_H
#define TOLVIK_SEND_H

#include <windows.h>

void send_command(HWND hwnd);

// Waits up to timeoutMs for running send workers; true when none runs any more.
bool send_wait_for_workers(DWORD timeoutMs);

#endif
