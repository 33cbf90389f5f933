// nbns.cpp - NetBIOS name service packets: queries, their answers, and requests to a name server.
#include "msgsvc/core/nbns.h"

namespace msgsvc {

namespace {

constexpr std::size_t kHeaderSize = 12;
constexpr uint16_t kTypeNb = 0x0020;
constexpr uint16_t kClassIn = 0x0001;
constexpr uint16_t kFlagsPositive = kNbnsResponse | kNbnsAuthoritative | kNbnsRecursionDesired;
constexpr std::size_t kMaxAddresses = 0xFFFF / 6;

struct Counts {
    uint16_t qd, an, ns, ar;
};

Counts counts_of(ByteView p)
{
    return Counts{get_be16(p.data + 4), get_be16(p.data + 6), get_be16(p.data + 8), get_be16(p.data + 10)};
}

void put_header(std::vector<uint8_t> &out, uint16_t id, uint16_t flags, uint16_t qd, uint16_t an, uint16_t ar = 0)
{
    put_be16(out, id);
    put_be16(out, flags);
    put_be16(out, qd);
    put_be16(out, an);
    put_be16(out, 0);
    put_be16(out, ar);
}

void put_name(std::vector<uint8_t> &out, const NetbiosName &name)
{
    const EncodedName e = encode_name(name.name, name.suffix);
    out.insert(out.end(), e.begin(), e.end());
}

} // namespace

std::vector<uint8_t> build_name_query(uint16_t transaction_id, const NetbiosName &name, bool broadcast)
{
    std::vector<uint8_t> out;
    out.reserve(kNameQuerySize);
    put_header(out, transaction_id, broadcast ? kNbnsRecursionDesired | kNbnsBroadcast : kNbnsRecursionDesired, 1,
               0);
    put_name(out, name);
    put_be16(out, kTypeNb);
    put_be16(out, kClassIn);
    return out;
}

std::optional<NameQuery> parse_name_query(ByteView packet)
{
    if (packet.size < kNameQuerySize)
        return std::nullopt;
    const uint16_t flags = get_be16(packet.data + 2);
    const Counts c = counts_of(packet);
    if ((flags & (kNbnsResponse | kNbnsOpcodeMask)) != 0 || c.qd != 1 || c.an != 0)
        return std::nullopt;
    const auto name = decode_name(packet.sub(kHeaderSize, kEncodedNameSize));
    const uint8_t *tail = packet.data + kHeaderSize + kEncodedNameSize;
    if (!name || get_be16(tail) != kTypeNb || get_be16(tail + 2) != kClassIn)
        return std::nullopt;
    NameQuery q;
    q.transaction_id = get_be16(packet.data);
    q.flags = flags;
    q.name = *name;
    return q;
}

std::vector<uint8_t> build_name_query_response(uint16_t transaction_id, const NetbiosName &name, uint32_t ttl,
                                               const std::vector<NbAddress> &addresses)
{
    const std::size_t n = addresses.size() < kMaxAddresses ? addresses.size() : kMaxAddresses;
    std::vector<uint8_t> out;
    out.reserve(kHeaderSize + kEncodedNameSize + 10 + 6 * n);
    put_header(out, transaction_id, kFlagsPositive, 0, 1);
    put_name(out, name);
    put_be16(out, kTypeNb);
    put_be16(out, kClassIn);
    put_be32(out, ttl);
    put_be16(out, static_cast<uint16_t>(6 * n));
    for (std::size_t i = 0; i < n; ++i) {
        put_be16(out, addresses[i].nb_flags);
        put_be32(out, addresses[i].ipv4);
    }
    return out;
}

std::vector<uint8_t> build_negative_name_query_response(uint16_t transaction_id, const NetbiosName &name)
{
    std::vector<uint8_t> out;
    put_header(out, transaction_id, kFlagsPositive | kNbnsNameError, 0, 1);
    put_name(out, name);
    put_be16(out, kTypeNb);
    put_be16(out, kClassIn);
    put_be32(out, 0);
    put_be16(out, 0);
    return out;
}

std::optional<NameQueryResponse> parse_name_query_response(ByteView packet)
{
    if (packet.size < kHeaderSize)
        return std::nullopt;
    NameQueryResponse r;
    r.transaction_id = get_be16(packet.data);
    r.flags = get_be16(packet.data + 2);
    if (!(r.flags & kNbnsResponse) || (r.flags & kNbnsOpcodeMask) != 0)
        return std::nullopt;
    r.rcode = static_cast<uint8_t>(r.flags & kNbnsRcodeMask);
    if (r.rcode != 0)
        return r;

    const Counts c = counts_of(packet);
    if (c.an < 1 || c.qd > 1)
        return std::nullopt;
    std::size_t pos = kHeaderSize;
    std::optional<NetbiosName> question;
    if (c.qd == 1) {
        question = decode_name(packet.sub(pos));
        if (!question || packet.size - pos < kEncodedNameSize + 4)
            return std::nullopt;
        pos += kEncodedNameSize + 4;
    }

    std::optional<NetbiosName> name;
    if (packet.size - pos >= 2 && packet[pos] == 0xC0 && packet[pos + 1] == kHeaderSize) {
        name = question;
        pos += 2;
    } else {
        name = decode_name(packet.sub(pos));
        pos += kEncodedNameSize;
    }
    if (!name || packet.size < pos || packet.size - pos < 10)
        return std::nullopt;
    const uint8_t *rr = packet.data + pos;
    const uint16_t rdlength = get_be16(rr + 8);
    if (get_be16(rr) != kTypeNb || get_be16(rr + 2) != kClassIn || rdlength % 6 != 0 ||
        rdlength > packet.size - pos - 10)
        return std::nullopt;
    r.name = *name;
    r.ttl = get_be32(rr + 4);
    for (std::size_t off = 0; off < rdlength; off += 6)
        r.addresses.push_back(NbAddress{get_be16(rr + 10 + off), get_be32(rr + 12 + off)});
    return r;
}

std::vector<uint8_t> build_name_request(NameOp op, uint16_t transaction_id, const NetbiosName &name, uint32_t ttl,
                                        const NbAddress &address)
{
    const uint16_t flags =
        static_cast<uint16_t>(static_cast<unsigned>(op) << 11) | (op == NameOp::Register ? kNbnsRecursionDesired : 0);
    std::vector<uint8_t> out;
    out.reserve(kNameQuerySize + 18);
    put_header(out, transaction_id, flags, 1, 0, 1);
    put_name(out, name);
    put_be16(out, kTypeNb);
    put_be16(out, kClassIn);
    put_be16(out, 0xC000 | kHeaderSize);
    put_be16(out, kTypeNb);
    put_be16(out, kClassIn);
    put_be32(out, ttl);
    put_be16(out, 6);
    put_be16(out, address.nb_flags);
    put_be32(out, address.ipv4);
    return out;
}

std::optional<NameServiceReply> parse_name_service_reply(ByteView packet)
{
    if (packet.size < kHeaderSize)
        return std::nullopt;
    const uint16_t flags = get_be16(packet.data + 2);
    NameServiceReply r;
    r.transaction_id = get_be16(packet.data);
    r.opcode = static_cast<uint8_t>((flags & kNbnsOpcodeMask) >> 11);
    r.rcode = static_cast<uint8_t>(flags & kNbnsRcodeMask);
    if (!(flags & kNbnsResponse) || r.opcode < 5 || r.opcode > 9)
        return std::nullopt;
    const Counts c = counts_of(packet);
    std::size_t pos = kHeaderSize + (c.qd == 1 ? kEncodedNameSize + 4 : 0);
    if (c.an == 0 || c.qd > 1 || packet.size < pos + 2)
        return r;
    std::optional<NetbiosName> name;
    if (packet[pos] == 0xC0 && packet[pos + 1] == kHeaderSize) {
        if (c.qd == 1)
            name = decode_name(packet.sub(kHeaderSize));
        pos += 2;
    } else {
        name = decode_name(packet.sub(pos));
        pos += kEncodedNameSize;
    }
    if (packet.size >= pos + 8) {
        r.ttl = get_be32(packet.data + pos + 4);
        r.name = name;
    }
    return r;
}

} // namespace msgsvc
