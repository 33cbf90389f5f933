// message_view.h - the Message View (IDD_MESSAGEVIEW).
#ifndef TOLVIK_MESSAGE_VIEW_H
#define TOLVIK_MESSAGE_VIEW_H

#include <windows.h>
#include <initializer_list>

// Shows the selection mark's message, in a message box when the settings ask for it, else in a
// Message View owned by owner (it returns when the view closes). True when the view's Reply closed
// it, with replyIndex the message it showed last (-1 when it showed none): the caller answers it.
bool view_message(HWND owner, int &replyIndex);
void view_reply(HWND hwnd);     // an open Message View hwnd closes as its Reply button closes it; else nothing

// Moves the buttons ids of a dialog to the Message View's bottom row (29 pixels at 96 dpi above
// the client height cy), each keeping its left edge and size; missing ones are skipped. The About
// box puts its OK there too.
void dialog_place_button_row(HWND dlg, int cy, std::initializer_list<int> ids);

#endif
