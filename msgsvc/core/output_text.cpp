// output_text.cpp - log lines and popup texts of the message service.
#include "msgsvc/core/output_text.h"

namespace msgsvc {

namespace {

constexpr uint64_t kMinuteMs = 60000;

} // namespace

std::string hex_byte(uint8_t b)
{
    constexpr std::string_view kHex = "0123456789ABCDEF";
    return {kHex[b >> 4], kHex[b & 15]};
}

std::string escape_controls(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (!is_control(c)) {
            out += c;
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else {
            out += "\\x" + hex_byte(static_cast<uint8_t>(c));
        }
    }
    return out;
}

bool log_admit(LogLimiter &l, uint64_t now_ms, unsigned &held_back)
{
    held_back = 0;
    const uint64_t minute = now_ms / kMinuteMs;
    if (minute != l.minute) {
        l.minute = minute;
        l.written = 0;
    }
    if (l.written >= l.per_minute) {
        ++l.held_back;
        return false;
    }
    ++l.written;
    held_back = l.held_back;
    l.held_back = 0;
    return true;
}

std::string popup_text(bool russian, std::string_view from, std::string_view to, std::string_view when,
                       std::string_view text)
{
    const PopupHeaderWords &words = russian ? kPopupWordsRussian : kPopupWords;
    std::string out;
    for (std::string_view piece : {words.message, words.from, from, words.to, to, words.on}) {
        out += piece;
        out += ' ';
    }
    out += when;
    out += kPopupHeaderEnd;
    out += text;
    return out;
}

} // namespace msgsvc
