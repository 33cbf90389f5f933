// Unit tests for the status-line and send-log texts of each send outcome: how the texts relate to
// one another and to the codes. Their words are the send suite's to check, end to end.
#include "send/send_texts.h"

#include "base/net_status.h"

#include <gtest/gtest.h>
#include <set>
#include <string>
#include <vector>

namespace {

using namespace net_status;

// The failures with a text of their own; ownStatus: the status line is "Failed: " and that text,
// else the general failure.
const struct {
    std::uint32_t code;
    bool ownStatus;
} kTextual[] = {{kAccessDenied, true}, {kNotSupported, true}, {kInvalidParameter, true}, {kNetworkError, true},
                {kNameNotFound, true}, {kSendTooLong, true}, {kSendFaulted, false}, {kSendNotStarted, false}};

const std::string kDone = "Last send successful.";
const std::string kIncomplete = "Last send incomplete: some names were not sent.";
const std::string kFailed = "Last send failed.";

bool starts_with(const std::string &text, const std::string &prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

// The failure text of `code` in the send log: what follows "NAME - Failed: ".
std::string log_failure(std::uint32_t code)
{
    const std::string line = send_log_line("BOB", code), head = "BOB - Failed: ";
    return starts_with(line, head) ? line.substr(head.size()) : std::string();
}

} // namespace

TEST(SendTexts, EveryFailureOfTheTableHasATextOfItsOwn)
{
    std::set<std::string> seen;
    for (const auto &t : kTextual) {
        // Not empty, not the number that an unlisted code gets, and no two alike.
        const std::string failure = log_failure(t.code);
        EXPECT_TRUE(!failure.empty() && failure.find_first_of("0123456789") == std::string::npos) << t.code;
        EXPECT_TRUE(seen.insert(failure).second) << failure;
        EXPECT_EQ(send_status_text(t.code), t.ownStatus ? "Failed: " + failure : kFailed) << t.code;
    }
}

TEST(SendTexts, UnlistedCodeNamesRecipientAndCode)
{
    for (std::uint32_t code : {1u, 6u, 51u, 1234u, 2272u, 2274u, 0x80000000u, 0xFFFFFF00u}) {
        EXPECT_EQ(send_status_text(code), kFailed) << code;
        std::string line = send_log_line("CAROL", code);
        EXPECT_TRUE(starts_with(line, "CAROL - Failed")) << line;
        EXPECT_NE(line.find(std::to_string(code), 5), std::string::npos) << line;
    }
    EXPECT_NE(send_log_line("CAROL", 1234), send_log_line("CAROL", 1235));
}

TEST(SendTexts, TheStatusSumsUpEveryNameOfTheSend)
{
    const std::string notFound = send_status_text(kNameNotFound);
    const struct {
        std::vector<std::uint32_t> outcomes;
        std::string status;
    } rows[] = {
        {{0}, kDone},
        {{0, 0, 0}, kDone},
        {{kNameNotFound, 0}, kIncomplete},
        {{0, kSendFaulted, 0}, kIncomplete},
        {{0, kSendNotSent}, kIncomplete},
        {{kNameNotFound}, notFound},
        {{kNameNotFound, kNameNotFound}, notFound},
        {{kNameNotFound, kAccessDenied}, kFailed},
        {{kNameNotFound, kSendNotSent}, kFailed},
        {{kSendNotSent, kSendNotSent}, kFailed},
        {{kSendFaulted}, kFailed},
        {{}, kFailed},
    };
    for (const auto &row : rows)
        EXPECT_EQ(send_summary_text(row.outcomes), row.status) << row.outcomes.size() << " names";
    EXPECT_EQ(send_status_text(kSent), kDone);
}

TEST(SendTexts, ANetworkFailureOfALongTextSaysItIsTooLong)
{
    EXPECT_EQ(send_outcome(kNetworkError, kSureFitChars), kNetworkError);
    EXPECT_EQ(send_outcome(kNetworkError, kSureFitChars + 1), kSendTooLong);
    EXPECT_EQ(send_outcome(kNameNotFound, kMaxMessageChars), kNameNotFound);
    EXPECT_EQ(send_outcome(kSent, kMaxMessageChars), kSent);
}

TEST(SendTexts, NamesUpTo256AreShownWholeLongerOnesCut)
{
    EXPECT_EQ(send_progress_line("ALICE"), "Sending to ALICE ...");
    EXPECT_EQ(send_log_line("ALICE", kSent), "ALICE - Done");
    const std::string fits(256, 'K');
    const std::string longer = std::string(256, 'L') + "T"; // one past what is shown whole
    const std::string shown = std::string(256, 'L') + "...";
    for (std::uint32_t code : {kSent, kNameNotFound, 1234u}) {
        const std::string tail = send_log_line("", code); // the line after the name
        EXPECT_EQ(send_log_line(fits, code), fits + tail) << code;
        EXPECT_EQ(send_log_line(longer, code), shown + tail) << code;
    }
    EXPECT_EQ(send_progress_line(fits), "Sending to " + fits + " ...");
    EXPECT_EQ(send_progress_line(longer), "Sending to " + shown + " ...");
}

TEST(SendTexts, RefusedNamesAreNamedWithTheReason)
{
    std::string tooLong = send_refusal_line(std::string(300, 'L'), SendRefusal::NameTooLong);
    EXPECT_TRUE(starts_with(tooLong, std::string(256, 'L') + "... - Failed")) << tooLong;
    EXPECT_EQ(tooLong.find(std::string(257, 'L')), std::string::npos);
    EXPECT_NE(tooLong.find("256"), std::string::npos) << tooLong;

    std::string tooMany = send_refusal_line("N30", SendRefusal::TooManyNames);
    EXPECT_TRUE(starts_with(tooMany, "N30 - Failed")) << tooMany;
    EXPECT_NE(tooMany.find("29"), std::string::npos) << tooMany;
    EXPECT_NE(tooMany.substr(3), send_refusal_line("N30", SendRefusal::NameTooLong).substr(3));
}
