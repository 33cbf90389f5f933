// settings.h - the one settings record, its defaults, load and save (values of the settings key).
#ifndef TOLVIK_SETTINGS_H
#define TOLVIK_SETTINGS_H

#include <windows.h>

// Field names are the registry value names. Flags: 0 off, anything else on.
struct Settings {
    DWORD PopupOnMessage;
    DWORD AnimTrayOnMessage;
    DWORD BeepOnMessage;
    DWORD EnableRunOnMessage;
    DWORD ViewAsMessageBox;
    DWORD SwitchOnMessage;
    DWORD LoadMsgOnUserEdit;
    DWORD KeepIncoming;
    DWORD DoNotStealFocus;
    DWORD MinimizeOnSend;
    DWORD InternalMessage;
    DWORD Monitor;
    char ExternalProg[260];
    char UserComboLayout[9];
    char MessageEditLayout[9];
};

extern Settings g_settings;   // defaults in place before the main window exists

// Replaces the defaults with what is stored; a value that is missing, of another type or
// larger than its field keeps the field as it was.
void settings_load();

// Writes all fifteen values; returns the registry result of opening the key.
LONG settings_save();

#endif
