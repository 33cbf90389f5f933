// settings.cpp - load and save of the settings record.
#include "settings/settings.h"

#include "app/textbuf.h"

#include <cstring>

const char kSettingsKey[] = "Software\\Morvane\\Tolvik";

Settings g_settings = {
    1, // PopupOnMessage
    0, // AnimTrayOnMessage
    1, // BeepOnMessage
    0, // EnableRunOnMessage
    0, // ViewAsMessageBox
    0, // SwitchOnMessage
    0, // LoadMsgOnUserEdit
    1, // KeepIncoming
    1, // DoNotStealFocus
    0, // MinimizeOnSend
    0, // InternalMessage
    1, // Monitor
    "", "", "",
};

struct FlagValue {
    const char *name;
    DWORD Settings::*field;
};

// Storage order, which is the order of both load and save.
static constexpr FlagValue kFlags[] = {
    {"PopupOnMessage", &Settings::PopupOnMessage},
    {"AnimTrayOnMessage", &Settings::AnimTrayOnMessage},
    {"BeepOnMessage", &Settings::BeepOnMessage},
    {"EnableRunOnMessage", &Settings::EnableRunOnMessage},
    {"ViewAsMessageBox", &Settings::ViewAsMessageBox},
    {"SwitchOnMessage", &Settings::SwitchOnMessage},
    {"LoadMsgOnUserEdit", &Settings::LoadMsgOnUserEdit},
    {"KeepIncoming", &Settings::KeepIncoming},
    {"DoNotStealFocus", &Settings::DoNotStealFocus},
    {"MinimizeOnSend", &Settings::MinimizeOnSend},
    {"InternalMessage", &Settings::InternalMessage},
    {"Monitor", &Settings::Monitor},
};

// A flag is taken only when it is a 4-byte REG_DWORD.
static void load_flag(HKEY key, const char *name, DWORD &field)
{
    DWORD type = 0, value = 0, size = sizeof value;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE *>(&value), &size) == ERROR_SUCCESS &&
        type == REG_DWORD && size == sizeof value)
        field = value;
}

// A text is read into a scratch buffer and taken only when it is a REG_SZ that fits the
// field with its terminator; stored without its zero, it reads the same. An empty text
// keeps the field as it was (a layout keeps the one active at start-up).
static void load_text(HKEY key, const char *name, char *field, size_t fieldSize)
{
    char scratch[1024];
    DWORD type = 0, size = sizeof scratch;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE *>(scratch), &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return;
    size_t length = bounded_length(scratch, size);
    if (length == 0 || length >= fieldSize)
        return;
    std::memcpy(field, scratch, length);
    field[length] = '\0';
}

void settings_load()
{
    char layout[KL_NAMELENGTH] = "";
    GetKeyboardLayoutNameA(layout);
    copy_bounded(g_settings.UserComboLayout, sizeof g_settings.UserComboLayout, layout);
    GetKeyboardLayoutNameA(layout);
    copy_bounded(g_settings.MessageEditLayout, sizeof g_settings.MessageEditLayout, layout);

    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return;
    for (const FlagValue &flag : kFlags)
        load_flag(key, flag.name, g_settings.*flag.field);
    load_text(key, "ExternalProg", g_settings.ExternalProg, sizeof g_settings.ExternalProg);
    load_text(key, "UserComboLayout", g_settings.UserComboLayout, sizeof g_settings.UserComboLayout);
    load_text(key, "MessageEditLayout", g_settings.MessageEditLayout, sizeof g_settings.MessageEditLayout);
    RegCloseKey(key);
}

// Written without its terminating zero. The registry counts a zero in when the byte after
// the counted data is zero, so the text is passed from a buffer that does not end there.
static void save_text(HKEY key, const char *name, const char *text, size_t fieldSize)
{
    size_t length = bounded_length(text, fieldSize);
    char unterminated[260 + 1];
    std::memcpy(unterminated, text, length);
    unterminated[length] = '#';
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(unterminated), static_cast<DWORD>(length));
}

LONG settings_save()
{
    HKEY key;
    LONG rc = RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr);
    if (rc != ERROR_SUCCESS)
        return rc;
    for (const FlagValue &flag : kFlags)
        RegSetValueExA(key, flag.name, 0, REG_DWORD, reinterpret_cast<const BYTE *>(&(g_settings.*flag.field)),
                       sizeof(DWORD));
    save_text(key, "ExternalProg", g_settings.ExternalProg, sizeof g_settings.ExternalProg);
    save_text(key, "UserComboLayout", g_settings.UserComboLayout, sizeof g_settings.UserComboLayout);
    save_text(key, "MessageEditLayout", g_settings.MessageEditLayout, sizeof g_settings.MessageEditLayout);
    RegCloseKey(key);
    return rc;
}
