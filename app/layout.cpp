// layout.cpp - places the main window's controls on WM_SIZE, keeps the window from shrinking
// below its start size, and places the two bitmap buttons once.
#include "app/ids.h"
#include "app/layout_calc.h"
#include "app/mainwnd.h"
#include "app/shell.h"

static RECT child_rect(HWND hwnd, int id)
{
    RECT rc = {};
    HWND control = GetDlgItem(hwnd, id);
    if (control) {
        GetWindowRect(control, &rc);
        MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT *>(&rc), 2);
    }
    return rc;
}

static int client_height(HWND hwnd, int id)
{
    RECT rc = {};
    GetClientRect(GetDlgItem(hwnd, id), &rc);
    return rc.bottom - rc.top;
}

void layout_on_size(HWND hwnd, int width, int height)
{
    RECT sendClient = {};
    GetClientRect(GetDlgItem(hwnd, IDC_SEND), &sendClient);
    RECT sender = child_rect(hwnd, IDC_SENDER);
    LayoutInput in = {};
    in.width = width;
    in.height = height;
    in.status_left = child_rect(hwnd, IDC_STATUS).left;
    in.send_width = sendClient.right - sendClient.left;
    in.sender_top = sender.top;
    in.sender_height = sender.bottom - sender.top;
    in.recipient_height = client_height(hwnd, IDC_RECIPIENT);
    in.sent_messages_height = client_height(hwnd, IDC_SENTMESSAGES);
    for (const LayoutStep &step : compute_layout(in)) {
        HWND control = GetDlgItem(hwnd, step.id);
        if (!control)
            continue;
        UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
        if (!step.move)
            flags |= SWP_NOMOVE;
        if (!step.size)
            flags |= SWP_NOSIZE;
        SetWindowPos(control, nullptr, step.x, step.y, step.cx, step.cy, flags);
    }
}

void layout_on_minmax(MINMAXINFO *info)
{
    if (g_main.fullFrame)
        info->ptMinTrackSize = POINT{g_main.startWidth, g_main.startHeight};
}

// Two squares of the Delete button's client width, overlapping by 3 pixels.
void layout_place_bitmap_buttons(HWND hwnd)
{
    HWND deleteOne = GetDlgItem(hwnd, IDC_HIST_DELETE), clear = GetDlgItem(hwnd, IDC_HIST_CLEAR);
    RECT rc = {};
    GetClientRect(deleteOne, &rc);
    int side = rc.right - rc.left;
    MoveWindow(deleteOne, 12, 72, side, side, TRUE);
    MoveWindow(clear, side + 9, 72, side, side, TRUE);
}
