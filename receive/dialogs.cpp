// dialogs.cpp - the Message View (steps through the incoming list, replies) and the About
// box, which share one dialog procedure.
#include "receive/dialogs.h"

#include "app/ids.h"
#include "app/mainwnd.h"
#include "app/shell.h"
#include "receive/incoming.h"
#include "settings/history.h"
#include "settings/settings.h"

#include <cstdio>

static int s_viewedIndex = -1; // survives between openings
static POINT s_minimumSize;

static int selection_mark()
{
    return static_cast<int>(SendMessageA(g_main.incoming, LVM_GETSELECTIONMARK, 0, 0));
}

static int item_count()
{
    return static_cast<int>(SendMessageA(g_main.incoming, LVM_GETITEMCOUNT, 0, 0));
}

// Shows the viewed item (an unreadable one leaves the edit as it was), the Prev/Next states
// and the caption.
static void show_viewed(HWND dlg)
{
    std::string text;
    if (incoming_full_text(s_viewedIndex, text))
        SetDlgItemTextA(dlg, IDC_VIEW_TEXT, text.c_str());
    int count = item_count();
    EnableWindow(GetDlgItem(dlg, IDC_VIEW_PREV), s_viewedIndex > 0);
    EnableWindow(GetDlgItem(dlg, IDC_VIEW_NEXT), s_viewedIndex < count - 1);
    char caption[64];
    std::snprintf(caption, sizeof caption, "Message %d of %d", s_viewedIndex + 1, count);
    SetWindowTextA(dlg, caption);
}

static void on_init(HWND dlg)
{
    g_main.dialogOpen = true;
    if (!GetDlgItem(dlg, IDC_VIEW_TEXT))
        return; // the About box
    g_main.messageView = dlg;
    RECT rc;
    GetWindowRect(dlg, &rc);
    s_minimumSize = POINT{rc.right - rc.left, rc.bottom - rc.top};
    int mark = selection_mark();
    if (mark < 0)
        return;
    s_viewedIndex = mark;
    show_viewed(dlg);
}

// Opened without a selection mark, Prev and Next keep their template state; the index they
// step from may then be -1 or past the end, so it is brought back into the list.
static void step(HWND dlg, int delta, int button)
{
    int count = item_count();
    if (count <= 0)
        return;
    s_viewedIndex += delta;
    if (s_viewedIndex < 0)
        s_viewedIndex = 0;
    if (s_viewedIndex > count - 1)
        s_viewedIndex = count - 1;
    show_viewed(dlg);
    if (!IsWindowEnabled(GetDlgItem(dlg, button)))
        SetFocus(GetDlgItem(dlg, IDC_VIEW_TEXT));
}

static void close_dialog(HWND dlg, int id)
{
    g_main.dialogOpen = false;
    if (g_main.messageView == dlg)
        g_main.messageView = nullptr;
    EndDialog(dlg, id);
}

static void reply(HWND dlg)
{
    g_main.dialogOpen = false;
    if (g_main.messageView == dlg)
        g_main.messageView = nullptr;
    EndDialog(dlg, IDC_VIEW_REPLY);
    SendMessageA(g_main.window, WM_COMMAND, IDC_REPLY, 0);
    sent_messages_load(-1);
    SetFocus(g_main.message);
    SendMessageA(g_main.message, EM_SETSEL, 0, -1);
    bring_forward(g_main.window);
}

// The button row stays at the bottom; the edit takes the rest.
static void on_size(HWND dlg, int cx, int cy)
{
    HWND edit = GetDlgItem(dlg, IDC_VIEW_TEXT);
    if (edit)
        SetWindowPos(edit, nullptr, 0, 0, cx - 10 > 0 ? cx - 10 : 0, cy - 40 > 0 ? cy - 40 : 0,
                     SWP_NOMOVE | SWP_NOZORDER);
    for (int id : {IDC_VIEW_REPLY, IDOK, IDC_VIEW_PREV, IDC_VIEW_NEXT, IDC_VIEW_SPACER}) {
        HWND control = GetDlgItem(dlg, id);
        if (!control)
            continue;
        RECT rc;
        GetWindowRect(control, &rc);
        MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT *>(&rc), 2);
        SetWindowPos(control, nullptr, rc.left, cy - 29, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    }
}

static INT_PTR CALLBACK ViewDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_INITDIALOG:
        on_init(dlg);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
        case IDCANCEL: close_dialog(dlg, LOWORD(wParam)); break;
        case IDC_VIEW_PREV: step(dlg, -1, IDC_VIEW_PREV); break;
        case IDC_VIEW_NEXT: step(dlg, +1, IDC_VIEW_NEXT); break;
        case IDC_VIEW_REPLY: reply(dlg); break;
        default: break;
        }
        return TRUE;
    case WM_SIZE:
        on_size(dlg, LOWORD(lParam), HIWORD(lParam));
        SetWindowLongPtrA(dlg, DWLP_MSGRESULT, 0);
        return TRUE;
    case WM_GETMINMAXINFO:
        reinterpret_cast<MINMAXINFO *>(lParam)->ptMinTrackSize = s_minimumSize;
        SetWindowLongPtrA(dlg, DWLP_MSGRESULT, 0);
        return TRUE;
    default:
        return FALSE;
    }
}

void view_command(HWND hwnd)
{
    if (g_settings.ViewAsMessageBox) {
        int mark = selection_mark();
        std::string text;
        if (mark >= 0 && incoming_full_text(mark, text))
            MessageBoxA(hwnd, text.c_str(), "Message", MB_OK | MB_SYSTEMMODAL);
        return;
    }
    DialogBoxParamA(g_instance, MAKEINTRESOURCEA(IDD_MESSAGEVIEW), hwnd, ViewDlgProc, 0);
}

void about_box(HWND hwnd)
{
    DialogBoxParamA(g_instance, MAKEINTRESOURCEA(IDD_ABOUT), hwnd, ViewDlgProc, 0);
}
