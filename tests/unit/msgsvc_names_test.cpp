// Unit tests for NetBIOS names, name query packets, the answers a sender believes and the LMHOSTS table.
#include "msgsvc/core/lmhosts.h"
#include "msgsvc/core/nbname.h"
#include "msgsvc/core/nbns.h"
#include "msgsvc/core/resolve.h"

#include "tests/unit/msgsvc_hex.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace msgsvc;

namespace {

std::vector<uint8_t> encoded(std::string_view letters) { return hex("20 \"" + std::string(letters) + "\" 00"); }

std::vector<uint8_t> vec(const EncodedName &e) { return std::vector<uint8_t>(e.begin(), e.end()); }

} // namespace

TEST(msgsvcNetbiosName, EncodesKnownVectors)
{
    struct Case { const char *name; uint8_t suffix; const char *letters; };
    const Case cases[] = {
        {"TOLVIKPEER", 0x03, "FEEPEMFGEJELFAEFEFFCCACACACACAAD"},
        {"SENDERPC", 0x00, "FDEFEOEEEFFCFAEDCACACACACACACAAA"},
        {"PEERBOX", 0x03, "FAEFEFFCECEPFICACACACACACACACAAD"},
        {"*SMBSERVER", 0x20, "CKFDENECFDEFFCFGEFFCCACACACACACA"},
        {"*", 0x00, "CKAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA"},
        {"tolvikPeer", 0x03, "FEEPEMFGEJELFAEFEFFCCACACACACAAD"},    // upper-cased
        {"ABCDEFGHIJKLMNOPQR", 0x03, "EBECEDEEEFEGEHEIEJEKELEMENEOEPAD"},  // cut to 15
        {"", 0x03, "CACACACACACACACACACACACACACACAAD"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(vec(encode_name(c.name, c.suffix)), encoded(c.letters)) << c.name;
        const auto back = decode_name(encoded(c.letters));
        ASSERT_TRUE(back) << c.name;
        EXPECT_EQ(back->name, canonical_name(c.name, ascii_name_case())) << c.name;
        EXPECT_EQ(back->suffix, c.suffix) << c.name;
    }
}

TEST(msgsvcNetbiosName, DecodeRejectsMalformed)
{
    const std::vector<uint8_t> good = encoded("FEEPEMFGEJELFAEFEFFCCACACACACAAD");
    struct Case { const char *what; std::size_t at; int value; };
    const Case cases[] = {
        {"length byte", 0, 0x1F},  {"letter Q", 5, 'Q'},    {"letter before A", 32, '@'},
        {"lower case", 1, 'f'},    {"scope", 33, 0x05},     {"truncated", 33, -1},
    };
    for (const Case &c : cases) {
        std::vector<uint8_t> bad = good;
        if (c.value < 0)
            bad.resize(c.at);
        else
            bad[c.at] = static_cast<uint8_t>(c.value);
        EXPECT_FALSE(decode_name(bad)) << c.what;
    }
}

TEST(msgsvcNetbiosName, ComparedUpperCasedInTheirCodePage)
{
    // As Windows upper-cases these code pages: 850 (Western), 866 (Cyrillic), and a double-byte one whose lead
    // bytes are 0x81 to 0x9F.
    NameCase cp850 = ascii_name_case(), cp866 = ascii_name_case(), dbcs = ascii_name_case();
    cp850.upper[0x94] = 0x99;  // o umlaut
    for (uint8_t b = 0xA0; b <= 0xAF; ++b)
        cp866.upper[b] = static_cast<uint8_t>(b - 0x20);
    for (uint8_t b = 0xE0; b <= 0xEF; ++b)
        cp866.upper[b] = static_cast<uint8_t>(b - 0x50);
    for (uint8_t b = 0x81; b <= 0x9F; ++b)
        dbcs.lead[b] = true;
    const NameCase &ascii = ascii_name_case();
    struct Case { const char *what; const NameCase &by; std::string a, b; bool same; };
    const Case cases[] = {
        {"case and padding", ascii, "tolvikpeer", "TOLVIKPEER  ", true},
        {"compared by 15 bytes", ascii, "ABCDEFGHIJKLMNOxyz", "abcdefghijklmno", true},
        {"another name", ascii, "PEER", "PEER2", false},
        {"a leading blank", ascii, " PEER", "PEER", false},
        {"Joerg as configured and as sent", cp850, "J\x94rg", "J\x99RG", true},
        {"... only where the code page is known", ascii, "J\x94rg", "J\x99RG", false},
        {"Dmitry as configured and as sent", cp866, "\xA4\xAC\xA8\xE2\xE0\xA8\xA9", "\x84\x8C\x88\x92\x90\x88\x89",
         true},
        {"a trail byte is not a letter", dbcs, "a\x82" "a", "A\x82" "A", false},
        {"... and stays as it is", dbcs, "a\x82" "a", "A\x82" "a", true},
        {"a double-byte character that does not fit is cut whole", dbcs, "abcdefghijklmn\x82" "a", "ABCDEFGHIJKLMN",
         true},
    };
    for (const Case &c : cases)
        EXPECT_EQ(same_name(c.a, c.b, c.by), c.same) << c.what;
}

TEST(msgsvcNameQuery, BuildsKnownBroadcastAndUnicastQueries)
{
    const auto broadcast = hex("7F 8F 01 10 00 01 00 00 00 00 00 00 20 \"FAEFEFFCECEPFICACACACACACACACAAD\" 00 00 20 00 01");
    EXPECT_EQ(build_name_query(0x7F8F, {"PEERBOX", 0x03}, true), broadcast);

    std::vector<uint8_t> unicast = broadcast;
    unicast[3] = 0x00;
    EXPECT_EQ(build_name_query(0x7F8F, {"PEERBOX", 0x03}, false), unicast);

    for (const auto &packet : {broadcast, unicast}) {
        const auto q = parse_name_query(packet);
        ASSERT_TRUE(q);
        EXPECT_EQ(q->transaction_id, 0x7F8F);
        EXPECT_EQ(q->name, (NetbiosName{"PEERBOX", 0x03}));
        EXPECT_EQ(q->broadcast(), packet[3] == 0x10);
    }
}

TEST(msgsvcNameQuery, ParseRejectsWhatIsNotAPlainNbQuery)
{
    const auto good = build_name_query(1, {"PEERBOX", 0x03}, true);
    struct Case { const char *what; std::size_t at; uint8_t value; };
    const Case cases[] = {
        {"response bit", 2, 0x81}, {"opcode register", 2, 0x29}, {"no question", 5, 0},
        {"two questions", 5, 2},   {"an answer", 7, 1},          {"bad name letter", 13, 'Z'},
        {"node status type", 47, 0x21}, {"class", 49, 0x02},
    };
    for (const Case &c : cases) {
        auto bad = good;
        bad[c.at] = c.value;
        EXPECT_FALSE(parse_name_query(bad)) << c.what;
    }
    for (std::size_t n = 0; n < good.size(); ++n)
        EXPECT_FALSE(parse_name_query(ByteView(good.data(), n))) << "length " << n;
    auto longer = good;
    longer.push_back(0xAA);
    EXPECT_TRUE(parse_name_query(longer));
}

TEST(msgsvcNameQueryResponse, RoundTripsAndAcceptsPointerToQuestion)
{
    const std::vector<NbAddress> addrs = {{0x0000, 0x7F000001}, {0x6000, 0xC0A80105}};
    const auto packet = build_name_query_response(0x1234, {"PEERBOX", 0x03}, 300000, addrs);
    EXPECT_EQ(std::vector<uint8_t>(packet.begin(), packet.begin() + 12), hex("12 34 85 00 00 00 00 01 00 00 00 00"));
    EXPECT_EQ(packet.size(), 12u + 34 + 10 + 12);

    auto r = parse_name_query_response(packet);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->rcode, 0);
    EXPECT_EQ(r->name, (NetbiosName{"PEERBOX", 0x03}));
    EXPECT_EQ(r->ttl, 300000u);
    ASSERT_EQ(r->addresses.size(), 2u);
    EXPECT_EQ(r->addresses[1].ipv4, 0xC0A80105u);
    EXPECT_EQ(r->addresses[1].nb_flags, 0x6000);

    // Question echoed, answer name as a pointer to it.
    auto with_question = build_name_query(0x1234, {"PEERBOX", 0x03}, false);
    with_question[2] = 0x85;
    with_question[3] = 0x80;
    with_question[7] = 1;
    const auto answer = hex("C0 0C 00 20 00 01 00 00 00 3C 00 06 00 00 0A 00 00 07");
    with_question.insert(with_question.end(), answer.begin(), answer.end());
    r = parse_name_query_response(with_question);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->name.name, "PEERBOX");
    ASSERT_EQ(r->addresses.size(), 1u);
    EXPECT_EQ(r->addresses[0].ipv4, 0x0A000007u);
}

TEST(msgsvcNameQueryResponse, RejectsInconsistentPackets)
{
    const auto good = build_name_query_response(7, {"PEERBOX", 0x03}, 60, {{0, 0x7F000001}});
    // Offsets: flags 2, AN 7, name 12..45, type 46, class 48, ttl 50, rdlength 54..55, data 56.
    struct Case { const char *what; std::size_t at; uint8_t value; };
    const Case cases[] = {
        {"not a response", 2, 0x05}, {"no answer", 7, 0},       {"pointer without question", 12, 0xC0},
        {"type NBSTAT", 47, 0x21},   {"class", 49, 0x03},       {"rdlength not 6n", 55, 5},
        {"rdlength beyond", 55, 12}, {"bad name", 20, 'z'},
    };
    for (const Case &c : cases) {
        auto bad = good;
        bad[c.at] = c.value;
        if (c.at == 12)
            bad[13] = 0x0C;
        EXPECT_FALSE(parse_name_query_response(bad)) << c.what;
    }
    for (std::size_t n = 0; n < good.size(); ++n)
        EXPECT_FALSE(parse_name_query_response(ByteView(good.data(), n))) << "length " << n;

    const auto negative = hex("00 07 85 03 00 00 00 00 00 00 00 00");
    const auto r = parse_name_query_response(negative);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->rcode, kNbnsNameError);
    EXPECT_TRUE(r->addresses.empty());
}

TEST(msgsvcNameAnswer, BelievesOnlyTheServerAskedAndUsableAddresses)
{
    constexpr uint32_t kServer = 0x0A000001, kOther = 0x0A000063, kPeer = 0x0A000007, kLoop = 0x7F000003;
    const NetbiosName name{"PEERBOX", 0x03};
    const NameAsked unicast{0xBEEF, name, false, kServer, 137};
    NameAsked broadcast = unicast;
    broadcast.broadcast = true;
    auto answer = [&](std::vector<NbAddress> a, uint16_t id = 0xBEEF, NetbiosName n = {"peerbox", 0x03}) {
        return build_name_query_response(id, n, 0, a);
    };
    auto negative = hex("BE EF 85 03 00 00 00 00 00 00 00 00");
    struct Case { const char *what; const NameAsked &asked; std::vector<uint8_t> packet; uint32_t from; uint16_t port;
                  AnswerKind kind; uint32_t ip; };
    const Case cases[] = {
        {"the server asked", unicast, answer({{0, kPeer}}), kServer, 137, AnswerKind::Found, kPeer},
        {"another host first", unicast, answer({{0, kOther}}), kOther, 137, AnswerKind::Ignore, 0},
        {"another port", unicast, answer({{0, kOther}}), kServer, 138, AnswerKind::Ignore, 0},
        {"wrong id", unicast, answer({{0, kPeer}}, 0xBEEE), kServer, 137, AnswerKind::Ignore, 0},
        {"another name", unicast, answer({{0, kPeer}}, 0xBEEF, {"PEERBOX", 0x00}), kServer, 137, AnswerKind::Ignore, 0},
        {"not found", unicast, negative, kServer, 137, AnswerKind::Negative, 0},
        {"group, 0.0.0.0, broadcast, multicast, class E, then usable", unicast,
         answer({{kNbFlagGroup, kPeer}, {0, 0}, {0, 0xFFFFFFFF}, {0, 0xE0000001}, {0, 0xF0000001}, {0, kOther}}),
         kServer, 137, AnswerKind::Found, kOther},
        {"only unusable", unicast, answer({{0, 0x00000001}}), kServer, 137, AnswerKind::Negative, 0},
        {"loopback from a remote server", unicast, answer({{0, kLoop}}), kServer, 137, AnswerKind::Negative, 0},
        {"broadcast: anyone", broadcast, answer({{0, kOther}}), kOther, 1234, AnswerKind::Found, kOther},
        {"broadcast: a refusal says nothing", broadcast, negative, kOther, 137, AnswerKind::Ignore, 0},
    };
    for (const Case &c : cases) {
        const Answer a = judge_answer(c.asked, c.packet, c.from, c.port);
        EXPECT_EQ(a.kind, c.kind) << c.what;
        EXPECT_EQ(a.ipv4, c.ip) << c.what;
    }
    const NameAsked local{0xBEEF, name, false, kLoop, 137};
    EXPECT_EQ(judge_answer(local, answer({{0, kLoop}}), kLoop, 137).ipv4, kLoop) << "loopback from this computer";
}

TEST(msgsvcIpv4, ParsesOnlyStrictDottedQuads)
{
    struct Case { const char *text; bool ok; uint32_t value; };
    const Case cases[] = {
        {"127.0.0.1", true, 0x7F000001}, {"255.255.255.255", true, 0xFFFFFFFF}, {"0.0.0.0", true, 0},
        {"256.0.0.1", false, 0},         {"1.2.3", false, 0},                   {"1.2.3.4.5", false, 0},
        {"1.2.3.4 ", false, 0},          {"1..3.4", false, 0},                  {"010.1.1.1", false, 0},
        {"1.2.3.0004", false, 0},        {"-1.2.3.4", false, 0},                {"", false, 0},
    };
    for (const Case &c : cases) {
        const auto v = parse_ipv4(c.text);
        EXPECT_EQ(v.has_value(), c.ok) << c.text;
        if (v && c.ok) {
            EXPECT_EQ(*v, c.value) << c.text;
        }
    }
}

TEST(msgsvcLmhosts, ParsesEntriesAndSkipsEverythingElse)
{
    const char *file =
        "# sample\r\n"
        "\r\n"
        "192.168.1.5   peerbox   #PRE  #DOM:WORK  # office printer room\r\n"
        "10.0.0.7\tFileSrv#20\n"
        "10.0.0.8 \"TOLVIKPEER     \\0x03\"\n"
        "#INCLUDE \\\\server\\share\\lmhosts\n"
        "#BEGIN_ALTERNATE\n"
        "#END_ALTERNATE\n"
        "10.0.0.300 badip\n"
        "10.0.0.9 NAMEISSIXTEENLONG\n"
        "10.0.0.10 \"unterminated\n"
        "10.0.0.11 two names\n"
        "10.0.0.12 BADSUFFIX#3\n"
        "10.0.0.13\n"
        "   10.0.0.14   indented#03   #MH\n"
        "10.0.0.15 \"short\"";
    const auto entries = parse_lmhosts(file);
    ASSERT_EQ(entries.size(), 5u);
    EXPECT_EQ(entries[0].name, "PEERBOX");
    EXPECT_TRUE(entries[0].preload);
    EXPECT_FALSE(entries[0].suffix);
    EXPECT_EQ(entries[1].name, "FILESRV");
    EXPECT_EQ(entries[1].suffix, 0x20);
    EXPECT_EQ(entries[2].name, "TOLVIKPEER");
    EXPECT_EQ(entries[2].suffix, 0x03);
    EXPECT_EQ(entries[3].name, "INDENTED");
    EXPECT_EQ(entries[3].ipv4, 0x0A00000Eu);
    EXPECT_EQ(entries[4].name, "SHORT");
    EXPECT_FALSE(entries[4].suffix);
}

TEST(msgsvcLmhosts, LookupIsCaseInsensitiveAndHonoursSuffixes)
{
    const auto entries = parse_lmhosts("10.0.0.1 peer#20\n10.0.0.2 PEER\n10.0.0.3 other#03\n10.0.0.4 other\n");
    struct Case { const char *name; uint8_t suffix; std::optional<uint32_t> want; };
    const Case cases[] = {
        {"Peer", 0x20, 0x0A000001}, {"peer", 0x03, 0x0A000002}, {"OTHER", 0x03, 0x0A000003},
        {"other", 0x00, 0x0A000004}, {"missing", 0x03, std::nullopt}, {"PEE", 0x03, std::nullopt},
    };
    for (const Case &c : cases)
        EXPECT_EQ(lmhosts_lookup(entries, c.name, c.suffix, ascii_name_case()), c.want) << c.name;
}

TEST(msgsvcNameServer, BuildsKnownRequestsAndTheNegativeQueryAnswer)
{
    const std::string name = "20 \"FHEJEOFDENEBFEEFCACACACACACACAAD\" 00 00 20 00 01";  // WINSMATE<03>, NB, IN
    const std::string record = " C0 0C 00 20 00 01";
    const NbAddress a{0x6000, 0x7F000002};
    EXPECT_EQ(build_name_request(NameOp::Register, 0x1234, {"winsmate", 3}, 259200, a),
              hex("12 34 29 00 00 01 00 00 00 00 00 01 " + name + record + " 00 03 F4 80 00 06 60 00 7F 00 00 02"));
    EXPECT_EQ(build_name_request(NameOp::Refresh, 0x1234, {"WINSMATE", 3}, 259200, a),
              hex("12 34 40 00 00 01 00 00 00 00 00 01 " + name + record + " 00 03 F4 80 00 06 60 00 7F 00 00 02"));
    EXPECT_EQ(build_name_request(NameOp::Release, 0x1234, {"WINSMATE", 3}, 0, a),
              hex("12 34 30 00 00 01 00 00 00 00 00 01 " + name + record + " 00 00 00 00 00 06 60 00 7F 00 00 02"));
    EXPECT_EQ(build_negative_name_query_response(7, {"WINSMATE", 3}),
              hex("00 07 85 03 00 00 00 01 00 00 00 00 " + name + " 00 00 00 00 00 00"));
}

TEST(msgsvcNameServer, ParsesTheServersAnswers)
{
    const std::string answer = " 00 00 00 01 00 00 00 00 20 \"FHEJEOFDENEBFEEFCACACACACACACAAD\" 00 00 20 00 01";
    const std::string question = " 00 01 00 01 00 00 00 00 20 \"FHEJEOFDENEBFEEFCACACACACACACAAD\" 00 00 20 00 01";
    struct Case { const char *what; std::vector<uint8_t> packet; uint8_t opcode, rcode; uint32_t ttl; bool named; };
    const Case cases[] = {  // as nmbd sends them
        {"granted", hex("BE 8B AD 80" + answer + " 00 00 54 60 00 06 60 00 7F 00 00 02"), 5, 0, 21600, true},
        {"released", hex("65 74 B4 00" + answer + " 00 00 00 00 00 06 60 00 7F 00 00 02"), 6, 0, 0, true},
        {"refused", hex("00 01 AD 86" + answer + " 00 00 00 00 00 06 60 00 7F 00 00 02"), 5, 6, 0, true},
        {"wait", hex("00 02 BC 00" + answer + " 00 00 00 0F 00 02 29 00"), 7, 0, 15, true},
        {"header only", hex("00 03 C5 80 00 00 00 00 00 00 00 00"), 8, 0, 0, false},
        {"answer pointing at the question", hex("00 04 AD 80" + question + " C0 0C 00 20 00 01 00 00 00 3C"), 5, 0, 60,
         true},
    };
    for (const Case &c : cases) {
        const auto r = parse_name_service_reply(c.packet);
        ASSERT_TRUE(r) << c.what;
        EXPECT_EQ(r->opcode, c.opcode) << c.what;
        EXPECT_EQ(r->rcode, c.rcode) << c.what;
        EXPECT_EQ(r->ttl, c.ttl) << c.what;
        EXPECT_EQ(r->name, c.named ? std::optional<NetbiosName>(NetbiosName{"WINSMATE", 3}) : std::nullopt) << c.what;
    }
    EXPECT_FALSE(parse_name_service_reply(build_name_request(NameOp::Register, 1, {"A", 3}, 1, {})));  // a request
    EXPECT_FALSE(parse_name_service_reply(hex("00 01 85 00 00 00 00 00 00 00 00 00")));  // a query answer
    EXPECT_FALSE(parse_name_service_reply(hex("00 01 AD 80 00 00 00 00 00 00 00")));     // short
}
