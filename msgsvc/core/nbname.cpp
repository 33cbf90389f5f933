// nbname.cpp - NetBIOS name padding, first-level encoding and decoding.
#include "msgsvc/core/nbname.h"

namespace msgsvc {

namespace {

constexpr char ascii_upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

} // namespace

bool operator==(const NetbiosName &a, const NetbiosName &b) { return a.suffix == b.suffix && a.name == b.name; }

EncodedName encode_name(std::string_view name, uint8_t suffix)
{
    uint8_t raw[16];
    const uint8_t pad = name == "*" ? 0x00 : 0x20;
    for (std::size_t i = 0; i < kNameBytes; ++i)
        raw[i] = i < name.size() ? static_cast<uint8_t>(ascii_upper(name[i])) : pad;
    raw[15] = suffix;

    EncodedName out{};
    out[0] = 0x20;
    for (std::size_t i = 0; i < 16; ++i) {
        out[1 + 2 * i] = static_cast<uint8_t>('A' + (raw[i] >> 4));
        out[2 + 2 * i] = static_cast<uint8_t>('A' + (raw[i] & 0x0F));
    }
    out[33] = 0x00;
    return out;
}

std::optional<NetbiosName> decode_name(ByteView in)
{
    if (in.size < kEncodedNameSize || in[0] != 0x20 || in[33] != 0x00)
        return std::nullopt;
    uint8_t raw[16];
    for (std::size_t i = 0; i < 16; ++i) {
        const uint8_t hi = in[1 + 2 * i], lo = in[2 + 2 * i];
        if (hi < 'A' || hi > 'P' || lo < 'A' || lo > 'P')
            return std::nullopt;
        raw[i] = static_cast<uint8_t>(((hi - 'A') << 4) | (lo - 'A'));
    }
    std::size_t len = kNameBytes;
    while (len > 0 && (raw[len - 1] == ' ' || raw[len - 1] == 0))
        --len;
    NetbiosName out;
    out.name.assign(reinterpret_cast<const char *>(raw), len);
    out.suffix = raw[15];
    return out;
}

const NameCase &ascii_name_case()
{
    static const NameCase ascii = [] {
        NameCase c;
        for (std::size_t b = 0; b < 256; ++b)
            c.upper[b] = static_cast<uint8_t>(ascii_upper(static_cast<char>(b)));
        return c;
    }();
    return ascii;
}

std::string canonical_name(std::string_view name, const NameCase &by)
{
    std::string out;
    for (std::size_t i = 0; i < name.size();) {
        const auto b = static_cast<uint8_t>(name[i]);
        if (by.lead[b]) {
            if (i + 2 > kNameBytes)
                break;
            out += name.substr(i, 2);
            i += 2;
        } else {
            if (i + 1 > kNameBytes)
                break;
            out += static_cast<char>(by.upper[b]);
            ++i;
        }
    }
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out;
}

bool same_name(std::string_view a, std::string_view b, const NameCase &by)
{
    return canonical_name(a, by) == canonical_name(b, by);
}

} // namespace msgsvc
