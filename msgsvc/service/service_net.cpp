// service_net.cpp - the network thread of msgsvc.exe: accepts messenger sessions for our names, reassembles the
// messages and decides each one before its reply, answers name queries for our names, and keeps our names
// registered at the WINS servers. One NetState owns every socket and connection; no write waits on a peer.
#include "msgsvc/service/service.h"

#include "msgsvc/core/admission.h"
#include "msgsvc/core/nbns.h"
#include "msgsvc/core/outbox.h"
#include "msgsvc/core/output_text.h"
#include "msgsvc/core/receiver.h"
#include "msgsvc/core/wins.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <memory>

namespace msgsvc {

namespace {

constexpr uint32_t kNameTtl = 300;           // TTL of our answers to name queries
constexpr unsigned kAcceptsPerPass = 16;     // connections taken per pass: a flood does not stop the reading
constexpr unsigned kEventLinesPerMinute = 60;
constexpr long kPassUs = 250000;             // longest wait of one pass
constexpr uint64_t kReleaseWaitMs = 1500;    // how long the end waits for the WINS servers to confirm releases
constexpr uint64_t kReplaceAfterMs = 500;    // a connection that has moved a message on this recently keeps its place

struct Client {
    Socket socket;
    uint32_t ip = 0;
    uint16_t port = 0;
    ReceiverConn conn = make_receiver();
    Outbox out;
    bool closing = false;  // write what is queued, then close
    uint64_t opened = 0;
    uint64_t last = 0;      // bytes came or went
    uint64_t progress = 0;  // a message was started, continued or decided (keepalives are no progress)
};

// Everything the network thread has.
struct NetState {
    ServiceShared &shared;
    const ServiceConfig &cfg;
    Socket listener;
    Socket names;  // UDP name service, when it could be bound
    Socket wins;   // UDP towards the WINS servers, when there are any
    std::vector<Client> clients;
    SourceCounts sources;
    RateLimiter rate;
    LogLimiter log;  // lines about peers
    std::vector<WinsName> registrations;

    explicit NetState(ServiceShared &s) : shared(s), cfg(s.cfg)
    {
        sources.limit = cfg.per_source;
        rate.per_minute = cfg.rate;
        log.per_minute = kEventLinesPerMinute;
    }
};

uint64_t now_ms() { return GetTickCount64(); }

// A transaction id for WINS; 0 when the random source fails (the server answers it all the same).
uint16_t wins_id() { return random_id().value_or(0); }

// A line about a peer: these are held to kEventLinesPerMinute, so that no peer can fill the disk.
void log_event(NetState &n, const char *fmt, ...)
{
    unsigned held_back = 0;
    if (!log_admit(n.log, now_ms(), held_back))
        return;
    if (held_back)
        log_line(n.cfg, "%u lines about peers were not logged (more than %u a minute)", held_back,
                 kEventLinesPerMinute);
    char text[1024];
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(text, sizeof text, fmt, args);
    va_end(args);
    log_line(n.cfg, "%s", text);
}

std::string endpoint_text(const Endpoint &e) { return ip_text(e.ipv4) + ":" + std::to_string(e.port); }

std::string when_text()
{
    char date[64] = "", time[64] = "";
    GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, date, sizeof date);
    GetTimeFormatA(LOCALE_USER_DEFAULT, 0, nullptr, nullptr, time, sizeof time);
    return std::string(date) + " " + time;
}

// The local address that reaches `peer`: the listening address, or the route's source when listening on all.
uint32_t address_towards(const ServiceConfig &cfg, uint32_t peer)
{
    if (cfg.address)
        return cfg.address;
    Socket s(socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
    sockaddr_in to = make_sockaddr(peer, 137), local = {};
    int len = sizeof local;
    if (s && connect(s.get(), reinterpret_cast<sockaddr *>(&to), sizeof to) == 0 &&
        getsockname(s.get(), reinterpret_cast<sockaddr *>(&local), &len) == 0 && local.sin_addr.s_addr)
        return ntohl(local.sin_addr.s_addr);
    return 0x7F000001;
}

void send_to(const Socket &s, const Endpoint &to, const std::vector<uint8_t> &packet)
{
    const sockaddr_in addr = make_sockaddr(to.ipv4, to.port);
    sendto(s.get(), reinterpret_cast<const char *>(packet.data()), static_cast<int>(packet.size()), 0,
           reinterpret_cast<const sockaddr *>(&addr), sizeof addr);
}

// ---- Connections -----------------------------------------------------------------------------------------

void drop(NetState &n, Client &c, const char *why)
{
    if (why)
        log_event(n, "closed %s:%u: %s", ip_text(c.ip).c_str(), c.port, why);
    source_release(n.sources, c.ip);
    c.socket.reset();
}

// Writes what the socket takes now; false when the connection failed.
bool flush(Client &c)
{
    for (ByteView p = outbox_pending(c.out); !p.empty(); p = outbox_pending(c.out)) {
        const int sent = send(c.socket.get(), reinterpret_cast<const char *>(p.data), static_cast<int>(p.size), 0);
        if (sent <= 0)
            return sent < 0 && WSAGetLastError() == WSAEWOULDBLOCK;
        outbox_written(c.out, static_cast<std::size_t>(sent));
        c.last = now_ms();
    }
    return true;
}

// After a write: the connection closes once a closing one has written everything.
void after_write(NetState &n, Client &c, bool ok)
{
    if (!ok)
        drop(n, c, "write failed");
    else if (c.closing && outbox_pending(c.out).empty())
        drop(n, c, nullptr);
}

// The verdict on a complete message for one of our names, before the sender hears anything. Only a message
// that is shown counts against its source's rate.
Verdict admit(NetState &n, const Client &c, const ReceivedMessage &m)
{
    const std::string from = ip_text(c.ip);
    // The names as NetBIOS shows them, in capitals: none of them can then pass for the header's words.
    const NameCase &by = n.shared.name_case;
    std::string text = popup_text(GetACP() == 1251, oem_to_ansi(canonical_name(m.from, by)),
                                  oem_to_ansi(canonical_name(m.to, by)), when_text(),
                                  oem_to_ansi(normalize_message_text(m.text)));
    if (text.size() > kPopupTextMax) {
        log_event(n, "refused a message from %s (%s): %u characters do not fit a popup (%u at most)", from.c_str(),
                  m.from.c_str(), static_cast<unsigned>(text.size()), static_cast<unsigned>(kPopupTextMax));
        return Verdict::NoRoom;
    }
    if (rate_exhausted(n.rate, c.ip, now_ms())) {
        log_event(n, "refused a message from %s: more than %u a minute", from.c_str(), n.cfg.rate);
        return Verdict::Drop;
    }
    switch (popup_post(n.shared, c.ip, text)) {
    case RoomVerdict::Taken:
        break;
    case RoomVerdict::ShareUsed:
        log_event(n, "refused a message from %s (%s): its share of the popups is open (%u of the %u)", from.c_str(),
                  m.from.c_str(), popup_share(n.cfg.popups), n.cfg.popups);
        return Verdict::NoRoom;
    case RoomVerdict::Full:
        log_event(n, "refused a message from %s (%s): %u popups are open", from.c_str(), m.from.c_str(),
                  n.cfg.popups);
        return Verdict::NoRoom;
    }
    rate_admit(n.rate, c.ip, now_ms());
    log_event(n, "message from %s (%s) to %s, %u bytes", from.c_str(), m.from.c_str(), m.to.c_str(),
              static_cast<unsigned>(m.text.size()));
    return Verdict::Deliver;
}

void on_readable(NetState &n, Client &c)
{
    uint8_t buf[4096];
    const int got = recv(c.socket.get(), reinterpret_cast<char *>(buf), sizeof buf, 0);
    if (got <= 0) {
        if (got == 0 || WSAGetLastError() != WSAEWOULDBLOCK)
            drop(n, c, nullptr);
        return;
    }
    c.last = now_ms();
    const ReceiverPolicy policy{&n.shared.names, [&](const ReceivedMessage &m) { return admit(n, c, m); },
                                &n.shared.name_case};
    const ReceiverOutput out = receiver_feed(c.conn, ByteView(buf, static_cast<std::size_t>(got)), policy);
    if (out.progress)
        c.progress = c.last;
    if (!out.refused.empty())
        log_event(n, "refused %s: %s", ip_text(c.ip).c_str(), out.refused.c_str());
    if (!outbox_add(c.out, out.send)) {
        drop(n, c, "does not read its replies");
        return;
    }
    c.closing = out.close;
    after_write(n, c, flush(c));
}

// With the table full, closes the connection that has done least for longest to make room for ip:port; false
// when every connection has moved a message on within kReplaceAfterMs.
bool make_room(NetState &n, uint32_t ip, uint16_t port)
{
    std::vector<Client *> open;
    std::vector<uint64_t> progress;
    for (Client &c : n.clients) {
        if (c.socket) {
            open.push_back(&c);
            progress.push_back(c.progress);
        }
    }
    if (open.size() < n.cfg.connections)
        return true;
    const uint64_t now = now_ms();
    const auto pick = connection_to_replace(progress, now, kReplaceAfterMs);
    if (!pick)
        return false;
    char why[96];
    std::snprintf(why, sizeof why, "made room for %s:%u (no message moved on for %.1f s)", ip_text(ip).c_str(), port,
                  static_cast<double>(now - progress[*pick]) / 1000);
    drop(n, *open[*pick], why);
    return true;
}

void on_accept(NetState &n)
{
    for (unsigned i = 0; i < kAcceptsPerPass; ++i) {
        sockaddr_in from = {};
        int len = sizeof from;
        Socket s(accept(n.listener.get(), reinterpret_cast<sockaddr *>(&from), &len));
        if (!s)
            return;
        const uint32_t ip = ntohl(from.sin_addr.s_addr);
        const uint16_t port = ntohs(from.sin_port);
        const char *why = nullptr;
        if (!network_allows(n.cfg.allow, ip))
            why = "source not allowed";
        else if (rate_exhausted(n.rate, ip, now_ms()))
            why = "over its message rate";
        else if (!source_take(n.sources, ip))
            why = "too many connections from this source";
        else if (!make_room(n, ip, port)) {
            source_release(n.sources, ip);
            why = "too many connections, each of them busy";
        }
        if (why) {
            log_event(n, "refused %s:%u: %s", ip_text(ip).c_str(), port, why);
            continue;
        }
        set_nonblocking(s.get(), true);
        Client &c = n.clients.emplace_back();
        c.socket = std::move(s);
        c.ip = ip;
        c.port = port;
        c.opened = c.last = c.progress = now_ms();
    }
}

void expire_clients(NetState &n)
{
    const uint64_t now = now_ms();
    for (Client &c : n.clients) {
        if (!c.socket)
            continue;
        if (now - c.last > n.cfg.idle_ms)
            drop(n, c, "idle time-out");
        else if (now - c.progress > n.cfg.idle_ms)
            drop(n, c, "no message moved on within the idle time (keepalives do not count)");
        else if (now - c.opened > n.cfg.session_ms)
            drop(n, c, "session time limit");
    }
    n.clients.erase(std::remove_if(n.clients.begin(), n.clients.end(), [](const Client &c) { return !c.socket; }),
                    n.clients.end());
}

// ---- Names -----------------------------------------------------------------------------------------------

// One datagram from s into buf: its bytes (empty when none came) and its sender.
ByteView receive_from(const Socket &s, uint8_t (&buf)[1024], Endpoint &from)
{
    sockaddr_in a = {};
    int len = sizeof a;
    const int got =
        recvfrom(s.get(), reinterpret_cast<char *>(buf), sizeof buf, 0, reinterpret_cast<sockaddr *>(&a), &len);
    from = Endpoint{ntohl(a.sin_addr.s_addr), ntohs(a.sin_port)};
    return ByteView(buf, got > 0 ? static_cast<std::size_t>(got) : 0);
}

void on_name_query(NetState &n)
{
    uint8_t buf[1024];
    Endpoint peer;
    const ByteView packet = receive_from(n.names, buf, peer);
    if (packet.empty() || !network_allows(n.cfg.allow, peer.ipv4))
        return;
    const auto q = parse_name_query(packet);
    if (!q)
        return;
    std::vector<uint8_t> reply;
    if (q->name.suffix == kSuffixMessenger && is_our_name(n.shared.names, q->name.name, n.shared.name_case))
        reply = build_name_query_response(q->transaction_id, q->name, kNameTtl,
                                          {{0, address_towards(n.cfg, peer.ipv4)}});
    else if (!q->broadcast())
        reply = build_negative_name_query_response(q->transaction_id, q->name);
    if (!reply.empty())
        send_to(n.names, peer, reply);
}

// What a name server's error code says, as ": ..." (empty for a code it does not define).
const char *refusal_text(uint8_t rcode)
{
    switch (rcode) {
    case 1: return ": the request was malformed";
    case 2: return ": the server failed";
    case 4: return ": not supported";
    case 5: return ": refused by its policy";
    case 6: return ": another computer holds the name";
    case 7: return ": the name is in conflict";
    default: return "";
    }
}

void on_wins_reply(NetState &n)
{
    uint8_t buf[1024];
    Endpoint server;
    const ByteView packet = receive_from(n.wins, buf, server);
    if (packet.empty())
        return;
    const auto note = wins_reply(n.registrations, server, packet, now_ms());
    if (!note)
        return;
    const char *name = note->name->name.name.c_str();
    const std::string at = endpoint_text(server);
    switch (note->event) {
    case WinsEvent::Registered:
        if (note->granted == note->name->ttl)
            log_line(n.cfg, "registered %s<03> as %s with the WINS server %s for %u s", name,
                     ip_text(note->name->address).c_str(), at.c_str(), note->name->ttl);
        else
            log_line(n.cfg, "registered %s<03> as %s with the WINS server %s for %u s (it granted %u s)", name,
                     ip_text(note->name->address).c_str(), at.c_str(), note->name->ttl, note->granted);
        break;
    case WinsEvent::Refused:
        log_line(n.cfg, "the WINS server %s refused %s<03> (error %u%s)", at.c_str(), name, note->rcode,
                 refusal_text(note->rcode));
        break;
    case WinsEvent::Released:
        log_line(n.cfg, "released %s<03> at the WINS server %s", name, at.c_str());
        break;
    case WinsEvent::NoAnswer:
        break;
    }
}

void wins_tick(NetState &n)
{
    if (!n.wins)
        return;
    const WinsStep step = wins_due(n.registrations, now_ms(), wins_id);
    for (const WinsSend &s : step.send)
        send_to(n.wins, s.to, s.packet);
    for (const WinsNote &note : step.notes)
        log_line(n.cfg, "no answer from the WINS server %s for %s<03>; asking again in %u s",
                 endpoint_text(note.name->server).c_str(), note.name->name.name.c_str(),
                 static_cast<unsigned>(kWinsPauseMs / 1000));
}

// At the end: our names are released, and the servers' confirmations awaited for a moment.
void release_names(NetState &n)
{
    if (!n.wins)
        return;
    for (const WinsSend &s : wins_release(n.registrations, wins_id))
        send_to(n.wins, s.to, s.packet);
    const uint64_t until = now_ms() + kReleaseWaitMs;
    const auto waiting = [&] {
        return std::any_of(n.registrations.begin(), n.registrations.end(), [](const WinsName &w) { return w.waiting; });
    };
    for (uint64_t now = now_ms(); waiting() && now < until; now = now_ms())
        if (wait_socket(n.wins.get(), false, static_cast<unsigned>(until - now)))
            on_wins_reply(n);
}

// ---- The loop --------------------------------------------------------------------------------------------

void run(NetState &n)
{
    while (WaitForSingleObject(n.shared.stop, 0) == WAIT_TIMEOUT) {
        wins_tick(n);
        fd_set readable, writable;
        FD_ZERO(&readable);
        FD_ZERO(&writable);
        FD_SET(n.listener.get(), &readable);
        for (const Socket *s : {&n.names, &n.wins})
            if (*s)
                FD_SET(s->get(), &readable);
        for (const Client &c : n.clients) {
            if (!c.socket)
                continue;  // closed since the last pass (a newcomer took its place)
            if (!outbox_wants_input(c.out))
                FD_SET(c.socket.get(), &writable);
            else if (!c.closing)
                FD_SET(c.socket.get(), &readable);
        }
        timeval tv = {0, kPassUs};
        if (select(0, &readable, &writable, nullptr, &tv) == SOCKET_ERROR) {
            Sleep(50);
            continue;
        }
        if (n.names && FD_ISSET(n.names.get(), &readable))
            on_name_query(n);
        if (n.wins && FD_ISSET(n.wins.get(), &readable))
            on_wins_reply(n);
        for (Client &c : n.clients) {
            if (c.socket && FD_ISSET(c.socket.get(), &writable))
                after_write(n, c, flush(c));
            if (c.socket && FD_ISSET(c.socket.get(), &readable))
                on_readable(n, c);
        }
        expire_clients(n);
        if (FD_ISSET(n.listener.get(), &readable))
            on_accept(n);
    }
    release_names(n);
}

DWORD WINAPI net_thread(LPVOID param)
{
    const std::unique_ptr<NetState> n(static_cast<NetState *>(param));
    run(*n);
    return 0;
}

// A UDP socket bound to the listening address and `port`; empty (error logged) when it cannot be bound.
Socket udp_socket(const ServiceConfig &cfg, uint16_t port, const char *what)
{
    Socket s(socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
    const sockaddr_in at = make_sockaddr(cfg.address, port);
    if (s && bind(s.get(), reinterpret_cast<const sockaddr *>(&at), sizeof at) != 0) {
        log_line(cfg, "%s off: cannot bind UDP %s:%u (error %d)", what, ip_text(cfg.address).c_str(), port,
                 WSAGetLastError());
        s.reset();
    }
    return s;
}

template <typename T, typename Show>
std::string joined(const std::vector<T> &items, Show show)
{
    std::string s;
    for (const T &item : items)
        s += (s.empty() ? "" : ", ") + show(item);
    return s;
}

std::string joined(const std::vector<std::string> &names)
{
    return joined(names, [](const std::string &name) { return name; });
}

// Our names go to the WINS servers only where this computer can defend them: a server that is asked for one of
// them by another computer checks with a name query to UDP port 137 whether we still hold it, and only a name
// service there answers it. Elsewhere the log says why they are not registered.
void start_registrations(NetState &n)
{
    const ServiceConfig &cfg = n.cfg;
    const std::string servers = joined(cfg.name_servers, endpoint_text);
    std::string why;
    if (!cfg.name_service)
        why = "the name service is off (nameservice=no)";
    else if (cfg.name_port != kNameServerPort)
        why = "the name service answers on UDP port " + std::to_string(cfg.name_port) + " (nameport)";
    else if (!n.names)
        why = "the name service could not bind UDP port 137";
    if (!why.empty()) {
        log_line(cfg, "not registering %s with the WINS servers %s: %s, but a WINS server checks on UDP port 137 "
                      "that a name is still held",
                 joined(n.shared.names).c_str(), servers.c_str(), why.c_str());
        return;
    }
    n.wins = udp_socket(cfg, 0, "WINS registration");
    if (!n.wins)
        return;
    n.registrations = wins_names(n.shared.names, cfg.name_servers,
                                 [&](const Endpoint &e) { return address_towards(cfg, e.ipv4); }, now_ms());
    log_line(cfg, "registering %s with the WINS servers %s", joined(n.shared.names).c_str(), servers.c_str());
}

} // namespace

HANDLE net_start(ServiceShared &s, int &error)
{
    auto n = std::make_unique<NetState>(s);
    const ServiceConfig &cfg = s.cfg;
    n->listener.reset(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    const sockaddr_in at = make_sockaddr(cfg.address, cfg.port);
    if (!n->listener || bind(n->listener.get(), reinterpret_cast<const sockaddr *>(&at), sizeof at) != 0 ||
        listen(n->listener.get(), 64) != 0) {
        error = WSAGetLastError();
        return nullptr;
    }
    set_nonblocking(n->listener.get(), true);
    if (cfg.name_service)
        n->names = udp_socket(cfg, cfg.name_port, "name service");
    if (!cfg.name_servers.empty())
        start_registrations(*n);
    log_line(cfg, "listening on %s:%u for %s%s", ip_text(cfg.address).c_str(), cfg.port, joined(s.names).c_str(),
             n->names ? " (name service on)" : "");
    HANDLE thread = CreateThread(nullptr, 0, net_thread, n.get(), 0, nullptr);
    if (thread)
        n.release();
    else
        error = static_cast<int>(GetLastError());
    return thread;
}

} // namespace msgsvc
