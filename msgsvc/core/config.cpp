// config.cpp - msgsvc.ini text: sections, keys and the checked value of every setting.
#include "msgsvc/core/config.h"

#include "msgsvc/core/lmhosts.h"

#include <algorithm>
#include <optional>

namespace msgsvc {

namespace {

constexpr bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view trim(std::string_view s)
{
    while (!s.empty() && is_blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && is_blank(s.back()))
        s.remove_suffix(1);
    return s;
}

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool same_nocase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i]))
            return false;
    return true;
}

std::vector<std::string_view> split_list(std::string_view s)
{
    std::vector<std::string_view> out;
    std::size_t i = 0;
    while (i < s.size()) {
        std::size_t j = i;
        while (j < s.size() && s[j] != ',' && s[j] != ';' && s[j] != ' ' && s[j] != '\t')
            ++j;
        if (j > i)
            out.push_back(s.substr(i, j - i));
        i = j + 1;
    }
    return out;
}

std::optional<unsigned long> decimal(std::string_view v)
{
    if (v.empty() || v.size() > 10)
        return std::nullopt;
    unsigned long long n = 0;
    for (char c : v) {
        if (c < '0' || c > '9')
            return std::nullopt;
        n = n * 10 + static_cast<unsigned>(c - '0');
    }
    if (n > 0xFFFFFFFFull)
        return std::nullopt;
    return static_cast<unsigned long>(n);
}

// Each setter stores a checked value and returns "", or says why the value does not fit.
std::string number(std::string_view v, unsigned low, unsigned high, unsigned &out, unsigned scale = 1)
{
    const auto n = decimal(v);
    if (!n || *n < low || *n > high)
        return "not a number from " + std::to_string(low) + " to " + std::to_string(high);
    out = static_cast<unsigned>(*n) * scale;
    return "";
}

std::string port(std::string_view v, uint16_t &out)
{
    unsigned n = 0;
    std::string why = number(v, 1, 65535, n);
    if (why.empty())
        out = static_cast<uint16_t>(n);
    return why;
}

std::string flag(std::string_view v, bool &out)
{
    for (const char *yes : {"1", "yes", "y", "true", "on"})
        if (same_nocase(v, yes))
            return out = true, "";
    for (const char *no : {"0", "no", "n", "false", "off"})
        if (same_nocase(v, no))
            return out = false, "";
    return "not yes or no";
}

std::string name(std::string_view v, std::string &out)
{
    if (!valid_message_name(v))
        return "not a name of 1 to 15 characters";
    out = std::string(v);
    return "";
}

bool absolute(std::string_view p)
{
    return (p.size() > 1 && p[1] == ':') || (!p.empty() && (p[0] == '\\' || p[0] == '/'));
}

std::string path(const ServiceConfig &c, std::string_view v)
{
    return v.empty() || absolute(v) ? std::string(v) : c.dir + std::string(v);
}

struct Key {
    std::string_view section, name;
    std::string (*set)(ServiceConfig &c, std::string_view value);
};

const Key kKeys[] = {
    {"service", "address",
     [](ServiceConfig &c, std::string_view v) -> std::string {
         if (v == "*" || v == "0.0.0.0")
             return c.address = 0, "";
         const auto a = parse_ipv4(v);
         if (!a)
             return "not an IPv4 address or *";
         return c.address = *a, "";
     }},
    {"service", "port", [](ServiceConfig &c, std::string_view v) { return port(v, c.port); }},
    {"service", "user", [](ServiceConfig &c, std::string_view v) { return name(v, c.user); }},
    {"service", "computer", [](ServiceConfig &c, std::string_view v) { return name(v, c.computer); }},
    {"service", "names",
     [](ServiceConfig &c, std::string_view v) -> std::string {
         std::vector<std::string> names;
         for (std::string_view item : split_list(v))
             if (!name(item, names.emplace_back()).empty())
                 return "\"" + std::string(item) + "\" is not a name of 1 to 15 characters";
         return c.aliases = std::move(names), "";
     }},
    {"service", "allow",
     [](ServiceConfig &c, std::string_view v) -> std::string {
         auto nets = parse_networks(v);
         if (!nets)
             return "not a list of networks A.B.C.D[/N] (or any)";
         return c.allow = std::move(*nets), "";
     }},
    {"service", "rate", [](ServiceConfig &c, std::string_view v) { return number(v, 0, 100000, c.rate); }},
    {"service", "connections", [](ServiceConfig &c, std::string_view v) { return number(v, 1, 200, c.connections); }},
    {"service", "persource", [](ServiceConfig &c, std::string_view v) { return number(v, 1, 200, c.per_source); }},
    {"service", "idle", [](ServiceConfig &c, std::string_view v) { return number(v, 1, 3600, c.idle_ms, 1000); }},
    {"service", "session", [](ServiceConfig &c, std::string_view v) { return number(v, 1, 3600, c.session_ms, 1000); }},
    {"service", "popups", [](ServiceConfig &c, std::string_view v) { return number(v, 1, 1000, c.popups); }},
    {"service", "nameservice", [](ServiceConfig &c, std::string_view v) { return flag(v, c.name_service); }},
    {"service", "nameport", [](ServiceConfig &c, std::string_view v) { return port(v, c.name_port); }},
    {"service", "log",
     [](ServiceConfig &c, std::string_view v) -> std::string { return c.log_path = v == "-" ? "" : path(c, v), ""; }},
    {"service", "logsize", [](ServiceConfig &c, std::string_view v) { return number(v, 16, 1048576, c.log_kb); }},
    {"resolve", "lmhosts",
     [](ServiceConfig &c, std::string_view v) -> std::string { return c.lmhosts_path = path(c, v), ""; }},
    {"resolve", "nameservers",
     [](ServiceConfig &c, std::string_view v) -> std::string {
         std::vector<Endpoint> servers;
         for (std::string_view item : split_list(v)) {
             const std::size_t colon = item.find(':');
             const auto ip = parse_ipv4(item.substr(0, colon));
             Endpoint e{ip.value_or(0), kNameServerPort};
             if (!ip || (colon != std::string_view::npos && !port(item.substr(colon + 1), e.port).empty()))
                 return "\"" + std::string(item) + "\" is not A.B.C.D or A.B.C.D:PORT";
             servers.push_back(e);
         }
         return c.name_servers = std::move(servers), "";
     }},
    {"resolve", "broadcast", [](ServiceConfig &c, std::string_view v) { return flag(v, c.broadcast); }},
    {"resolve", "dns", [](ServiceConfig &c, std::string_view v) { return flag(v, c.dns); }},
    {"resolve", "timeout", [](ServiceConfig &c, std::string_view v) { return number(v, 50, 30000, c.timeout_ms); }},
    {"resolve", "deadline", [](ServiceConfig &c, std::string_view v) { return number(v, 100, 120000, c.deadline_ms); }},
    {"resolve", "style",
     [](ServiceConfig &c, std::string_view v) -> std::string {
         if (same_nocase(v, "multi"))
             return c.style = SendStyle::MultiBlock, "";
         if (same_nocase(v, "single"))
             return c.style = SendStyle::SingleWhenShort, "";
         return "not multi or single";
     }},
};
constexpr std::size_t kKeyCount = sizeof kKeys / sizeof kKeys[0];

// A value as it appears in a message: cut, so that a huge one does not flood the log.
std::string shown(std::string_view v) { return v.size() > 40 ? std::string(v.substr(0, 40)) + "..." : std::string(v); }

} // namespace

std::vector<std::string> ServiceConfig::names() const
{
    std::vector<std::string> out;
    for (const std::string *n : {&user, &computer})
        if (!n->empty())
            out.push_back(*n);
    for (const std::string &a : aliases)
        if (!a.empty())
            out.push_back(a);
    return out;
}

std::vector<std::string> parse_config(std::string_view text, ServiceConfig &c)
{
    std::vector<std::string> errors;
    c.log_path = path(c, "msgsvc.log");
    c.lmhosts_path = path(c, "lmhosts");
    if (text.size() > kMaxConfigText)
        return {"longer than " + std::to_string(kMaxConfigText) + " bytes"};
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    std::string_view section;
    bool known_section = false;
    bool seen[kKeyCount] = {};
    unsigned line_no = 0;
    while (!text.empty()) {
        const std::size_t nl = text.find('\n');
        const std::string_view line = trim(text.substr(0, nl));
        text.remove_prefix(nl == std::string_view::npos ? text.size() : nl + 1);
        const std::string at = "line " + std::to_string(++line_no) + ": ";
        if (line.empty() || line[0] == ';' || line[0] == '#')
            continue;
        if (line.find('\0') != std::string_view::npos) {
            errors.push_back(at + "holds a NUL byte");
            continue;
        }
        if (line.front() == '[') {
            section = trim(line.substr(1, line.back() == ']' ? line.size() - 2 : line.size() - 1));
            known_section = line.back() == ']' && (same_nocase(section, "service") || same_nocase(section, "resolve"));
            if (!known_section)
                errors.push_back(at + "unknown section " + shown(line));
            continue;
        }
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) {
            errors.push_back(at + "\"" + shown(line) + "\" is not key=value");
            continue;
        }
        if (!known_section) {
            if (section.empty())
                errors.push_back(at + "a key before [service] or [resolve]");
            continue;  // the unknown section was reported once
        }
        const std::string_view key = trim(line.substr(0, eq));
        std::string_view value = trim(line.substr(eq + 1));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        std::size_t k = 0;
        while (k < kKeyCount && !(same_nocase(kKeys[k].section, section) && same_nocase(kKeys[k].name, key)))
            ++k;
        if (k == kKeyCount) {
            errors.push_back(at + "unknown key " + shown(key) + " in [" + std::string(section) + "]");
            continue;
        }
        if (seen[k]) {
            errors.push_back(at + std::string(kKeys[k].name) + " is given twice");
            continue;
        }
        seen[k] = true;
        const bool keeps_default = value.empty() && kKeys[k].name != "log" && kKeys[k].name != "lmhosts";
        const std::string why = keeps_default ? std::string() : kKeys[k].set(c, value);
        if (!why.empty())
            errors.push_back(at + std::string(kKeys[k].name) + "=" + shown(value) + ": " + why);
    }
    // A configuration written for a long per-step timeout keeps working: the whole send gets at least that.
    c.deadline_ms = std::max(c.deadline_ms, c.timeout_ms);
    return errors;
}

} // namespace msgsvc
