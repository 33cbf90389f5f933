// admission.h - what the message service lets in: allowed source networks, the per-source message rate and
// connection count, the room for popups, which connection gives way to a new one, and names checked whole.
#ifndef TOLVIK_MSGSVC_ADMISSION_H
#define TOLVIK_MSGSVC_ADMISSION_H

#include "msgsvc/core/nbname.h"

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

// Open connections per source address, for the per-source limit; a source with none is not kept.
struct SourceCounts {
    unsigned limit = 4;
    std::map<uint32_t, unsigned> open;
};
// Counts one more connection from source; false (nothing counted) when it already has `limit` open.
bool source_take(SourceCounts &s, uint32_t source);
void source_release(SourceCounts &s, uint32_t source);

// The popups open at once: at most `room`, and from one source address at most its share of them
// (popup_share), so that one sender cannot take the room from the others.
struct PopupRoom {
    unsigned room = 64;
    unsigned open = 0;
    SourceCounts sources;  // limit: popup_share(room)
};
// A quarter of the room, at least one.
unsigned popup_share(unsigned room);
PopupRoom make_popup_room(unsigned room);

enum class RoomVerdict : uint8_t {
    Taken,      // counted: the popup may be shown
    Full,       // every place is taken
    ShareUsed,  // the source already has its share open
};
RoomVerdict popup_take(PopupRoom &r, uint32_t source);
// A popup of source has closed (or could not be shown).
void popup_release(PopupRoom &r, uint32_t source);

// Which open connection gives its place to a new one when the table is full: the one that has done least for
// longest, that is whose last step of a message (or, before any, its opening) is the oldest - provided that
// was at least min_idle_ms ago, so that a message under way is never cut off for a newcomer. progress holds
// those times (ms), one per connection; nullopt when none qualifies.
std::optional<std::size_t> connection_to_replace(const std::vector<uint64_t> &progress, uint64_t now_ms,
                                                 uint64_t min_idle_ms);

// Whether a From or To name is acceptable whole: after trailing padding (spaces, NULs) 1 to 15 bytes, none of
// them a control character.
bool valid_message_name(std::string_view name);

// Whether name is one of ours: a valid name (see above) equal to one of them as NetBIOS names are compared
// (same_name, upper-cased by `by`).
bool is_our_name(const std::vector<std::string> &names, std::string_view name, const NameCase &by);

} // namespace msgsvc

#endif
