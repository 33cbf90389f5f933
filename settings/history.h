// history.h - recipients history (values of the History key, Last User, Interface) and each
// recipient line's sent messages (subkeys of the History key). Registry only: the histories take
// and return texts and touch no window, so any thread may call them; the callers fill the boxes.
#ifndef TOLVIK_HISTORY_H
#define TOLVIK_HISTORY_H

#include <optional>
#include <string>
#include <vector>

// The mode stored at Exit (Interface): 1 is Sender mode, any other value Receiver mode, no value
// Sender mode. None: the settings key cannot be read, and no mode is restored.
enum class StoredMode { None, Sender, Receiver };

// What start-up restores.
struct StoredRecipients {
    std::vector<std::string> lines;      // the recipient lines, in the key's order
    std::optional<std::string> lastUser; // Last User
    StoredMode mode;
};
StoredRecipients recipients_history_load();

// A line that can be stored, and so listed: not empty, at most 255 characters (a registry name).
bool recipient_line_storable(const std::string &line);

// The last message stored for `line`; none when no text of at most 1023 characters can be read.
std::optional<std::string> last_message_load(const std::string &line);

// Stores `text` as the last message of `line` and the line as Last User; false when the line
// cannot be stored.
bool recipients_history_store(const std::string &line, const std::string &text);

void interface_store(bool senderMode);

// The texts sent to `line` that the sent-messages box shows, oldest first: each text of 1 to
// 1023 characters (an empty text is stored at Exit and never shown).
std::vector<std::string> sent_messages_load(const std::string &line);

// Adds `text` to the sent messages of `line` under a time stamp of now (the next free second
// when that name is taken), replacing every value that holds the same text.
void sent_message_store(const std::string &line, const std::string &text);

// Deletes every sent message of `line` whose text is `text`.
void sent_message_delete(const std::string &line, const std::string &text);

// Deletes all sent messages of `line`; its last message stays.
void sent_messages_clear(const std::string &line);

#endif
