// capture.cpp - finds the messenger service's popups by title, reads their text, closes them
// and files the message.
#include "receive/capture.h"

#include "base/mainwnd.h"
#include "base/platform.h"
#include "base/popup_format.h"
#include "base/popup_hint.h"
#include "receive/incoming.h"
#include "receive/msgtext.h"
#include "receive/title_cache.h"
#include "settings/settings.h"

#include <cstdint>
#include <cstring>

// Titles of the top-level windows and the popups already taken, kept between ticks.
static TitleCache s_titles;

// Which popup title (popup_format.h) the window has; the Russian one is looked for first.
static TitleMatch classify(HWND hwnd)
{
    char title[80] = "";
    if (GetWindowTextA(hwnd, title, sizeof title) <= 0)
        return TitleMatch::None;
    if (std::strcmp(title, kPopupTitleRussian.data()) == 0)
        return TitleMatch::RussianExact;
    if (text_equal_ignore_case(title, kPopupTitleRussian.data()))
        return TitleMatch::Russian;
    if (std::strcmp(title, kPopupTitle.data()) == 0)
        return TitleMatch::EnglishExact;
    if (text_equal_ignore_case(title, kPopupTitle.data()))
        return TitleMatch::English;
    return TitleMatch::None;
}

static void read_title(HWND hwnd)
{
    title_cache_store(s_titles, reinterpret_cast<std::uintptr_t>(hwnd), classify(hwnd));
}

static BOOL CALLBACK read_title_if_needed(HWND hwnd, LPARAM)
{
    if (title_cache_needs_read(s_titles, reinterpret_cast<std::uintptr_t>(hwnd)))
        read_title(hwnd);
    return TRUE;
}

// Brings the cache up to date for this tick: the windows the schedule lists, and the titles
// it says are due. The cache then answers both lookups (exact title, then the locale's
// case-insensitive comparison) for both titles at once.
static void update_titles()
{
    title_cache_begin(s_titles);
    if (title_cache_full_scan(s_titles))
        EnumWindows(read_title_if_needed, 0);
    else // the window server picks the dialog-class windows out in one call each
        for (HWND w = nullptr; (w = FindWindowExA(nullptr, w, "#32770", nullptr)) != nullptr;)
            read_title_if_needed(w, 0);
    for (std::uintptr_t w : title_cache_due(s_titles))
        read_title(reinterpret_cast<HWND>(w));
    title_cache_end(s_titles);
}

// The full text of a popup: its first child must be a button, the text is in the next
// child. Empty when the popup has another shape or its text is not set yet.
static bool read_popup_text(HWND popup, char (&text)[kPopupTextMax + 1])
{
    text[0] = '\0';
    HWND first = GetWindow(popup, GW_CHILD);
    if (!first)
        return false;
    char cls[1024] = "";
    GetClassNameA(first, cls, sizeof cls);
    if (!text_equal_ignore_case(cls, kPopupButtonClass.data()))
        return false;
    HWND holder = GetWindow(first, GW_HWNDNEXT);
    if (!holder)
        return false;
    GetWindowTextA(holder, text, sizeof text);
    return !text_equal(text, "");
}

// A popup is closed only after its message is stored, so a Tolvik that ends in between leaves
// it open for the next run. The popup itself tells that run whether it is stored already: the
// property holds the store position + 1 while the store is written, kStoredForGood after.
static const char kFiledProperty[] = "TolvikFiled";
static const std::intptr_t kStoredForGood = -1;

static void mark_filed(HWND popup, std::intptr_t value)
{
    SetPropA(popup, kFiledProperty, reinterpret_cast<HANDLE>(value));
}

// True when an earlier run stored this popup's message (a run that ended between writing the
// store and marking the popup for good left the position, which the store then holds).
static bool stored_by_earlier_run(HWND popup, const char *text)
{
    std::intptr_t mark = reinterpret_cast<std::intptr_t>(GetPropA(popup, kFiledProperty));
    return mark == kStoredForGood || (mark > 0 && store_holds(static_cast<size_t>(mark - 1), text));
}

// Whether a popup (a window with a popup title) can be taken now, its text read into text:
// it must be shaped like a messenger popup and hold its text. One taken on an earlier step (or
// stored by an earlier run) that has not acted on its WM_CLOSE yet is asked again, never filed
// again. The one rule for the timer's lookup and for a hint.
static bool ready_to_take(HWND popup, char (&text)[kPopupTextMax + 1])
{
    std::uintptr_t key = reinterpret_cast<std::uintptr_t>(popup);
    if (!title_cache_taken(s_titles, key)) {
        if (!read_popup_text(popup, text))
            return false;
        if (!stored_by_earlier_run(popup, text))
            return true;
        title_cache_mark_taken(s_titles, key);
    }
    PostMessageA(popup, WM_CLOSE, 0, 0);
    return false;
}

// Popups are tried in lookup order; one that is not ready is passed over so it never blocks
// the popups behind it.
static HWND find_ready_popup(char (&text)[kPopupTextMax + 1])
{
    update_titles();
    for (std::uintptr_t key : title_cache_popups(s_titles)) {
        HWND popup = reinterpret_cast<HWND>(key);
        if (ready_to_take(popup, text))
            return popup;
    }
    return nullptr;
}

// The new item alone is selected and focused. Clearing every item's states walks the whole
// list, so when the one selected item is the previous selection mark (what the last capture
// left), only that item is cleared, after the new one has both states: the buttons that need a
// selection then never see none in between (each time they change, they are redrawn).
static void select_only(int index)
{
    HWND list = g_main.incoming;
    LVITEMA clear = {};
    clear.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    LVITEMA set = {};
    set.stateMask = set.state = LVIS_SELECTED | LVIS_FOCUSED;
    int mark = static_cast<int>(SendMessageA(list, LVM_GETSELECTIONMARK, 0, 0));
    bool onlyMark = SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0) == 1 && mark >= 0 &&
                    (SendMessageA(list, LVM_GETITEMSTATE, mark, LVIS_SELECTED) & LVIS_SELECTED);
    bool focusOnMark = SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED) == mark;
    if (onlyMark && focusOnMark && mark != index) {
        SendMessageA(list, LVM_SETITEMSTATE, index, reinterpret_cast<LPARAM>(&set));
        SendMessageA(list, LVM_SETITEMSTATE, mark, reinterpret_cast<LPARAM>(&clear));
    } else {
        SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&clear));
        SendMessageA(list, LVM_SETITEMSTATE, index, reinterpret_cast<LPARAM>(&set));
    }
    SendMessageA(list, LVM_ENSUREVISIBLE, index, FALSE);
}

bool capture_step(HWND hinted)
{
    char text[kPopupTextMax + 1];
    HWND popup = hinted ? (ready_to_take(hinted, text) ? hinted : nullptr) : find_ready_popup(text);
    if (!popup)
        return false;
    // A text that does not split is filed whole as the message, so the popup is closed.
    // Every popup is filed once, also one whose text equals the last message's.
    ParsedMessage parsed;
    parse_message_text(text, char_equal_ignore_case, parsed);
    int index = incoming_file(parsed.from, parsed.to, parsed.time, parsed.message, text);
    if (index < 0)
        return false; // left open, and tried again on a later tick
    select_only(index);
    incoming_buttons_update();
    SendMessageA(g_main.incoming, LVM_SETSELECTIONMARK, 0, index);
    if (g_settings.KeepIncoming) {
        mark_filed(popup, index + 1);
        if (store_save())
            mark_filed(popup, kStoredForGood);
    }
    PostMessageA(popup, WM_CLOSE, 0, 0);
    title_cache_mark_taken(s_titles, reinterpret_cast<std::uintptr_t>(popup));
    return true;
}

UINT capture_hint_message()
{
    static const UINT message = RegisterWindowMessageA(kPopupReadyMessage);
    return message;
}

// The handle comes from another program: it is only ever looked at through the window
// functions, which answer nothing for a handle that names no window.
bool capture_on_hint(WPARAM window)
{
    std::uintptr_t key = static_cast<std::uintptr_t>(window);
    if (!g_settings.Monitor || !title_cache_hint_wanted(s_titles, key))
        return false;
    HWND popup = reinterpret_cast<HWND>(window);
    TitleMatch match = classify(popup);
    title_cache_hinted(s_titles, key, match);
    bool filed = match != TitleMatch::None && capture_step(popup);
    if (!title_cache_taken(s_titles, key)) // the step took nothing
        title_cache_hint_missed(s_titles);
    return filed;
}
