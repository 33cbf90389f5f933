// config.h - the configuration dialog (template 155).
#ifndef TOLVIK_CONFIG_H
#define TOLVIK_CONFIG_H

#include <windows.h>

// Runs the dialog modally; OK applies and saves every setting and starts or stops capture.
void config_dialog(HWND owner);

#endif
