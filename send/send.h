// send.h - the Send command and its worker threads.
#ifndef TOLVIK_SEND_H
#define TOLVIK_SEND_H

#include <windows.h>

// The Send command (IDC_SEND), in Sender mode: reads the recipient line and the message, and
// starts the first worker; a Send while another runs is refused on the status line. This and the
// two below return true when the call ended the Send (every name's outcome is known): the caller
// then brings Send back.
bool send_command(HWND hwnd);

// Loads what a send needs (netapi32.dll), which start-up leaves out; the first Send does it
// otherwise.
void send_prepare();

// Timer TIMER_SEND_NEXT: starts the worker of the next name of the running Send.
bool send_on_timer(HWND hwnd);

// WM_SENDREPORT, posted by a worker: wParam its Send's generation, lParam its place (low word)
// and whether it has ended (high word). Shows its line; the last end sums up the Send.
bool send_on_report(WPARAM generation, LPARAM place);

// Start-up: what the workers share is made ready before the first Send.
void send_init();

// Exit, after the window is gone: waits up to timeoutMs for running send workers, and frees what
// they share once none runs any more.
void send_end(DWORD timeoutMs);

#endif
