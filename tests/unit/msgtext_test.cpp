// Unit tests for splitting a received message's full text into its four fields.
#include "receive/msgtext.h"

#include "msgsvc/core/nbname.h"
#include "msgsvc/core/output_text.h"
#include "send/send_texts.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <cstring>
#include <string>

namespace {

// Stands in for the locale comparison: plain equality, plus Cyrillic Es in both cases.
bool fake_eq(char a, char b)
{
    auto fold = [](char c) { return c == '\xF1' ? '\xD1' : c; };
    return fold(a) == fold(b);
}

const std::string kRuWord = "\xD1\xEE\xEE\xE1\xF9\xE5\xED\xE8\xE5";   // first word, cp1251
const std::string kRuFrom = "\xEE\xF2", kRuTo = "\xE4\xEB\xFF", kRuOn = "\xED\xE0";

std::string english(const std::string &from, const std::string &to, const std::string &time,
                    const std::string &body)
{
    return "Message from " + from + " to " + to + " on " + time + "\r\n\r\n" + body;
}

ParsedMessage filled()
{
    ParsedMessage m;
    std::memset(&m, 'x', sizeof m);
    return m;
}

} // namespace

TEST(ParseMessageText, WellFormedHeaders)
{
    struct Case { const char *what; std::string text; const char *from, *to, *time, *message; };
    const std::string ru = " " + kRuFrom + " ALICE " + kRuTo + " BOB " + kRuOn +
                           " 06.12.2001 14:45\r\n\r\nText";
    const Case cases[] = {
        {"worked example", "Message from ALICE to BOB on 12/6/2001 2:45 PM\r\n\r\nLunch?",
         "ALICE", "BOB", "12/6/2001 2:45 PM", "Lunch?"},
        {"russian", kRuWord + ru, "ALICE", "BOB", "06.12.2001 14:45", "Text"},
        {"russian, lowercase es first", "\xF1" + kRuWord.substr(1) + ru,
         "ALICE", "BOB", "06.12.2001 14:45", "Text"},
        {"uppercase TO and ON in names are not tokens", english("TONY", "ONA", "9:00", "hi"),
         "TONY", "ONA", "9:00", "hi"},
        {"empty message", english("A", "B", "T", ""), "A", "B", "T", ""},
        {"multi-line message keeps CR LF", english("A", "B", "T", "one\r\ntwo\r\n\r\nthree"),
         "A", "B", "T", "one\r\ntwo\r\n\r\nthree"},
        {"empty fields", "M from  to  on \r\n\r\nx", "", "", "", "x"},
        {"fields of exactly 259", english(std::string(259, 'f'), std::string(259, 't'),
                                          std::string(259, 'm'), "b"),
         nullptr, nullptr, nullptr, "b"},
        {"english tokens ignored in a russian header",
         kRuWord + " from X to Y on Z " + kRuFrom + " A " + kRuTo + " B " + kRuOn + " T\r\n\r\nm",
         "A", "B", "T", "m"},
    };
    for (const Case &c : cases) {
        ParsedMessage m = filled();
        EXPECT_TRUE(parse_message_text(c.text, fake_eq, m)) << c.what;
        if (c.from) {
            EXPECT_STREQ(m.from, c.from) << c.what;
            EXPECT_STREQ(m.to, c.to) << c.what;
            EXPECT_STREQ(m.time, c.time) << c.what;
        } else {
            EXPECT_EQ(std::strlen(m.from), 259u) << c.what;
            EXPECT_EQ(std::strlen(m.to), 259u) << c.what;
            EXPECT_EQ(std::strlen(m.time), 259u) << c.what;
        }
        EXPECT_STREQ(m.message, c.message) << c.what;
    }
}

// Whatever words a sender's name holds, the message is filed with that name as From, our name as To and the time
// the receiving side wrote: from the header the service builds (names in capitals, as a real Messenger shows them)
// and from one that an earlier version stored (names as they were sent).
TEST(ParseMessageText, EveryNameIsFiledWhole)
{
    msgsvc::NameCase cp1251 = msgsvc::ascii_name_case();
    for (unsigned b = 0xE0; b <= 0xFF; ++b)
        cp1251.upper[b] = static_cast<uint8_t>(b - 0x20);
    struct Name { const char *what; std::string from, to; };
    const Name names[] = {
        {"to inside", "tony", "BOB"},
        {"to and on inside", "anton", "BOB"},
        {"on at the end", "simon", "BOB"},
        {"to in the middle", "victor", "BOB"},
        {"the header's words, in order", "X to BOSS on 1", "BOB"},
        {"a header word alone", "to", "BOB"},
        {"from", "from", "BOB"},
        {"our own name holds on", "ALICE", "stoner"},
        {"Russian from-token inside", "\xEE\xF2\xF2\xEE", "BOB"},
        {"Russian on-token inside", "\xF1\xE2\xE5\xF2\xEB\xE0\xED\xE0", "BOB"},
        {"the Russian header's words", "X \xE4\xEB\xFF Y \xED\xE0 1", "BOB"},
        {"capitals", "ALICE", "BOB"},
    };
    for (const Name &n : names) {
        for (const bool russian : {false, true}) {
            for (const bool capitals : {true, false}) {
                const std::string from = capitals ? msgsvc::canonical_name(n.from, cp1251) : n.from;
                const std::string to = capitals ? msgsvc::canonical_name(n.to, cp1251) : n.to;
                const std::string when = russian ? "06.12.2001 14:45" : "12/6/2001 2:45 PM";
                const std::string what = std::string(n.what) + (russian ? ", Russian" : "") +
                                         (capitals ? ", in capitals" : ", as sent");
                ParsedMessage m = filled();
                EXPECT_TRUE(parse_message_text(msgsvc::popup_text(russian, from, to, when, "hi"), fake_eq, m)) << what;
                EXPECT_EQ(m.from, from) << what;
                EXPECT_EQ(m.to, to) << what;
                EXPECT_EQ(m.time, when) << what;
                EXPECT_STREQ(m.message, "hi") << what;
            }
        }
    }
}

TEST(ParseMessageText, MalformedTextIsKeptWholeAsMessage)
{
    const std::string ok = english("ALICE", "BOB", "12/6/2001 2:45 PM", "Lunch?");
    struct Case { const char *what; std::string text; };
    const Case cases[] = {
        {"empty text", ""},
        {"no LF", "Message from ALICE to BOB on 12/6/2001 2:45 PM"},
        {"no from", "Message frm ALICE to BOB on T\r\n\r\nx"},
        {"no to", "Message from ALICE 2 BOB on T\r\n\r\nx"},
        {"no on", "Message from ALICE to BOB at T\r\n\r\nx"},
        {"to before from", "Message to BOB from ALICE on T\r\n\r\nx"},
        {"on before to", "Message from ALICE on T to BOB\r\n\r\nx"},
        {"tokens after the header line", "Message\r\n\r\nfrom A to B on T"},
        {"from touching to", "Message fromto BOB on T\r\n\r\nx"},
        {"sender of 260", english(std::string(260, 'f'), "B", "T", "x")},
        {"recipient of 260", english("A", std::string(260, 't'), "T", "x")},
        {"time of 260", english("A", "B", std::string(260, 'm'), "x")},
        {"ends right after the header line", "Message from ALICE to BOB on 12/6/2001 2:45 PM\r\n"},
        {"ends one short of the body", "Message from ALICE to BOB on T\r\n\r"},
        {"russian mark with english tokens", "\xD1" + ok},
        {"malformed, exactly 1023", "no header " + std::string(1013, 'z')},
    };
    for (const Case &c : cases) {
        ParsedMessage m = filled();
        EXPECT_FALSE(parse_message_text(c.text, fake_eq, m)) << c.what;
        EXPECT_STREQ(m.from, "") << c.what;
        EXPECT_STREQ(m.to, "") << c.what;
        EXPECT_STREQ(m.time, "") << c.what;
        EXPECT_EQ(std::string(m.message), c.text) << c.what;
    }
}

TEST(ParseMessageText, LongTexts)
{
    const std::string header = "Message from A to B on T\r\n\r\n";
    struct Case { const char *what; std::string text; bool parsed; };
    const Case cases[] = {
        {"well formed, exactly 1023", header + std::string(1023 - header.size(), 'b'), true},
        {"body of exactly 1023", header + std::string(1023, 'b'), true},
        {"body of 1024", header + std::string(1024, 'b'), false},
        {"malformed, 1024", std::string(1024, 'z'), false},
        {"malformed, 5000", "no header " + std::string(4990, 'z'), false},
    };
    for (const Case &c : cases) {
        ParsedMessage m = filled();
        EXPECT_EQ(parse_message_text(c.text, fake_eq, m), c.parsed) << c.what;
        const std::string want = c.parsed ? c.text.substr(header.size()) : c.text.substr(0, 1023);
        EXPECT_EQ(std::string(m.message), want) << c.what;
        EXPECT_EQ(m.from[0] == '\0', !c.parsed) << c.what;
    }
}

TEST(ParseMessageText, NullComparisonSelectsEnglish)
{
    ParsedMessage m = filled();
    EXPECT_TRUE(parse_message_text("\xD1 from A to B on T\r\n\r\nx", nullptr, m));
    EXPECT_STREQ(m.from, "A");
}

// The send side's promise: a message of kSureFitChars characters fits a popup under the longest header the
// service writes (names of 15 characters, a date and time of 30), in either language, with nothing to spare.
TEST(ParseMessageText, SureFitMessagesFitThePopup)
{
    std::size_t longest = 0;
    for (const bool russian : {false, true})
        longest = std::max(longest, msgsvc::popup_text(russian, std::string(15, 'F'), std::string(15, 'T'),
                                                       std::string(30, '9'), std::string(kSureFitChars, 'x'))
                                        .size());
    EXPECT_EQ(longest, kPopupTextMax);
}
