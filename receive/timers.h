// timers.h - the main window's timers: capture (50), hide (100), new-message animation (150)
// and the tray icon's retry (160).
#ifndef TOLVIK_TIMERS_H
#define TOLVIK_TIMERS_H

#include <windows.h>

void timer_on_tick(HWND hwnd, UINT_PTR id);

// Ends the new-message animation: timer 150 stopped, "&Receiver" caption and icon 134 back.
void animation_stop(HWND hwnd);

// Starts the animation from its first frame (after every filed message).
void animation_start(HWND hwnd);

#endif
