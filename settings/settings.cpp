// settings.cpp - load and save of the settings record.
#include "settings/settings.h"

#include "base/textbuf.h"
#include "settings/regkey.h"

#include <cstring>

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

// A text is taken only when it fits the field with its terminator. It is read through a
// larger buffer, so a stored text with zeros after it still loads. An empty text keeps the
// field as it was (a layout keeps the one active at start-up).
static void load_text(const RegKey &key, const char *name, char *field, size_t fieldSize)
{
    char text[1024];
    if (!key.text(name, text))
        return;
    size_t length = std::strlen(text);
    if (length > 0 && length < fieldSize)
        std::memcpy(field, text, length + 1);
}

void settings_load()
{
    char layout[KL_NAMELENGTH] = "";
    GetKeyboardLayoutNameA(layout);
    copy_bounded(g_settings.UserComboLayout, sizeof g_settings.UserComboLayout, layout);
    GetKeyboardLayoutNameA(layout);
    copy_bounded(g_settings.MessageEditLayout, sizeof g_settings.MessageEditLayout, layout);

    RegKey key;
    if (key.open(kSettingsKey) != ERROR_SUCCESS)
        return;
    for (const FlagValue &flag : kFlags) // a flag is taken only when it is a 4-byte REG_DWORD
        key.dword(flag.name, g_settings.*flag.field);
    load_text(key, "ExternalProg", g_settings.ExternalProg, sizeof g_settings.ExternalProg);
    load_text(key, "UserComboLayout", g_settings.UserComboLayout, sizeof g_settings.UserComboLayout);
    load_text(key, "MessageEditLayout", g_settings.MessageEditLayout, sizeof g_settings.MessageEditLayout);
}

// The three texts are written without their terminating zero.
static void save_text(const RegKey &key, const char *name, const char *field, size_t fieldSize)
{
    key.set_bare_text(name, std::string_view(field, bounded_length(field, fieldSize)));
}

LONG settings_save()
{
    RegKey key;
    LONG rc = key.create(kSettingsKey);
    if (rc != ERROR_SUCCESS)
        return rc;
    for (const FlagValue &flag : kFlags)
        key.set_dword(flag.name, g_settings.*flag.field);
    save_text(key, "ExternalProg", g_settings.ExternalProg, sizeof g_settings.ExternalProg);
    save_text(key, "UserComboLayout", g_settings.UserComboLayout, sizeof g_settings.UserComboLayout);
    save_text(key, "MessageEditLayout", g_settings.MessageEditLayout, sizeof g_settings.MessageEditLayout);
    return rc;
}
