// Unit tests for the message service's admission rules (networks, rate, session gate) and popup text.
#include "msgsvc/policy.h"

#include "msgsvc/session.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace msgsvc;

namespace {

constexpr uint32_t ip(uint8_t a, uint8_t b, uint8_t c, uint8_t d)
{
    return (uint32_t(a) << 24) | (uint32_t(b) << 16) | (uint32_t(c) << 8) | d;
}

std::vector<uint8_t> request_for(const std::string &called, uint8_t suffix)
{
    return build_session_request({called, suffix}, {"SENDERPC", kSuffixWorkstation});
}

} // namespace

TEST(MsgsvcNetworks, ParsesAddressesAndPrefixesWithAnySeparator)
{
    const auto n = parse_networks("127.0.0.2, 10.1.2.3/8;192.168.0.0/16\t172.16.0.0/12");
    ASSERT_TRUE(n);
    ASSERT_EQ(n->size(), 4u);
    EXPECT_TRUE(network_allows(*n, ip(127, 0, 0, 2)));
    EXPECT_FALSE(network_allows(*n, ip(127, 0, 0, 3)));   // a bare address is a /32
    EXPECT_TRUE(network_allows(*n, ip(10, 200, 0, 1)));   // host bits of 10.1.2.3/8 ignored
    EXPECT_TRUE(network_allows(*n, ip(172, 31, 255, 255)));
    EXPECT_FALSE(network_allows(*n, ip(172, 32, 0, 0)));
    EXPECT_FALSE(network_allows(*n, ip(8, 8, 8, 8)));
}

TEST(MsgsvcNetworks, AnyAndSlashZeroAllowEverythingEmptyAllowsNothing)
{
    EXPECT_TRUE(network_allows(*parse_networks("any"), ip(203, 0, 113, 9)));
    EXPECT_TRUE(network_allows(*parse_networks("0.0.0.0/0"), ip(203, 0, 113, 9)));
    const auto none = parse_networks("  ,; ");
    ASSERT_TRUE(none);
    EXPECT_FALSE(network_allows(*none, ip(127, 0, 0, 1)));
}

TEST(MsgsvcNetworks, OneMalformedItemRejectsTheWholeList)
{
    for (const char *bad : {"127.0.0.1/33", "127.0.0.1/", "127.0.0/8", "10.0.0.0/x", "127.0.0.1/008", "localhost",
                            "127.0.0.1, 300.0.0.1"})
        EXPECT_FALSE(parse_networks(bad)) << bad;
}

TEST(MsgsvcNetworks, DefaultsAreLoopbackAndPrivateRanges)
{
    const auto d = default_networks();
    for (uint32_t a : {ip(127, 0, 0, 1), ip(127, 255, 0, 9), ip(10, 9, 8, 7), ip(172, 16, 0, 1), ip(192, 168, 44, 1)})
        EXPECT_TRUE(network_allows(d, a)) << a;
    for (uint32_t a : {ip(8, 8, 8, 8), ip(172, 15, 255, 255), ip(192, 169, 0, 1), ip(0, 0, 0, 0)})
        EXPECT_FALSE(network_allows(d, a)) << a;
}

TEST(MsgsvcRate, AdmitsPerMinuteThenRefusesUntilTheOldestExpires)
{
    RateLimiter r;
    r.per_minute = 3;
    const uint32_t a = ip(127, 0, 0, 3), b = ip(127, 0, 0, 4);
    EXPECT_TRUE(rate_admit(r, a, 1000));
    EXPECT_TRUE(rate_admit(r, a, 2000));
    EXPECT_TRUE(rate_admit(r, a, 3000));
    EXPECT_TRUE(rate_exhausted(r, a, 3000));
    EXPECT_FALSE(rate_admit(r, a, 60999));  // the first stamp is not yet a minute old
    EXPECT_TRUE(rate_admit(r, b, 4000));    // other sources are not affected
    EXPECT_TRUE(rate_admit(r, a, 61000));   // one slot free again
    EXPECT_FALSE(rate_admit(r, a, 61500));
}

TEST(MsgsvcRate, ZeroRateRefusesEverything)
{
    RateLimiter r;
    r.per_minute = 0;
    EXPECT_TRUE(rate_exhausted(r, 1, 0));
    EXPECT_FALSE(rate_admit(r, 1, 0));
}

TEST(MsgsvcRate, TrackedSourcesStayBoundedAndActiveOnesKeepTheirCount)
{
    RateLimiter r;
    r.per_minute = 1;
    r.max_sources = 8;
    ASSERT_TRUE(rate_admit(r, 42, 100000));
    for (uint32_t s = 1000; s < 1100; ++s)
        rate_admit(r, s, 100001 + s);
    EXPECT_LE(r.stamps.size(), 8u);
    // A flood of new sources pushes out the stalest, never grows the table.
    RateLimiter q;
    q.per_minute = 1;
    q.max_sources = 2;
    ASSERT_TRUE(rate_admit(q, 1, 10));
    ASSERT_TRUE(rate_admit(q, 2, 20));
    ASSERT_TRUE(rate_admit(q, 3, 30));  // forgets source 1
    EXPECT_EQ(q.stamps.count(1), 0u);
    EXPECT_FALSE(rate_admit(q, 3, 40)); // source 3 is still counted
}

TEST(MsgsvcGate, AcceptsOurNamesWithTheMessengerSuffixOnly)
{
    const std::vector<std::string> names = {"bob", "WORKPC"};
    Gate g = session_gate(request_for("BOB", kSuffixMessenger), names);
    EXPECT_EQ(g.verdict, GateVerdict::Accept);
    EXPECT_EQ(g.called.name, "BOB");
    EXPECT_EQ(session_gate(request_for("workpc", kSuffixMessenger), names).verdict, GateVerdict::Accept);
    EXPECT_EQ(session_gate(request_for("NOBODY", kSuffixMessenger), names).verdict, GateVerdict::Refuse);
    EXPECT_EQ(session_gate(request_for("BOB", kSuffixWorkstation), names).verdict, GateVerdict::Refuse);
    EXPECT_EQ(session_gate(request_for("*SMBSERVER", kSuffixServer), names).verdict, GateVerdict::Refuse);
    EXPECT_EQ(session_gate(request_for("BOB", kSuffixMessenger), {}).verdict, GateVerdict::Refuse);
}

TEST(MsgsvcGate, WaitsForAWholeRequestAndPassesEverythingElse)
{
    const std::vector<std::string> names = {"BOB"};
    const std::vector<uint8_t> req = request_for("BOB", kSuffixMessenger);
    for (std::size_t n : {std::size_t(0), std::size_t(1), std::size_t(4), req.size() - 1})
        EXPECT_EQ(session_gate(ByteView(req.data(), n), names).verdict, GateVerdict::NeedMore) << n;
    // Plain TCP senders start with a session message; the connection's own state machine takes over.
    const std::vector<uint8_t> message = {0x00, 0x00, 0x00, 0x04, 0xFF, 'S', 'M', 'B'};
    EXPECT_EQ(session_gate(message, names).verdict, GateVerdict::Pass);
    // A request with a wrong length or a name that does not decode is left to the state machine too.
    std::vector<uint8_t> bad_length = req;
    bad_length[3] = 0x45;
    EXPECT_EQ(session_gate(bad_length, names).verdict, GateVerdict::Pass);
    std::vector<uint8_t> bad_name = req;
    bad_name[5] = 'Z';
    EXPECT_EQ(session_gate(bad_name, names).verdict, GateVerdict::Pass);
}

TEST(MsgsvcNames, ComparedAsNetbiosNames)
{
    const std::vector<std::string> names = {"Alice", "", "ABCDEFGHIJKLMNOPQ"};
    EXPECT_TRUE(is_our_name(names, "ALICE"));
    EXPECT_TRUE(is_our_name(names, "alice"));
    EXPECT_TRUE(is_our_name(names, "ABCDEFGHIJKLMNOxyz"));  // first 15 bytes decide
    EXPECT_FALSE(is_our_name(names, "ALIC"));
    EXPECT_FALSE(is_our_name(names, ""));
}

TEST(MsgsvcPopup, EnglishAndRussianHeaders)
{
    EXPECT_EQ(popup_text(false, "ALICE", "BOB", "12/6/2001 2:45 PM", "Lunch?"),
              "Message from ALICE to BOB on 12/6/2001 2:45 PM\r\n\r\nLunch?");
    EXPECT_EQ(popup_text(true, "ALICE", "BOB", "06.12.2001 14:45", ""),
              "\xD1\xEE\xEE\xE1\xF9\xE5\xED\xE8\xE5 \xEE\xF2 ALICE \xE4\xEB\xFF BOB \xED\xE0 06.12.2001 14:45\r\n\r\n");
    EXPECT_EQ(kPopupTitleRussian, "\xD1\xEB\xF3\xE6\xE1\xE0 \xF1\xEE\xEE\xE1\xF9\xE5\xED\xE8\xE9 ");
}

TEST(MsgsvcPopup, WholeTextIsCutTo1023Characters)
{
    const std::string text(2000, 'x');
    const std::string full = popup_text(false, "A", "B", "T", text);
    EXPECT_EQ(full.size(), 1023u);
    EXPECT_EQ(full.substr(0, 26), "Message from A to B on T\r\n");
    const std::string fits(1023 - 28, 'y');
    EXPECT_EQ(popup_text(false, "A", "B", "T", fits).size(), 1023u);
    EXPECT_EQ(popup_text(false, "A", "B", "T", fits).back(), 'y');
}
