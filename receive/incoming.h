// incoming.h - the incoming list, its notifications and the message store (key ...\Messages).
#ifndef TOLVIK_INCOMING_H
#define TOLVIK_INCOMING_H

#include <windows.h>
#include <string>

// Appends an item (Time, From, To, Message; owns a copy of the full text); returns its index.
int incoming_file(const char *from, const char *to, const char *time, const char *message, const char *fullText);

// The full text kept with item index, or empty when the item cannot be read.
bool incoming_full_text(int index, std::string &text);
// The From column of item index (at most 256 characters); false for an index off the list.
bool incoming_sender(int index, std::string &from);
int incoming_count();
int incoming_selection_mark();

// The one rule for the receiver buttons, called after every change to the list: Reply, View and
// Delete enabled while a message is selected, Delete All while there is any.
void incoming_buttons_update();

void message_count_update();   // status line "Total messages: %d"
bool store_save();             // the store mirrors the list; false when a write failed
// The store's value at position holds fullText (the value a save of the list writes for the
// item at that index).
bool store_holds(size_t position, const char *fullText);
bool store_load();             // appends the stored messages to the list; false without a store
void store_at_exit();          // KeepIncoming off: list emptied first, so no key remains

void incoming_delete();        // the selected items
void incoming_delete_all();

// The list's notifications to the main window hwnd. A double-click on a selected message is left
// to the caller (it opens the message): incoming_double_click tells it.
bool incoming_double_click(const NMHDR *header);
LRESULT incoming_on_notify(HWND hwnd, NMHDR *header);
bool incoming_menu_open();     // the list's context menu is being tracked

#endif
