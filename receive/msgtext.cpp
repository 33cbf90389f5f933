// msgtext.cpp - splits a received message's full text into sender, recipient, time and body.
#include "receive/msgtext.h"

#include "base/textbuf.h"

#include <string>

namespace {

// Characters from the start of a header word to the field after it: the word and its blank.
constexpr std::ptrdiff_t to_field(std::string_view word) { return static_cast<std::ptrdiff_t>(word.size()) + 1; }

// The header line ends at its LF; the message starts after the LF and the blank line's CR LF.
constexpr std::ptrdiff_t kHeaderEndSkip = static_cast<std::ptrdiff_t>(kPopupHeaderEnd.size()) - 1;

constexpr std::ptrdiff_t kFieldMax = static_cast<std::ptrdiff_t>(kMsgFieldCap) - 1;
constexpr std::ptrdiff_t kBodyMax = static_cast<std::ptrdiff_t>(kMsgBodyCap) - 1;

std::ptrdiff_t find_first(std::string_view text, std::string_view token)
{
    std::size_t pos = text.find(token);
    return pos == std::string_view::npos ? -1 : static_cast<std::ptrdiff_t>(pos);
}

// Where the last occurrence of `word` with a blank on either side begins in text; -1 when there is none.
std::ptrdiff_t find_last_word(std::string_view text, std::string_view word)
{
    std::size_t pos = text.rfind(' ' + std::string(word) + ' ');
    return pos == std::string_view::npos ? -1 : static_cast<std::ptrdiff_t>(pos) + 1;
}

bool fits(std::ptrdiff_t len, std::ptrdiff_t max) { return len >= 0 && len <= max; }

void set_unparsed(std::string_view full, ParsedMessage &out)
{
    out.from[0] = out.to[0] = out.time[0] = '\0';
    copy_bounded(out.message, kMsgBodyCap, full);
}

} // namespace

bool parse_message_text(std::string_view full, CharEqualIgnoreCase eq, ParsedMessage &out)
{
    const bool russian = !full.empty() && eq != nullptr && eq(full[0], kRussianMark);
    const PopupHeaderWords &words = russian ? kPopupWordsRussian : kPopupWords;
    const auto size = static_cast<std::ptrdiff_t>(full.size());

    // The sender's name is the one part of the header that the receiving side does not write: it may hold
    // anything, the header's words included. So the from-token is the first one (only the first word stands
    // before it), while the on-token is the last one of the header line (only the time follows it) and the
    // to-token the last one before that (only our own name stands between them).
    const std::ptrdiff_t e = find_first(full, "\n");
    const std::string_view header = full.substr(0, e < 0 ? 0 : static_cast<std::size_t>(e));
    const std::ptrdiff_t f = find_first(header, words.from);
    const std::ptrdiff_t o = find_last_word(header, words.on);
    const std::ptrdiff_t t = o < 0 ? -1 : find_last_word(header.substr(0, static_cast<std::size_t>(o - 1)), words.to);
    if (e < 0 || f < 0 || t < 0 || o < 0 || !(f < t && t < o && o < e)) {
        set_unparsed(full, out);
        return false;
    }

    const std::ptrdiff_t from_len = t - f - to_field(words.from) - 1;
    const std::ptrdiff_t to_len = o - t - to_field(words.to) - 1;
    const std::ptrdiff_t time_len = e - o - to_field(words.on) - 1;
    const std::ptrdiff_t body_pos = e + kHeaderEndSkip;
    if (!fits(from_len, kFieldMax) || !fits(to_len, kFieldMax) || !fits(time_len, kFieldMax) ||
        body_pos > size || !fits(size - body_pos, kBodyMax)) {
        set_unparsed(full, out);
        return false;
    }

    copy_bounded(out.from, kMsgFieldCap, full.substr(f + to_field(words.from), from_len));
    copy_bounded(out.to, kMsgFieldCap, full.substr(t + to_field(words.to), to_len));
    copy_bounded(out.time, kMsgFieldCap, full.substr(o + to_field(words.on), time_len));
    copy_bounded(out.message, kMsgBodyCap, full.substr(body_pos));
    return true;
}
