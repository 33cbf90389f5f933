// tray.cpp - the notification-area icon and menu, the system menu, and showing and hiding
// the main window with the caption animation.
#include "base/ids.h"
#include "app/mainwnd.h"
#include "app/shell.h"

void tray_edit_system_menu(HWND hwnd)
{
    HMENU menu = GetSystemMenu(hwnd, FALSE);
    ModifyMenuA(menu, SC_MOVE, MF_BYCOMMAND | MF_STRING, SC_MOVE, "Mo&ve");
    ModifyMenuA(menu, SC_MINIMIZE, MF_BYCOMMAND | MF_STRING, SC_MINIMIZE, "&Minimize To Tray\tEsc");
    ModifyMenuA(menu, SC_CLOSE, MF_BYCOMMAND | MF_STRING, SC_CLOSE, "&Minimize To Tray\tAlt+F4");
    DeleteMenu(menu, SC_RESTORE, MF_BYCOMMAND);
    ModifyMenuA(menu, SC_SIZE, MF_BYCOMMAND | MF_STRING, SC_SIZE, "&Size");
    DeleteMenu(menu, SC_MAXIMIZE, MF_BYCOMMAND);
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(menu, MF_STRING, IDM_ABOUT, "&About...");
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(menu, MF_STRING, IDM_CONFIGURE, "&Configuration");
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(menu, MF_STRING, IDM_EXIT, "E&xit Tolvik");
}

void tray_create_menu()
{
    g_main.trayMenu = CreatePopupMenu();
    AppendMenuA(g_main.trayMenu, MF_STRING, IDM_ABOUT, "&About...");
    AppendMenuA(g_main.trayMenu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(g_main.trayMenu, MF_STRING, IDM_CONFIGURE, "&Configure...");
    AppendMenuA(g_main.trayMenu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(g_main.trayMenu, MF_STRING, IDM_EXIT, "E&xit Tolvik");
}

// Adds the icon with the record (message, icon and tip). An icon the tray still shows counts
// as added. Until it works, the retry timer tries again: at a start with Windows the taskbar
// may not exist yet.
static void add_or_retry(HWND hwnd)
{
    NOTIFYICONDATAA &r = g_main.trayRecord;
    r.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    if (Shell_NotifyIconA(NIM_ADD, &r) || Shell_NotifyIconA(NIM_MODIFY, &r))
        KillTimer(hwnd, TIMER_TRAY_RETRY);
    else
        SetTimer(hwnd, TIMER_TRAY_RETRY, TRAY_RETRY_PERIOD_MS, nullptr);
}

// The record keeps its first (version 1) size on every target: 88 bytes on 32-bit Windows.
void tray_add_icon(HWND hwnd)
{
    NOTIFYICONDATAA &r = g_main.trayRecord;
    r = NOTIFYICONDATAA{};
    r.cbSize = NOTIFYICONDATAA_V1_SIZE;
    r.hWnd = hwnd;
    r.uID = 0;
    r.uCallbackMessage = WM_TRAYCALLBACK;
    r.hIcon = g_main.trayIcon;
    lstrcpynA(r.szTip, "Tolvik", 64);
    add_or_retry(hwnd);
}

UINT tray_taskbar_created_message()
{
    static const UINT message = RegisterWindowMessageA("TaskbarCreated");
    return message;
}

// A new taskbar (the shell restarted) shows none of the old icons.
void tray_on_taskbar_created(HWND hwnd)
{
    add_or_retry(hwnd);
}

void tray_retry_add(HWND hwnd)
{
    add_or_retry(hwnd);
}

void tray_set_icon(HICON icon)
{
    g_main.trayRecord.uFlags = NIF_ICON;
    g_main.trayRecord.hIcon = icon;
    Shell_NotifyIconA(NIM_MODIFY, &g_main.trayRecord);
}

void tray_remove_icon()
{
    g_main.trayRecord.uFlags = NIF_ICON;
    g_main.trayRecord.hIcon = g_main.trayIcon;
    Shell_NotifyIconA(NIM_DELETE, &g_main.trayRecord);
}

// An animation end point is an empty rectangle at that point.
static RECT point_rect(POINT p)
{
    return RECT{p.x, p.y, p.x, p.y};
}

// 20 pixels left of the screen's right edge and 20 below its bottom, read anew each time.
static RECT corner_rect()
{
    POINT p = {GetSystemMetrics(SM_CXSCREEN) - 20, GetSystemMetrics(SM_CYSCREEN) + 20};
    return point_rect(p);
}

static void animate(HWND hwnd, const RECT &from, const RECT &to)
{
    DrawAnimatedRects(hwnd, IDANI_CAPTION, &from, &to);
}

static RECT window_rect(HWND hwnd)
{
    RECT rc;
    GetWindowRect(hwnd, &rc);
    return rc;
}

int tray_first_showing(HWND hwnd)
{
    if (g_main.fullFrame)
        return 0;
    SetWindowLongA(hwnd, GWL_EXSTYLE, WS_EX_CONTROLPARENT | WS_EX_WINDOWEDGE);
    SetWindowLongA(hwnd, GWL_STYLE, 0x04CE0844);
    const RECT &r = g_main.startRect;
    SetWindowPos(hwnd, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    UpdateWindow(hwnd);
    g_main.fullFrame = true;
    POINT cursor;
    GetCursorPos(&cursor);
    SetForegroundWindow(hwnd);
    animate(hwnd, point_rect(cursor), window_rect(hwnd));
    ShowWindow(hwnd, SW_SHOWNORMAL);
    SetForegroundWindow(hwnd);
    return 1;
}

void tray_corner_show(HWND hwnd)
{
    ShowWindow(hwnd, SW_SHOWNORMAL);
    animate(hwnd, corner_rect(), window_rect(hwnd));
    SetForegroundWindow(hwnd);
}

void tray_bring_forward(HWND hwnd)
{
    if (IsWindowVisible(hwnd) && g_main.fullFrame)
        ShowWindow(hwnd, SW_SHOWNORMAL);
    else if (!tray_first_showing(hwnd))
        tray_corner_show(hwnd);
    SetForegroundWindow(hwnd);
}

void tray_hide(HWND hwnd)
{
    if (!IsWindowVisible(hwnd))
        return;
    animate(hwnd, window_rect(hwnd), corner_rect());
    ShowWindow(hwnd, SW_HIDE);
}

static void toggle(HWND hwnd)
{
    if (tray_first_showing(hwnd))
        return;
    POINT cursor;
    GetCursorPos(&cursor);
    SetForegroundWindow(hwnd);
    if (!IsWindowVisible(hwnd)) {
        animate(hwnd, point_rect(cursor), window_rect(hwnd));
        ShowWindow(hwnd, SW_SHOWNORMAL);
        SetForegroundWindow(hwnd);
    } else if (GetForegroundWindow() == hwnd) {
        animate(hwnd, window_rect(hwnd), point_rect(cursor));
        ShowWindow(hwnd, SW_HIDE);
    } else {
        SetForegroundWindow(hwnd);
    }
}

static void show_tray_menu(HWND hwnd)
{
    POINT cursor;
    GetCursorPos(&cursor);
    SetForegroundWindow(hwnd);
    UINT state = main_dialog_open() ? MF_GRAYED : MF_ENABLED;
    for (UINT id : {IDM_ABOUT, IDM_CONFIGURE, IDM_EXIT})
        EnableMenuItem(g_main.trayMenu, id, MF_BYCOMMAND | state);
    TrackPopupMenu(g_main.trayMenu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, hwnd,
                   nullptr);
    PostMessageA(hwnd, WM_TRAYMENUDONE, 0, 0);
}

void tray_on_callback(HWND hwnd, LPARAM mouseMessage)
{
    switch (mouseMessage) {
    case WM_LBUTTONDOWN: SetForegroundWindow(hwnd); break;
    case WM_LBUTTONDBLCLK: toggle(hwnd); break;
    case WM_RBUTTONUP: show_tray_menu(hwnd); break;
    default: break;
    }
}
