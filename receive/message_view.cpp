// message_view.cpp - the Message View: shows one incoming message and steps through the list
// with Prev and Next; its Reply closes it and leaves the answer to its caller. Viewers nest (a
// capture inside an open viewer opens another on top); each keeps its own state.
#include "receive/message_view.h"

#include "base/ids.h"
#include "base/mainwnd.h"
#include "receive/incoming.h"
#include "settings/settings.h"

#include <cstdio>

// One open Message View; lives on the stack of the view command that runs it.
struct Viewer {
    HWND dlg = nullptr;
    int index;              // the item shown, or where the next step starts
    bool showsItem = false; // an item has been shown: index is the one on screen
    POINT minimumSize = {};
    bool open = false;      // between WM_INITDIALOG and its close
    Viewer *outer;          // the viewer this one was opened over, or null
};

static int s_viewedIndex = -1;     // the last viewer's index, where the next one starts
static Viewer *s_innermost;        // open viewers, innermost first

static Viewer *viewer_of(HWND dlg)
{
    return reinterpret_cast<Viewer *>(GetWindowLongPtrA(dlg, DWLP_USER));
}

static void set_index(Viewer &v, int index)
{
    v.index = index;
    v.showsItem = true;
    s_viewedIndex = index;
}

// Shows the viewed item (an unreadable one leaves the edit as it was), the Prev/Next states
// and the caption.
static void show_viewed(const Viewer &v)
{
    std::string text;
    if (incoming_full_text(v.index, text))
        SetDlgItemTextA(v.dlg, IDC_VIEW_TEXT, text.c_str());
    int count = incoming_count();
    EnableWindow(GetDlgItem(v.dlg, IDC_VIEW_PREV), v.index > 0);
    EnableWindow(GetDlgItem(v.dlg, IDC_VIEW_NEXT), v.index < count - 1);
    char caption[64];
    std::snprintf(caption, sizeof caption, "Message %d of %d", v.index + 1, count);
    SetWindowTextA(v.dlg, caption);
}

static void on_init(HWND dlg, Viewer &v)
{
    SetWindowLongPtrA(dlg, DWLP_USER, reinterpret_cast<LONG_PTR>(&v));
    v.dlg = dlg;
    v.open = true;
    main_dialog_opened();
    RECT rc;
    GetWindowRect(dlg, &rc);
    v.minimumSize = POINT{rc.right - rc.left, rc.bottom - rc.top};
    int mark = incoming_selection_mark();
    if (mark < 0)
        return;
    set_index(v, mark);
    show_viewed(v);
}

// Opened without a selection mark, Prev and Next keep their template state; the index they
// step from may then be -1 or past the end, so it is brought back into the list.
static void step(Viewer &v, int delta, int button)
{
    int count = incoming_count();
    if (count <= 0)
        return;
    int index = v.index + delta;
    if (index < 0)
        index = 0;
    if (index > count - 1)
        index = count - 1;
    set_index(v, index);
    show_viewed(v);
    if (!IsWindowEnabled(GetDlgItem(v.dlg, button)))
        SetFocus(GetDlgItem(v.dlg, IDC_VIEW_TEXT));
}

static void close_viewer(Viewer &v, int id)
{
    if (v.open) {
        v.open = false;
        main_dialog_closed();
    }
    EndDialog(v.dlg, id);
}

void view_reply(HWND hwnd)
{
    for (Viewer *v = s_innermost; v && hwnd; v = v->outer)
        if (v->dlg == hwnd && v->open) {
            close_viewer(*v, IDC_VIEW_REPLY);
            return;
        }
}

// The button row stays at the bottom; the edit takes the rest.
static void on_size(HWND dlg, int cx, int cy)
{
    const int margin = screen_px(10), rowSpace = screen_px(40);
    HWND edit = GetDlgItem(dlg, IDC_VIEW_TEXT);
    SetWindowPos(edit, nullptr, 0, 0, cx - margin > 0 ? cx - margin : 0, cy - rowSpace > 0 ? cy - rowSpace : 0,
                 SWP_NOMOVE | SWP_NOZORDER);
    dialog_place_button_row(dlg, cy, {IDC_VIEW_REPLY, IDOK, IDC_VIEW_PREV, IDC_VIEW_NEXT, IDC_VIEW_SPACER});
}

static INT_PTR CALLBACK ViewDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_INITDIALOG) {
        on_init(dlg, *reinterpret_cast<Viewer *>(lParam));
        return TRUE;
    }
    Viewer *v = viewer_of(dlg);
    if (!v)
        return FALSE;
    switch (msg) {
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
        case IDCANCEL: close_viewer(*v, LOWORD(wParam)); break;
        case IDC_VIEW_PREV: step(*v, -1, IDC_VIEW_PREV); break;
        case IDC_VIEW_NEXT: step(*v, +1, IDC_VIEW_NEXT); break;
        case IDC_VIEW_REPLY: close_viewer(*v, IDC_VIEW_REPLY); break;
        default: break;
        }
        return TRUE;
    case WM_SIZE:
        on_size(dlg, LOWORD(lParam), HIWORD(lParam));
        SetWindowLongPtrA(dlg, DWLP_MSGRESULT, 0);
        return TRUE;
    case WM_GETMINMAXINFO:
        reinterpret_cast<MINMAXINFO *>(lParam)->ptMinTrackSize = v->minimumSize;
        SetWindowLongPtrA(dlg, DWLP_MSGRESULT, 0);
        return TRUE;
    default:
        return FALSE;
    }
}

bool view_message(HWND owner, int &replyIndex)
{
    if (g_settings.ViewAsMessageBox) {
        int mark = incoming_selection_mark();
        std::string text;
        if (mark >= 0 && incoming_full_text(mark, text))
            MessageBoxA(owner, text.c_str(), "Message", MB_OK | MB_SYSTEMMODAL);
        return false;
    }
    Viewer v;
    v.index = s_viewedIndex;
    v.outer = s_innermost;
    s_innermost = &v;
    INT_PTR closedBy = DialogBoxParamA(g_instance, MAKEINTRESOURCEA(IDD_MESSAGEVIEW), owner, ViewDlgProc,
                                       reinterpret_cast<LPARAM>(&v));
    s_innermost = v.outer;
    if (v.open) // ended some other way than its buttons
        main_dialog_closed();
    // Reply answers the message on screen (after Prev or Next not the one the view opened on).
    replyIndex = v.showsItem ? v.index : -1;
    return closedBy == IDC_VIEW_REPLY;
}

void dialog_place_button_row(HWND dlg, int cy, std::initializer_list<int> ids)
{
    const int y = cy - screen_px(29);
    for (int id : ids) {
        HWND control = GetDlgItem(dlg, id);
        if (!control)
            continue;
        RECT rc;
        GetWindowRect(control, &rc);
        MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT *>(&rc), 2);
        SetWindowPos(control, nullptr, rc.left, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    }
}
