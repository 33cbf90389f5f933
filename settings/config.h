// config.h - the configuration dialog (IDD_CONFIG).
#ifndef TOLVIK_CONFIG_H
#define TOLVIK_CONFIG_H

#include <windows.h>

// Runs the dialog modally; OK applies and saves every setting. True after OK: the caller then
// starts or stops what the settings govern.
bool config_dialog(HWND owner);

#endif
