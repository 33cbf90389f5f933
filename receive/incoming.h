// incoming.h - the incoming list, its notifications and the message store (key ...\Messages).
#ifndef TOLVIK_INCOMING_H
#define TOLVIK_INCOMING_H

#include <windows.h>
#include <string>

// Appends an item (Time, From, To, Message; owns a copy of the full text); returns its index.
int incoming_file(const char *from, const char *to, const char *time, const char *message, const char *fullText);

// The full text kept with item index, or empty when the item cannot be read.
bool incoming_full_text(int index, std::string &text);

void message_count_update();   // status line "Total messages: %d"
bool store_save();             // the store mirrors the list; false when a write failed
// The store's value at position holds fullText (the value a save of the list writes for the
// item at that index).
bool store_holds(size_t position, const char *fullText);
void store_load();             // appends the stored messages to the list
void store_at_exit();          // KeepIncoming off: list emptied first, so no key remains

void incoming_delete();        // the selected items
void incoming_delete_all();
void incoming_reply();         // to the selection mark's sender
void incoming_reply_to(int index); // to item index's sender; nothing for an index off the list

LRESULT incoming_on_notify(HWND hwnd, NMHDR *header);
bool incoming_menu_open();     // the list's context menu is being tracked

#endif
