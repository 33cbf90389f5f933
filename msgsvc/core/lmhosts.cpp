// lmhosts.cpp - LMHOSTS parsing and lookup.
#include "msgsvc/core/lmhosts.h"

#include "msgsvc/core/nbname.h"

namespace msgsvc {

namespace {

constexpr bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

constexpr int hex_value(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool starts_with_nocase(std::string_view s, std::string_view prefix)
{
    if (s.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char c = s[i];
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        if (c != prefix[i])
            return false;
    }
    return true;
}

// Splits off the next token; a quoted token runs to its closing quote (the quotes stay in the token).
// Returns false for an unterminated quote.
bool next_token(std::string_view &line, std::string_view &token)
{
    std::size_t i = 0;
    while (i < line.size() && is_blank(line[i]))
        ++i;
    line.remove_prefix(i);
    std::size_t end = 0;
    if (!line.empty() && line[0] == '"') {
        end = line.find('"', 1);
        if (end == std::string_view::npos)
            return false;
        ++end;
    } else {
        while (end < line.size() && !is_blank(line[end]))
            ++end;
    }
    token = line.substr(0, end);
    line.remove_prefix(end);
    return true;
}

bool valid_name(std::string_view name) { return !name.empty() && name.size() <= kNameBytes; }

// "NAME", "NAME#XX" or "\"quoted\\0xHH\"".
bool parse_name_token(std::string_view token, LmhostsEntry &e)
{
    if (token.size() >= 2 && token.front() == '"') {
        const std::string_view inner = token.substr(1, token.size() - 2);
        std::string raw;
        for (std::size_t i = 0; i < inner.size(); ++i) {
            if (inner[i] == '\\' && inner.substr(i, 3) == "\\0x" && i + 4 < inner.size() &&
                hex_value(inner[i + 3]) >= 0 && hex_value(inner[i + 4]) >= 0) {
                raw += static_cast<char>(hex_value(inner[i + 3]) * 16 + hex_value(inner[i + 4]));
                i += 4;
            } else {
                raw += inner[i];
            }
        }
        if (raw.size() == kNameBytes + 1) {
            e.suffix = static_cast<uint8_t>(raw.back());
            raw.pop_back();
        }
        e.name = canonical_name(raw, ascii_name_case());
        return raw.size() <= kNameBytes && valid_name(e.name);
    }
    const std::size_t hash = token.find('#');
    if (hash != std::string_view::npos) {
        if (token.size() != hash + 3 || hex_value(token[hash + 1]) < 0 || hex_value(token[hash + 2]) < 0)
            return false;
        e.suffix = static_cast<uint8_t>(hex_value(token[hash + 1]) * 16 + hex_value(token[hash + 2]));
        token = token.substr(0, hash);
    }
    if (!valid_name(token))
        return false;
    e.name = canonical_name(token, ascii_name_case());
    return true;
}

std::optional<LmhostsEntry> parse_line(std::string_view line)
{
    std::string_view ip, name;
    if (!next_token(line, ip) || ip.empty() || ip[0] == '#')
        return std::nullopt;
    LmhostsEntry e;
    const auto addr = parse_ipv4(ip);
    if (!addr || !next_token(line, name) || name.empty() || name[0] == '#' || !parse_name_token(name, e))
        return std::nullopt;
    e.ipv4 = *addr;
    std::string_view tok;
    while (next_token(line, tok) && !tok.empty()) {
        if (tok[0] != '#')
            return std::nullopt;
        if (starts_with_nocase(tok, "#PRE") && tok.size() == 4)
            e.preload = true;
        else if (starts_with_nocase(tok, "#DOM:") || (starts_with_nocase(tok, "#MH") && tok.size() == 3))
            continue;
        else
            break;  // a comment: the rest of the line is free text
    }
    return e;
}

} // namespace

std::optional<uint32_t> parse_ipv4(std::string_view text)
{
    uint32_t addr = 0;
    std::size_t pos = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (pos >= text.size() || text[pos] != '.')
                return std::nullopt;
            ++pos;
        }
        std::size_t digits = 0;
        uint32_t v = 0;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && digits < 4) {
            v = v * 10 + static_cast<uint32_t>(text[pos] - '0');
            ++pos;
            ++digits;
        }
        // "010" would be octal to some parsers and decimal to others: refuse it.
        if (digits == 0 || digits > 3 || v > 255 || (digits > 1 && text[pos - digits] == '0'))
            return std::nullopt;
        addr = (addr << 8) | v;
    }
    if (pos != text.size())
        return std::nullopt;
    return addr;
}

std::vector<LmhostsEntry> parse_lmhosts(std::string_view text)
{
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    std::vector<LmhostsEntry> entries;
    while (!text.empty()) {
        const std::size_t nl = text.find('\n');
        const std::string_view line = text.substr(0, nl);
        text.remove_prefix(nl == std::string_view::npos ? text.size() : nl + 1);
        if (auto e = parse_line(line))
            entries.push_back(std::move(*e));
    }
    return entries;
}

std::optional<uint32_t> lmhosts_lookup(const std::vector<LmhostsEntry> &entries, std::string_view name,
                                       uint8_t suffix, const NameCase &by)
{
    const std::string want = canonical_name(name, by);
    for (const LmhostsEntry &e : entries)
        if (canonical_name(e.name, by) == want && (!e.suffix || *e.suffix == suffix))
            return e.ipv4;
    return std::nullopt;
}

} // namespace msgsvc
