// service_main.cpp - msgsvc.exe: the receiving message service. Accepts messenger sessions for its own names on
// the session service port, answers name queries for them, registers them with the WINS servers, and shows every
// message in a Messenger popup. The network thread (service_net.cpp) and the popup side (service_popup.cpp) do
// the work; this file starts and ends them.
//
// Usage: msgsvc.exe [--ini PATH] [--quiet]   (default: msgsvc.ini beside the program; every key is optional)
//        msgsvc.exe --stop                   ends the running service of this Wine prefix or Windows session
// Without --quiet, a service that cannot start also says why in a message box (for a user who started it by
// hand); the log says it always. Exit code: 0 when ended by WM_CLOSE, 1 when it could not start.
#include "msgsvc/service/service.h"

#include <cstring>
#include <string>

using namespace msgsvc;

namespace {

constexpr char kCaption[] = "Tolvik message service";
constexpr std::size_t kErrorsShown = 10;  // of msgsvc.ini's errors, in the log and the message box

bool has_option(const char *name)
{
    for (int i = 1; i < __argc; ++i)
        if (!std::strcmp(__argv[i], name))
            return true;
    return false;
}

std::string ini_from_command_line()
{
    for (int i = 1; i + 1 < __argc; ++i)
        if (!std::strcmp(__argv[i], "--ini"))
            return __argv[i + 1];
    return module_dir(nullptr) + "msgsvc.ini";
}

// Says why the service does not start: in the log, and to the user unless --quiet.
int cannot_start(const ServiceConfig &cfg, const std::string &why, const std::string &advice)
{
    log_line(cfg, "cannot start: %s", why.c_str());
    if (!has_option("--quiet"))
        MessageBoxA(nullptr, ("The message service cannot start: " + why + ".\n\n" + advice).c_str(), kCaption,
                    MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
    return 1;
}

int cannot_listen(const ServiceConfig &cfg, int error)
{
    const std::string at = "TCP " + ip_text(cfg.address) + ":" + std::to_string(cfg.port);
    if (error != WSAEADDRINUSE && error != WSAEACCES)
        return cannot_start(cfg, "cannot listen on " + at + " (error " + std::to_string(error) + ")",
                            "Check the address and port in " + cfg.ini_path + ".");
    return cannot_start(
        cfg,
        "cannot listen on " + at + ": the port is in use by another program" +
            (cfg.port == 139 ? " (on Windows, File and Printer Sharing holds port 139)" : ""),
        "To receive messages on this computer, turn off \"NetBIOS over TCP/IP\" for its network connection "
        "(connection properties, Internet Protocol Version 4, Advanced, WINS), or set another port= in " +
            cfg.ini_path + " (every sender must then use that port), and start the service again.");
}

} // namespace

int WINAPI WinMain(HINSTANCE inst, HINSTANCE, LPSTR, int)
{
    if (__argc > 1 && !std::strcmp(__argv[1], "--stop")) {
        HWND running = popups_find_running();
        if (running)
            PostMessageA(running, WM_CLOSE, 0, 0);
        return running ? 0 : 1;
    }
    LoadedConfig loaded = load_config_checked(ini_from_command_line());
    ServiceShared s;
    s.cfg = std::move(loaded.cfg);
    if (!loaded.errors.empty()) {
        std::string list;
        const std::size_t shown = loaded.errors.size() < kErrorsShown ? loaded.errors.size() : kErrorsShown;
        for (std::size_t i = 0; i < shown; ++i) {
            log_line(s.cfg, "%s: %s", s.cfg.ini_path.c_str(), loaded.errors[i].c_str());
            list += "\n" + loaded.errors[i];
        }
        if (loaded.errors.size() > shown)
            list += "\n(and " + std::to_string(loaded.errors.size() - shown) + " more)";
        return cannot_start(s.cfg, s.cfg.ini_path + " has values that do not parse or fit:" + list,
                            "Correct them (the README lists every key) and start the service again.");
    }
    s.name_case = oem_name_case();
    for (const std::string &name : s.cfg.names())
        s.names.push_back(canonical_name(name, s.name_case));
    WSADATA wsa;
    if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0)
        return cannot_start(s.cfg, "Winsock does not start", "");
    s.stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!s.stop || !popups_open(s, inst))
        return cannot_start(s.cfg, "no window (error " + std::to_string(GetLastError()) + ")", "");
    int error = 0;
    HANDLE thread = net_start(s, error);
    if (!thread)
        return cannot_listen(s.cfg, error);
    popups_run(s);
    SetEvent(s.stop);
    WaitForSingleObject(thread, 5000);
    CloseHandle(thread);
    log_line(s.cfg, "stopped");
    return 0;
}
