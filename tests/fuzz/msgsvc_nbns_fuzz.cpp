// Fuzz target: hostile UDP 137 datagrams against the name query parsers (what parses must rebuild identically)
// and against the WINS registration schedule (only the asked server's answer about the name asked settles a
// request) and the sender's judgement of answers (it believes only usable addresses from the server it asked).
#include "msgsvc/core/nbname.h"
#include "msgsvc/core/nbns.h"
#include "msgsvc/core/resolve.h"
#include "msgsvc/core/wins.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

using namespace msgsvc;

namespace {

void require(bool ok)
{
    if (!ok)
        std::abort();
}

std::string ascii_upper(std::string s)
{
    for (char &c : s)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return s;
}

// A decoded name encodes back to a name that decodes to its upper-case form.
void check_name(const NetbiosName &n)
{
    require(n.name.size() <= kNameBytes);
    const EncodedName e = encode_name(n.name, n.suffix);
    const auto again = decode_name(ByteView(e.data(), e.size()));
    require(again && again->suffix == n.suffix && again->name == ascii_upper(n.name));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size)
{
    if (size > 2048)
        return 0;
    const ByteView in(data, size);

    if (const auto n = decode_name(in))
        check_name(*n);

    if (const auto q = parse_name_query(in)) {
        check_name(q->name);
        const auto rebuilt = build_name_query(q->transaction_id, q->name, q->broadcast());
        const auto back = parse_name_query(rebuilt);
        require(back && back->transaction_id == q->transaction_id && back->broadcast() == q->broadcast());
        require(back->name == NetbiosName{ascii_upper(q->name.name), q->name.suffix});
    }

    if (const auto r = parse_name_query_response(in)) {
        require(r->rcode == (r->flags & kNbnsRcodeMask));
        if (r->rcode == 0) {
            check_name(r->name);
            require(6 * r->addresses.size() <= size);
            const auto rebuilt = build_name_query_response(r->transaction_id, r->name, r->ttl, r->addresses);
            const auto back = parse_name_query_response(rebuilt);
            require(back && back->ttl == r->ttl && back->addresses.size() == r->addresses.size());
            for (std::size_t i = 0; i < r->addresses.size(); ++i)
                require(back->addresses[i].ipv4 == r->addresses[i].ipv4 &&
                        back->addresses[i].nb_flags == r->addresses[i].nb_flags);
        } else {
            require(r->addresses.empty());
        }
        const NameAsked asked{r->transaction_id, r->name, false, 0x0A000001, 137};
        const Answer a = judge_answer(asked, in, 0x0A000001, 137);
        require(a.kind != AnswerKind::Found || usable_address(a.ipv4, false));
        require(judge_answer(asked, in, 0x0A000002, 137).kind == AnswerKind::Ignore);
    }

    if (const auto r = parse_name_service_reply(in)) {
        require(r->opcode >= 5 && r->opcode <= 9 && r->opcode == ((get_be16(data + 2) & kNbnsOpcodeMask) >> 11));
        std::vector<WinsName> names = wins_names({"BOB"}, {{1, 137}}, [](const Endpoint &) { return 2u; }, 0);
        wins_due(names, 0, [&] { return r->transaction_id; });
        require(!wins_reply(names, {1, 138}, in, 1) && names[0].waiting);
        const auto note = wins_reply(names, {1, 137}, in, 1);
        const bool about_bob = r->name && r->name->suffix == kSuffixMessenger &&
                               same_name(r->name->name, "BOB", ascii_name_case());
        require(note.has_value() == (about_bob && r->opcode != kNbnsOpcodeWack) && names[0].waiting == !note);
        require(!note || (note->event == WinsEvent::Registered) == (r->rcode == 0));
        require(names[0].registered == (note && r->rcode == 0));
    }
    return 0;
}
