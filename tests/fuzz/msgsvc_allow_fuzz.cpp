// Fuzz target: arbitrary `allow` lists. A list parses whole or not at all: every item gives one network whose
// mask is a prefix and whose base has no host bits, and that network written out parses back to itself.
#include "msgsvc/core/admission.h"

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

std::size_t items(std::string_view text)
{
    std::size_t n = 0;
    bool in_item = false;
    for (char c : text) {
        const bool sep = c == ',' || c == ';' || c == ' ' || c == '\t';
        n += !sep && !in_item;
        in_item = !sep;
    }
    return n;
}

std::string written(const Network &n)
{
    unsigned bits = 0;
    while (bits < 32 && (n.mask << bits) & 0x80000000u)
        ++bits;
    return std::to_string(n.base >> 24) + "." + std::to_string((n.base >> 16) & 255) + "." +
           std::to_string((n.base >> 8) & 255) + "." + std::to_string(n.base & 255) + "/" + std::to_string(bits);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size)
{
    if (size > 4096)
        return 0;
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    const auto nets = parse_networks(text);
    if (!nets)
        return 0;
    require(nets->size() == items(text));
    for (const Network &n : *nets) {
        require((~n.mask & (~n.mask + 1)) == 0);  // ones, then zeros
        require((n.base & ~n.mask) == 0);
        require(network_allows({n}, n.base) && network_allows({n}, n.base | ~n.mask));
        const auto back = parse_networks(written(n));
        require(back && back->size() == 1 && (*back)[0].base == n.base && (*back)[0].mask == n.mask);
    }
    return 0;
}
