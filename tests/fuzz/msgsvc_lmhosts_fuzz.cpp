// Fuzz target: arbitrary LMHOSTS text; every entry kept is a valid name and address that lookup finds.
#include "msgsvc/core/lmhosts.h"
#include "msgsvc/core/nbname.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

using namespace msgsvc;

namespace {

void require(bool ok)
{
    if (!ok)
        std::abort();
}

std::string dotted(uint32_t a)
{
    return std::to_string(a >> 24) + "." + std::to_string((a >> 16) & 0xFF) + "." + std::to_string((a >> 8) & 0xFF) +
           "." + std::to_string(a & 0xFF);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size)
{
    if (size > 16384)
        return 0;
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    const auto entries = parse_lmhosts(text);
    require(entries.size() <= size / 4);
    for (const LmhostsEntry &e : entries) {
        require(!e.name.empty() && e.name.size() <= kNameBytes);
        require(e.name == canonical_name(e.name, ascii_name_case()));
        require(parse_ipv4(dotted(e.ipv4)) == e.ipv4);
        // Some entry for this name answers (an earlier one may shadow this one).
        require(lmhosts_lookup(entries, e.name, e.suffix.value_or(kSuffixMessenger), ascii_name_case()).has_value());
    }
    // Any single line also parses on its own to at most one entry.
    const std::size_t nl = text.find('\n');
    require(parse_lmhosts(text.substr(0, nl)).size() <= 1);
    return 0;
}
