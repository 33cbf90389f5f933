// history.h - recipients history (values of ...\History, Last User, Interface) and
// per-recipient sent-messages history (subkeys of ...\History).
#ifndef TOLVIK_HISTORY_H
#define TOLVIK_HISTORY_H

void recipients_history_load();   // fills the recipient box, restores Last User and the mode
void last_message_load(int index); // index into the recipient list, or -1 for the box's text
void recipients_history_save();   // any thread
void interface_save();

void sent_messages_load(int index);
void sent_message_save();         // any thread
void sent_message_delete();
void sent_messages_clear();

#endif
