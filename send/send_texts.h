// send_texts.h - the status-line and send-log texts for each outcome of a send, and how the
// outcomes of one Send add up to its status line.
#ifndef TOLVIK_SEND_TEXTS_H
#define TOLVIK_SEND_TEXTS_H

#include "base/popup_format.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The most characters of the message edit one send carries.
constexpr std::size_t kMaxMessageChars = 1023;

// The longest message every receiver shows whole: what a popup holds after the longest header.
constexpr std::size_t kSureFitChars = kPopupTextMax - kPopupHeaderMax;

// Outcomes of our own beside the platform's status codes (0 = success).
constexpr std::uint32_t kSendFaulted = 0xFFFFFFFFu;    // the network call faulted (no message service)
constexpr std::uint32_t kSendTooLong = 0xFFFFFFFEu;    // the receiver refused a text too long to show
constexpr std::uint32_t kSendNotStarted = 0xFFFFFFFDu; // no worker could be started for the name
constexpr std::uint32_t kSendNotSent = 0xFFFFFFFCu;    // the name was refused before sending

// The outcome of a send of `chars` characters that answered `code`: a receiver that cannot show
// a text refuses it, and the sender hears the general network failure (net_status::kNetworkError);
// for a text longer than kSureFitChars that failure is reported as the text being too long.
std::uint32_t send_outcome(std::uint32_t code, std::size_t chars);

// Status line for a single outcome: "Last send successful.", "Failed: " and the outcome's text,
// or "Last send failed." for outcomes without a status text of their own.
std::string send_status_text(std::uint32_t code);

// Status line when the last name of a Send has ended, from the outcome of every name of its
// recipient line (in any order): all sent, some not sent, or none sent (with the one failure
// they share, when they share one).
std::string send_summary_text(const std::vector<std::uint32_t> &outcomes);

// The send log line of a finished send to `name`.
std::string send_log_line(std::string_view name, std::uint32_t code);

// "Sending to NAME ..."
std::string send_progress_line(std::string_view name);

enum class SendRefusal { NameTooLong, TooManyNames };
// The log line of a name that is not sent; long names are shown cut with "...".
std::string send_refusal_line(std::string_view name, SendRefusal why);

// Status lines of a Send command that sends nothing.
enum class SendNotice { NoRecipient, StillSending };
const char *send_notice_text(SendNotice notice);

#endif
