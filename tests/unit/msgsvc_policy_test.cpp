// Unit tests for the message service's admission rules (networks, rate, connections, names), its log lines,
// output queue and popup text.
#include "msgsvc/core/admission.h"
#include "msgsvc/core/outbox.h"
#include "msgsvc/core/output_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace msgsvc;

namespace {

constexpr uint32_t ip(uint8_t a, uint8_t b, uint8_t c, uint8_t d)
{
    return (uint32_t(a) << 24) | (uint32_t(b) << 16) | (uint32_t(c) << 8) | d;
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

TEST(MsgsvcNames, ComparedWholeAsNetbiosNames)
{
    const std::vector<std::string> names = {"Alice", "", "ABCDEFGHIJKLMNO", "BOB"};
    struct Case { std::string name; bool ours; };
    const Case cases[] = {
        {"ALICE", true}, {"alice", true}, {"BOB   ", true}, {std::string("BOB\0\0", 5), true},
        {"ABCDEFGHIJKLMNO", true},
        {"ABCDEFGHIJKLMNOxyz", false},                // more than 15 characters is another name
        {"BOB" + std::string(12, ' ') + "\r\nX", false}, // padding, then more
        {"BO\rB", false}, {"ALIC", false}, {"", false}, {"   ", false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(is_our_name(names, c.name, ascii_name_case()), c.ours) << escape_controls(c.name);
    EXPECT_TRUE(valid_message_name("carol"));
    EXPECT_FALSE(valid_message_name("BOSS to BOB on 01.01.2030 09:00\r\n\r\n"));
    EXPECT_FALSE(valid_message_name("A\x7F"));
}

TEST(MsgsvcLog, ControlCharactersStayOnTheLine)
{
    EXPECT_EQ(escape_controls("GHOST\r\nFAKE\t\x01\x7F \x94 end"), "GHOST\\r\\nFAKE\\t\\x01\\x7F \x94 end");
    EXPECT_EQ(escape_controls("plain"), "plain");
}

TEST(MsgsvcLog, LimiterHoldsBackBeyondTheMinutesShareAndReportsTheCount)
{
    LogLimiter l;
    l.per_minute = 2;
    unsigned held = 99;
    EXPECT_TRUE(log_admit(l, 60000, held));
    EXPECT_EQ(held, 0u);
    EXPECT_TRUE(log_admit(l, 60001, held));
    EXPECT_FALSE(log_admit(l, 60002, held));
    EXPECT_FALSE(log_admit(l, 119999, held));
    EXPECT_TRUE(log_admit(l, 120000, held));  // a new minute: the first line reports the two held back
    EXPECT_EQ(held, 2u);
    EXPECT_TRUE(log_admit(l, 120001, held));
    EXPECT_EQ(held, 0u);
}

TEST(MsgsvcConnections, PerSourceLimitLeavesOtherSourcesTheirSlots)
{
    SourceCounts s;
    s.limit = 2;
    EXPECT_TRUE(source_take(s, 7));
    EXPECT_TRUE(source_take(s, 7));
    EXPECT_FALSE(source_take(s, 7));
    EXPECT_TRUE(source_take(s, 8));
    source_release(s, 7);
    EXPECT_TRUE(source_take(s, 7));
    for (int i = 0; i < 2; ++i) {
        source_release(s, 7);
        source_release(s, 8);  // one more release than takes changes nothing
    }
    EXPECT_TRUE(s.open.empty());  // sources with nothing open are not kept
}

TEST(MsgsvcConnections, AFullTableGivesThePlaceOfTheOneThatHasDoneLeastForLongest)
{
    struct Case { const char *what; std::vector<uint64_t> progress; uint64_t now; std::optional<std::size_t> pick; };
    const Case cases[] = {
        {"the oldest step", {9000, 4000, 7000}, 10000, 1},
        {"a tie: the first", {4000, 4000}, 10000, 0},
        {"a step within the last half second keeps its place", {9501, 9800}, 10000, std::nullopt},
        {"... but not one half a second old", {9501, 9500}, 10000, 1},
        {"no connection", {}, 10000, std::nullopt},
        {"a clock that went back", {20000}, 10000, std::nullopt},
    };
    for (const Case &c : cases)
        EXPECT_EQ(connection_to_replace(c.progress, c.now, 500), c.pick) << c.what;
}

TEST(MsgsvcPopupRoom, EachSourceGetsItsShare)
{
    struct Case { unsigned room, share; };
    for (const Case c : {Case{1, 1}, Case{3, 1}, Case{4, 1}, Case{6, 2}, Case{64, 16}})
        EXPECT_EQ(popup_share(c.room), c.share) << c.room;

    PopupRoom r = make_popup_room(6);
    EXPECT_EQ(popup_take(r, 1), RoomVerdict::Taken);
    EXPECT_EQ(popup_take(r, 1), RoomVerdict::Taken);
    EXPECT_EQ(popup_take(r, 1), RoomVerdict::ShareUsed) << "one source, the whole room";
    for (uint32_t source = 2; source <= 3; ++source)
        for (int i = 0; i < 2; ++i)
            EXPECT_EQ(popup_take(r, source), RoomVerdict::Taken);
    EXPECT_EQ(popup_take(r, 4), RoomVerdict::Full);
    popup_release(r, 2);
    popup_release(r, 9);  // a source with nothing open changes nothing
    EXPECT_EQ(popup_take(r, 1), RoomVerdict::ShareUsed);
    EXPECT_EQ(popup_take(r, 4), RoomVerdict::Taken);
}

TEST(MsgsvcOutbox, QueuesWhatTheSocketDidNotTakeAndHoldsInputBackMeanwhile)
{
    Outbox o;
    EXPECT_TRUE(outbox_wants_input(o));
    ASSERT_TRUE(outbox_add(o, bytes_of("abcdef"), 8));
    EXPECT_FALSE(outbox_wants_input(o));
    outbox_written(o, 4);
    EXPECT_EQ(outbox_pending(o).to_string(), "ef");
    EXPECT_FALSE(outbox_add(o, bytes_of("1234567"), 8));  // 2 + 7 pending would pass the limit
    EXPECT_TRUE(outbox_add(o, bytes_of("123456"), 8));
    EXPECT_EQ(outbox_pending(o).to_string(), "ef123456");
    outbox_written(o, 100);
    EXPECT_TRUE(outbox_pending(o).empty());
    EXPECT_TRUE(o.bytes.empty());
    EXPECT_TRUE(outbox_wants_input(o));
}

TEST(MsgsvcPopup, EnglishAndRussianHeaders)
{
    EXPECT_EQ(popup_text(false, "ALICE", "BOB", "12/6/2001 2:45 PM", "Lunch?"),
              "Message from ALICE to BOB on 12/6/2001 2:45 PM\r\n\r\nLunch?");
    EXPECT_EQ(popup_text(true, "ALICE", "BOB", "06.12.2001 14:45", ""),
              "\xD1\xEE\xEE\xE1\xF9\xE5\xED\xE8\xE5 \xEE\xF2 ALICE \xE4\xEB\xFF BOB \xED\xE0 06.12.2001 14:45\r\n\r\n");
    EXPECT_EQ(kPopupTitleRussian, "\xD1\xEB\xF3\xE6\xE1\xE0 \xF1\xEE\xEE\xE1\xF9\xE5\xED\xE8\xE9 ");
}

TEST(MsgsvcPopup, TextIsNeverCut)
{
    const std::string text(2000, 'x');
    EXPECT_EQ(popup_text(false, "A", "B", "T", text), "Message from A to B on T\r\n\r\n" + text);
}
