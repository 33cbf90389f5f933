// history.cpp - recipients history (one value per recipient line under the History key, with its
// last message; Last User; Interface) and each recipient's sent messages (a subkey of the History
// key named like the line, one value per distinct text under a time-stamp name). Registry only.
#include "settings/history.h"

#include "base/platform.h"
#include "settings/regkey.h"
#include "settings/stamp.h"

#include <windows.h>

static const char kHistoryKey[] = "History";

// Registry key names hold at most 255 characters and a backslash would name a nested key.
// Lines that cannot be stored whole under their own name are not stored at all, so no two
// recipients can ever share a cut name.
bool recipient_line_storable(const std::string &line)
{
    return !line.empty() && line.size() <= 255;
}

static bool storable_subkey(const std::string &line)
{
    return recipient_line_storable(line) && line.find('\\') == std::string::npos;
}

static std::string sent_key_path(const std::string &line)
{
    return std::string(kHistoryKey) + "\\" + line;
}

StoredRecipients recipients_history_load()
{
    StoredRecipients stored{{}, std::nullopt, StoredMode::None};
    RegKey key;
    if (key.open(kHistoryKey) == ERROR_SUCCESS)
        key.each_name([&](const char *name) {
            if (name[0])
                stored.lines.emplace_back(name);
            return true;
        });
    if (key.open(kSettingsKey) == ERROR_SUCCESS) {
        char last[257];
        if (key.text("Last User", last))
            stored.lastUser = last;
        DWORD mode = 1; // not read: Sender mode
        key.dword("Interface", mode);
        stored.mode = mode == 1 ? StoredMode::Sender : StoredMode::Receiver;
    }
    return stored;
}

std::optional<std::string> last_message_load(const std::string &line)
{
    RegKey key;
    char text[1024];
    if (line.empty() || key.open(kHistoryKey) != ERROR_SUCCESS || !key.text(line.c_str(), text))
        return std::nullopt;
    return std::string(text);
}

static void write_text(const char *path, const char *name, const std::string &text)
{
    RegKey key;
    if (key.create(path) == ERROR_SUCCESS)
        key.set_text(name, text.c_str());
}

bool recipients_history_store(const std::string &line, const std::string &text)
{
    if (!recipient_line_storable(line))
        return false;
    write_text(kHistoryKey, line.c_str(), text);
    write_text(kSettingsKey, "Last User", line);
    return true;
}

void interface_store(bool senderMode)
{
    RegKey key;
    if (key.create(kSettingsKey) == ERROR_SUCCESS)
        key.set_dword("Interface", senderMode ? 1 : 0);
}

// Calls fn(name, text) for each value of the recipient's sent-messages key, in enumeration
// order, whose name is not empty and whose data is a text of at most 1023 characters; stops
// when fn returns false.
template <typename Fn>
static void each_sent_text(const std::string &recipient, Fn fn)
{
    RegKey key;
    if (key.open(sent_key_path(recipient).c_str()) == ERROR_SUCCESS)
        key.each_text(257, [&](const char *name, const char *text) { return !name[0] || fn(name, text); });
}

std::vector<std::string> sent_messages_load(const std::string &line)
{
    std::vector<std::string> texts;
    if (storable_subkey(line))
        each_sent_text(line, [&](const char *, const char *text) {
            if (text[0])
                texts.emplace_back(text);
            return true;
        });
    return texts;
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

void sent_message_delete(const std::string &line, const std::string &text)
{
    RegKey key;
    if (storable_subkey(line) && key.create(sent_key_path(line).c_str()) == ERROR_SUCCESS)
        delete_all_with_text(key, line, text);
}

void sent_messages_clear(const std::string &line)
{
    if (storable_subkey(line))
        RegKey::erase_key(sent_key_path(line).c_str());
}
