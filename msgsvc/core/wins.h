// wins.h - our names at the WINS servers: when to register, retry, refresh and release each name, and what an
// answer means. No I/O: the caller sends the packets and hands back the datagrams that arrive.
#ifndef TOLVIK_MSGSVC_WINS_H
#define TOLVIK_MSGSVC_WINS_H

#include "msgsvc/core/bytes.h"
#include "msgsvc/core/config.h"
#include "msgsvc/core/nbname.h"
#include "msgsvc/core/nbns.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace msgsvc {

constexpr uint32_t kWinsAskedTtl = 259200;       // seconds asked for (three days); the server grants its own,
constexpr uint32_t kWinsMaxTtl = kWinsAskedTtl;  // and a longer grant is refreshed as if it were this long
constexpr uint64_t kWinsRetryMs = 2000;          // a request unanswered this long is sent again,
constexpr unsigned kWinsTries = 3;               // this many times in all,
constexpr uint64_t kWinsPauseMs = 60000;         // then the name waits this long before it starts over
constexpr uint64_t kWinsRefusedPauseMs = 300000; // a name the server refused is asked for again after this
constexpr uint64_t kWinsMaxWackMs = 120000;      // the longest "wait for acknowledgement" honoured, once a request
constexpr uint16_t kWinsNbFlags = 0x6000;        // unique name of an H-node

// One of our names at one server.
struct WinsName {
    NetbiosName name;
    Endpoint server;
    uint32_t address = 0;     // ours, as the server is to hand it out
    bool registered = false;  // the server granted the name and the grant has not run out
    bool waiting = false;     // a request is out: `op` with transaction id `id`, the same for each of its sends
    NameOp op = NameOp::Register;
    uint16_t id = 0;
    unsigned tries = 0;       // sends of the current request
    bool wacked = false;      // the current request was told to wait once already
    uint32_t ttl = 0;         // seconds acted on: the grant, at most kWinsMaxTtl
    uint64_t due = 0;         // when the next request goes out (ms)
    uint64_t expires = 0;     // when the grant runs out (ms)
    bool unanswered = false;  // NoAnswer was noted; not again until the server answers
};

struct WinsSend {
    Endpoint to;
    std::vector<uint8_t> packet;
};

enum class WinsEvent : uint8_t {
    Registered,  // granted (or refreshed) for `granted` seconds, acted on as name->ttl
    Refused,     // the server said no (rcode): a registration is asked again after kWinsRefusedPauseMs, a refresh
                 // becomes a registration at once
    NoAnswer,    // kWinsTries requests went unanswered; started over after kWinsPauseMs (noted once until the
                 // server answers again)
    Released,    // the release was confirmed
};
struct WinsNote {
    WinsEvent event;
    const WinsName *name;
    uint8_t rcode = 0;
    uint32_t granted = 0;  // Registered: the seconds the server granted
};

struct WinsStep {
    std::vector<WinsSend> send;
    std::vector<WinsNote> notes;
};

// Registration of every name with every server, each due at `now`.
std::vector<WinsName> wins_names(const std::vector<std::string> &names, const std::vector<Endpoint> &servers,
                                 const std::function<uint32_t(const Endpoint &)> &address_for, uint64_t now);

// The requests due at now: first registrations, retries, and refreshes at half the time acted on. A grant that
// runs out unrefreshed is asked for anew. next_id gives each request its transaction id; one that another
// request to the same server still waits with is drawn again.
WinsStep wins_due(std::vector<WinsName> &names, uint64_t now, const std::function<uint16_t()> &next_id);

// A datagram from `from`. Only an answer from the server a request went to, with that request's transaction id
// and naming the name it asked for, is taken; anything else is ignored (nullopt). So is a WACK, which moves the
// request's next send later: at most kWinsMaxWackMs, and only the first WACK of a request.
std::optional<WinsNote> wins_reply(std::vector<WinsName> &names, const Endpoint &from, ByteView packet,
                                   uint64_t now);

// Release requests for every registered name, each sent once (answers go through wins_reply); nothing is due
// afterwards.
std::vector<WinsSend> wins_release(std::vector<WinsName> &names, const std::function<uint16_t()> &next_id);

} // namespace msgsvc

#endif
