// recipients.h - splits the recipient text into the names that get a send job.
#ifndef TOLVIK_RECIPIENTS_H
#define TOLVIK_RECIPIENTS_H

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Locale-aware single-character comparison ignoring case, supplied by the caller
// (same type as in receive/msgtext.h; the Win32 edge wraps CompareStringA).
using CharEqualIgnoreCase = bool (*)(char a, char b);

constexpr std::size_t kMaxSendJobs = 29;     // slots in the send job table
constexpr std::size_t kMaxNameChars = 256;   // longest name a slot holds

enum class RejectReason { TooLong, TooMany };

struct RecipientName {
    std::string name;
    std::size_t order;     // 0-based position among all non-empty names in the text
};

struct RejectedName {
    std::string name;      // the whole name, never shortened
    std::size_t order;     // as in RecipientName
    RejectReason reason;
};

struct SplitResult {
    std::vector<RecipientName> names;    // at most kMaxSendJobs, in order of appearance
    std::vector<RejectedName> rejected;  // in order of appearance
};

// Splits text into names: a character for which eq(c, ' ') holds (a null eq: c == ' ') ends the
// current name, the end of the text ends the last one, empty names are skipped. A name longer
// than kMaxNameChars is rejected TooLong and takes no slot; a fitting name after kMaxSendJobs
// accepted ones is rejected TooMany. Every non-empty name ends up in exactly one of the lists.
SplitResult split_recipients(std::string_view text, CharEqualIgnoreCase eq);

#endif
