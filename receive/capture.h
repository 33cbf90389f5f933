// capture.h - finding, reading, closing and filing the messenger service's popups.
#ifndef TOLVIK_CAPTURE_H
#define TOLVIK_CAPTURE_H

#include <windows.h>

// One capture step (monitor timer): takes at most one popup.
void capture_step(HWND hwnd);

#endif
