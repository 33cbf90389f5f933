// compose.h - the Sender's boxes filled from the histories: the recipient box and its list of
// stored lines, the message edit (a line's last message) and the sent-messages box (a line's sent
// texts), and which line the message being written belongs to. The main window's thread.
#ifndef TOLVIK_COMPOSE_H
#define TOLVIK_COMPOSE_H

#include "settings/history.h"

#include <string>

// Start-up: lists the stored recipient lines and shows Last User with its last message and sent
// messages. Returns the stored mode, for the caller to enter.
StoredMode compose_restore();

// Loads the last message and the sent messages of the line at index in the recipient box's
// list, or of the box's text for -1. A line with no last message that can be read leaves the
// message edit as it is: the user's draft is never replaced by nothing.
void compose_load_line(int index);

// Loads the sent messages of the recipient box's text.
void compose_load_sent();

// The recipient box's text now stands as the line of the message being written (typed, set by
// the program, or the list opened).
void compose_line_settled();

// The line at index (or the box's text for -1) was chosen from the list: when it is another
// line than the one the message belongs to, its last message and sent messages are loaded.
// Opening and closing the list on the same line changes nothing.
void compose_line_chosen(int index);

// `text` was sent to `line` and stored: the line is listed in the recipient box unless it is
// listed already, the text in the sent-messages box when the box shows that line.
void compose_list_sent(const std::string &line, const std::string &text);

// Exit: the recipient box's line and the message edit's text, stored and listed as after a send.
void compose_save();

#endif
