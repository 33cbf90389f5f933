// layout.cpp - places the main window's controls on WM_SIZE, keeps the window from shrinking
// below its start size, and places the two bitmap buttons once.
#include "app/shell.h"

#include "app/layout_calc.h"
#include "base/ids.h"
#include "base/mainwnd.h"

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
    in.dpi = screen_dpi();
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
    if (tray_full_frame()) {
        RECT start = tray_start_rect();
        info->ptMinTrackSize = POINT{start.right - start.left, start.bottom - start.top};
    }
}

// Two squares of the Delete button's client width, overlapping by 3 pixels, at (12, 72) at
// 96 dpi: beside the sent-messages box and above the message edit. Where the dialog font
// makes the squares larger than that room (a larger or substituted font), they move up and
// left just enough to stay clear of both.
void layout_place_bitmap_buttons(HWND hwnd)
{
    HWND deleteOne = GetDlgItem(hwnd, IDC_HIST_DELETE), clear = GetDlgItem(hwnd, IDC_HIST_CLEAR);
    RECT rc = {};
    GetClientRect(deleteOne, &rc);
    int side = rc.right - rc.left, overlap = screen_px(3);
    int top = child_rect(hwnd, IDC_MESSAGE).top - side, left = child_rect(hwnd, IDC_SENTMESSAGES).left - (2 * side - overlap);
    top = top < screen_px(72) ? top : screen_px(72);
    left = left < screen_px(12) ? left : screen_px(12);
    MoveWindow(deleteOne, left, top, side, side, TRUE);
    MoveWindow(clear, left + side - overlap, top, side, side, TRUE);
}
