// send_texts.cpp - texts of the send outcomes.
#include "send/send_texts.h"

#include <cstdio>

namespace {
struct Outcome {
    std::uint32_t code;
    const char *failure; // after "Failed: " / "NAME - Failed: "
};
constexpr Outcome kOutcomes[] = {
    {5, "The user does not have access to the requested information."},
    {50, "This network request is not supported."},
    {87, "The specified parameter is invalid."},
    {2136, "A general failure occurred in the network hardware."},
    {2273, "The user name could not be found."},
};
constexpr char kFaulted[] = "The network message service is unavailable.";

const char *failure_text(std::uint32_t code)
{
    for (const Outcome &o : kOutcomes)
        if (o.code == code)
            return o.failure;
    return nullptr;
}

// Names are shown whole up to 256 characters.
std::string shown(std::string_view name)
{
    constexpr std::size_t kShown = 256;
    return name.size() <= kShown ? std::string(name) : std::string(name.substr(0, kShown)) + "...";
}
} // namespace

const char *send_status_text(std::uint32_t code, bool someRefused)
{
    static const struct {
        std::uint32_t code;
        const char *text;
    } kStatus[] = {
        {5, "Failed: The user does not have access to the requested information."},
        {50, "Failed: This network request is not supported."},
        {87, "Failed: The specified parameter is invalid."},
        {2136, "Failed: A general failure occurred in the network hardware."},
        {2273, "Failed: The user name could not be found."},
    };
    if (code == 0)
        return someRefused ? "Last send incomplete: some names were not sent." : "Last send successful.";
    for (const auto &s : kStatus)
        if (s.code == code)
            return s.text;
    return "Last send failed.";
}

std::string send_log_line(std::string_view name, std::uint32_t code)
{
    std::string line = shown(name);
    if (code == 0)
        return line + " - Done";
    if (const char *failure = failure_text(code))
        return line + " - Failed: " + failure;
    if (code == kSendFaulted)
        return line + " - Failed: " + kFaulted;
    char text[64];
    std::snprintf(text, sizeof text, " - Failed: error %lu.", static_cast<unsigned long>(code));
    return line + text;
}

std::string send_progress_line(std::string_view name)
{
    return "Sending to " + shown(name) + " ...";
}

std::string send_refusal_line(std::string_view name, SendRefusal why)
{
    return shown(name) + (why == SendRefusal::NameTooLong
                              ? " - Failed: The name is longer than 256 characters; nothing was sent."
                              : " - Failed: More than 29 recipients in one send; nothing was sent to this one.");
}
