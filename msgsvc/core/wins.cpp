// wins.cpp - the registration schedule of our names at the WINS servers.
#include "msgsvc/core/wins.h"

#include <algorithm>

namespace msgsvc {

namespace {

WinsSend request(WinsName &w, NameOp op, uint32_t ttl)
{
    return WinsSend{w.server, build_name_request(op, w.id, w.name, ttl, NbAddress{kWinsNbFlags, w.address})};
}

bool from_server(const WinsName &w, const Endpoint &from)
{
    return w.server.ipv4 == from.ipv4 && w.server.port == from.port;
}

bool names_ours(const WinsName &w, const std::optional<NetbiosName> &named)
{
    return named && named->suffix == w.name.suffix && same_name(named->name, w.name.name, ascii_name_case());
}

// A transaction id that no other request waiting at w's server has (drawn a few times at most).
uint16_t fresh_id(const std::vector<WinsName> &names, const WinsName &w, const std::function<uint16_t()> &next_id)
{
    uint16_t id = next_id();
    const auto taken = [&](uint16_t candidate) {
        return std::any_of(names.begin(), names.end(), [&](const WinsName &o) {
            return &o != &w && o.waiting && o.id == candidate && from_server(o, w.server);
        });
    };
    for (int draw = 0; draw < 16 && taken(id); ++draw)
        id = next_id();
    return id;
}

} // namespace

std::vector<WinsName> wins_names(const std::vector<std::string> &names, const std::vector<Endpoint> &servers,
                                 const std::function<uint32_t(const Endpoint &)> &address_for, uint64_t now)
{
    std::vector<WinsName> out;
    for (const Endpoint &server : servers) {
        const uint32_t address = address_for(server);
        for (const std::string &n : names) {
            WinsName w;
            w.name = NetbiosName{n, kSuffixMessenger};
            w.server = server;
            w.address = address;
            w.due = now;
            out.push_back(w);
        }
    }
    return out;
}

WinsStep wins_due(std::vector<WinsName> &names, uint64_t now, const std::function<uint16_t()> &next_id)
{
    WinsStep step;
    for (WinsName &w : names) {
        if (w.registered && now >= w.expires) {
            w.registered = w.waiting = false;
            w.due = now;
        }
        if (now < w.due)
            continue;
        if (w.waiting && w.tries >= kWinsTries) {
            w.waiting = false;
            w.due = now + kWinsPauseMs;
            if (!w.unanswered)
                step.notes.push_back(WinsNote{WinsEvent::NoAnswer, &w});
            w.unanswered = true;
            continue;
        }
        if (!w.waiting) {
            w.op = w.registered ? NameOp::Refresh : NameOp::Register;
            w.id = fresh_id(names, w, next_id);
            w.waiting = true;
            w.tries = 0;
            w.wacked = false;
        }
        ++w.tries;
        w.due = now + kWinsRetryMs;
        step.send.push_back(request(w, w.op, kWinsAskedTtl));
    }
    return step;
}

std::optional<WinsNote> wins_reply(std::vector<WinsName> &names, const Endpoint &from, ByteView packet, uint64_t now)
{
    const auto r = parse_name_service_reply(packet);
    if (!r)
        return std::nullopt;
    auto w = std::find_if(names.begin(), names.end(), [&](const WinsName &n) {
        return n.waiting && n.id == r->transaction_id && from_server(n, from) && names_ours(n, r->name);
    });
    if (w == names.end())
        return std::nullopt;
    if (r->opcode == kNbnsOpcodeWack) {
        if (!w->wacked) {
            w->wacked = true;
            w->due = now + std::min<uint64_t>(uint64_t(r->ttl) * 1000, kWinsMaxWackMs);
            w->tries = 0;
        }
        return std::nullopt;
    }
    w->waiting = w->unanswered = false;
    if (w->op == NameOp::Release)
        return WinsNote{WinsEvent::Released, &*w, r->rcode};
    if (r->rcode != 0) {
        // A refused refresh (the server lost the name) is followed by a registration at once.
        w->due = w->op == NameOp::Refresh ? now : now + kWinsRefusedPauseMs;
        w->registered = false;
        return WinsNote{WinsEvent::Refused, &*w, r->rcode};
    }
    w->registered = true;
    w->ttl = std::min(r->ttl ? r->ttl : kWinsAskedTtl, kWinsMaxTtl);
    w->expires = now + uint64_t(w->ttl) * 1000;
    w->due = now + std::max<uint64_t>(uint64_t(w->ttl) * 500, kWinsRetryMs * kWinsTries);
    return WinsNote{WinsEvent::Registered, &*w, 0, r->ttl};
}

std::vector<WinsSend> wins_release(std::vector<WinsName> &names, const std::function<uint16_t()> &next_id)
{
    std::vector<WinsSend> out;
    for (WinsName &w : names) {
        w.waiting = w.registered;
        w.due = UINT64_MAX;
        if (!w.registered)
            continue;
        w.registered = false;
        w.op = NameOp::Release;
        w.id = fresh_id(names, w, next_id);
        out.push_back(request(w, NameOp::Release, 0));
    }
    return out;
}

} // namespace msgsvc
