// admission.cpp - source networks, rate and connection limits, popup room and name checks of the message
// service.
#include "msgsvc/core/admission.h"

#include "msgsvc/core/lmhosts.h"
#include "msgsvc/core/output_text.h"

namespace msgsvc {

namespace {

constexpr uint64_t kMinuteMs = 60000;

bool is_separator(char c) { return c == ',' || c == ';' || c == ' ' || c == '\t'; }

std::string_view without_padding(std::string_view name)
{
    while (!name.empty() && (name.back() == ' ' || name.back() == '\0'))
        name.remove_suffix(1);
    return name;
}

std::optional<Network> parse_network(std::string_view item)
{
    if (item == "any")
        return Network{0, 0};
    const std::size_t slash = item.find('/');
    const auto ip = parse_ipv4(item.substr(0, slash));
    if (!ip)
        return std::nullopt;
    unsigned bits = 32;
    if (slash != std::string_view::npos) {
        const std::string_view n = item.substr(slash + 1);
        if (n.empty() || n.size() > 2)
            return std::nullopt;
        bits = 0;
        for (char c : n) {
            if (c < '0' || c > '9')
                return std::nullopt;
            bits = bits * 10 + static_cast<unsigned>(c - '0');
        }
        if (bits > 32)
            return std::nullopt;
    }
    const uint32_t mask = bits == 0 ? 0 : ~uint32_t(0) << (32 - bits);
    return Network{*ip & mask, mask};
}

// Drops the stamps of source that are a minute old or older.
void expire(std::deque<uint64_t> &d, uint64_t now_ms)
{
    while (!d.empty() && now_ms - d.front() >= kMinuteMs)
        d.pop_front();
}

} // namespace

std::optional<std::vector<Network>> parse_networks(std::string_view text)
{
    std::vector<Network> out;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && is_separator(text[i]))
            ++i;
        std::size_t j = i;
        while (j < text.size() && !is_separator(text[j]))
            ++j;
        if (j > i) {
            const auto n = parse_network(text.substr(i, j - i));
            if (!n)
                return std::nullopt;
            out.push_back(*n);
        }
        i = j;
    }
    return out;
}

std::vector<Network> default_networks()
{
    return {{0x7F000000, 0xFF000000}, {0x0A000000, 0xFF000000}, {0xAC100000, 0xFFF00000}, {0xC0A80000, 0xFFFF0000}};
}

bool network_allows(const std::vector<Network> &allowed, uint32_t ipv4)
{
    for (const Network &n : allowed)
        if ((ipv4 & n.mask) == n.base)
            return true;
    return false;
}

bool rate_exhausted(RateLimiter &r, uint32_t source, uint64_t now_ms)
{
    auto it = r.stamps.find(source);
    if (it == r.stamps.end())
        return r.per_minute == 0;
    expire(it->second, now_ms);
    return it->second.size() >= r.per_minute;
}

bool rate_admit(RateLimiter &r, uint32_t source, uint64_t now_ms)
{
    if (rate_exhausted(r, source, now_ms))
        return false;
    auto it = r.stamps.find(source);
    if (it == r.stamps.end()) {
        if (r.stamps.size() >= r.max_sources) {
            // Forget the expired sources, then, if still full, the one whose last delivery is oldest.
            for (auto s = r.stamps.begin(); s != r.stamps.end();) {
                expire(s->second, now_ms);
                s = s->second.empty() ? r.stamps.erase(s) : std::next(s);
            }
            if (r.stamps.size() >= r.max_sources && !r.stamps.empty()) {
                auto stalest = r.stamps.begin();
                for (auto s = r.stamps.begin(); s != r.stamps.end(); ++s)
                    if (s->second.back() < stalest->second.back())
                        stalest = s;
                r.stamps.erase(stalest);
            }
        }
        it = r.stamps.emplace(source, std::deque<uint64_t>()).first;
    }
    it->second.push_back(now_ms);
    return true;
}

bool source_take(SourceCounts &s, uint32_t source)
{
    unsigned &n = s.open[source];
    if (n >= s.limit) {
        if (n == 0)
            s.open.erase(source);
        return false;
    }
    ++n;
    return true;
}

void source_release(SourceCounts &s, uint32_t source)
{
    auto it = s.open.find(source);
    if (it != s.open.end() && --it->second == 0)
        s.open.erase(it);
}

unsigned popup_share(unsigned room) { return room < 4 ? 1u : (room + 3) / 4; }

PopupRoom make_popup_room(unsigned room)
{
    PopupRoom r;
    r.room = room;
    r.sources.limit = popup_share(room);
    return r;
}

RoomVerdict popup_take(PopupRoom &r, uint32_t source)
{
    if (r.open >= r.room)
        return RoomVerdict::Full;
    if (!source_take(r.sources, source))
        return RoomVerdict::ShareUsed;
    ++r.open;
    return RoomVerdict::Taken;
}

void popup_release(PopupRoom &r, uint32_t source)
{
    if (r.sources.open.count(source)) {
        source_release(r.sources, source);
        --r.open;
    }
}

std::optional<std::size_t> connection_to_replace(const std::vector<uint64_t> &progress, uint64_t now_ms,
                                                 uint64_t min_idle_ms)
{
    std::optional<std::size_t> pick;
    for (std::size_t i = 0; i < progress.size(); ++i)
        if (progress[i] <= now_ms && now_ms - progress[i] >= min_idle_ms && (!pick || progress[i] < progress[*pick]))
            pick = i;
    return pick;
}

bool valid_message_name(std::string_view name)
{
    name = without_padding(name);
    if (name.empty() || name.size() > kNameBytes)
        return false;
    for (char c : name)
        if (is_control(c))
            return false;
    return true;
}

bool is_our_name(const std::vector<std::string> &names, std::string_view name, const NameCase &by)
{
    if (!valid_message_name(name))
        return false;
    for (const std::string &n : names)
        if (!n.empty() && same_name(n, without_padding(name), by))
            return true;
    return false;
}

} // namespace msgsvc
