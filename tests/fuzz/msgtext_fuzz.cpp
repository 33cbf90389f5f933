// Fuzz target: message text parsing never overruns its buffers and never loses the text, and a
// header assembled from known parts splits back into exactly those parts.
//
// Zero bytes are text like any other: a field that holds one holds it in its buffer, with all
// its bytes and a terminating zero after them (a reader of C strings sees the field up to the
// zero), so the expected fields are compared byte for byte.
#include "receive/msgtext.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
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

// The buffer holds exactly `want` followed by a zero.
bool holds(const char *buf, std::string_view want)
{
    return std::memcmp(buf, want.data(), want.size()) == 0 && buf[want.size()] == '\0';
}

ParsedMessage parse(std::string_view text, bool &parsed)
{
    ParsedMessage out;
    std::memset(&out, 0x5A, sizeof out);
    parsed = parse_message_text(text, fuzz_eq, out);
    require(std::memchr(out.from, '\0', sizeof out.from) && std::memchr(out.to, '\0', sizeof out.to) &&
            std::memchr(out.time, '\0', sizeof out.time) && std::memchr(out.message, '\0', sizeof out.message));
    return out;
}

// A text that does not split leaves the three header fields empty and is kept whole (cut to
// what the message holds) as the message.
void check_unsplit_kept(std::string_view text, const ParsedMessage &out)
{
    require(!out.from[0] && !out.to[0] && !out.time[0]);
    require(holds(out.message, text.substr(0, kMsgBodyCap - 1)));
}

struct Tokens {
    std::string_view from, to, on;
};
constexpr Tokens kEnglish{"from", "to", "on"};
constexpr Tokens kRussian{"\xEE\xF2", "\xE4\xEB\xFF", "\xED\xE0"};

// Takes up to n bytes from the front of data.
std::string take(std::string_view &data, std::size_t n)
{
    std::string part(data.substr(0, n));
    data.remove_prefix(part.size());
    return part;
}

// Makes a part of the header that the receiving side writes free of the tokens and of line feeds:
// a token's first letter goes upper case (which no token holds), a line feed becomes a blank.
void defuse(std::string &part, const Tokens &tok)
{
    for (char &c : part)
        if (c == '\n')
            c = ' ';
    for (bool found = true; found;) {
        found = false;
        for (std::string_view t : {tok.from, tok.to, tok.on})
            for (std::size_t at; (at = part.find(t)) != std::string::npos; found = true)
                part[at] = static_cast<char>(part[at] ^ 0x20);
    }
}

// Structured input: byte 0 chooses the language, the case of the Russian mark and the high
// bits of the lengths; bytes 1 to 3 the lengths of sender, recipient and time (up to 511);
// byte 4 that of the first word. The rest fills the parts in turn and the message gets what
// is left.
void check_assembled(std::string_view data)
{
    if (data.size() < 5)
        return;
    const auto flags = static_cast<unsigned char>(data[0]);
    auto length = [&](int i) { return static_cast<unsigned char>(data[1 + i]) + ((flags >> (2 + i)) & 1u) * 256u; };
    const std::size_t fromLen = length(0), toLen = length(1), timeLen = length(2);
    const std::size_t wordLen = static_cast<unsigned char>(data[4]) & 15u;
    const bool russian = flags & 1u;
    const Tokens &tok = russian ? kRussian : kEnglish;
    data.remove_prefix(5);
    std::string word = take(data, wordLen), from = take(data, fromLen), to = take(data, toLen),
                time = take(data, timeLen), body(data);
    // The sender's name may hold anything but a line feed, the header's words included: they move nothing.
    for (std::string *part : {&word, &to, &time})
        defuse(*part, tok);
    for (char &c : from)
        if (c == '\n')
            c = ' ';
    // The first letter decides the language: the Russian mark in either case, or anything else.
    if (russian)
        word.insert(word.begin(), (flags & 2u) ? '\xF1' : '\xD1');
    else if (!word.empty() && fuzz_eq(word[0], kRussianMark))
        word[0] = 'M';

    const std::string text = word + ' ' + std::string(tok.from) + ' ' + from + ' ' + std::string(tok.to) + ' ' + to +
                             ' ' + std::string(tok.on) + ' ' + time + "\r\n\r\n" + body;
    bool parsed = false;
    const ParsedMessage out = parse(text, parsed);
    // The parts may be shorter than asked when the input ran out; what decides is what they hold.
    const bool fits = from.size() < kMsgFieldCap && to.size() < kMsgFieldCap && time.size() < kMsgFieldCap &&
                      body.size() < kMsgBodyCap;
    require(parsed == fits);
    if (!parsed)
        check_unsplit_kept(text, out);
    else
        require(holds(out.from, from) && holds(out.to, to) && holds(out.time, time) && holds(out.message, body));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size > 4096)
        return 0;
    const std::string_view bytes(reinterpret_cast<const char *>(data), size);
    bool parsed = false;
    const ParsedMessage out = parse(bytes, parsed);
    if (!parsed)
        check_unsplit_kept(bytes, out);
    check_assembled(bytes);
    return 0;
}
