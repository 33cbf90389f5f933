// history.cpp - recipients history (one value per recipient line under ...\History, with its
// last message; Last User; Interface) and each recipient's sent messages (a subkey of the
// History key named like the line, one value per distinct text under a time-stamp name).
// The stores (registry only) also run on send worker threads; everything that touches a window
// runs on the main window's thread.
#include "settings/history.h"

#include "base/ids.h"
#include "base/mainwnd.h"
#include "base/platform.h"
#include "settings/regkey.h"
#include "settings/settings.h"
#include "settings/stamp.h"

#include <string>

static const char kHistoryKey[] = "Software\\Morvane\\Tolvik\\History";

// Registry key names hold at most 255 characters and a backslash would name a nested key.
// Lines that cannot be stored whole under their own name are not stored at all, so no two
// recipients can ever share a cut name.
static bool storable_line(const std::string &line)
{
    return !line.empty() && line.size() <= 255;
}

static bool storable_subkey(const std::string &line)
{
    return storable_line(line) && line.find('\\') == std::string::npos;
}

static std::string sent_key_path(const std::string &line)
{
    return std::string(kHistoryKey) + "\\" + line;
}

// The recipient at index in the box's list, or the box's own text for -1 (at most 256
// characters either way).
static std::string recipient_at(int index)
{
    char text[257] = "";
    if (index >= 0) {
        LRESULT length = SendMessageA(g_main.recipient, CB_GETLBTEXTLEN, index, 0);
        if (length == CB_ERR || length > 256)
            return std::string();
        SendMessageA(g_main.recipient, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text));
    } else {
        GetWindowTextA(g_main.recipient, text, sizeof text);
    }
    return text;
}

// "Already listed" means the whole text is listed (case-insensitive), not just its beginning.
static bool box_lists(HWND box, const char *text)
{
    return SendMessageA(box, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text)) != CB_ERR;
}

// An enumeration goes on past a name too long for its room (the next index may fit) and ends
// on anything else that is not a success: the end of the list, and also a key deleted or made
// unreadable under it, which would answer the same error for every index.
static bool enumeration_over(LONG rc)
{
    return rc != ERROR_SUCCESS && rc != ERROR_MORE_DATA;
}

void recipients_history_load()
{
    SendMessageA(g_main.recipient, CB_LIMITTEXT, 2570, 0);
    RegKey key;
    if (key.open(kHistoryKey) == ERROR_SUCCESS) {
        for (DWORD i = 0;; ++i) {
            char name[257];
            LONG rc = key.value_name(i, name, sizeof name);
            if (enumeration_over(rc))
                break;
            if (rc == ERROR_SUCCESS && name[0])
                SendMessageA(g_main.recipient, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
        }
        SendMessageA(g_main.recipient, CB_SETCURSEL, 0, 0);
    }
    if (key.open(kSettingsKey) == ERROR_SUCCESS) {
        char last[257];
        if (key.text("Last User", last))
            SetWindowTextA(g_main.recipient, last);
        DWORD mode = 1; // not read: Sender mode
        key.dword("Interface", mode);
        int button = mode == 1 ? IDC_SENDER : IDC_RECEIVER;
        SendDlgItemMessageA(g_main.window, button, BM_SETCHECK, BST_CHECKED, 0);
        SendMessageA(g_main.window, WM_COMMAND, button, 0);
    }
    last_message_load(-1);
    sent_messages_load(-1);
    recipient_line_settled();
}

// A line with no last message that can be read leaves the message edit as it is: the user's
// draft is never replaced by nothing.
void last_message_load(int index)
{
    std::string recipient = recipient_at(index);
    if (recipient.empty())
        return;
    RegKey key;
    if (key.open(kHistoryKey) != ERROR_SUCCESS)
        return;
    char text[1024];
    if (key.text(recipient.c_str(), text))
        SetWindowTextA(g_main.message, text);
}

// The recipient line the message edit belongs to: the box's text when it was last typed in,
// set by the program, loaded, or when its list was opened.
static std::string s_draftLine;

void recipient_line_settled()
{
    s_draftLine = recipient_at(-1);
}

void recipient_line_chosen(int index)
{
    // While the list is open the selection follows the arrow keys; its closing decides.
    if (SendMessageA(g_main.recipient, CB_GETDROPPEDSTATE, 0, 0))
        return;
    std::string line = recipient_at(index);
    if (line.empty() || text_equal_ignore_case(line.c_str(), s_draftLine.c_str()))
        return;
    s_draftLine = line;
    last_message_load(index);
    sent_messages_load(index);
}

static void write_text(const char *path, const char *name, const std::string &text)
{
    RegKey key;
    if (key.create(path) == ERROR_SUCCESS)
        key.set_text(name, text.c_str());
}

bool recipients_history_store(const std::string &line, const std::string &text)
{
    if (!storable_line(line))
        return false;
    write_text(kHistoryKey, line.c_str(), text);
    write_text(kSettingsKey, "Last User", line);
    return true;
}

void recipients_history_list(const std::string &line)
{
    if (storable_line(line) && !box_lists(g_main.recipient, line.c_str()))
        SendMessageA(g_main.recipient, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
}

void recipients_history_save()
{
    std::string line = window_text(g_main.recipient);
    if (recipients_history_store(line, window_text(g_main.message)))
        recipients_history_list(line);
}

void interface_save()
{
    RegKey key;
    if (key.create(kSettingsKey) == ERROR_SUCCESS)
        key.set_dword("Interface",
                      static_cast<DWORD>(SendDlgItemMessageA(g_main.window, IDC_SENDER, BM_GETCHECK, 0, 0)));
}

// Calls fn(name, text) for each value of the recipient's sent-messages key, in enumeration
// order, whose name is not empty and whose data is a text of at most 1023 characters; stops
// when fn returns false. Returns false when the key cannot be opened.
template <typename Fn>
static bool each_sent_text(const std::string &recipient, Fn fn)
{
    RegKey key;
    if (key.open(sent_key_path(recipient).c_str()) != ERROR_SUCCESS)
        return false;
    for (DWORD i = 0;; ++i) {
        char name[257];
        LONG rc = key.value_name(i, name, sizeof name);
        if (enumeration_over(rc))
            break;
        char text[1024];
        if (rc == ERROR_SUCCESS && name[0] && key.text(name, text) && !fn(name, text))
            break;
    }
    return true;
}

void sent_messages_load(int index)
{
    std::string recipient = recipient_at(index);
    if (recipient.empty())
        return;
    SendMessageA(g_main.sentMessages, CB_RESETCONTENT, 0, 0);
    if (!storable_subkey(recipient))
        return;
    bool opened = each_sent_text(recipient, [](const char *, const char *text) {
        if (text[0] && !box_lists(g_main.sentMessages, text))
            SendMessageA(g_main.sentMessages, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
        return true;
    });
    if (opened)
        SendMessageA(g_main.sentMessages, CB_SETCURSEL, 0, 0);
}

// Name of the first value of the recipient's sent-messages key whose text equals `text`
// (case-sensitive); empty when there is none.
static std::string find_by_text(const std::string &recipient, const std::string &text)
{
    std::string found;
    each_sent_text(recipient, [&](const char *name, const char *data) {
        if (!text_equal(data, text.c_str()))
            return true;
        found = name;
        return false;
    });
    return found;
}

static void delete_all_with_text(const RegKey &key, const std::string &recipient, const std::string &text)
{
    for (;;) {
        std::string name = find_by_text(recipient, text);
        if (name.empty() || key.erase(name.c_str()) != ERROR_SUCCESS)
            break;
    }
}

// The first time-stamp name from now on that names no value of the key yet.
static std::string free_stamp_name(const RegKey &key)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    Stamp t = {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
    std::string name = stamp_name(t);
    for (int tries = 0; tries < 3600 && key.has(name.c_str()); ++tries) {
        t = next_second(t);
        name = stamp_name(t);
    }
    return name;
}

// Writes text as the newest sent message of line; false when the key is deleted under it.
static bool write_sent(const std::string &line, const std::string &text)
{
    RegKey key;
    if (key.create(sent_key_path(line).c_str(), KEY_SET_VALUE | KEY_QUERY_VALUE) != ERROR_SUCCESS)
        return true;
    delete_all_with_text(key, line, text);
    return key.set_text(free_stamp_name(key).c_str(), text.c_str()) != ERROR_KEY_DELETED;
}

void sent_message_store(const std::string &line, const std::string &text)
{
    // A clear of the line's history between opening its key and writing deletes the key: the
    // text then goes into the key made anew, as into the key of any send after the clear.
    if (storable_subkey(line) && !write_sent(line, text))
        write_sent(line, text);
}

void sent_message_list(const std::string &line, const std::string &text)
{
    if (line.empty() || window_text(g_main.recipient) != line || box_lists(g_main.sentMessages, text.c_str()))
        return;
    SendMessageA(g_main.sentMessages, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    if (SendMessageA(g_main.sentMessages, CB_GETCOUNT, 0, 0) == 1)
        SendMessageA(g_main.sentMessages, CB_SETCURSEL, 0, 0);
}

void sent_message_save()
{
    std::string line = window_text(g_main.recipient), text = window_text(g_main.message);
    sent_message_store(line, text);
    sent_message_list(line, text);
}

void sent_message_delete()
{
    std::string recipient = window_text(g_main.recipient);
    if (recipient.empty() || !storable_subkey(recipient))
        return;
    std::string text = window_text(g_main.sentMessages);
    RegKey key;
    if (key.create(sent_key_path(recipient).c_str()) == ERROR_SUCCESS)
        delete_all_with_text(key, recipient, text);
}

void sent_messages_clear()
{
    std::string recipient = window_text(g_main.recipient);
    if (recipient.empty() || !storable_subkey(recipient))
        return;
    RegDeleteKeyA(HKEY_CURRENT_USER, sent_key_path(recipient).c_str());
}
