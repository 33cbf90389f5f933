// mainwnd.cpp - the main window: dialog procedure, initialisation, exit and destruction.
#include "app/mainwnd.h"

#include "base/ids.h"
#include "app/shell.h"
#include "receive/capture.h"
#include "receive/incoming.h"
#include "receive/store_reader.h"
#include "receive/timers.h"
#include "receive/dialogs.h"
#include "send/compose.h"
#include "send/send.h"
#include "send/send_texts.h"
#include "settings/config.h"
#include "settings/history.h"
#include "settings/settings.h"

#include <vector>

MainState g_main;

std::string window_text(HWND hwnd)
{
    int length = GetWindowTextLengthA(hwnd);
    if (length <= 0)
        return std::string();
    std::vector<char> buffer(static_cast<size_t>(length) + 1);
    int got = GetWindowTextA(hwnd, buffer.data(), length + 1);
    return std::string(buffer.data(), got > 0 ? static_cast<size_t>(got) : 0);
}

int tolvik_message_box(HWND owner, const char *text, UINT flags)
{
    return MessageBoxA(owner, text, "Tolvik", flags);
}

void main_dialog_opened()
{
    ++g_main.dialogsOpen;
}

void main_dialog_closed()
{
    if (g_main.dialogsOpen > 0)
        --g_main.dialogsOpen;
}

void main_config_open(bool open)
{
    g_main.configOpen = open;
}

bool main_dialog_open()
{
    return g_main.dialogsOpen > 0 || g_main.configOpen;
}

// The one rule for the monitor timer: it runs exactly while Monitor is on. The marker keeps
// the last start's result, so the exit stops only a timer that was ever started.
void main_monitor_timer_update()
{
    if (g_settings.Monitor)
        g_main.monitorTimer = SetTimer(g_main.window, TIMER_MONITOR, MONITOR_PERIOD_MS, nullptr);
    else
        KillTimer(g_main.window, TIMER_MONITOR);
}

void main_context_menu_open(bool open)
{
    g_main.contextMenuOpen = open;
}

// Sets the dialog's message result and answers the dialog manager. Setting it is a round trip
// to the window server, so a result the dialog holds already is not set again (most are 0).
static INT_PTR answer(HWND hwnd, BOOL handled, LRESULT result)
{
    if (GetWindowLongPtrA(hwnd, DWLP_MSGRESULT) != result)
        SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, result);
    return handled;
}

static void set_button_icon(HWND hwnd, int id, int iconId)
{
    HWND button = GetDlgItem(hwnd, id);
    SendMessageA(button, BM_SETSTYLE, BS_ICON, TRUE);
    // BM_SETSTYLE changes only the button type; the icon style bit is set on the window.
    SetWindowLongA(button, GWL_STYLE, GetWindowLongA(button, GWL_STYLE) | BS_ICON);
    HICON icon = static_cast<HICON>(LoadImageA(g_instance, MAKEINTRESOURCEA(iconId), IMAGE_ICON, 16, 16, 0));
    SendMessageA(button, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon));
}

static void set_button_bitmap(HWND hwnd, int id, int bitmapId)
{
    HBITMAP bitmap = LoadBitmapA(g_instance, MAKEINTRESOURCEA(bitmapId));
    SendDlgItemMessageA(hwnd, id, BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap));
}

static void add_column(HWND list, int index, const char *caption, int width)
{
    LVCOLUMNA column = {};
    column.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH;
    column.fmt = LVCFMT_LEFT;
    column.cx = width;
    column.pszText = const_cast<char *>(caption);
    SendMessageA(list, LVM_INSERTCOLUMNA, index, reinterpret_cast<LPARAM>(&column));
}

static int client_width(HWND hwnd)
{
    RECT rc;
    GetClientRect(hwnd, &rc);
    return rc.right - rc.left;
}

static void setup_send_log(HWND list)
{
    g_main.sendImages = ImageList_Create(16, 16, ILC_MASK, 2, 1);
    HICON failed = static_cast<HICON>(LoadImageA(g_instance, MAKEINTRESOURCEA(IDI_SEND_FAILED), IMAGE_ICON, 16, 16, 0));
    HICON done = static_cast<HICON>(LoadImageA(g_instance, MAKEINTRESOURCEA(IDI_SEND_DONE), IMAGE_ICON, 16, 16, 0));
    HICON sending = static_cast<HICON>(LoadImageA(g_instance, MAKEINTRESOURCEA(IDI_SENDING), IMAGE_ICON, 16, 16, 0));
    for (HICON icon : {done, failed, sending}) // images 0 done, 1 failed, 2 sending
        if (icon && g_main.sendImages)
            ImageList_AddIcon(g_main.sendImages, icon);
    SendMessageA(list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(g_main.sendImages));
    add_column(list, 0, "Status", client_width(list) - layout_px(20));
}

static void setup_incoming(HWND list)
{
    add_column(list, 0, "Time", layout_px(110));
    add_column(list, 1, "From", layout_px(80));
    add_column(list, 2, "To", layout_px(80));
    add_column(list, 3, "Message", client_width(list));
}

// Icons 134 and 156 at the small icon size, loaded once. The tray draws its icons at that size:
// each icon has a frame drawn for it, which a shrunk 32x32 frame would lose the lines of.
static void load_tray_icons()
{
    if (g_main.trayIcon)
        return;
    const int small = GetSystemMetrics(SM_CXSMICON);
    g_main.trayIcon = static_cast<HICON>(LoadImageA(g_instance, MAKEINTRESOURCEA(IDI_TOLVIK), IMAGE_ICON, small,
                                                    small, 0));
    g_main.trayIconAlt = static_cast<HICON>(LoadImageA(g_instance, MAKEINTRESOURCEA(IDI_TOLVIK_ALT), IMAGE_ICON,
                                                       small, small, 0));
}

// The tray icon, all that start-up shows of Tolvik, goes up as soon as the window exists: the
// dialog manager sends WM_SETFONT before it makes the controls, which take a good part of the
// start. The initialisation adds it when that did not happen.
static void add_tray_icon_once(HWND hwnd)
{
    if (g_main.trayRecord.hWnd)
        return;
    load_tray_icons();
    tray_add_icon(hwnd);
}

static void on_init_dialog(HWND hwnd)
{
    if (g_sharedView) // 1
        *g_sharedView = static_cast<std::uint32_t>(reinterpret_cast<uintptr_t>(hwnd));

    tray_edit_system_menu(hwnd); // 2

    load_tray_icons(); // 3
    HICON big = LoadIconA(g_instance, MAKEINTRESOURCEA(IDI_TOLVIK));
    SendMessageA(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
    SendMessageA(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(g_main.trayIcon));

    add_tray_icon_once(hwnd); // 14, done already at WM_SETFONT

    set_button_icon(hwnd, IDC_REPLY, IDI_REPLY); // 4
    set_button_icon(hwnd, IDC_VIEW, IDI_VIEW);
    set_button_icon(hwnd, IDC_DELETE, IDI_DELETE);
    set_button_icon(hwnd, IDC_DELETEALL, IDI_DELETEALL);
    set_button_bitmap(hwnd, IDC_HIST_DELETE, IDB_DELETEONE); // 5
    set_button_bitmap(hwnd, IDC_HIST_CLEAR, IDB_CLEARHISTORY);

    g_main.window = hwnd; // 6
    g_main.recipient = GetDlgItem(hwnd, IDC_RECIPIENT);
    g_main.sentMessages = GetDlgItem(hwnd, IDC_SENTMESSAGES);
    g_main.message = GetDlgItem(hwnd, IDC_MESSAGE);
    g_main.sendButton = GetDlgItem(hwnd, IDC_SEND);
    g_main.sendLog = GetDlgItem(hwnd, IDC_SENDLOG);
    g_main.incoming = GetDlgItem(hwnd, IDC_INCOMING);

    HMENU tools = LoadMenuA(g_instance, MAKEINTRESOURCEA(IDR_MESSAGETOOLS)); // 7
    g_main.incomingMenu = tools ? GetSubMenu(tools, 0) : nullptr;

    tray_create_menu(); // 8

    InitializeCriticalSection(&g_main.sendLock); // 9
    InitializeCriticalSection(&g_main.captureLock);
    g_main.locksCreated = true;

    SetDlgItemTextA(hwnd, IDC_STATUS, "Ready"); // 10

    if (g_main.sendLog) // 11
        setup_send_log(g_main.sendLog);
    if (g_main.incoming) // 12
        setup_incoming(g_main.incoming);
    for (HWND list : {g_main.sendLog, g_main.incoming}) // 13
        if (list)
            SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE,
                         LVS_EX_HEADERDRAGDROP | LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP,
                         LVS_EX_HEADERDRAGDROP | LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP);

    SendDlgItemMessageA(hwnd, IDC_SENDER, BM_SETCHECK, BST_CHECKED, 0); // 15

    settings_load(); // 16

    main_monitor_timer_update(); // 17

    switch (compose_restore()) { // 18
    case StoredMode::Sender: enter_sender_mode(hwnd); break;
    case StoredMode::Receiver: enter_receiver_mode(hwnd); break;
    case StoredMode::None: break;
    }
    SendMessageA(g_main.message, EM_LIMITTEXT, kMaxMessageChars, 0); // no more than one send carries

    SetFocus(g_main.recipient); // 19
    char recipient[257] = "";
    GetWindowTextA(g_main.recipient, recipient, sizeof recipient);
    EnableWindow(g_main.sendButton, recipient[0] != '\0');

    layout_place_bitmap_buttons(hwnd); // 20

    if (g_settings.KeepIncoming) // 21
        store_load();
    else
        store_reader_end(); // the reading started ahead is not wanted

    EnableWindow(GetDlgItem(hwnd, IDC_DELETEALL), // 22
                 SendMessageA(g_main.incoming, LVM_GETITEMCOUNT, 0, 0) > 0);

    GetWindowRect(hwnd, &g_main.startRect); // 23
    g_main.startWidth = g_main.startRect.right - g_main.startRect.left;
    g_main.startHeight = g_main.startRect.bottom - g_main.startRect.top;
    tooltips_record_rects(hwnd);

    SetWindowLongA(hwnd, GWL_EXSTYLE, GetWindowLongA(hwnd, GWL_EXSTYLE) | WS_EX_TOOLWINDOW); // 24
    SetWindowLongA(hwnd, GWL_STYLE, 0);
    SetWindowPos(hwnd, nullptr, -4, -4, 0, 0, SWP_NOZORDER | SWP_NOACTIVATE);

    keyboard_install(); // 25
    tooltips_create(hwnd); // 26
    g_main.hideTimer = SetTimer(hwnd, TIMER_HIDE, HIDE_PERIOD_MS, nullptr); // 27
}

void main_exit(HWND hwnd)
{
    tray_remove_icon();
    DestroyMenu(g_main.trayMenu);
    g_main.trayMenu = nullptr;
    compose_save();
    interface_store(!receiver_mode());
    if (g_main.monitorTimer)
        KillTimer(hwnd, TIMER_MONITOR);
    EndDialog(hwnd, 0);
}

static void on_destroy()
{
    settings_save();
    store_at_exit();
    if (g_sharedView) {
        UnmapViewOfFile(const_cast<std::uint32_t *>(g_sharedView));
        g_sharedView = nullptr;
    }
    if (g_mapping) {
        CloseHandle(g_mapping);
        g_mapping = nullptr;
    }
}

// System commands: About, Exit and Configure are ours; minimise and close hide to the tray.
// The command value is compared whole, without masking its low four bits.
static INT_PTR on_syscommand(HWND hwnd, WPARAM command)
{
    switch (command) {
    case IDM_ABOUT: about_box(hwnd); return FALSE;
    case IDM_EXIT: main_exit(hwnd); return FALSE;
    case IDM_CONFIGURE: config_dialog(hwnd); return FALSE;
    case SC_MINIMIZE:
    case SC_CLOSE: tray_hide(hwnd); return TRUE;
    default: return FALSE;
    }
}

INT_PTR CALLBACK MainDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg != 0 && msg == tray_taskbar_created_message()) {
        tray_on_taskbar_created(hwnd);
        return answer(hwnd, TRUE, 0);
    }
    if (msg != 0 && msg == capture_hint_message()) {
        capture_on_hint(hwnd, wParam);
        return answer(hwnd, TRUE, 0);
    }
    switch (msg) {
    case WM_SETFONT: // the window exists, its controls come next
        add_tray_icon_once(hwnd);
        return FALSE;
    case WM_INITDIALOG:
        on_init_dialog(hwnd);
        return TRUE;
    case WM_DESTROY:
        on_destroy();
        return answer(hwnd, TRUE, 0);
    case WM_SIZE:
        layout_on_size(hwnd, static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
        return answer(hwnd, TRUE, 0);
    case WM_GETMINMAXINFO:
        layout_on_minmax(reinterpret_cast<MINMAXINFO *>(lParam));
        return answer(hwnd, TRUE, 0);
    case WM_NOTIFY:
        return answer(hwnd, TRUE, incoming_on_notify(hwnd, reinterpret_cast<NMHDR *>(lParam)));
    case WM_COMMAND:
        main_on_command(hwnd, LOWORD(wParam), reinterpret_cast<HWND>(lParam), HIWORD(wParam));
        return answer(hwnd, TRUE, 0);
    case WM_SYSCOMMAND:
        return on_syscommand(hwnd, wParam);
    case WM_TIMER:
        timer_on_tick(hwnd, wParam);
        return answer(hwnd, TRUE, 0);
    case WM_TRAYCALLBACK:
        tray_on_callback(hwnd, lParam);
        return answer(hwnd, TRUE, 0);
    case WM_SENDREPORT:
        send_on_report(wParam, lParam);
        return answer(hwnd, TRUE, 0);
    case WM_ACTIVATEINSTANCE:
        tray_bring_forward(hwnd);
        return FALSE;
    default:
        return FALSE;
    }
}
