// mainwnd.cpp - the main window: dialog procedure, initialisation, exit and destruction.
#include "app/shell.h"

#include "base/ids.h"
#include "base/mainwnd.h"
#include "receive/capture.h"
#include "receive/incoming.h"
#include "receive/store_reader.h"
#include "send/compose.h"
#include "send/send.h"
#include "send/send_texts.h"
#include "settings/config.h"
#include "settings/history.h"
#include "settings/settings.h"

// Tells the dialog manager that the message is handled, with result as the message's result.
// Setting the result is a round trip to the window server, so a result the dialog holds already
// is not set again (most are 0).
static INT_PTR handled(HWND hwnd, LRESULT result = 0)
{
    if (GetWindowLongPtrA(hwnd, DWLP_MSGRESULT) != result)
        SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, result);
    return TRUE;
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

// The send log's images (0 done, 1 failed, 2 sending) and its one column; the incoming list's
// four columns; both select whole rows and let their columns be dragged.
static void init_lists()
{
    if (HWND log = g_main.sendLog) {
        HIMAGELIST images = ImageList_Create(16, 16, ILC_MASK, 2, 1);
        for (int id : {IDI_SEND_DONE, IDI_SEND_FAILED, IDI_SENDING}) {
            HICON icon = static_cast<HICON>(LoadImageA(g_instance, MAKEINTRESOURCEA(id), IMAGE_ICON, 16, 16, 0));
            if (icon && images)
                ImageList_AddIcon(images, icon);
        }
        SendMessageA(log, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images));
        add_column(log, 0, "Status", client_width(log) - screen_px(20));
    }
    if (HWND list = g_main.incoming) {
        add_column(list, 0, "Time", screen_px(110));
        add_column(list, 1, "From", screen_px(80));
        add_column(list, 2, "To", screen_px(80));
        add_column(list, 3, "Message", client_width(list));
    }
    for (HWND list : {g_main.sendLog, g_main.incoming})
        if (list)
            SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_HEADERDRAGDROP | LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP,
                         LVS_EX_HEADERDRAGDROP | LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP);
}

static void init_buttons(HWND hwnd)
{
    set_button_icon(hwnd, IDC_REPLY, IDI_REPLY);
    set_button_icon(hwnd, IDC_VIEW, IDI_VIEW);
    set_button_icon(hwnd, IDC_DELETE, IDI_DELETE);
    set_button_icon(hwnd, IDC_DELETEALL, IDI_DELETEALL);
    set_button_bitmap(hwnd, IDC_HIST_DELETE, IDB_DELETEONE);
    set_button_bitmap(hwnd, IDC_HIST_CLEAR, IDB_CLEARHISTORY);
}

// The mode, the recipient box and the message edit as the last run left them, the focus in the
// recipient box.
static void init_histories(HWND hwnd)
{
    switch (compose_restore()) {
    case StoredMode::Sender: enter_sender_mode(hwnd); break;
    case StoredMode::Receiver: enter_receiver_mode(hwnd); break;
    case StoredMode::None: break;
    }
    SendMessageA(g_main.message, EM_LIMITTEXT, kMaxMessageChars, 0); // no more than one send carries
    SetFocus(g_main.recipient);
    send_button_follow_recipient();
}

// The messages kept by the last run are filed, or the reading that WinMain started is ended.
static void init_incoming()
{
    if (!g_settings.KeepIncoming)
        store_reader_end();
    else if (store_load() && receiver_mode())
        message_count_update(); // once for the whole load
    incoming_buttons_update();
}

static void on_init_dialog(HWND hwnd)
{
    instance_publish(hwnd);
    main_handles_set(hwnd); // what follows uses them
    tray_init(hwnd);
    init_buttons(hwnd);
    send_init();
    init_lists();
    mode_start(hwnd); // before the histories, which restore the last mode
    settings_load();  // before what the settings govern
    monitor_timer_update();
    init_histories(hwnd);
    layout_place_bitmap_buttons(hwnd);
    init_incoming();
    tooltips_record_rects(hwnd); // before the window collapses: the tools keep these sizes
    tray_collapse(hwnd);
    keyboard_install();
    tooltips_create(hwnd);
    hide_timer_start();
}

void main_exit(HWND hwnd)
{
    tray_end();
    compose_save();
    interface_store(!receiver_mode());
    monitor_timer_end();
    EndDialog(hwnd, 0);
}

static void on_destroy()
{
    settings_save();
    store_at_exit();
    instance_release();
}

// System commands: About, Exit and Configure are ours; minimise and close hide to the tray.
// The command value is compared whole, without masking its low four bits.
static INT_PTR on_syscommand(HWND hwnd, WPARAM command)
{
    switch (command) {
    case IDM_ABOUT: about_box(hwnd); return FALSE;
    case IDM_EXIT: main_exit(hwnd); return FALSE;
    case IDM_CONFIGURE: main_configure(hwnd); return FALSE;
    case SC_MINIMIZE:
    case SC_CLOSE: tray_hide(hwnd); return TRUE;
    default: return FALSE;
    }
}

INT_PTR CALLBACK MainDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg != 0 && msg == tray_taskbar_created_message()) {
        tray_on_taskbar_created(hwnd);
        return handled(hwnd);
    }
    if (msg != 0 && msg == capture_hint_message()) {
        if (capture_on_hint(wParam))
            message_arrived(hwnd);
        return handled(hwnd);
    }
    switch (msg) {
    case WM_SETFONT:
        // The tray icon, all that start-up shows of Tolvik, goes up as soon as the window exists:
        // the dialog manager sends WM_SETFONT before it makes the controls, which take a good part
        // of the start. The initialisation adds it when that did not happen.
        tray_add_icon_once(hwnd);
        return FALSE;
    case WM_INITDIALOG:
        on_init_dialog(hwnd);
        return TRUE;
    case WM_DESTROY:
        on_destroy();
        return handled(hwnd);
    case WM_SIZE:
        layout_on_size(hwnd, static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
        return handled(hwnd);
    case WM_GETMINMAXINFO:
        layout_on_minmax(reinterpret_cast<MINMAXINFO *>(lParam));
        return handled(hwnd);
    case WM_NOTIFY:
        return handled(hwnd, main_on_notify(hwnd, reinterpret_cast<NMHDR *>(lParam)));
    case WM_COMMAND:
        main_on_command(hwnd, LOWORD(wParam), reinterpret_cast<HWND>(lParam), HIWORD(wParam));
        return handled(hwnd);
    case WM_SYSCOMMAND:
        return on_syscommand(hwnd, wParam);
    case WM_TIMER:
        timer_on_tick(hwnd, wParam);
        return handled(hwnd);
    case WM_TRAYCALLBACK:
        tray_on_callback(hwnd, lParam);
        return handled(hwnd);
    case WM_SENDREPORT:
        if (send_on_report(wParam, lParam))
            send_ended();
        return handled(hwnd);
    case WM_ACTIVATEINSTANCE:
        tray_bring_forward(hwnd);
        return FALSE;
    default:
        return FALSE;
    }
}
