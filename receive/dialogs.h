// dialogs.h - the Message View (template 149) and About box (template 103).
#ifndef TOLVIK_DIALOGS_H
#define TOLVIK_DIALOGS_H

#include <windows.h>

void view_command(HWND hwnd);   // message box or Message View on the selection mark
void about_box(HWND hwnd);

#endif
