// commands.cpp - the main window's command dispatcher: one handler per command id.
#include "app/shell.h"

#include "base/ids.h"
#include "base/mainwnd.h"
#include "receive/dialogs.h"
#include "receive/incoming.h"
#include "send/send.h"
#include "settings/config.h"
#include "settings/history.h"
#include "settings/settings.h"

#include <cstdio>

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
        recipient_line_chosen(static_cast<int>(SendMessageA(g_main.recipient, CB_GETCURSEL, 0, 0)));
        send_button_follow_recipient();
        break;
    case CBN_CLOSEUP: // the box shows the line chosen, or still the one it had
        recipient_line_chosen(-1);
        send_button_follow_recipient();
        break;
    case CBN_DROPDOWN: recipient_line_settled(); break;
    case CBN_EDITCHANGE:
        // Typing reloads the stored texts only when the setting asks for it; Send always
        // follows the typed recipient, or a new user could never send.
        if (g_settings.LoadMsgOnUserEdit) {
            last_message_load(-1);
            sent_messages_load(-1);
        }
        recipient_line_settled();
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
    sent_message_delete();
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
            sent_messages_clear();
            SendMessageA(g_main.sentMessages, CB_RESETCONTENT, 0, 0);
        }
    }
    SetFocus(g_main.message);
}

void main_on_command(HWND hwnd, int id, HWND, UINT code)
{
    switch (id) {
    case IDCANCEL: SendMessageA(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0); break;
    case IDM_ABOUT: about_box(hwnd); break;
    case IDM_EXIT: main_exit(hwnd); break;
    case IDM_CONFIGURE: main_configure(hwnd); break;
    case IDC_SEND: send_command(hwnd); break;
    case IDC_MESSAGE:
        if (code == EN_SETFOCUS)
            activate_layout(g_settings.MessageEditLayout);
        else if (code == EN_KILLFOCUS)
            capture_layout(g_settings.MessageEditLayout);
        break;
    case IDC_RECIPIENT: on_recipient_notify(code); break;
    case IDC_INCOMING: view_command(hwnd); break;
    case IDC_SENDER: enter_sender_mode(hwnd); break;
    case IDC_RECEIVER: enter_receiver_mode(hwnd); break;
    case IDC_VIEW: view_command(hwnd); break;
    case IDC_DELETE: incoming_delete(); break;
    case IDC_DELETEALL: incoming_delete_all(); break;
    case IDC_REPLY: incoming_reply(); break;
    case IDC_SENTMESSAGES:
        if (code == CBN_SELCHANGE)
            take_sent_message();
        break;
    case IDC_HIST_DELETE: delete_shown_sent_message(); break;
    case IDC_HIST_CLEAR: clear_sent_history(hwnd); break;
    case IDM_MSG_DELETE: incoming_delete(); break;
    case IDM_MSG_VIEW: view_command(hwnd); break;
    case IDM_MSG_REPLY: incoming_reply(); break;
    default: break;
    }
}
