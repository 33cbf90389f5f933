// service.h - the two halves of msgsvc.exe and what they share: the network thread (service_net.cpp), which owns
// every socket and connection, and the popup side (service_popup.cpp), which shows the messages on the
// user-interface thread.
#ifndef TOLVIK_MSGSVC_SERVICE_H
#define TOLVIK_MSGSVC_SERVICE_H

#include "msgsvc/core/admission.h"
#include "msgsvc/win/config_file.h"
#include "msgsvc/win/log_file.h"
#include "msgsvc/win/socket.h"

#include <string>
#include <vector>

namespace msgsvc {

// Set up by WinMain before the network thread starts; read-only afterwards.
struct ServiceShared {
    ServiceConfig cfg;
    std::vector<std::string> names;  // cfg.names() in their canonical form (canonical_name)
    NameCase name_case;              // how the OEM code page upper-cases names (oem_name_case)
    HWND window = nullptr;           // the popup side's message-only window
    HANDLE stop = nullptr;           // manual-reset event: set when the service is to end
};

// ---- Popup side (user-interface thread) ------------------------------------------------------------------

// The running service's window in this Windows session (what --stop closes); nullptr when none runs.
HWND popups_find_running();

// Creates the message-only window (s.window) with room for s.cfg.popups popups; false when it cannot.
bool popups_open(ServiceShared &s, HINSTANCE inst);

// The network thread: hands a popup's text from `source` to the user-interface thread, when the popup room
// (PopupRoom) has a place for it. Taken: the popup will be shown, and frees its place when it closes. Otherwise
// nothing was handed over: Full or ShareUsed as the room says, or Full when the window does not take it.
RoomVerdict popup_post(ServiceShared &s, uint32_t source, const std::string &text);

// The main window of a Tolvik running in this session, to be told of popups; nullptr when none runs.
HWND hint_target();

// Tells that Tolvik that popup holds its text now; false when it could not be told.
bool popup_hint(HWND tolvik, HWND popup);

// Runs the user-interface thread until WM_CLOSE reaches the window.
void popups_run(ServiceShared &s);

// ---- Network side -----------------------------------------------------------------------------------------

// Opens the session port and, as configured, the name service and WINS sockets, logs "listening on ...", and
// starts the network thread, which ends (after releasing our names at the WINS servers) once s.stop is set.
// nullptr when the session port cannot be opened: error is then the Winsock error.
HANDLE net_start(ServiceShared &s, int &error);

} // namespace msgsvc

#endif
