// popup_format.h - what a Messenger popup looks like: the contract between the message service that shows it
// (msgsvc.exe) and Tolvik that finds it, reads it and files its message. Its titles, the order of its
// children, the words of its text's header and how long that text may be are written here and nowhere else.
// The test doubles spell them out on their own, so that they check this contract independently.
#ifndef TOLVIK_POPUP_FORMAT_H
#define TOLVIK_POPUP_FORMAT_H

#include <cstddef>
#include <string_view>

// The titles (the trailing space is part of them); the Russian one is Windows-1251. Views of string literals:
// data() is zero-terminated.
constexpr std::string_view kPopupTitle = "Messenger service ";
constexpr std::string_view kPopupTitleRussian = "\xD1\xEB\xF3\xE6\xE1\xE0 \xF1\xEE\xEE\xE1\xF9\xE5\xED\xE8\xE9 ";

// The children, in the order in which they are made (the order GetWindow walks): first the OK button, a window
// of this class, then the control that holds the text.
constexpr std::string_view kPopupButtonClass = "Button";

// The most characters a popup's text holds; a reader's buffer has one more, for the terminating zero.
constexpr std::size_t kPopupTextMax = 1023;

// The text: the header line, kPopupHeaderEnd, then the message. The header line is
//     MESSAGE FROM_WORD FROM TO_WORD TO ON_WORD WHEN     ("Message from ALICE to BOB on 12/6/2001 2:45 PM")
// in the words of one language, each piece apart from the next by one blank. The words are what the message
// service writes and what Tolvik looks for; the language is told by the first letter of the header.
struct PopupHeaderWords {
    std::string_view message, from, to, on;
};
constexpr PopupHeaderWords kPopupWords{"Message", "from", "to", "on"};
constexpr PopupHeaderWords kPopupWordsRussian{"\xD1\xEE\xEE\xE1\xF9\xE5\xED\xE8\xE5", "\xEE\xF2", "\xE4\xEB\xFF",
                                              "\xED\xE0"};

// The header line's end and the blank line after it.
constexpr std::string_view kPopupHeaderEnd = "\r\n\r\n";

// The characters of a header line that are not its three fields: the words and the blanks between the pieces.
constexpr std::size_t popup_header_words_size(const PopupHeaderWords &w)
{
    return w.message.size() + w.from.size() + w.to.size() + w.on.size() + 6;
}

// The longest header, kPopupHeaderEnd included: the longer language's words, two names of up to 15 characters
// (NetBIOS names) and a date and time of up to 30.
constexpr std::size_t kPopupHeaderMax =
    (popup_header_words_size(kPopupWords) > popup_header_words_size(kPopupWordsRussian)
         ? popup_header_words_size(kPopupWords)
         : popup_header_words_size(kPopupWordsRussian)) +
    2 * 15 + 30 + kPopupHeaderEnd.size();

#endif
