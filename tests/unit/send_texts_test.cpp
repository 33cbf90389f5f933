// Unit tests for the status-line and send-log texts of each send outcome.
#include "send/send_texts.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

struct Known {
    std::uint32_t code;
    const char *failure;
};
const Known kKnown[] = {
    {5, "The user does not have access to the requested information."},
    {50, "This network request is not supported."},
    {87, "The specified parameter is invalid."},
    {2136, "A general failure occurred in the network hardware."},
    {2273, "The user name could not be found."},
};

bool starts_with(const std::string &text, const std::string &prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

} // namespace

TEST(SendTexts, SuccessIsDone)
{
    EXPECT_EQ(send_status_text(0), "Last send successful.");
    EXPECT_EQ(send_log_line("ALICE", 0), "ALICE - Done");
}

TEST(SendTexts, TheStatusSumsUpEveryNameOfTheSend)
{
    const std::uint32_t refused = kSendNotSent;
    const struct {
        std::vector<std::uint32_t> outcomes;
        const char *status;
    } rows[] = {
        {{0}, "Last send successful."},
        {{0, 0, 0}, "Last send successful."},
        {{2273, 0}, "Last send incomplete: some names were not sent."},
        {{0, kSendFaulted, 0}, "Last send incomplete: some names were not sent."},
        {{0, refused}, "Last send incomplete: some names were not sent."},
        {{2273}, "Failed: The user name could not be found."},
        {{2273, 2273}, "Failed: The user name could not be found."},
        {{2273, 5}, "Last send failed."},
        {{2273, refused}, "Last send failed."},
        {{refused, refused}, "Last send failed."},
        {{kSendFaulted}, "Last send failed."},
        {{}, "Last send failed."},
    };
    for (const auto &row : rows)
        EXPECT_EQ(send_summary_text(row.outcomes), row.status) << row.outcomes.size() << " names";
}

TEST(SendTexts, ANetworkFailureOfALongTextSaysItIsTooLong)
{
    EXPECT_EQ(send_outcome(2136, kSureFitChars), 2136u);
    EXPECT_EQ(send_outcome(2136, kSureFitChars + 1), kSendTooLong);
    EXPECT_EQ(send_outcome(2273, kMaxMessageChars), 2273u);
    EXPECT_EQ(send_outcome(0, kMaxMessageChars), 0u);
    EXPECT_EQ(send_status_text(kSendTooLong), "Failed: The message is too long for the recipient to show.");
    EXPECT_EQ(send_log_line("EVE", kSendTooLong), "EVE - Failed: The message is too long for the recipient to show.");
}

TEST(SendTexts, EveryCodeOfTheTableHasItsStatusAndLogText)
{
    for (const Known &k : kKnown) {
        EXPECT_EQ(send_status_text(k.code), std::string("Failed: ") + k.failure) << k.code;
        EXPECT_EQ(send_log_line("BOB", k.code), std::string("BOB - Failed: ") + k.failure) << k.code;
    }
}

TEST(SendTexts, UnlistedCodeNamesRecipientAndCode)
{
    for (std::uint32_t code : {1u, 6u, 51u, 1234u, 2272u, 2274u, 0x80000000u, 0xFFFFFF00u}) {
        EXPECT_EQ(send_status_text(code), "Last send failed.") << code;
        std::string line = send_log_line("CAROL", code);
        EXPECT_TRUE(starts_with(line, "CAROL - Failed")) << line;
        EXPECT_NE(line.find(std::to_string(code), 5), std::string::npos) << line;
    }
    EXPECT_NE(send_log_line("CAROL", 1234), send_log_line("CAROL", 1235));
}

TEST(SendTexts, FaultSaysTheServiceIsUnavailable)
{
    EXPECT_EQ(send_status_text(kSendFaulted), "Last send failed.");
    EXPECT_EQ(send_log_line("DAVE", kSendFaulted), "DAVE - Failed: The network message service is unavailable.");
}

TEST(SendTexts, NamesUpTo256AreShownWholeLongerOnesCut)
{
    EXPECT_EQ(send_progress_line("ALICE"), "Sending to ALICE ...");
    const std::string fits(256, 'K');
    EXPECT_EQ(send_log_line(fits, 0), fits + " - Done");
    EXPECT_EQ(send_progress_line(fits), "Sending to " + fits + " ...");

    const std::string longer = std::string(256, 'L') + "TAIL";
    const std::string shown = std::string(256, 'L') + "...";
    EXPECT_EQ(send_log_line(longer, 0), shown + " - Done");
    EXPECT_EQ(send_log_line(longer, 2273), shown + " - Failed: The user name could not be found.");
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
