// win_config.h - the message service's configuration (msgsvc.ini beside the program or DLL), its log, and the
// Winsock helpers that the service and the sending DLL share.
#ifndef TOLVIK_MSGSVC_WIN_CONFIG_H
#define TOLVIK_MSGSVC_WIN_CONFIG_H

#ifndef FD_SETSIZE
#define FD_SETSIZE 256
#endif
#include <winsock2.h>
#include <windows.h>

#include "msgsvc/policy.h"
#include "msgsvc/sender.h"

#include <cstdint>
#include <string>
#include <vector>

namespace msgsvc {

struct Endpoint {
    uint32_t ipv4 = 0;  // host order
    uint16_t port = 0;
};

// Every setting with its default; see the README's section on the message service for the INI keys.
struct ServiceConfig {
    std::string ini_path;  // the file read (it may not exist: then every default holds)
    std::string dir;       // its directory, with a trailing backslash; relative paths below start here

    // [service]
    uint32_t address = 0;     // listening address; 0 = every local address
    uint16_t port = 139;      // session service port, also the port messages are sent to
    std::string user;         // messenger names (OEM): the user's, the computer's and any others
    std::string computer;
    std::vector<std::string> aliases;
    std::vector<Network> allow;  // source networks whose sessions are accepted
    bool allow_valid = true;     // false when allow= did not parse: then nothing is accepted
    unsigned rate = 10;          // messages per source per minute
    unsigned connections = 32;   // simultaneous connections
    unsigned idle_ms = 5000;     // a connection silent this long is closed
    unsigned session_ms = 30000; // no connection lives longer
    unsigned popups = 64;        // popups open at once; messages beyond are logged and dropped
    bool name_service = true;    // answer name queries for our names on UDP 137
    uint16_t name_port = 137;
    std::string log_path;        // empty: OutputDebugString only

    // [resolve]
    std::string lmhosts_path;
    std::vector<Endpoint> name_servers;
    bool broadcast = true;
    bool dns = true;
    unsigned timeout_ms = 3000;  // the longest any one network wait of a send may take
    unsigned deadline_ms = 5000; // one whole send, look-up included (never less than timeout_ms)
    SendStyle style = SendStyle::MultiBlock;

    // Our names, in the order user, computer, aliases (empty ones left out).
    std::vector<std::string> names() const;
};

// Reads ini_path; a missing file or key keeps the default. Names default to GetUserNameA and
// GetComputerNameA, converted to the OEM code page.
ServiceConfig load_config(const std::string &ini_path);

// Directory of a module (nullptr: the program), with a trailing backslash.
std::string module_dir(HMODULE module);

// Appends one time-stamped line to the log file (when configured) and to the debugger output.
void log_line(const ServiceConfig &cfg, const char *fmt, ...);

// "a.b.c.d" of a host-order address.
std::string ip_text(uint32_t ipv4);

// ANSI (system code page) to OEM and back, byte strings of the same length.
std::string ansi_to_oem(const std::string &s);
std::string oem_to_ansi(const std::string &s);

sockaddr_in make_sockaddr(uint32_t ipv4, uint16_t port);
void set_nonblocking(SOCKET s, bool on);
// Waits until s is readable (or writable) for at most ms; true when it is.
bool wait_socket(SOCKET s, bool write, unsigned ms);

} // namespace msgsvc

#endif
