// recipients.cpp - splits the recipient text into the names that get a send job.
#include "send/recipients.h"

namespace {

void place_name(std::string_view name, SplitResult &result, std::size_t order)
{
    if (name.size() > kMaxNameChars)
        result.rejected.push_back({std::string(name), order, RejectReason::TooLong});
    else if (result.names.size() >= kMaxSendJobs)
        result.rejected.push_back({std::string(name), order, RejectReason::TooMany});
    else
        result.names.push_back({std::string(name), order});
}

} // namespace

SplitResult split_recipients(std::string_view text, CharEqualIgnoreCase eq)
{
    SplitResult result;
    std::size_t order = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        const bool separator = i == text.size() || (eq ? eq(text[i], ' ') : text[i] == ' ');
        if (!separator)
            continue;
        if (i > start)
            place_name(text.substr(start, i - start), result, order++);
        start = i + 1;
    }
    return result;
}
