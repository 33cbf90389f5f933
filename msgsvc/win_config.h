// win_config.h - the message service's configuration (msgsvc.ini beside the program or DLL), its log, and the
// Winsock helpers that the service and the sending DLL share.
#ifndef TOLVIK_MSGSVC_WIN_CONFIG_H
#define TOLVIK_MSGSVC_WIN_CONFIG_H

#ifndef FD_SETSIZE
#define FD_SETSIZE 256
#endif
#include <winsock2.h>
#include <windows.h>

#include "msgsvc/config.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace msgsvc {

// Reads ini_path (see parse_config); a missing file keeps every default. The user and computer names default
// to GetUserNameA and GetComputerNameA (cut to 15 characters, as NetBIOS names are); all names are converted
// to the OEM code page. What does not parse or fit is listed in `errors`, the rest is read.
struct LoadedConfig {
    ServiceConfig cfg;
    std::vector<std::string> errors;  // each "line N: ..." or a reading failure; the service does not start
};
LoadedConfig load_config_checked(const std::string &ini_path);
// The same, for readers that go on with the defaults of what does not parse (the sending DLL).
ServiceConfig load_config(const std::string &ini_path);

// Directory of a module (nullptr: the program), with a trailing backslash.
std::string module_dir(HMODULE module);

// Appends one time-stamped line to the log file (when configured) and to the debugger output. Control
// characters in the text are escaped (escape_controls), so that one call is one line. A log that would pass
// cfg.log_kb is first renamed to <log>.1, replacing the one before.
void log_line(const ServiceConfig &cfg, const char *fmt, ...);

// "a.b.c.d" of a host-order address.
std::string ip_text(uint32_t ipv4);

// How the system's OEM code page upper-cases names (see NameCase): each one-byte character upper-cased in
// Unicode and converted back, where the code page holds the result.
NameCase oem_name_case();

// ANSI (system code page) to OEM and back, byte strings of the same length.
std::string ansi_to_oem(const std::string &s);
std::string oem_to_ansi(const std::string &s);

sockaddr_in make_sockaddr(uint32_t ipv4, uint16_t port);
void set_nonblocking(SOCKET s, bool on);
// Waits at most ms until s is readable (or writable). Failed: select put it in the except set, as Windows
// does with a connect that failed.
enum class Readiness : uint8_t { Ready, Failed, TimedOut };
Readiness socket_readiness(SOCKET s, bool write, unsigned ms);
// The same; true when s is ready.
bool wait_socket(SOCKET s, bool write, unsigned ms);

// A transaction id from the system's random source, so that a forged answer has to guess it; nullopt when the
// source fails.
std::optional<uint16_t> random_id();

} // namespace msgsvc

#endif
