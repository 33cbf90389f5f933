// capture.cpp - finds the messenger service's popups by title, reads their text, closes them
// and files the message, then sets off the reactions the settings ask for.
#include "receive/capture.h"

#include "app/ids.h"
#include "app/mainwnd.h"
#include "app/platform.h"
#include "app/shell.h"
#include "receive/incoming.h"
#include "receive/msgtext.h"
#include "receive/timers.h"
#include "receive/title_cache.h"
#include "settings/settings.h"

#include <cstdint>
#include <cstring>
#include <vector>

// Popup titles; the Russian one (Windows-1251) is looked for first.
static const char kTitleRussian[] = "\xD1\xEB\xF3\xE6\xE1\xE0 \xF1\xEE\xEE\xE1\xF9\xE5\xED\xE8\xE9 ";
static const char kTitleEnglish[] = "Messenger service ";

// In the order the two lookups would take them: for each title, the windows that carry it
// exactly (the platform's exact lookup), then those equal to it ignoring case; within a
// group, in the order the enumeration meets them.
struct Candidates {
    std::vector<HWND> russianExact, russian, englishExact, english;
};

// Titles of the top-level windows, kept between ticks so a tick reads only the titles of
// new and young windows and a twentieth of the others.
static TitleCache s_titles;
// Every window of any class is enumerated once in this many ticks (once a second).
constexpr std::uint64_t kFullScanTicks = 20;

static TitleMatch classify(HWND hwnd)
{
    char title[80] = "";
    if (GetWindowTextA(hwnd, title, sizeof title) <= 0)
        return TitleMatch::None;
    if (std::strcmp(title, kTitleRussian) == 0)
        return TitleMatch::RussianExact;
    if (text_equal_ignore_case(title, kTitleRussian))
        return TitleMatch::Russian;
    if (std::strcmp(title, kTitleEnglish) == 0)
        return TitleMatch::EnglishExact;
    if (text_equal_ignore_case(title, kTitleEnglish))
        return TitleMatch::English;
    return TitleMatch::None;
}

// One pass over the top-level windows finds what the two lookups (exact title, then the
// locale's case-insensitive comparison) would, for both titles at once.
static BOOL CALLBACK collect(HWND hwnd, LPARAM lp)
{
    std::uintptr_t key = reinterpret_cast<std::uintptr_t>(hwnd);
    if (title_cache_needs_read(s_titles, key))
        title_cache_store(s_titles, key, classify(hwnd));
    Candidates *c = reinterpret_cast<Candidates *>(lp);
    switch (title_cache_match(s_titles, key)) {
    case TitleMatch::RussianExact: c->russianExact.push_back(hwnd); break;
    case TitleMatch::Russian: c->russian.push_back(hwnd); break;
    case TitleMatch::EnglishExact: c->englishExact.push_back(hwnd); break;
    case TitleMatch::English: c->english.push_back(hwnd); break;
    case TitleMatch::None: break;
    }
    return TRUE;
}

// The full text of a popup: its first child must be a button, the text is in the next
// child. Empty when the popup has another shape or its text is not set yet.
static bool read_popup_text(HWND popup, char (&text)[1024])
{
    text[0] = '\0';
    HWND first = GetWindow(popup, GW_CHILD);
    if (!first)
        return false;
    char cls[1024] = "";
    GetClassNameA(first, cls, sizeof cls);
    if (!text_equal_ignore_case(cls, "Button"))
        return false;
    HWND holder = GetWindow(first, GW_HWNDNEXT);
    if (!holder)
        return false;
    GetWindowTextA(holder, text, sizeof text);
    return !text_equal(text, "");
}

// Popups are tried in lookup order; one that has no text yet, or is not shaped like a
// messenger popup, is passed over so it never blocks the popups behind it.
static HWND find_ready_popup(char (&text)[1024])
{
    Candidates c;
    title_cache_begin(s_titles);
    if (s_titles.tick % kFullScanTicks == 1) {
        EnumWindows(collect, reinterpret_cast<LPARAM>(&c));
        title_cache_end(s_titles);
    } else {
        // Between full scans only dialog-class windows (what the service's message boxes
        // are) are looked at; the window server picks them out in one call each.
        for (HWND w = nullptr; (w = FindWindowExA(nullptr, w, "#32770", nullptr)) != nullptr;)
            collect(w, reinterpret_cast<LPARAM>(&c));
    }
    for (const std::vector<HWND> *group : {&c.russianExact, &c.russian, &c.englishExact, &c.english})
        for (HWND popup : *group)
            if (read_popup_text(popup, text))
                return popup;
    return nullptr;
}

// The new item alone is selected and focused. Clearing every item's states walks the whole
// list, so when the one selected item is the previous selection mark (what the last capture
// left), only that item is cleared: the end state is the same.
static void select_only(int index)
{
    HWND list = g_main.incoming;
    LVITEMA clear = {};
    clear.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    int mark = static_cast<int>(SendMessageA(list, LVM_GETSELECTIONMARK, 0, 0));
    bool onlyMark = SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0) == 1 && mark >= 0 &&
                    (SendMessageA(list, LVM_GETITEMSTATE, mark, LVIS_SELECTED) & LVIS_SELECTED);
    bool focusOnMark = SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED) == mark;
    if (onlyMark && focusOnMark)
        SendMessageA(list, LVM_SETITEMSTATE, mark, reinterpret_cast<LPARAM>(&clear));
    else
        SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&clear));
    LVITEMA set = {};
    set.stateMask = set.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(g_main.incoming, LVM_SETITEMSTATE, index, reinterpret_cast<LPARAM>(&set));
    SendMessageA(g_main.incoming, LVM_ENSUREVISIBLE, index, FALSE);
}

static bool same_as_last_filed(const char *text)
{
    int count = static_cast<int>(SendMessageA(g_main.incoming, LVM_GETITEMCOUNT, 0, 0));
    std::string last;
    return count > 0 && incoming_full_text(count - 1, last) && text_equal_ignore_case(last.c_str(), text);
}

static void react(HWND hwnd)
{
    if (g_settings.BeepOnMessage)
        Beep(1500, 50);
    if (g_settings.EnableRunOnMessage)
        ShellExecuteA(GetDesktopWindow(), "open", g_settings.ExternalProg, nullptr, nullptr, SW_SHOWNORMAL);
    if (g_settings.InternalMessage)
        SendMessageA(hwnd, WM_COMMAND, IDM_MSG_VIEW, 0); // returns when the viewer closes
    else if (g_settings.PopupOnMessage)
        bring_forward(hwnd);
}

// Leaves the capture lock on every way out.
class CaptureLock {
public:
    CaptureLock() { EnterCriticalSection(&g_main.captureLock); }
    ~CaptureLock() { LeaveCriticalSection(&g_main.captureLock); }
    CaptureLock(const CaptureLock &) = delete;
    CaptureLock &operator=(const CaptureLock &) = delete;
};

void capture_step(HWND hwnd)
{
    CaptureLock lock;
    char text[1024];
    HWND popup = find_ready_popup(text);
    if (!popup)
        return;
    // A text that does not split is filed whole as the message, so the popup is closed.
    ParsedMessage parsed;
    parse_message_text(text, char_equal_ignore_case, parsed);
    PostMessageA(popup, WM_CLOSE, 0, 0);
    if (same_as_last_filed(text))
        return;
    int index = incoming_file(parsed.from, parsed.to, parsed.time, parsed.message, text);
    if (index < 0)
        return;
    select_only(index);
    if (receiver_mode())
        message_count_update();
    if (g_settings.SwitchOnMessage && !g_settings.DoNotStealFocus &&
        SendDlgItemMessageA(hwnd, IDC_SENDER, BM_GETCHECK, 0, 0) == BST_CHECKED) {
        SendDlgItemMessageA(hwnd, IDC_SENDER, BM_SETCHECK, BST_UNCHECKED, 0);
        SendDlgItemMessageA(hwnd, IDC_RECEIVER, BM_SETCHECK, BST_CHECKED, 0);
        SendMessageA(hwnd, WM_COMMAND, IDC_RECEIVER, 0);
    }
    EnableWindow(GetDlgItem(hwnd, IDC_DELETEALL),
                 SendMessageA(g_main.incoming, LVM_GETITEMCOUNT, 0, 0) > 0);
    SendMessageA(g_main.incoming, LVM_SETSELECTIONMARK, 0, index);
    if (g_settings.KeepIncoming)
        store_save();
    react(hwnd);
    animation_start(hwnd);
}
