// dialogs.h - the Message View (template 149) and the About box (template 103).
#ifndef TOLVIK_DIALOGS_H
#define TOLVIK_DIALOGS_H

#include <windows.h>
#include <initializer_list>

// Shows the selection mark's message, in a message box when the settings ask for it, else in a
// Message View owned by owner (it returns when the view closes). True when the view's Reply closed
// it, with replyIndex the message it showed last (-1 when it showed none): the caller answers it.
bool view_message(HWND owner, int &replyIndex);
bool view_is_open(HWND hwnd);   // hwnd is one of the open Message Views

// Moves the buttons ids of a dialog to the bottom row (29 pixels at 96 dpi above the client
// height cy), each keeping its left edge and size; missing ones are skipped.
void dialog_place_button_row(HWND dlg, int cy, std::initializer_list<int> ids);

#endif
