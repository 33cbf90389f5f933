// tray.cpp - the notification-area icon and menu, the system menu, and showing and hiding
// the main window with the caption animation.
#include "app/shell.h"

#include "base/ids.h"
#include "base/mainwnd.h"

#include <shellapi.h>

// The style of the window once shown: its template's style with a sizing border, clipping its
// siblings.
constexpr LONG kFullFrameStyle = WS_CLIPSIBLINGS | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX |
                                 DS_CENTER | DS_SETFONT | DS_3DLOOK;

static NOTIFYICONDATAA s_record; // the icon's record, kept for every later change to it
static HMENU s_menu;
static HICON s_icon;             // IDI_TOLVIK at the small icon size: the icon at rest, the window's small icon
static HICON s_iconAlt;          // IDI_TOLVIK_ALT at that size: the new-message animation's second frame
static RECT s_startRect;         // the window's rectangle at its start, before it collapsed
static bool s_fullFrame;         // set by the first showing, never cleared

static void edit_system_menu(HWND hwnd)
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

static void create_menu()
{
    s_menu = CreatePopupMenu();
    AppendMenuA(s_menu, MF_STRING, IDM_ABOUT, "&About...");
    AppendMenuA(s_menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(s_menu, MF_STRING, IDM_CONFIGURE, "&Configure...");
    AppendMenuA(s_menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(s_menu, MF_STRING, IDM_EXIT, "E&xit Tolvik");
}

// The icons at the small icon size, loaded once. The tray draws its icons at that size: each icon
// has a frame drawn for it, which a shrunk 32x32 frame would lose the lines of.
static void load_icons()
{
    if (s_icon)
        return;
    const int small = GetSystemMetrics(SM_CXSMICON);
    s_icon = static_cast<HICON>(LoadImageA(g_instance, MAKEINTRESOURCEA(IDI_TOLVIK), IMAGE_ICON, small, small, 0));
    s_iconAlt = static_cast<HICON>(LoadImageA(g_instance, MAKEINTRESOURCEA(IDI_TOLVIK_ALT), IMAGE_ICON, small,
                                              small, 0));
}

// Adds the icon with the record (message, icon and tip). An icon the tray still shows counts
// as added. Until it works, the retry timer tries again: at a start with Windows the taskbar
// may not exist yet.
static void add_or_retry(HWND hwnd)
{
    NOTIFYICONDATAA &r = s_record;
    r.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    if (Shell_NotifyIconA(NIM_ADD, &r) || Shell_NotifyIconA(NIM_MODIFY, &r))
        KillTimer(hwnd, TIMER_TRAY_RETRY);
    else
        SetTimer(hwnd, TIMER_TRAY_RETRY, TRAY_RETRY_PERIOD_MS, nullptr);
}

// The record keeps its first (version 1) size on every target: 88 bytes on 32-bit Windows.
void tray_add_icon_once(HWND hwnd)
{
    if (s_record.hWnd)
        return;
    load_icons();
    NOTIFYICONDATAA &r = s_record;
    r = NOTIFYICONDATAA{};
    r.cbSize = NOTIFYICONDATAA_V1_SIZE;
    r.hWnd = hwnd;
    r.uID = 0;
    r.uCallbackMessage = WM_TRAYCALLBACK;
    r.hIcon = s_icon;
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

void tray_init(HWND hwnd)
{
    edit_system_menu(hwnd);
    load_icons();
    HICON big = LoadIconA(g_instance, MAKEINTRESOURCEA(IDI_TOLVIK));
    SendMessageA(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
    SendMessageA(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(s_icon));
    tray_add_icon_once(hwnd);
    create_menu();
}

void tray_set_icon(bool alternate)
{
    s_record.uFlags = NIF_ICON;
    s_record.hIcon = alternate ? s_iconAlt : s_icon;
    Shell_NotifyIconA(NIM_MODIFY, &s_record);
}

void tray_end()
{
    s_record.uFlags = NIF_ICON;
    s_record.hIcon = s_icon;
    Shell_NotifyIconA(NIM_DELETE, &s_record);
    DestroyMenu(s_menu);
    s_menu = nullptr;
}

// The window's size at its start is kept for its first showing; until then it has no frame, no
// size and no taskbar button.
void tray_collapse(HWND hwnd)
{
    GetWindowRect(hwnd, &s_startRect);
    SetWindowLongA(hwnd, GWL_EXSTYLE, GetWindowLongA(hwnd, GWL_EXSTYLE) | WS_EX_TOOLWINDOW);
    SetWindowLongA(hwnd, GWL_STYLE, 0);
    SetWindowPos(hwnd, nullptr, -4, -4, 0, 0, SWP_NOZORDER | SWP_NOACTIVATE);
}

bool tray_full_frame()
{
    return s_fullFrame;
}

RECT tray_start_rect()
{
    return s_startRect;
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
    if (s_fullFrame)
        return 0;
    SetWindowLongA(hwnd, GWL_EXSTYLE, WS_EX_CONTROLPARENT | WS_EX_WINDOWEDGE);
    SetWindowLongA(hwnd, GWL_STYLE, kFullFrameStyle);
    const RECT &r = s_startRect;
    SetWindowPos(hwnd, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    UpdateWindow(hwnd);
    s_fullFrame = true;
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
    if (IsWindowVisible(hwnd) && s_fullFrame)
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

// A double-click on the icon: the window's first showing; later the window shown (growing from the
// cursor) when hidden, hidden (shrinking to the cursor) when in front, else brought to the front.
static void show_or_hide(HWND hwnd)
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
        EnableMenuItem(s_menu, id, MF_BYCOMMAND | state);
    TrackPopupMenu(s_menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, hwnd,
                   nullptr);
    PostMessageA(hwnd, WM_TRAYMENUDONE, 0, 0);
}

void tray_on_callback(HWND hwnd, LPARAM mouseMessage)
{
    switch (mouseMessage) {
    case WM_LBUTTONDOWN: SetForegroundWindow(hwnd); break;
    case WM_LBUTTONDBLCLK: show_or_hide(hwnd); break;
    case WM_RBUTTONUP: show_tray_menu(hwnd); break;
    default: break;
    }
}
