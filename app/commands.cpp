// commands.cpp - the main window's command dispatcher (one handler per command id) and the
// commands other parts of the shell run too: Send, View, Reply, Configure.
#include "app/shell.h"

#include "base/ids.h"
#include "base/mainwnd.h"
#include "receive/message_view.h"
#include "receive/incoming.h"
#include "send/compose.h"
#include "send/send.h"
#include "settings/config.h"
#include "settings/history.h"
#include "settings/settings.h"

#include <cstdio>
#include <string>

void send_button_follow_recipient()
{
    char text[257] = "";
    GetWindowTextA(g_main.recipient, text, sizeof text);
    EnableWindow(g_main.sendButton, text[0] != '\0');
}

// Each field remembers the keyboard layout last used in it, across runs.
static void activate_layout(const char *layout)
{
    LoadKeyboardLayoutA(layout, KLF_ACTIVATE);
}

static void capture_layout(char (&layout)[9])
{
    char name[KL_NAMELENGTH] = "";
    if (GetKeyboardLayoutNameA(name))
        lstrcpynA(layout, name, sizeof layout);
    settings_save();
}

static void on_recipient_notify(UINT code)
{
    switch (code) {
    case CBN_SELCHANGE:
    case CBN_SELENDOK:
        compose_line_chosen(static_cast<int>(SendMessageA(g_main.recipient, CB_GETCURSEL, 0, 0)));
        send_button_follow_recipient();
        break;
    case CBN_CLOSEUP: // the box shows the line chosen, or still the one it had
        compose_line_chosen(-1);
        send_button_follow_recipient();
        break;
    case CBN_DROPDOWN: compose_line_settled(); break;
    case CBN_EDITCHANGE:
        // Typing reloads the stored texts only when the setting asks for it; Send always
        // follows the typed recipient, or a new user could never send.
        if (g_settings.LoadMsgOnUserEdit)
            compose_load_line(-1);
        compose_line_settled();
        send_button_follow_recipient();
        break;
    case CBN_SETFOCUS: activate_layout(g_settings.UserComboLayout); break;
    case CBN_KILLFOCUS: capture_layout(g_settings.UserComboLayout); break;
    default: break;
    }
}

// A sent message picked in the sent-messages box replaces the message edit's text.
static void take_sent_message()
{
    char text[1024] = "";
    GetWindowTextA(g_main.sentMessages, text, sizeof text);
    SetWindowTextA(g_main.message, text);
    EnableWindow(g_main.sendButton, text[0] != '\0');
}

static void delete_shown_sent_message()
{
    sent_message_delete(window_text(g_main.recipient), window_text(g_main.sentMessages));
    LRESULT index = SendMessageA(g_main.sentMessages, CB_GETCURSEL, 0, 0);
    SendMessageA(g_main.sentMessages, CB_DELETESTRING, index, 0);
    SetFocus(g_main.message);
}

static void clear_sent_history(HWND hwnd)
{
    if (SendMessageA(g_main.sentMessages, CB_GETCOUNT, 0, 0) > 0) {
        char recipient[1024] = "";
        GetWindowTextA(g_main.recipient, recipient, sizeof recipient);
        char question[1100];
        if (recipient[0])
            std::snprintf(question, sizeof question, "Clear sent messages history for [%s]?", recipient);
        else
            std::snprintf(question, sizeof question, "Clear sent messages history for current user?");
        if (tolvik_message_box(hwnd, question, MB_ICONQUESTION | MB_YESNO) == IDYES) {
            sent_messages_clear(window_text(g_main.recipient));
            SendMessageA(g_main.sentMessages, CB_RESETCONTENT, 0, 0);
        }
    }
    SetFocus(g_main.message);
}

void main_configure(HWND hwnd)
{
    if (config_dialog(hwnd))
        monitor_timer_update();
}

void main_send(HWND hwnd)
{
    if (!receiver_mode() && send_command(hwnd))
        send_ended();
}

void send_ended()
{
    EnableWindow(g_main.sendButton, !receiver_mode());
}

static void select_message_text()
{
    SetFocus(g_main.message);
    SendMessageA(g_main.message, EM_SETSEL, 0, -1);
}

// Reply: Sender mode, the message's sender as the recipient line, the message edit ready for the
// answer. Nothing for an index off the list (false).
static bool reply_to(HWND hwnd, int index)
{
    std::string from;
    if (!incoming_sender(index, from))
        return false;
    enter_sender_mode(hwnd);
    SetWindowTextA(g_main.recipient, from.c_str());
    compose_line_settled();
    compose_load_sent();
    select_message_text();
    return true;
}

// A Reply in the Message View answers the message it showed, and the window comes forward.
void main_view(HWND hwnd)
{
    int index;
    if (!view_message(hwnd, index))
        return;
    if (!reply_to(hwnd, index)) { // the view showed no message: the message edit still gets the focus
        compose_load_sent();
        select_message_text();
    }
    tray_bring_forward(hwnd);
}

LRESULT main_on_notify(HWND hwnd, NMHDR *header)
{
    if (incoming_double_click(header)) {
        main_view(hwnd);
        return 0;
    }
    return incoming_on_notify(hwnd, header);
}

void main_on_command(HWND hwnd, int id, HWND, UINT code)
{
    switch (id) {
    case IDCANCEL: tray_hide(hwnd); break; // Esc, as the close box
    case IDM_ABOUT: about_box(hwnd); break;
    case IDM_EXIT: main_exit(hwnd); break;
    case IDM_CONFIGURE: main_configure(hwnd); break;
    case IDC_SEND: main_send(hwnd); break;
    case IDC_MESSAGE:
        if (code == EN_SETFOCUS)
            activate_layout(g_settings.MessageEditLayout);
        else if (code == EN_KILLFOCUS)
            capture_layout(g_settings.MessageEditLayout);
        break;
    case IDC_RECIPIENT: on_recipient_notify(code); break;
    case IDC_INCOMING: main_view(hwnd); break;
    case IDC_SENDER: enter_sender_mode(hwnd); break;
    case IDC_RECEIVER: enter_receiver_mode(hwnd); break;
    case IDC_VIEW: main_view(hwnd); break;
    case IDC_DELETE: incoming_delete(); break;
    case IDC_DELETEALL: incoming_delete_all(); break;
    case IDC_REPLY: reply_to(hwnd, incoming_selection_mark()); break;
    case IDC_SENTMESSAGES:
        if (code == CBN_SELCHANGE)
            take_sent_message();
        break;
    case IDC_HIST_DELETE: delete_shown_sent_message(); break;
    case IDC_HIST_CLEAR: clear_sent_history(hwnd); break;
    case IDM_MSG_DELETE: incoming_delete(); break;
    case IDM_MSG_VIEW: main_view(hwnd); break;
    case IDM_MSG_REPLY: reply_to(hwnd, incoming_selection_mark()); break;
    default: break;
    }
}
