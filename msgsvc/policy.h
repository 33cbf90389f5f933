// policy.h - what the message service lets in and how it shows it: allowed source networks, the per-source
// message rate, the session-request gate on our own names, and the text of a Messenger popup.
#ifndef TOLVIK_MSGSVC_POLICY_H
#define TOLVIK_MSGSVC_POLICY_H

#include "msgsvc/bytes.h"
#include "msgsvc/nbname.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace msgsvc {

// An IPv4 network; addresses in host order (127.0.0.1 is 0x7F000001).
struct Network {
    uint32_t base = 0;
    uint32_t mask = 0;
};

// Parses "A.B.C.D[/N]" items separated by commas, semicolons or blanks ("any" allows every address). A bare
// address is a /32; host bits under the mask are ignored. nullopt when any item is malformed, so that a typo
// never widens what is allowed.
std::optional<std::vector<Network>> parse_networks(std::string_view text);

// Loopback and the private ranges: 127.0.0.0/8, 10.0.0.0/8, 172.16.0.0/12, 192.168.0.0/16.
std::vector<Network> default_networks();

bool network_allows(const std::vector<Network> &allowed, uint32_t ipv4);

// At most per_minute messages from one source address in any 60 seconds. Memory stays bounded: stamps older
// than a minute are dropped, and at most max_sources addresses are tracked (the stalest is forgotten first).
struct RateLimiter {
    unsigned per_minute = 10;
    std::size_t max_sources = 4096;
    std::map<uint32_t, std::deque<uint64_t>> stamps;  // per source, in increasing time (ms)
};

// Whether source may deliver one more message at now_ms; records the delivery when it may.
bool rate_admit(RateLimiter &r, uint32_t source, uint64_t now_ms);
// Whether source has used up its minute at now_ms (records nothing).
bool rate_exhausted(RateLimiter &r, uint32_t source, uint64_t now_ms);

// Decision on the first bytes of a connection.
enum class GateVerdict : uint8_t {
    NeedMore,  // a session request has begun but is not complete
    Pass,      // no session request (plain TCP) or a malformed one: the connection's own state machine decides
    Accept,    // a session request for one of our names with the messenger suffix
    Refuse,    // a well-formed session request for anyone else: answer "called name not present" and close
};
struct Gate {
    GateVerdict verdict = GateVerdict::NeedMore;
    NetbiosName called;  // set with Accept and Refuse
};
// names: our names (any case, OEM bytes); compared as NetBIOS names.
Gate session_gate(ByteView first, const std::vector<std::string> &names);

// Whether name is one of ours (case-insensitive, by the first 15 bytes).
bool is_our_name(const std::vector<std::string> &names, std::string_view name);

// The text of a Messenger popup: "Message from FROM to TO on WHEN", CR LF CR LF, then the text, cut to
// max_chars characters; with russian the Windows-1251 header "Сообщение от FROM для TO на WHEN". All inputs
// are already in the display code page.
std::string popup_text(bool russian, std::string_view from, std::string_view to, std::string_view when,
                       std::string_view text, std::size_t max_chars = 1023);

// Popup titles (the trailing space is part of them).
constexpr std::string_view kPopupTitle = "Messenger service ";
constexpr std::string_view kPopupTitleRussian = "\xD1\xEB\xF3\xE6\xE1\xE0 \xF1\xEE\xEE\xE1\xF9\xE5\xED\xE8\xE9 ";

} // namespace msgsvc

#endif
