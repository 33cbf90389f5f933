// Unit tests for the registration schedule of our names at WINS servers.
#include "msgsvc/core/wins.h"

#include "tests/unit/msgsvc_hex.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace msgsvc;

namespace {

const Endpoint kServer{0x7F00000A, 137};

struct Fixture {
    std::vector<WinsName> names = wins_names({"BOB", "BOBPC"}, {kServer}, [](const Endpoint &) { return 0x7F000003u; }, 0);
    uint16_t next = 100;
    std::function<uint16_t()> ids = [this] { return next++; };

    // The server's answer to the request in flight for names[i] (about another name when `about` is given).
    std::vector<uint8_t> answer(std::size_t i, uint8_t opcode, uint8_t rcode, uint32_t ttl, const char *about = nullptr)
    {
        std::vector<uint8_t> p;
        put_be16(p, names[i].id);
        put_be16(p, static_cast<uint16_t>(0x8000 | opcode << 11 | 0x0580 | rcode));
        for (uint16_t n : {0, 1, 0, 0})
            put_be16(p, n);
        const EncodedName e = encode_name(about ? about : names[i].name.name, 3);
        p.insert(p.end(), e.begin(), e.end());
        for (uint16_t n : {0x20, 1})
            put_be16(p, n);
        put_be32(p, ttl);
        return p;
    }
    uint8_t opcode_sent(const WinsStep &s, std::size_t i) { return static_cast<uint8_t>(s.send.at(i).packet[2] >> 3); }
};

} // namespace

TEST(msgsvcWins, RegistersRetriesThenPausesWhenNoOneAnswers)
{
    Fixture f;
    WinsStep s = wins_due(f.names, 0, f.ids);
    ASSERT_EQ(s.send.size(), 2u);
    EXPECT_EQ(f.opcode_sent(s, 0), 5);
    EXPECT_EQ(s.send[0].to.ipv4, kServer.ipv4);
    EXPECT_TRUE(wins_due(f.names, kWinsRetryMs - 1, f.ids).send.empty());
    const uint16_t id = f.names[0].id;
    EXPECT_EQ(wins_due(f.names, kWinsRetryMs, f.ids).send.size(), 2u);
    EXPECT_EQ(f.names[0].id, id) << "a resend keeps its transaction id";
    wins_due(f.names, 2 * kWinsRetryMs, f.ids);
    s = wins_due(f.names, 3 * kWinsRetryMs, f.ids);
    EXPECT_TRUE(s.send.empty());
    ASSERT_EQ(s.notes.size(), 2u);
    EXPECT_EQ(s.notes[0].event, WinsEvent::NoAnswer);
    EXPECT_TRUE(wins_due(f.names, 3 * kWinsRetryMs + kWinsPauseMs - 1, f.ids).send.empty());
    const uint64_t again = 3 * kWinsRetryMs + kWinsPauseMs;
    EXPECT_EQ(wins_due(f.names, again, f.ids).send.size(), 2u);
    for (uint64_t t = again + kWinsRetryMs; t <= again + 3 * kWinsRetryMs; t += kWinsRetryMs)
        EXPECT_TRUE(wins_due(f.names, t, f.ids).notes.empty()) << "no answer is noted once";
}

TEST(msgsvcWins, TakesOnlyTheAskedServersAnswerThenRefreshesAtHalfTheGrant)
{
    Fixture f;
    wins_due(f.names, 0, f.ids);
    const auto granted = f.answer(0, 5, 0, 600);
    EXPECT_FALSE(wins_reply(f.names, {0x7F000063, 137}, granted, 10)) << "another host";
    EXPECT_FALSE(wins_reply(f.names, {kServer.ipv4, 1137}, granted, 10)) << "another port";
    auto wrong_id = granted;
    wrong_id[1] ^= 0x80;
    EXPECT_FALSE(wins_reply(f.names, kServer, wrong_id, 10));
    EXPECT_FALSE(f.names[0].registered);

    const auto note = wins_reply(f.names, kServer, granted, 10);
    ASSERT_TRUE(note);
    EXPECT_EQ(note->event, WinsEvent::Registered);
    EXPECT_EQ(note->name, &f.names[0]);
    EXPECT_FALSE(wins_reply(f.names, kServer, granted, 11)) << "answered already";
    EXPECT_TRUE(f.names[0].registered);
    EXPECT_EQ(f.names[0].ttl, 600u);
    wins_reply(f.names, kServer, f.answer(1, 5, 0, 600), 10);
    EXPECT_TRUE(wins_due(f.names, 10 + 299999, f.ids).send.empty());
    WinsStep s = wins_due(f.names, 10 + 300000, f.ids);
    ASSERT_EQ(s.send.size(), 2u);
    EXPECT_EQ(f.opcode_sent(s, 0), 8);

    // A refused refresh is followed by a registration at once; a grant that runs out unrefreshed, likewise.
    const auto refused = wins_reply(f.names, kServer, f.answer(0, 5, 3, 0), 300020);
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->event, WinsEvent::Refused);
    s = wins_due(f.names, 300020, f.ids);
    ASSERT_EQ(s.send.size(), 1u);
    EXPECT_EQ(f.opcode_sent(s, 0), 5);
    s = wins_due(f.names, 10 + 600000, f.ids);
    ASSERT_EQ(s.send.size(), 2u);
    EXPECT_FALSE(f.names[1].registered);
    EXPECT_EQ(f.opcode_sent(s, 1), 5);
}

TEST(msgsvcWins, WaitsAsToldAndReleasesOnlyRegisteredNames)
{
    Fixture f;
    wins_due(f.names, 0, f.ids);
    EXPECT_FALSE(wins_reply(f.names, kServer, f.answer(0, 7, 0, 30), 100));
    EXPECT_EQ(wins_due(f.names, 30099, f.ids).send.size(), 1u) << "only the other name is resent";
    EXPECT_EQ(wins_due(f.names, 30100, f.ids).send.size(), 1u);
    const auto refused = wins_reply(f.names, kServer, f.answer(1, 5, 6, 0), 30200);
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->rcode, 6);
    EXPECT_TRUE(wins_due(f.names, 30200 + kWinsRefusedPauseMs - 1, f.ids).send.size() <= 1u);
    wins_reply(f.names, kServer, f.answer(0, 5, 0, 600), 30300);

    const std::vector<WinsSend> release = wins_release(f.names, f.ids);
    ASSERT_EQ(release.size(), 1u);
    EXPECT_EQ(release[0].packet[2] >> 3, 6);
    const auto released = wins_reply(f.names, kServer, f.answer(0, 6, 0, 0), 30400);
    ASSERT_TRUE(released);
    EXPECT_EQ(released->event, WinsEvent::Released);
    EXPECT_TRUE(wins_due(f.names, UINT64_MAX - 1, f.ids).send.empty()) << "nothing is due after the release";
}

TEST(msgsvcWins, TakesOnlyAnswersAboutTheNameAndBoundsWhatAServerCanMakeItDo)
{
    Fixture f;
    std::vector<uint16_t> drawn = {7, 7, 8};  // the second name draws the first one's id, then another
    f.ids = [&] {
        const uint16_t id = drawn.front();
        drawn.erase(drawn.begin());
        return id;
    };
    wins_due(f.names, 0, f.ids);
    EXPECT_EQ(f.names[0].id, 7);
    EXPECT_EQ(f.names[1].id, 8) << "two requests to one server never wait with one id";

    EXPECT_FALSE(wins_reply(f.names, kServer, f.answer(0, 5, 0, 600, "SOMEONE"), 10)) << "about another name";
    EXPECT_FALSE(f.names[0].registered);
    const auto note = wins_reply(f.names, kServer, f.answer(0, 5, 0, 0xFFFFFFFF), 10);
    ASSERT_TRUE(note);
    EXPECT_EQ(note->granted, 0xFFFFFFFFu);
    EXPECT_EQ(f.names[0].ttl, kWinsMaxTtl) << "a grant of 136 years";
    EXPECT_EQ(f.names[0].due, 10 + uint64_t(kWinsMaxTtl) * 500);

    EXPECT_FALSE(wins_reply(f.names, kServer, f.answer(1, 7, 0, 100000), 10));
    EXPECT_EQ(f.names[1].due, 10 + kWinsMaxWackMs) << "a long wait is cut";
    EXPECT_FALSE(wins_reply(f.names, kServer, f.answer(1, 7, 0, 30), 20));
    EXPECT_EQ(f.names[1].due, 10 + kWinsMaxWackMs) << "a request waits once";
}
