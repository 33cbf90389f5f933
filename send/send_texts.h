// send_texts.h - the status-line and send-log texts for each outcome of a send.
#ifndef TOLVIK_SEND_TEXTS_H
#define TOLVIK_SEND_TEXTS_H

#include <cstdint>
#include <string>
#include <string_view>

// Not a platform status: the network send itself faulted (no message service).
constexpr std::uint32_t kSendFaulted = 0xFFFFFFFFu;

// Status line after a send with this code: "Last send successful.", a code's own text, or
// "Last send failed." for codes without one. A success of a Send command that refused some
// of its names says that not everyone got the message.
const char *send_status_text(std::uint32_t code, bool someRefused = false);

// The send log line of a finished send to `name`.
std::string send_log_line(std::string_view name, std::uint32_t code);

// "Sending to NAME ..."
std::string send_progress_line(std::string_view name);

enum class SendRefusal { NameTooLong, TooManyNames };
// The log line of a name that is not sent; long names are shown cut with "...".
std::string send_refusal_line(std::string_view name, SendRefusal why);

#endif
