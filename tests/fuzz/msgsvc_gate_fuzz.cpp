// Fuzz target: hostile TCP bytes against the session gate and the hand-off of messages to the service. The
// receiver runs with our names (BOB, BOBPC) and a verdict taken from the input. A positive session response
// may answer only a request whose called name, decoded here on its own, is one of ours with suffix 0x03;
// every message handed over or asked about is to one of our names, from a valid name, and a refused one is
// never delivered. Byte 0 picks the verdicts; the rest is the stream, fed in varying chunk sizes.
#include "msgsvc/core/receiver.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

using namespace msgsvc;

namespace {

void require(bool ok)
{
    if (!ok)
        std::abort();
}

// What the service may take as a From or To name, decided without the code under test: with trailing spaces and
// NULs removed, 1 to 15 bytes, no control character. Upper-cased in place.
bool valid(std::string &n)
{
    while (!n.empty() && (n.back() == ' ' || n.back() == '\0'))
        n.pop_back();
    for (char &c : n) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return false;
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return !n.empty() && n.size() <= 15;
}

bool ours(std::string n) { return valid(n) && (n == "BOB" || n == "BOBPC"); }

// The called name of a session request frame (68 bytes after the header), decoded by hand; "" when malformed.
std::string called_of(const std::vector<uint8_t> &request)
{
    if (request.size() != 4 + 68 || request[4] != 0x20 || request[4 + 33] != 0)
        return "";
    std::string raw;
    for (std::size_t i = 5; i < 5 + 32; i += 2) {
        if (request[i] < 'A' || request[i] > 'P' || request[i + 1] < 'A' || request[i + 1] > 'P')
            return "";
        raw += static_cast<char>(((request[i] - 'A') << 4) | (request[i + 1] - 'A'));
    }
    return raw.back() == 0x03 ? raw.substr(0, 15) : "";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size)
{
    if (size < 1 || size > 65536)
        return 0;
    const uint8_t choice = data[0];
    const std::vector<uint8_t> stream(data + 1, data + size);
    const std::vector<std::string> names = {"bob", "BOBPC"};

    unsigned asked = 0, refused = 0;
    ReceiverPolicy policy;
    policy.names = &names;
    policy.admit = [&](const ReceivedMessage &m) {
        require(ours(m.to));
        const Verdict v = static_cast<Verdict>((choice >> (2 * (asked++ % 4))) % 3);
        refused += v != Verdict::Deliver;
        return v;
    };

    ReceiverConn r = make_receiver();
    std::vector<uint8_t> sent;
    unsigned delivered = 0;
    bool closed = false;
    for (std::size_t pos = 0, n = 1; pos < stream.size(); pos += n, n = n * 5 % 67 + 1) {
        const ByteView piece = ByteView(stream).sub(pos, n);
        const ReceiverOutput out = receiver_feed(r, piece, policy);
        require(!closed || (out.send.empty() && out.messages.empty()));
        for (ReceivedMessage m : out.messages)
            require(ours(m.to) && valid(m.from));
        delivered += static_cast<unsigned>(out.messages.size());
        sent.insert(sent.end(), out.send.begin(), out.send.end());
        closed = closed || out.close;
    }
    require(delivered + refused == asked);

    // A positive session response is the first bytes sent, and answers the first frame after any keepalives: a
    // request for us.
    std::size_t first = 0;
    while (first + 4 <= stream.size() && stream[first] == kSessionKeepalive && !(stream[first + 1] & 1) &&
           stream[first + 2] == 0 && stream[first + 3] == 0)
        first += 4;
    for (std::size_t i = 0; i + 4 <= sent.size(); i += 4 + ((sent[i + 1] & 1) << 16 | sent[i + 2] << 8 | sent[i + 3]))
        if (sent[i] == kSessionPositive)
            require(i == 0 && stream.size() >= first + 72 && stream[first] == kSessionRequest &&
                    ours(called_of(std::vector<uint8_t>(stream.begin() + first, stream.begin() + first + 72))));
    return 0;
}
