// Fuzz target: message text parsing never overruns its buffers and never loses the text.
#include "receive/msgtext.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace {

bool fuzz_eq(char a, char b)
{
    auto fold = [](char c) { return c == '\xF1' ? '\xD1' : c; };
    return fold(a) == fold(b);
}

void require(bool ok)
{
    if (!ok)
        std::abort();
}

bool terminated(const char *buf, std::size_t cap) { return std::memchr(buf, '\0', cap) != nullptr; }

// The field text starts one separator after its token and the next token (or the header's
// LF) follows one separator after the field: the parse reconstructs the header exactly.
void check_field(std::string_view full, std::size_t token_pos, std::size_t skip, const char *field,
                 std::size_t next_pos)
{
    const std::size_t len = std::strlen(field);
    require(full.substr(token_pos + skip, len) == field);
    require(next_pos == token_pos + skip + len + 1);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size > 4096)
        return 0;
    const std::string_view full(reinterpret_cast<const char *>(data), size);
    ParsedMessage out;
    std::memset(&out, 0x5A, sizeof out);
    const bool parsed = parse_message_text(full, fuzz_eq, out);

    require(terminated(out.from, sizeof out.from) && terminated(out.to, sizeof out.to) &&
            terminated(out.time, sizeof out.time) && terminated(out.message, sizeof out.message));

    if (!parsed) {
        const std::size_t n = size < kMsgBodyCap - 1 ? size : kMsgBodyCap - 1;
        require(out.from[0] == '\0' && out.to[0] == '\0' && out.time[0] == '\0');
        require(std::memcmp(out.message, data, n) == 0 && out.message[n] == '\0');
        return 0;
    }

    // Embedded zeros shorten the C strings, so the exact reconstruction needs a text without them.
    if (full.find('\0') != std::string_view::npos)
        return 0;
    const bool russian = fuzz_eq(full[0], kRussianMark);
    const std::size_t f = full.find(russian ? "\xEE\xF2" : "from");
    const std::size_t t = full.find(russian ? "\xE4\xEB\xFF" : "to");
    const std::size_t o = full.find(russian ? "\xED\xE0" : "on");
    const std::size_t e = full.find('\n');
    check_field(full, f, russian ? 3 : 5, out.from, t);
    check_field(full, t, russian ? 4 : 3, out.to, o);
    check_field(full, o, 3, out.time, e);
    require(full.substr(e + 3) == out.message);
    return 0;
}
