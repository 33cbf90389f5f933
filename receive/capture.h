// capture.h - finding, reading, closing and filing the messenger service's popups.
#ifndef TOLVIK_CAPTURE_H
#define TOLVIK_CAPTURE_H

#include <windows.h>

// One capture step: takes at most one popup, the one a hint named when it is given (else the
// first ready one the title lookup finds), and files its message in the incoming list, selected
// alone. True when it filed one: the caller then runs what a new message sets off.
bool capture_step(HWND hinted = nullptr);

// The registered message by which the message service says that a popup is ready (0 if it
// could not be registered), and what a hint does: with monitoring on, one read of the named
// window's title and, when that is a popup's, one capture step for it at once (its result is the
// step's). Any program may send one; the monitor timer goes on taking every popup a hint misses.
UINT capture_hint_message();
bool capture_on_hint(WPARAM window);

#endif
