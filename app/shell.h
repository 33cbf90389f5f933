// shell.h - operations of the application shell used across subsystems: tray, showing and
// hiding, commands, modes, layout, keyboard hook, tooltips.
#ifndef TOLVIK_SHELL_H
#define TOLVIK_SHELL_H

#include <windows.h>

// tray.cpp
void tray_edit_system_menu(HWND hwnd);
UINT tray_taskbar_created_message();      // the shell's "TaskbarCreated" broadcast
void tray_on_taskbar_created(HWND hwnd);   // the taskbar is new: the icon is added again
void tray_retry_add(HWND hwnd);            // retry timer: another try at an add that failed
void tray_create_menu();
void tray_add_icon(HWND hwnd);
void tray_remove_icon();
void tray_set_icon(HICON icon);           // NIM_MODIFY with the icon flag only
int tray_first_showing(HWND hwnd);         // 1 if it showed the window, 0 if already in full frame
void tray_corner_show(HWND hwnd);
void tray_bring_forward(HWND hwnd);
void tray_hide(HWND hwnd);
void tray_on_callback(HWND hwnd, LPARAM mouseMessage);

// commands.cpp
void main_on_command(HWND hwnd, int id, HWND control, UINT code);

// modes.cpp
void enter_sender_mode(HWND hwnd);
void enter_receiver_mode(HWND hwnd);
bool receiver_mode();                      // the Receiver button is checked

// layout.cpp
void layout_on_size(HWND hwnd, int width, int height);
void layout_on_minmax(MINMAXINFO *info);
void layout_place_bitmap_buttons(HWND hwnd);
int layout_px(int px);                     // a length in pixels at 96 dpi, at the screen's dpi

// keyboard.cpp
void keyboard_install();

// tooltips.cpp
void tooltips_record_rects(HWND hwnd);     // before the window collapses
void tooltips_create(HWND hwnd);

#endif
