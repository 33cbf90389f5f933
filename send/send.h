// send.h - the Send command and its worker threads.
#ifndef TOLVIK_SEND_H
#define TOLVIK_SEND_H

#include <windows.h>

void send_command(HWND hwnd);

// Loads what a send needs (netapi32.dll), which start-up leaves out; the first Send does it
// otherwise.
void send_prepare();

// A worker's request to the main window (message WM_SENDLOG) to insert or set its line of the
// send log; honoured only while its Send command is the latest. Lines stand in the order of
// their names in the recipient line (`order`), whichever worker comes first.
struct SendLogRequest {
    LONG generation;
    int order;
    bool insert;
    const char *text;
    int image;
};
LRESULT send_log_on_message(const SendLogRequest &request);

// Waits up to timeoutMs for running send workers; true when none runs any more.
bool send_wait_for_workers(DWORD timeoutMs);

#endif
