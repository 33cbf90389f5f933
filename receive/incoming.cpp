// incoming.cpp - the incoming list: filing, counting, Delete, Delete All, the receiver buttons'
// state, the list's notifications and context menu, and its mirror in the registry (key
// ...\Messages).
#include "receive/incoming.h"

#include "base/ids.h"
#include "base/mainwnd.h"
#include "base/platform.h"
#include "receive/incoming_logic.h"
#include "receive/msgtext.h"
#include "receive/store_reader.h"
#include "settings/regkey.h"
#include "settings/settings.h"

#include <cstdio>
#include <cstring>
#include <vector>

static StoreTracker s_store; // what the Messages key holds relative to the list
static bool s_menuOpen;      // the list's context menu is being tracked

int incoming_count()
{
    return static_cast<int>(SendMessageA(g_main.incoming, LVM_GETITEMCOUNT, 0, 0));
}

int incoming_selection_mark()
{
    return static_cast<int>(SendMessageA(g_main.incoming, LVM_GETSELECTIONMARK, 0, 0));
}

static int selected_count()
{
    return static_cast<int>(SendMessageA(g_main.incoming, LVM_GETSELECTEDCOUNT, 0, 0));
}

// An item's data, owned by the item (freed on LVN_DELETEITEM): the full text, and the four
// columns, which the list asks for when it needs them (LVN_GETDISPINFO). Setting each column's
// text in the list instead costs a call per column and item, most of a filing's time when the
// store is loaded at start-up.
struct IncomingItem {
    std::string full;
    std::string columns[4]; // Time, From, To, Message
};

int incoming_file(const char *from, const char *to, const char *time, const char *message, const char *fullText)
{
    IncomingItem *data = new IncomingItem{fullText, {time, from, to, message_column_text(message)}};
    LVITEMA item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = incoming_count() + 1;
    item.pszText = LPSTR_TEXTCALLBACKA;
    item.lParam = reinterpret_cast<LPARAM>(data);
    int index = static_cast<int>(SendMessageA(g_main.incoming, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    if (index < 0) {
        delete data;
        return index;
    }
    SendMessageA(g_main.incoming, LVM_UPDATE, index, 0);
    store_note_change(s_store, static_cast<size_t>(index));
    return index;
}

static const IncomingItem *item_data(int index)
{
    LVITEMA item = {};
    item.mask = LVIF_PARAM;
    item.iItem = index;
    if (!SendMessageA(g_main.incoming, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)))
        return nullptr;
    return reinterpret_cast<const IncomingItem *>(item.lParam);
}

static const char *item_full_text(int index)
{
    const IncomingItem *data = item_data(index);
    return data ? data->full.c_str() : nullptr;
}

// The text of a column the list asks for, cut to the room it gives.
static void give_column(NMHDR *header)
{
    bool wide = header->code == LVN_GETDISPINFOW;
    LVITEMA &item = reinterpret_cast<NMLVDISPINFOA *>(header)->item; // the same layout in both forms
    if (!(item.mask & LVIF_TEXT) || !item.pszText || item.cchTextMax <= 0)
        return;
    const IncomingItem *data = item.lParam ? reinterpret_cast<const IncomingItem *>(item.lParam) : item_data(item.iItem);
    const char *text = data && item.iSubItem >= 0 && item.iSubItem < 4 ? data->columns[item.iSubItem].c_str() : "";
    if (!wide) {
        lstrcpynA(item.pszText, text, item.cchTextMax);
    } else {
        WCHAR *out = reinterpret_cast<WCHAR *>(item.pszText);
        int n = MultiByteToWideChar(CP_ACP, 0, text, -1, out, item.cchTextMax);
        if (n == 0) // too long for the room: cut it there
            out[item.cchTextMax - 1] = L'\0';
    }
}

bool incoming_full_text(int index, std::string &text)
{
    const char *full = item_full_text(index);
    if (!full)
        return false;
    text = full;
    return true;
}

void message_count_update()
{
    char status[300];
    std::snprintf(status, sizeof status, "Total messages: %d", incoming_count());
    SetDlgItemTextA(g_main.window, IDC_STATUS, status);
}

// Keeps the key equal to what deleting it and writing every item would leave, writing only
// the values from the first changed position on and removing the surplus tail.
bool store_save()
{
    size_t count = static_cast<size_t>(incoming_count());
    StoreWrites w = store_writes(s_store, count);
    if (w.delete_key)
        RegKey::erase_key(kMessagesKey);
    if (w.write_from < w.write_to || w.remove_from < w.remove_to) {
        RegKey key;
        if (key.create(kMessagesKey) != ERROR_SUCCESS) {
            store_write_failed(s_store);
            return false;
        }
        bool ok = true;
        for (size_t i = w.write_from; i < w.write_to; ++i) {
            const char *full = item_full_text(static_cast<int>(i));
            if (!full || key.set_text(store_value_name(i).c_str(), full) != ERROR_SUCCESS)
                ok = false;
        }
        // A value left behind would come back at the next start: a failed removal leaves
        // the key unknown, so the next save rewrites it whole.
        for (size_t i = w.remove_from; i < w.remove_to; ++i) {
            LONG rc = key.erase(store_value_name(i).c_str());
            if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND)
                ok = false;
        }
        if (!ok) {
            store_write_failed(s_store);
            return false;
        }
    }
    store_written(s_store, count);
    return true;
}

bool store_holds(size_t position, const char *fullText)
{
    RegKey key;
    char stored[1024];
    return key.open(kMessagesKey) == ERROR_SUCCESS && key.text(store_value_name(position).c_str(), stored) &&
           std::strcmp(stored, fullText) == 0;
}

static bool char_equal(char a, char b)
{
    return char_equal_ignore_case(a, b);
}

// Appends the stored messages as the reader (started ahead at start-up) hands them over. The
// list is drawn once at the end, not per item, and has room for all of them from the start.
bool store_load()
{
    // The key mirrors the list exactly when its values are 0..N-1 in order, each filed.
    bool mirrors = incoming_count() == 0;
    int firstIndex = incoming_count();
    SendMessageA(g_main.incoming, WM_SETREDRAW, FALSE, 0);
    int lastFiled = -1;
    std::vector<StoredText> values;
    std::size_t expected = 0;
    for (bool first = true; store_reader_take(values, expected); first = false) {
        if (first && expected > 0)
            SendMessageA(g_main.incoming, LVM_SETITEMCOUNT, static_cast<WPARAM>(incoming_count()) + expected, 0);
        for (const StoredText &v : values) {
            ParsedMessage parsed;
            parse_message_text(v.text, char_equal, parsed);
            int filed = incoming_file(parsed.from, parsed.to, parsed.time, parsed.message, v.text.c_str());
            if (filed >= 0)
                lastFiled = filed;
            if (filed < 0 || store_value_name(static_cast<size_t>(filed - firstIndex)) != v.name)
                mirrors = false;
        }
    }
    StoreReadEnd end = store_reader_end();
    if (end.opened && lastFiled >= 0)
        SendMessageA(g_main.incoming, LVM_ENSUREVISIBLE, lastFiled, FALSE);
    SendMessageA(g_main.incoming, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(g_main.incoming, nullptr, TRUE);
    if (!end.opened) {
        if (incoming_count() == 0)
            store_written(s_store, 0); // no key and no items: the store mirrors the list
    } else if (mirrors && end.whole) {
        store_written(s_store, static_cast<size_t>(incoming_count()));
    } else {
        store_write_failed(s_store); // the next save rewrites the key whole
    }
    return end.opened;
}

void store_at_exit()
{
    if (!g_settings.KeepIncoming)
        SendMessageA(g_main.incoming, LVM_DELETEALLITEMS, 0, 0);
    store_save();
}

static void set_item_state(int index, UINT state, UINT mask)
{
    LVITEMA item = {};
    item.state = state;
    item.stateMask = mask;
    SendMessageA(g_main.incoming, LVM_SETITEMSTATE, index, reinterpret_cast<LPARAM>(&item));
}

void incoming_delete()
{
    int count = incoming_count();
    std::vector<int> selected;
    for (int i = count - 1; i >= 0; --i)
        if (SendMessageA(g_main.incoming, LVM_GETITEMSTATE, i, LVIS_SELECTED) & LVIS_SELECTED)
            selected.push_back(i);
    int next = selection_after_delete(count, selected);
    for (int index : selected) // from the last to the first
        SendMessageA(g_main.incoming, LVM_DELETEITEM, index, 0);
    if (!selected.empty())
        store_note_change(s_store, static_cast<size_t>(selected.back()));
    if (next >= 0)
        set_item_state(next, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    message_count_update();
    incoming_buttons_update();
    if (g_settings.KeepIncoming)
        store_save();
}

void incoming_delete_all()
{
    SendMessageA(g_main.incoming, LVM_DELETEALLITEMS, 0, 0);
    store_note_change(s_store, 0);
    incoming_buttons_update();
    if (g_settings.KeepIncoming)
        store_save();
    message_count_update();
    SetFocus(g_main.incoming);
}

bool incoming_sender(int index, std::string &from)
{
    if (index < 0 || index >= incoming_count())
        return false;
    char text[257] = "";
    LVITEMA item = {};
    item.iSubItem = 1;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(g_main.incoming, LVM_GETITEMTEXTA, index, reinterpret_cast<LPARAM>(&item));
    from = text;
    return true;
}

// The context menu (the first popup of IDR_MESSAGETOOLS), loaded at its first showing.
static HMENU context_menu()
{
    static HMENU menu = nullptr;
    if (!menu) {
        HMENU tools = LoadMenuA(g_instance, MAKEINTRESOURCEA(IDR_MESSAGETOOLS));
        menu = tools ? GetSubMenu(tools, 0) : nullptr;
    }
    return menu;
}

static void show_context_menu(HWND hwnd, POINT at)
{
    HMENU menu = context_menu();
    UINT state = selected_count() > 0 ? MF_ENABLED : MF_GRAYED;
    for (UINT id : {IDM_MSG_REPLY, IDM_MSG_VIEW, IDM_MSG_DELETE})
        EnableMenuItem(menu, id, MF_BYCOMMAND | state);
    s_menuOpen = true;
    TrackPopupMenuEx(menu, TPM_RIGHTBUTTON, at.x, at.y, hwnd, nullptr);
    s_menuOpen = false;
}

bool incoming_menu_open()
{
    return s_menuOpen;
}

// The buttons that act on the list, looked up once: they live as long as the main window, and a
// lookup asks the window server, several times for every message filed.
enum ListButton { kReply, kView, kDelete, kDeleteAll, kListButtons };

static HWND list_button(ListButton which)
{
    static const int ids[kListButtons] = {IDC_REPLY, IDC_VIEW, IDC_DELETE, IDC_DELETEALL};
    static HWND owner, buttons[kListButtons];
    if (owner != g_main.window) {
        owner = g_main.window;
        for (int i = 0; i < kListButtons; ++i)
            buttons[i] = GetDlgItem(owner, ids[i]);
    }
    return buttons[which];
}

static void enable_button(ListButton which, bool enable)
{
    HWND button = list_button(which);
    if (!IsWindowEnabled(button) != !enable)
        EnableWindow(button, enable);
}

// Every selection change comes here, several for one capture: a button is only touched when
// its state changes (enabling costs a round trip to the window server even then).
void incoming_buttons_update()
{
    bool selected = selected_count() > 0;
    enable_button(kReply, selected);
    enable_button(kView, selected);
    enable_button(kDelete, selected);
    enable_button(kDeleteAll, incoming_count() > 0);
}

bool incoming_double_click(const NMHDR *header)
{
    return header && header->hwndFrom == g_main.incoming && header->code == NM_DBLCLK && selected_count() > 0;
}

LRESULT incoming_on_notify(HWND hwnd, NMHDR *header)
{
    if (!header || header->hwndFrom != g_main.incoming)
        return 0;
    switch (header->code) {
    case NM_RCLICK: {
        POINT cursor;
        GetCursorPos(&cursor);
        show_context_menu(hwnd, cursor);
        break;
    }
    case LVN_ITEMCHANGED: incoming_buttons_update(); break;
    case LVN_KEYDOWN: {
        WORD key = reinterpret_cast<NMLVKEYDOWN *>(header)->wVKey;
        if (key == VK_DELETE && selected_count() > 0) {
            incoming_delete();
        } else if (key == VK_APPS) {
            RECT rc;
            GetWindowRect(g_main.incoming, &rc);
            show_context_menu(hwnd, POINT{rc.left + 2, rc.top + 20});
        }
        break;
    }
    case LVN_GETDISPINFOA:
    case LVN_GETDISPINFOW:
        give_column(header);
        break;
    case LVN_DELETEITEM: // the item's data goes with it
        delete reinterpret_cast<IncomingItem *>(reinterpret_cast<NMLISTVIEW *>(header)->lParam);
        break;
    default:
        break;
    }
    return 0;
}
