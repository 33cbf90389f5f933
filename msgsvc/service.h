// service.h - the two halves of msgsvc.exe and what they share: the network thread (service_net.cpp), which owns
// every socket and connection, and the popup side (service_popup.cpp), which shows the messages on the
// user-interface thread.
#ifndef TOLVIK_MSGSVC_SERVICE_H
#define TOLVIK_MSGSVC_SERVICE_H

#include "msgsvc/win_config.h"

#include <string>
#include <vector>

namespace msgsvc {

// Set up by WinMain before the network thread starts; read-only afterwards, but for `popups`.
struct ServiceShared {
    ServiceConfig cfg;
    std::vector<std::string> names;  // cfg.names()
    HWND window = nullptr;           // the popup side's message-only window
    volatile LONG popups = 0;        // popups open or on their way to the screen (Interlocked)
    HANDLE stop = nullptr;           // manual-reset event: set when the service is to end
};

// ---- Popup side (user-interface thread) ------------------------------------------------------------------

// The running service's window in this Windows session (what --stop closes); nullptr when none runs.
HWND popups_find_running();

// Creates the message-only window (s.window); false when it cannot.
bool popups_open(ServiceShared &s, HINSTANCE inst);

// Any thread: hands a popup's text to the user-interface thread. The caller has counted it in s.popups;
// false when it could not be handed over (the count is then the caller's to take back).
bool popup_post(ServiceShared &s, const std::string &text);

// Tells a Tolvik running in this session that popup holds its text now; false when none was told.
bool popup_hint(HWND popup);

// Runs the user-interface thread until WM_CLOSE reaches the window; each popup takes itself out of s.popups
// when it closes.
void popups_run(ServiceShared &s);

// ---- Network side -----------------------------------------------------------------------------------------

// Opens the session port and, as configured, the name service and WINS sockets, logs "listening on ...", and
// starts the network thread, which ends (after releasing our names at the WINS servers) once s.stop is set.
// nullptr when the session port cannot be opened: error is then the Winsock error.
HANDLE net_start(ServiceShared &s, int &error);

} // namespace msgsvc

#endif
