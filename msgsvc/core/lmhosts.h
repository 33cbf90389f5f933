// lmhosts.h - static name-to-address table in LMHOSTS form, and dotted-quad IPv4 parsing.
#ifndef TOLVIK_MSGSVC_LMHOSTS_H
#define TOLVIK_MSGSVC_LMHOSTS_H

#include "msgsvc/core/nbname.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace msgsvc {

struct LmhostsEntry {
    uint32_t ipv4 = 0;              // host order
    std::string name;               // ASCII letters upper-cased, no padding, 1..15 bytes
    std::optional<uint8_t> suffix;  // set only by "NAME#XX" or a quoted 16-byte name; unset matches every suffix
    bool preload = false;           // #PRE was given
};

// Strict dotted quad: four decimal parts 0..255 of one to three digits without leading zeros, nothing else.
std::optional<uint32_t> parse_ipv4(std::string_view text);

// Parses the file text. A line is "IP NAME [#PRE] [#DOM:domain] [#MH] [#comment...]"; NAME may be
// "NAME#XX" (hex suffix) or quoted with \0xHH escapes ("NAME<pad to 15>\0x03" gives a suffix). Lines starting
// with '#' (comments, #INCLUDE, #BEGIN_ALTERNATE, #END_ALTERNATE) and blank lines are skipped, and so is any
// line that does not fit the form. CR LF and LF line ends are accepted.
std::vector<LmhostsEntry> parse_lmhosts(std::string_view text);

// Address of the first entry for name<suffix>, names compared as NetBIOS names are (same_name, upper-cased by
// `by`).
std::optional<uint32_t> lmhosts_lookup(const std::vector<LmhostsEntry> &entries, std::string_view name,
                                       uint8_t suffix, const NameCase &by);

} // namespace msgsvc

#endif
