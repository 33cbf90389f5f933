// nbns.h - NetBIOS name service packets on UDP 137: name queries and their answers, and the registration,
// refresh and release of a name with a name server (WINS).
#ifndef TOLVIK_MSGSVC_NBNS_H
#define TOLVIK_MSGSVC_NBNS_H

#include "msgsvc/core/bytes.h"
#include "msgsvc/core/nbname.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace msgsvc {

constexpr uint16_t kNbnsResponse = 0x8000;
constexpr uint16_t kNbnsOpcodeMask = 0x7800;
constexpr uint16_t kNbnsAuthoritative = 0x0400;
constexpr uint16_t kNbnsTruncated = 0x0200;
constexpr uint16_t kNbnsRecursionDesired = 0x0100;
constexpr uint16_t kNbnsRecursionAvailable = 0x0080;
constexpr uint16_t kNbnsBroadcast = 0x0010;
constexpr uint16_t kNbnsRcodeMask = 0x000F;
constexpr uint8_t kNbnsNameError = 3;  // RCODE of a negative response: name not found

constexpr uint16_t kNbFlagGroup = 0x8000;  // NB_FLAGS: group name
constexpr uint16_t kNbNodeTypeMask = 0x6000;

constexpr std::size_t kNameQuerySize = 50;

struct NameQuery {
    uint16_t transaction_id = 0;
    uint16_t flags = 0;
    NetbiosName name;
    bool broadcast() const { return (flags & kNbnsBroadcast) != 0; }
};

struct NbAddress {
    uint16_t nb_flags = 0;
    uint32_t ipv4 = 0;  // host order: 127.0.0.1 is 0x7F000001
};

struct NameQueryResponse {
    uint16_t transaction_id = 0;
    uint16_t flags = 0;
    uint8_t rcode = 0;  // non-zero: negative, nothing else is filled in
    NetbiosName name;
    uint32_t ttl = 0;
    std::vector<NbAddress> addresses;
};

// 50-byte query for name<suffix>: flags 0x0110 when broadcast, else 0x0100 (recursion desired).
std::vector<uint8_t> build_name_query(uint16_t transaction_id, const NetbiosName &name, bool broadcast);

// Accepts a query for an NB record of class IN: response bit clear, opcode 0, one question, no answers.
// Node status queries, compressed or scoped names and short packets are rejected; bytes after the question
// are ignored.
std::optional<NameQuery> parse_name_query(ByteView packet);

// Positive response (flags 0x8500, one answer with the full name, TYPE NB, CLASS IN). At most 10922
// addresses fit RDLENGTH; any beyond are left out.
std::vector<uint8_t> build_name_query_response(uint16_t transaction_id, const NetbiosName &name, uint32_t ttl,
                                               const std::vector<NbAddress> &addresses);

// Negative response (flags 0x8503, RCODE 3 "name not found") to a unicast query for a name that is not ours:
// the name with TTL 0 and no address.
std::vector<uint8_t> build_negative_name_query_response(uint16_t transaction_id, const NetbiosName &name);

// Accepts a query response (response bit set, opcode 0). With RCODE 0 the first answer must be an NB record of
// class IN whose name is encoded in full, or is the pointer C0 0C to a question that precedes it; RDLENGTH must
// be a multiple of 6 inside the packet.
std::optional<NameQueryResponse> parse_name_query_response(ByteView packet);

// What a request asks a name server to do with one unique name.
enum class NameOp : uint8_t {
    Register = 5,  // flags 0x2900 (recursion desired), as a P/H-node asks its server
    Release = 6,   // flags 0x3000
    Refresh = 8,   // flags 0x4000
};
constexpr uint8_t kNbnsOpcodeWack = 7;  // "wait for acknowledgement": the answer's TTL is the seconds to wait

// A request with the question name<suffix> and, in the additional section, its record (pointer C0 0C to the
// question, TYPE NB, CLASS IN, ttl, one address).
std::vector<uint8_t> build_name_request(NameOp op, uint16_t transaction_id, const NetbiosName &name, uint32_t ttl,
                                        const NbAddress &address);

struct NameServiceReply {
    uint16_t transaction_id = 0;
    uint8_t opcode = 0;  // 5..9 (servers answer a refresh with opcode 5, 8 or 9)
    uint8_t rcode = 0;   // 0: granted (or released); else refused
    uint32_t ttl = 0;    // granted seconds; for a WACK the seconds to wait; 0 when the answer has no record
    std::optional<NetbiosName> name;  // the name the answer is about; unset when it names none
};

// Accepts the answer to a registration, refresh or release (response bit set, opcode 5 to 9). The name and TTL
// are read from the first answer record when there is one with a whole name or a pointer to the question's.
std::optional<NameServiceReply> parse_name_service_reply(ByteView packet);

} // namespace msgsvc

#endif
