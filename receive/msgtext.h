// msgtext.h - splits a received message's full text into sender, recipient, time and body.
#ifndef TOLVIK_MSGTEXT_H
#define TOLVIK_MSGTEXT_H

#include "base/popup_format.h"

#include <cstddef>
#include <string_view>

// Locale-aware single-character comparison ignoring case, supplied by the caller
// (the Win32 edge wraps CompareStringA; tests pass a fake).
using CharEqualIgnoreCase = bool (*)(char a, char b);

constexpr std::size_t kMsgFieldCap = 260;     // From, To, Time: at most 259 chars + zero
constexpr std::size_t kMsgBodyCap = kPopupTextMax + 1;    // Message: at most a popup's text + zero
constexpr char kRussianMark = kPopupWordsRussian.message[0];  // the Russian header's first letter

struct ParsedMessage {
    char from[kMsgFieldCap];
    char to[kMsgFieldCap];
    char time[kMsgFieldCap];
    char message[kMsgBodyCap];
};

// Parses "<word> from FROM to TO on TIME\r\n\r\nMESSAGE" (English tokens) or the same with
// the Windows-1251 tokens for from/to/on, chosen when eq(full[0], kRussianMark) holds
// (a null eq selects English).
// The first LF ends the header line, and the tokens are looked for in that line where they alone can
// stand: from is the first occurrence; on is the last " on " (a whole word) and to the last " to " before
// it, so that a sender's name holding the header's words ("tony", "X to BOSS on 1") moves neither To nor
// the time. A header whose names hold no lowercase token splits as if every token were the first one.
// Returns true and fills all four fields when the text is well formed: every token found in
// order, every field length >= 0 and within its buffer, and the blank line complete.
// Otherwise returns false with from/to/time empty and message = full cut to 1023 bytes.
// All four fields are always zero-terminated; nothing is read outside `full`.
bool parse_message_text(std::string_view full, CharEqualIgnoreCase eq, ParsedMessage &out);

#endif
