// shell.h - the application shell, on top of every other layer: the main window's procedure,
// start-up and exit, tray, commands, modes, layout, keyboard hook and tooltips.
#ifndef TOLVIK_SHELL_H
#define TOLVIK_SHELL_H

#include <windows.h>

// mainwnd.cpp
INT_PTR CALLBACK MainDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
void main_exit(HWND hwnd);             // tray icon removed, histories and mode saved, dialog ended

// main.cpp: the single-instance memory, whose slot names the main window to a second start and to
// the message service.
void instance_publish(HWND hwnd);
void instance_release();

// tray.cpp
void tray_init(HWND hwnd);                 // system menu, window icons, tray icon and menu
void tray_add_icon_once(HWND hwnd);        // the tray icon, unless it is added already
UINT tray_taskbar_created_message();       // the shell's "TaskbarCreated" broadcast
void tray_on_taskbar_created(HWND hwnd);   // the taskbar is new: the icon is added again
void tray_retry_add(HWND hwnd);            // retry timer: another try at an add that failed
void tray_end();                           // the icon removed and the menu destroyed (exit)
void tray_set_icon(bool alternate);        // the icon at rest, or the new-message animation's second frame
void tray_collapse(HWND hwnd);             // start-up: the start size kept, the window collapsed until first shown
bool tray_full_frame();                    // the window has been shown in its full frame (never cleared)
RECT tray_start_rect();                    // the window's rectangle at its start (screen coordinates)
int tray_first_showing(HWND hwnd);         // 1 if it showed the window, 0 if already in full frame
void tray_corner_show(HWND hwnd);
void tray_bring_forward(HWND hwnd);
void tray_hide(HWND hwnd);
void tray_on_callback(HWND hwnd, LPARAM mouseMessage);

// commands.cpp
void main_on_command(HWND hwnd, int id, HWND control, UINT code);
LRESULT main_on_notify(HWND hwnd, NMHDR *header);
void main_configure(HWND hwnd);            // the configuration dialog, and after OK what the settings govern
void main_send(HWND hwnd);                 // the Send command, in Sender mode
void send_ended();                         // a Send has ended: Send is back, in Sender mode
void main_view(HWND hwnd);                 // the selection mark's message shown; its Reply answered
void send_button_follow_recipient();       // Send enabled when the recipient box holds a text

// timers.cpp
void timer_on_tick(HWND hwnd, UINT_PTR id);
void monitor_timer_update();               // TIMER_MONITOR (re)started when Monitor is on, else stopped
void monitor_timer_end();                  // exit: TIMER_MONITOR stopped if it was ever started
void hide_timer_start();                   // the last step of start-up: TIMER_HIDE hides the window

// arrival.cpp
void message_arrived(HWND hwnd);           // after each filed message: mode, beep, program, view, animation
void animation_tick(HWND hwnd);
void animation_stop(HWND hwnd);            // TIMER_ANIMATION stopped, "&Receiver" caption and the icon at rest

// modes.cpp
void enter_sender_mode(HWND hwnd);
void enter_receiver_mode(HWND hwnd);
bool receiver_mode();                      // the Receiver button is checked
void mode_start(HWND hwnd);                // start-up: Sender checked, status "Ready", as the template shows it

// layout.cpp
void layout_on_size(HWND hwnd, int width, int height);
void layout_on_minmax(MINMAXINFO *info);
void layout_place_bitmap_buttons(HWND hwnd);

// keyboard.cpp
void keyboard_install();

// about.cpp
void about_box(HWND hwnd);

// tooltips.cpp
void tooltips_record_rects(HWND hwnd);     // before the window collapses
void tooltips_create(HWND hwnd);

#endif
