// dialogs.h - the Message View (template 149) and the About box (template 103).
#ifndef TOLVIK_DIALOGS_H
#define TOLVIK_DIALOGS_H

#include <windows.h>
#include <initializer_list>

void view_command(HWND hwnd);   // message box or Message View on the selection mark
bool view_is_open(HWND hwnd);   // hwnd is one of the open Message Views

void about_box(HWND hwnd);      // about.cpp

// Moves the buttons ids of a dialog to the bottom row (29 pixels at 96 dpi above the client
// height cy), each keeping its left edge and size; missing ones are skipped.
void dialog_place_button_row(HWND dlg, int cy, std::initializer_list<int> ids);

#endif
