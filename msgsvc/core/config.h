// config.h - the settings of the message service and its sender (msgsvc.ini), and the parsing of that file's text.
#ifndef TOLVIK_MSGSVC_CONFIG_H
#define TOLVIK_MSGSVC_CONFIG_H

#include "msgsvc/core/admission.h"
#include "msgsvc/core/sender.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace msgsvc {

struct Endpoint {
    uint32_t ipv4 = 0;  // host order
    uint16_t port = 0;
};

// The port of a name (WINS) server given without one: where every name server listens. Never our own name port,
// which may be another one on this computer only.
constexpr uint16_t kNameServerPort = 137;

// The largest msgsvc.ini read; a longer file is refused rather than read in part.
constexpr std::size_t kMaxConfigText = 65536;

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
    std::vector<Network> allow = default_networks();  // source networks whose sessions are accepted
    unsigned rate = 10;          // messages per source per minute
    unsigned connections = 32;   // simultaneous connections
    unsigned per_source = 4;     // simultaneous connections from one source address
    unsigned idle_ms = 5000;     // a connection silent this long is closed
    unsigned session_ms = 30000; // no connection lives longer
    unsigned popups = 64;        // popups open at once; messages beyond are refused
    bool name_service = true;    // answer name queries for our names on UDP 137
    uint16_t name_port = 137;
    std::string log_path;        // empty: OutputDebugString only
    unsigned log_kb = 1024;      // the log is renamed to <log>.1 (replacing it) when it reaches this size

    // [resolve]
    std::string lmhosts_path;
    std::vector<Endpoint> name_servers;  // also the WINS servers the service registers its names with; port 137
                                         // unless given
    bool broadcast = true;
    bool dns = true;
    unsigned timeout_ms = 3000;  // the longest any one network wait of a send may take
    unsigned deadline_ms = 5000; // one whole send, look-up included (never less than timeout_ms)
    SendStyle style = SendStyle::MultiBlock;

    // Our names, in the order user, computer, aliases (empty ones left out).
    std::vector<std::string> names() const;
};

// Reads the text of msgsvc.ini into c, over the defaults it holds; c.dir must be set (relative paths start
// there, and log and lmhosts default to files in it). Sections [service] and [resolve]; "key=value" lines,
// keys and sections in any case, blanks around them ignored, a value in double quotes taken without them;
// blank lines and lines starting with ';' or '#' are skipped. An empty value keeps the default (for log and
// lmhosts: none). Returns one message per line that does not parse and per value that does not fit, e.g.
// "line 9: rate=ten: not a number from 0 to 100000"; the settings of those lines keep their defaults, and the
// service does not start on them. Unknown sections and keys, and keys given twice, are errors too.
std::vector<std::string> parse_config(std::string_view text, ServiceConfig &c);

} // namespace msgsvc

#endif
