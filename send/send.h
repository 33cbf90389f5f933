// send.h - the Send command and its worker threads.
#ifndef TOLVIK_SEND_H
#define TOLVIK_SEND_H

#include <windows.h>

void send_command(HWND hwnd);

// A worker's request to the main window (message WM_SENDLOG) to insert (index -1) or set a
// line of the send log; honoured only while its Send command is the latest.
struct SendLogRequest {
    LONG generation;
    int index;
    const char *text;
    int image;
};
LRESULT send_log_on_message(const SendLogRequest &request);

// Waits up to timeoutMs for running send workers; true when none runs any more.
bool send_wait_for_workers(DWORD timeoutMs);

#endif
