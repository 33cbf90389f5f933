// send_texts.cpp - texts of the send outcomes, and the status line that sums up a Send.
#include "send/send_texts.h"

#include "base/net_status.h"

#include <algorithm>
#include <cstdio>

namespace {

// Every failure with a text of its own: the send log shows "NAME - Failed: " and the text, the
// status line "Failed: " and the text when `ownStatus`, else "Last send failed.".
struct Outcome {
    std::uint32_t code;
    const char *failure;
    bool ownStatus;
};
constexpr Outcome kOutcomes[] = {
    {net_status::kAccessDenied, "The user does not have access to the requested information.", true},
    {net_status::kNotSupported, "This network request is not supported.", true},
    {net_status::kInvalidParameter, "The specified parameter is invalid.", true},
    {net_status::kNetworkError, "A general failure occurred in the network hardware.", true},
    {net_status::kNameNotFound, "The user name could not be found.", true},
    {kSendTooLong, "The message is too long for the recipient to show.", true},
    {kSendFaulted, "The network message service is unavailable.", false},
    {kSendNotStarted, "The send could not be started.", false},
};

constexpr char kDone[] = "Last send successful.";
constexpr char kIncomplete[] = "Last send incomplete: some names were not sent.";
constexpr char kFailed[] = "Last send failed.";

const Outcome *outcome_of(std::uint32_t code)
{
    for (const Outcome &o : kOutcomes)
        if (o.code == code)
            return &o;
    return nullptr;
}

// Names are shown whole up to 256 characters.
std::string shown_name(std::string_view name)
{
    constexpr std::size_t kShown = 256;
    return name.size() <= kShown ? std::string(name) : std::string(name.substr(0, kShown)) + "...";
}

} // namespace

std::uint32_t send_outcome(std::uint32_t code, std::size_t chars)
{
    return code == net_status::kNetworkError && chars > kSureFitChars ? kSendTooLong : code;
}

std::string send_status_text(std::uint32_t code)
{
    if (code == 0)
        return kDone;
    const Outcome *o = outcome_of(code);
    return o && o->ownStatus ? std::string("Failed: ") + o->failure : std::string(kFailed);
}

std::string send_summary_text(const std::vector<std::uint32_t> &outcomes)
{
    const auto sent = static_cast<std::size_t>(std::count(outcomes.begin(), outcomes.end(), 0u));
    if (outcomes.empty())
        return kFailed;
    if (sent == outcomes.size())
        return kDone;
    if (sent > 0)
        return kIncomplete;
    bool shared = std::all_of(outcomes.begin(), outcomes.end(), [&](std::uint32_t c) { return c == outcomes[0]; });
    return shared ? send_status_text(outcomes[0]) : std::string(kFailed);
}

std::string send_log_line(std::string_view name, std::uint32_t code)
{
    std::string line = shown_name(name);
    if (code == 0)
        return line + " - Done";
    if (const Outcome *o = outcome_of(code))
        return line + " - Failed: " + o->failure;
    char text[64];
    std::snprintf(text, sizeof text, " - Failed: error %lu.", static_cast<unsigned long>(code));
    return line + text;
}

std::string send_progress_line(std::string_view name)
{
    return "Sending to " + shown_name(name) + " ...";
}

std::string send_refusal_line(std::string_view name, SendRefusal why)
{
    return shown_name(name) + (why == SendRefusal::NameTooLong
                                   ? " - Failed: The name is longer than 256 characters; nothing was sent."
                                   : " - Failed: More than 29 recipients in one send; nothing was sent to this one.");
}

const char *send_notice_text(SendNotice notice)
{
    return notice == SendNotice::NoRecipient ? "Nothing sent: type a recipient's name in the To: box."
                                             : "Still sending: Send works again when every recipient has answered.";
}
