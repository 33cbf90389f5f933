// compose.cpp - the Sender's boxes filled from the recipients and sent-messages histories.
#include "send/compose.h"

#include "base/mainwnd.h"
#include "base/platform.h"

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

static void add(HWND box, const std::string &text)
{
    SendMessageA(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

// The sent-messages box shows the texts of `line`, oldest first and selected; an empty line
// leaves it as it is.
static void show_sent(const std::string &line)
{
    if (line.empty())
        return;
    SendMessageA(g_main.sentMessages, CB_RESETCONTENT, 0, 0);
    for (const std::string &text : sent_messages_load(line))
        if (!box_lists(g_main.sentMessages, text.c_str()))
            add(g_main.sentMessages, text);
    SendMessageA(g_main.sentMessages, CB_SETCURSEL, 0, 0);
}

void compose_load_line(int index)
{
    std::string line = recipient_at(index);
    if (std::optional<std::string> last = last_message_load(line))
        SetWindowTextA(g_main.message, last->c_str());
    show_sent(line);
}

void compose_load_sent()
{
    show_sent(recipient_at(-1));
}

// The recipient line the message edit belongs to: the box's text when it was last typed in,
// set by the program, loaded, or when its list was opened.
static std::string s_draftLine;

void compose_line_settled()
{
    s_draftLine = recipient_at(-1);
}

void compose_line_chosen(int index)
{
    // While the list is open the selection follows the arrow keys; its closing decides.
    if (SendMessageA(g_main.recipient, CB_GETDROPPEDSTATE, 0, 0))
        return;
    std::string line = recipient_at(index);
    if (line.empty() || text_equal_ignore_case(line.c_str(), s_draftLine.c_str()))
        return;
    s_draftLine = line;
    compose_load_line(index);
}

StoredMode compose_restore()
{
    SendMessageA(g_main.recipient, CB_LIMITTEXT, 2570, 0);
    StoredRecipients stored = recipients_history_load();
    for (const std::string &line : stored.lines)
        add(g_main.recipient, line);
    if (!stored.lines.empty())
        SendMessageA(g_main.recipient, CB_SETCURSEL, 0, 0);
    if (stored.lastUser)
        SetWindowTextA(g_main.recipient, stored.lastUser->c_str());
    compose_load_line(-1);
    compose_line_settled();
    return stored.mode;
}

void compose_list_sent(const std::string &line, const std::string &text)
{
    if (recipient_line_storable(line) && !box_lists(g_main.recipient, line.c_str()))
        add(g_main.recipient, line);
    if (line.empty() || window_text(g_main.recipient) != line || box_lists(g_main.sentMessages, text.c_str()))
        return;
    add(g_main.sentMessages, text);
    if (SendMessageA(g_main.sentMessages, CB_GETCOUNT, 0, 0) == 1)
        SendMessageA(g_main.sentMessages, CB_SETCURSEL, 0, 0);
}

void compose_save()
{
    std::string line = window_text(g_main.recipient), text = window_text(g_main.message);
    recipients_history_store(line, text);
    sent_message_store(line, text);
    compose_list_sent(line, text);
}
