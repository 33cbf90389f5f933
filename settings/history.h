// history.h - recipients history (values of ...\History, Last User, Interface) and
// per-recipient sent-messages history (subkeys of ...\History).
#ifndef TOLVIK_HISTORY_H
#define TOLVIK_HISTORY_H

#include <string>

void recipients_history_load();   // fills the recipient box, restores Last User and the mode
void last_message_load(int index); // index into the recipient list, or -1 for the box's text
// The recipient box's text now stands as the line of the message being written (typed, set by
// the program, or the list opened).
void recipient_line_settled();
// The line at index (or the box's text for -1) was chosen from the list: when it is another
// line than the one the message belongs to, its last message and sent messages are loaded.
// Opening and closing the list on the same line changes nothing.
void recipient_line_chosen(int index);
// Stores `text` as the last message of the recipient line `line` and the line as Last User;
// false when the line cannot be stored. Registry only: any thread (a send worker passes what
// it sent).
bool recipients_history_store(const std::string &line, const std::string &text);
// Lists `line` in the recipient box unless it is listed already (the window's thread).
void recipients_history_list(const std::string &line);
void recipients_history_save();   // the recipient box and message edit as they stand (Exit)
void interface_save();

void sent_messages_load(int index);
// Adds `text` to the sent messages of `line` under a time stamp of now (the next free second
// when that name is taken). Registry only: any thread.
void sent_message_store(const std::string &line, const std::string &text);
// Adds `text` to the sent-messages box when the box shows `line` (the window's thread).
void sent_message_list(const std::string &line, const std::string &text);
void sent_message_save();         // the recipient box and message edit as they stand (Exit)
void sent_message_delete();
void sent_messages_clear();

#endif
