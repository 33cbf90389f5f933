// Unit tests for the status-line and send-log texts of each send outcome: how the texts relate to
// one another and to the codes. Their words are the send suite's to check, end to end.
#include "send/send_texts.h"

#include "base/net_status.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using namespace net_status;

// Failures whose status line is "Failed: " and their own text; failures of ours with a log text of
// their own under the general status; codes with no text of their own.
const std::uint32_t kOwnStatus[] = {kAccessDenied, kNotSupported, kInvalidParameter, kNetworkError, kNameNotFound,
                                    kSendTooLong};
const std::uint32_t kOwnLineOnly[] = {kSendFaulted, kSendNotStarted};
const std::uint32_t kUnlisted[] = {1u, 6u, 51u, 1234u, 2272u, 2274u, 0x80000000u, 0xFFFFFF00u};

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

TEST(SendTexts, SuccessIsDone)
{
    EXPECT_EQ(send_status_text(kSent), kDone);
    EXPECT_EQ(send_log_line("ALICE", kSent), "ALICE - Done");
}

TEST(SendTexts, EveryFailureOfTheTableHasATextOfItsOwn)
{
    std::vector<std::string> seen;
    for (std::uint32_t code : kOwnStatus) {
        const std::string failure = log_failure(code);
        EXPECT_EQ(send_status_text(code), "Failed: " + failure) << code;
        seen.push_back(failure);
    }
    for (std::uint32_t code : kOwnLineOnly) {
        EXPECT_EQ(send_status_text(code), kFailed) << code;
        seen.push_back(log_failure(code));
    }
    for (std::size_t i = 0; i < seen.size(); ++i) {
        // Neither empty nor the number that an unlisted code gets, and no two alike.
        EXPECT_FALSE(seen[i].empty()) << i;
        EXPECT_EQ(seen[i].find_first_of("0123456789"), std::string::npos) << seen[i];
        for (std::size_t j = 0; j < i; ++j)
            EXPECT_NE(seen[i], seen[j]);
    }
}

TEST(SendTexts, UnlistedCodeNamesRecipientAndCode)
{
    for (std::uint32_t code : kUnlisted) {
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
    const std::string fits(256, 'K');
    const std::string longer = std::string(256, 'L') + "TAIL";
    const std::string shown = std::string(256, 'L') + "...";
    for (std::uint32_t code : {kSent, kNameNotFound, 1234u}) {
        const std::string tail = send_log_line("", code); // the line after the name
        EXPECT_EQ(send_log_line(fits, code), fits + tail) << code;
        EXPECT_EQ(send_log_line(longer, code), shown + tail) << code;
    }
    EXPECT_EQ(send_progress_line(fits), "Sending to " + fits + " ...");
    EXPECT_EQ(send_progress_line(longer), "Sending to " + shown + " ...");
    EXPECT_EQ(send_log_line(std::string(257, 'M'), 0), std::string(256, 'M') + "... - Done");
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
