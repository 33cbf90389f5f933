// resolve.h - which name-query answer a sender believes, and which addresses it will send a message to.
#ifndef TOLVIK_MSGSVC_RESOLVE_H
#define TOLVIK_MSGSVC_RESOLVE_H

#include "msgsvc/core/bytes.h"
#include "msgsvc/core/nbname.h"

#include <cstdint>

namespace msgsvc {

// An address a message may go to: not 0.0.0.0/8 (on many systems a connection there reaches this computer),
// not multicast (224.0.0.0/4), not reserved (240.0.0.0/4) nor 255.255.255.255; loopback (127.0.0.0/8) only
// when loopback_ok, that is when the answer itself comes from this computer. Addresses in host order.
bool usable_address(uint32_t ipv4, bool loopback_ok);

// One name query in flight.
struct NameAsked {
    uint16_t transaction_id = 0;
    NetbiosName name;
    bool broadcast = false;
    uint32_t server = 0;  // unicast: the name server asked; answers from any other address or port are ignored
    uint16_t server_port = 0;
};

enum class AnswerKind : uint8_t {
    Ignore,    // not an answer to this query (or a broadcast answer that says nothing useful): keep waiting
    Negative,  // the name server asked says the name is not there, or gives nothing usable: stop asking it
    Found,     // ipv4 holds the address
};
struct Answer {
    AnswerKind kind = AnswerKind::Ignore;
    uint32_t ipv4 = 0;
};

// Judges one datagram that arrived from from_ip:from_port while `asked` was waiting. The answer must carry the
// transaction id and the name asked; the address taken is the first unique (non-group) usable one.
Answer judge_answer(const NameAsked &asked, ByteView packet, uint32_t from_ip, uint16_t from_port);

} // namespace msgsvc

#endif
