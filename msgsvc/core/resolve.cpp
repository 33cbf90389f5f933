// resolve.cpp - belief in name-query answers and the sanity check of resolved addresses.
#include "msgsvc/core/resolve.h"

#include "msgsvc/core/nbns.h"

namespace msgsvc {

namespace {

bool is_loopback(uint32_t ipv4) { return (ipv4 >> 24) == 127; }

} // namespace

bool usable_address(uint32_t ipv4, bool loopback_ok)
{
    const uint32_t first = ipv4 >> 24;
    return first != 0 && first < 224 && (loopback_ok || !is_loopback(ipv4));
}

Answer judge_answer(const NameAsked &asked, ByteView packet, uint32_t from_ip, uint16_t from_port)
{
    if (!asked.broadcast && (from_ip != asked.server || from_port != asked.server_port))
        return {};
    const auto r = parse_name_query_response(packet);
    if (!r || r->transaction_id != asked.transaction_id)
        return {};
    // A broadcast is answered by whoever owns the name; the others' silence or refusals say nothing.
    const Answer nothing{asked.broadcast ? AnswerKind::Ignore : AnswerKind::Negative, 0};
    if (r->rcode != 0)
        return nothing;
    if (r->name.suffix != asked.name.suffix || !same_name(r->name.name, asked.name.name, ascii_name_case()))
        return {};
    for (const NbAddress &a : r->addresses)
        if (!(a.nb_flags & kNbFlagGroup) && usable_address(a.ipv4, is_loopback(from_ip)))
            return {AnswerKind::Found, a.ipv4};
    return nothing;
}

} // namespace msgsvc
