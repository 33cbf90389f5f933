// modes.cpp - Sender and Receiver modes: which controls each shows and enables.
// The mode is the check state of the two mode buttons; there is no variable of its own.
#include "app/shell.h"

#include "base/ids.h"
#include "base/mainwnd.h"
#include "receive/incoming.h"

static constexpr int kSenderSet[] = {IDC_TO_LABEL, IDC_RECIPIENT, IDC_SENTMESSAGES, IDC_MESSAGE,
                                     IDC_SEND,     IDC_SENDLOG,   IDC_HIST_DELETE,  IDC_HIST_CLEAR};
static constexpr int kReceiverButtons[] = {IDC_REPLY, IDC_VIEW, IDC_DELETE, IDC_DELETEALL};

bool receiver_mode()
{
    return SendDlgItemMessageA(g_main.window, IDC_RECEIVER, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void mode_start(HWND hwnd)
{
    SetDlgItemTextA(hwnd, IDC_STATUS, "Ready");
    SendDlgItemMessageA(hwnd, IDC_SENDER, BM_SETCHECK, BST_CHECKED, 0);
}

static void set_mode_checks(bool sender)
{
    SendDlgItemMessageA(g_main.window, IDC_SENDER, BM_SETCHECK, sender ? BST_CHECKED : BST_UNCHECKED, 0);
    SendDlgItemMessageA(g_main.window, IDC_RECEIVER, BM_SETCHECK, sender ? BST_UNCHECKED : BST_CHECKED, 0);
}

static void sender_side(HWND hwnd, bool on)
{
    set_mode_checks(on);
    if (on)
        SetDlgItemTextA(hwnd, IDC_MODE_FRAME, "Sender");
    SetDlgItemTextA(hwnd, IDC_STATUS, "Ready");
    for (int id : kSenderSet)
        ShowWindow(GetDlgItem(hwnd, id), on ? SW_SHOWNOACTIVATE : SW_HIDE);
    for (int id : kSenderSet)
        EnableWindow(GetDlgItem(hwnd, id), on);
}

static void receiver_side(HWND hwnd, bool on)
{
    set_mode_checks(!on);
    if (on)
        SetDlgItemTextA(hwnd, IDC_MODE_FRAME, "Receiver");
    SetDlgItemTextA(hwnd, IDC_STATUS, "Ready");
    for (int id : kReceiverButtons)
        ShowWindow(GetDlgItem(hwnd, id), on ? SW_SHOWNOACTIVATE : SW_HIDE);
    incoming_buttons_update();
    ShowWindow(g_main.incoming, on ? SW_SHOWNOACTIVATE : SW_HIDE);
    if (on) {
        message_count_update();
        SetFocus(g_main.incoming);
    }
}

void enter_sender_mode(HWND hwnd)
{
    sender_side(hwnd, true);
    receiver_side(hwnd, false);
    SetFocus(g_main.recipient);
}

void enter_receiver_mode(HWND hwnd)
{
    animation_stop(hwnd);
    sender_side(hwnd, false);
    receiver_side(hwnd, true);
    SetFocus(g_main.incoming);
}
