// output_text.h - the texts the message service writes out: log lines (kept to one line and to a rate) and the
// text of a Messenger popup.
#ifndef TOLVIK_MSGSVC_OUTPUT_TEXT_H
#define TOLVIK_MSGSVC_OUTPUT_TEXT_H

#include "base/popup_format.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace msgsvc {

// Two upper-case hex digits.
std::string hex_byte(uint8_t b);

// A control character: below 0x20, or 0x7F. None may stand in a name; the log escapes them.
constexpr bool is_control(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }

// The text with every control character written as \r, \n, \t or \xNN, so that it
// stays on one line.
std::string escape_controls(std::string_view text);

// At most per_minute log lines in each minute of the clock. The lines held back are counted, and the count is
// handed to the first line let through afterwards, to be reported before it.
struct LogLimiter {
    unsigned per_minute = 60;
    uint64_t minute = UINT64_MAX;
    unsigned written = 0;
    unsigned held_back = 0;
};
// Whether a line may be written at now_ms; when it may, held_back is set to the lines held back before it.
bool log_admit(LogLimiter &l, uint64_t now_ms, unsigned &held_back);

// The text of a Messenger popup (base/popup_format.h): the header "Message from FROM to TO on WHEN" in English,
// or with russian in Russian (Windows-1251), then CR LF CR LF and the whole text. All inputs are already in the
// display code page. Whether it fits a popup (kPopupTextMax) is the caller's decision: nothing is cut here.
std::string popup_text(bool russian, std::string_view from, std::string_view to, std::string_view when,
                       std::string_view text);

} // namespace msgsvc

#endif
