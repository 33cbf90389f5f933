// helpers.h - driving tolvik.exe as a user does, shared by the suites: keystrokes and mouse
// input that arrive where they are meant to, barriers that order a check after the program's
// work, the main window and its dialogs, the tray, popups of the messenger service and the
// message store, and the start of a receiving Tolvik.
#ifndef TOLVIK_E2E_HELPERS_H
#define TOLVIK_E2E_HELPERS_H

#include "base/ids.h"
#include "tests/e2e/check.h"
#include "tests/e2e/harness.h"
#include "tests/e2e/probe.h"

#include <windows.h>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

// ---- barriers ----

// Returns once the thread of `window` has come back to its message loop and found there a
// message posted to the window now: what the thread was doing, and what was posted to it
// before, is done. False when that does not happen within 10 s.
inline bool sync(HWND window)
{
    return probe_run(window, kProbeIdle, true).size() == 1;
}

// The same, and then lets the thread take the window-system events its last window changes
// brought (pointer and focus crossings). Under Wine the one after a focus change resets the
// keys held down to what the X server knows: keystrokes made before it would lose their
// modifiers.
inline bool settle_window_events(HWND window)
{
    return probe_run(window, kProbeSettle, true).size() == 1;
}

// ---- keyboard input (SendInput reaches the foreground window's thread) ----

inline void key_event(WORD vk, bool up)
{
    INPUT in = {};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.wScan = static_cast<WORD>(MapVirtualKeyA(vk, MAPVK_VK_TO_VSC));
    in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    SendInput(1, &in, sizeof in);
    Sleep(15);
}

// Presses the modifiers in order, taps key, releases the modifiers in reverse order. A
// modifier that a late window-system event released again is pressed again before the key.
inline void chord(std::initializer_list<WORD> mods, WORD key)
{
    auto all_down = [&] {
        for (WORD m : mods)
            if (!(GetAsyncKeyState(m) & 0x8000))
                return false;
        return true;
    };
    for (WORD m : mods)
        key_event(m, false);
    for (int tries = 0; tries < 5 && !all_down(); ++tries) {
        wait_until(all_down, 200, 5);
        for (WORD m : mods)
            if (!(GetAsyncKeyState(m) & 0x8000))
                key_event(m, false);
    }
    key_event(key, false);
    key_event(key, true);
    for (auto it = mods.end(); it != mods.begin();)
        key_event(*--it, true);
}

inline void tap(WORD key)
{
    chord({}, key);
}

// Types letters, digits and blanks (upper case letters without Shift: the keys, not the case).
inline void type_keys(const char *text)
{
    for (const char *p = text; *p; ++p) {
        char c = *p;
        tap((c >= 'a' && c <= 'z') ? static_cast<WORD>(c - 'a' + 'A') : static_cast<WORD>(c));
    }
}

// The keyboard focus of the thread that owns window (null when it has none).
inline HWND focus_of(HWND window)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info))
        return nullptr;
    return info.hwndFocus;
}

// True when the focus is on control or on one of its children (the edit of a combo box).
inline bool focus_in(HWND control)
{
    HWND focus = focus_of(control);
    return focus && (focus == control || IsChild(control, focus));
}

// Describes a window for failure messages: its control id and class.
inline std::string window_desc(HWND hwnd)
{
    if (!hwnd)
        return "none";
    char cls[64] = "";
    GetClassNameA(hwnd, cls, sizeof cls);
    char text[128];
    std::snprintf(text, sizeof text, "%p id %d class %s", static_cast<void *>(hwnd), GetDlgCtrlID(hwnd), cls);
    return text;
}

// Waits until the focus of control's thread is on control or one of its children.
inline bool wait_focus_in(HWND control, DWORD timeoutMs = 5000)
{
    if (wait_until([&] { return focus_in(control); }, timeoutMs))
        return true;
    std::printf("  focus is on %s, foreground %s\n", window_desc(focus_of(control)).c_str(),
                window_desc(GetForegroundWindow()).c_str());
    return false;
}

// Makes window the foreground window and its thread's active one, and waits until that thread
// has taken the window-system events that came with the activation: keystrokes sent next
// reach it whole. False on time-out.
inline bool make_foreground(HWND window)
{
    return wait_until(
               [&] {
                   if (GetForegroundWindow() != window)
                       SetForegroundWindow(window);
                   GUITHREADINFO info = {};
                   info.cbSize = sizeof info;
                   return GetForegroundWindow() == window &&
                          GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) &&
                          info.hwndActive == window;
               },
               5000, 20) &&
           settle_window_events(window);
}

// Moves the focus in dialog `dlg` with key (Tab, or Ctrl+Tab when ctrl) and waits until it
// has moved: keystrokes are taken in order, so the ones before it have been handled too.
inline bool focus_moves(HWND dlg, bool ctrl = false)
{
    HWND before = focus_of(dlg);
    if (ctrl)
        chord({VK_CONTROL}, VK_TAB);
    else
        tap(VK_TAB);
    return wait_until([&] { return focus_of(dlg) != before; }, 5000);
}

// ---- the main window ----

inline bool wait_hidden(HWND window, DWORD timeoutMs = 5000)
{
    return wait_until([&] { return !IsWindowVisible(window); }, timeoutMs);
}

inline bool wait_gone(HWND window, DWORD timeoutMs = 5000)
{
    return wait_until([&] { return !IsWindow(window); }, timeoutMs);
}

// Starts tolvik and waits until its one-shot hide timer has put the collapsed window in the
// tray. The dialog manager shows the window once its loop first finds the queue empty (the
// process's first idle moment), before it takes another message; the timer hides it 100 ms
// later.
inline bool start_in_tray(App &app, const char *extraEnv = nullptr)
{
    if (!app_start_main(app, 15000, extraEnv))
        return false;
    const char *missing = WaitForInputIdle(app.pi.hProcess, 15000) != 0 ? "never idle"
                          : !sync(app.main)                             ? "its window does not answer"
                          : !wait_hidden(app.main)                      ? "its window never hid"
                                                                        : nullptr;
    if (missing) {
        std::printf("  start: Tolvik (process %lu) started, but %s\n", app.pi.dwProcessId, missing);
        std::fflush(stdout);
    }
    return !missing;
}

inline bool full_frame(HWND main)
{
    return (GetWindowLongA(main, GWL_STYLE) & WS_CAPTION) == WS_CAPTION;
}

// Brings the main window forward with the activate-instance message and waits until it is
// shown in full frame and in the foreground.
inline bool show_main(HWND main)
{
    PostMessageA(main, WM_ACTIVATEINSTANCE, 0, 0);
    return wait_until([&] { return IsWindowVisible(main) && full_frame(main) && GetForegroundWindow() == main; },
                      5000);
}

inline bool is_checked(HWND dlg, int id)
{
    return SendDlgItemMessageA(dlg, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

inline bool receiver_mode_shown(HWND main)
{
    return is_checked(main, IDC_RECEIVER) && !is_checked(main, IDC_SENDER);
}

// Opens a dialog with a command to the main window and waits for it (null on time-out).
inline HWND open_dialog(const App &app, int command, const char *title)
{
    post_command(app.main, command);
    return wait_dialog(app.pi.dwProcessId, title, 10000);
}

// Presses a dialog's button by its command and waits until the dialog is gone.
inline bool close_dialog(HWND dlg, int button)
{
    PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
    return wait_gone(dlg);
}

// ---- rectangles ----

// A control's window rectangle in its dialog's client coordinates.
inline RECT control_rect(HWND dlg, int id)
{
    RECT r = {};
    GetWindowRect(GetDlgItem(dlg, id), &r);
    MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT *>(&r), 2);
    return r;
}

inline SIZE client_size(HWND window)
{
    RECT r = {};
    GetClientRect(window, &r);
    return SIZE{r.right - r.left, r.bottom - r.top};
}

inline RECT window_rect(HWND window)
{
    RECT r = {};
    GetWindowRect(window, &r);
    return r;
}

inline std::string rect_text(const RECT &r)
{
    char text[80];
    std::snprintf(text, sizeof text, "(%ld,%ld)-(%ld,%ld)", static_cast<long>(r.left), static_cast<long>(r.top),
                  static_cast<long>(r.right), static_cast<long>(r.bottom));
    return text;
}

inline bool same_rect(const RECT &a, const RECT &b)
{
    return EqualRect(&a, &b) != FALSE;
}

inline POINT rect_centre(const RECT &r)
{
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

// Template 129 as the dialog manager lays it out: the same dialog created hidden in the
// driver from tolvik.exe's resources (its centre style places it as it places tolvik's).
struct MainTemplate {
    bool ok = false;
    RECT window = {};             // screen rectangle
    SIZE bitmapButtonClient = {}; // client size of button 1067 as the template makes it
};

inline MainTemplate main_template()
{
    MainTemplate t;
    HMODULE exe = LoadLibraryExA(g_tolvikExe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!exe)
        return t;
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
    HRSRC res = FindResourceA(exe, MAKEINTRESOURCEA(IDD_MAIN), reinterpret_cast<LPCSTR>(RT_DIALOG));
    HGLOBAL data = res ? LoadResource(exe, res) : nullptr;
    const void *tmpl = data ? LockResource(data) : nullptr;
    if (tmpl) {
        HWND dlg = CreateDialogIndirectParamA(
            GetModuleHandleA(nullptr), static_cast<const DLGTEMPLATE *>(tmpl), nullptr,
            [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0);
        if (dlg) {
            GetWindowRect(dlg, &t.window);
            t.bitmapButtonClient = client_size(GetDlgItem(dlg, IDC_HIST_DELETE));
            t.ok = true;
            DestroyWindow(dlg);
        }
    }
    FreeLibrary(exe);
    return t;
}

// ---- the tray ----

// The tray icon with the tip "Tolvik" (waits for it); false when it does not appear.
inline bool tolvik_tray_icon(TrayIcon &icon, DWORD timeoutMs = 5000)
{
    return wait_until(
        [&] {
            for (const TrayIcon &i : tray_icons())
                if (i.tip == "Tolvik")
                    return icon = i, true;
            return false;
        },
        timeoutMs, 50);
}

// ---- popup menus tolvik tracks (read by the probe) ----

struct MenuItem {
    int id;
    UINT state;
    std::string text;
};

// The popup menu tolvik is tracking now, without its separators.
inline std::vector<MenuItem> tracked_menu(HWND main)
{
    std::vector<MenuItem> items;
    for (const std::string &line : probe_run(main, kProbeTrackedMenu)) {
        size_t a = line.find('|'), b = line.find('|', a + 1);
        if (a == std::string::npos || b == std::string::npos || line.substr(b + 1) == "-")
            continue;
        items.push_back({std::atoi(line.c_str()), static_cast<UINT>(std::stoul(line.substr(a + 1, b - a - 1))),
                         line.substr(b + 1)});
    }
    return items;
}

// Waits for the popup menu a click or key opened, and returns its items.
inline std::vector<MenuItem> wait_tracked_menu(HWND main)
{
    std::vector<MenuItem> items;
    wait_until([&] { return !(items = tracked_menu(main)).empty(); }, 5000, 100);
    return items;
}

inline bool close_tracked_menu(HWND main)
{
    PostMessageA(main, WM_CANCELMODE, 0, 0);
    return wait_until([&] { return tracked_menu(main).empty(); }, 5000, 100);
}

// ---- combo boxes and list views of tolvik ----

// The entries of a combo box of another process (read as UTF-16: the ANSI form of
// CB_GETLBTEXT does not come back whole across processes under Wine).
inline std::vector<std::string> combo_entries(HWND box)
{
    std::vector<std::string> entries;
    int count = static_cast<int>(SendMessageA(box, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        WCHAR text[1100] = L"";
        if (SendMessageW(box, CB_GETLBTEXTLEN, i, 0) >= 1100)
            continue;
        SendMessageW(box, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        char ansi[2200] = "";
        WideCharToMultiByte(CP_ACP, 0, text, -1, ansi, sizeof ansi, nullptr, nullptr);
        entries.push_back(ansi);
    }
    return entries;
}

// Selects item alone and makes it the selection mark, as a click would.
inline bool lv_select(HWND list, int item)
{
    lv_set_state(list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    bool ok = lv_set_state(list, item, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    SendMessageA(list, LVM_SETSELECTIONMARK, 0, item);
    return ok;
}

inline bool wait_count(HWND list, int count, DWORD timeoutMs = 10000)
{
    return wait_until([&] { return lv_count(list) == count; }, timeoutMs);
}

// ---- messenger popups ----

// The text a messenger popup holds: header line, a blank line, then the message.
inline std::string messenger_text(const std::string &from, const std::string &to, const std::string &time,
                                  const std::string &message)
{
    return "Message from " + from + " to " + to + " on " + time + "\r\n\r\n" + message;
}

// Arguments for popup_prog.exe that show one popup with this header and message.
inline std::string popup_args(const std::string &from, const std::string &to, const std::string &time,
                              const std::string &message)
{
    auto quoted = [](const std::string &s) { return "\"" + s + "\""; };
    return "--from " + quoted(from) + " --to " + quoted(to) + " --time " + quoted(time) + " --text " +
           quoted(message);
}

inline bool popup_start(App &popup, const std::string &args)
{
    return app_start_program(popup, program_dir() + "popup_prog.exe", args);
}

// Top-level windows of process pid that have a title (the popups once initialised).
inline std::vector<HWND> titled_windows_of(DWORD pid)
{
    struct Data {
        DWORD pid;
        std::vector<HWND> found;
    } data = {pid, {}};
    EnumWindows(
        [](HWND hwnd, LPARAM lp) -> BOOL {
            Data *d = reinterpret_cast<Data *>(lp);
            DWORD owner = 0;
            GetWindowThreadProcessId(hwnd, &owner);
            if (owner == d->pid && IsWindowVisible(hwnd) && GetWindowTextLengthA(hwnd) > 0)
                d->found.push_back(hwnd);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&data));
    return data.found;
}

// Waits until the popup process shows `count` titled windows; returns the first found.
inline HWND wait_popups(const App &popup, size_t count = 1, DWORD timeoutMs = 10000)
{
    HWND first = nullptr;
    wait_until(
        [&] {
            std::vector<HWND> w = titled_windows_of(popup.pi.dwProcessId);
            first = w.empty() ? nullptr : w.front();
            return w.size() >= count;
        },
        timeoutMs);
    return first;
}

// A popup process ends with 0 once every popup it showed was closed.
inline bool popup_closed(App &popup, DWORD timeoutMs = 10000)
{
    return app_wait_exit(popup, timeoutMs) == 0;
}

// ---- the stores ----

inline bool reg_set_text(const char *subkey, const char *name, const std::string &text)
{
    return reg_set_raw(subkey, name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

// Writes the Messages key as the program stores it: 000000000.. REG_SZ with the zero.
inline bool store_prefill(const std::vector<std::string> &texts)
{
    bool ok = true;
    for (size_t i = 0; i < texts.size(); ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "%09u", static_cast<unsigned>(i));
        ok = reg_set_text("Messages", name, texts[i]) && ok;
    }
    return ok;
}

// The stored texts in enumeration order, each with a flag telling whether it was a REG_SZ
// whose data ended with exactly one terminating zero.
struct StoredValue {
    std::string name, text;
    bool sz_with_zero;
};
inline std::vector<StoredValue> store_values()
{
    std::vector<StoredValue> values;
    for (const std::string &name : reg_value_names("Messages")) {
        DWORD type = 0;
        std::string data;
        if (!reg_get("Messages", name.c_str(), type, data))
            continue;
        bool zero = type == REG_SZ && !data.empty() && data.back() == '\0';
        std::string text = zero ? data.substr(0, data.size() - 1) : data;
        values.push_back({name, text, zero && text.find('\0') == std::string::npos});
    }
    return values;
}

// ---- a receiving Tolvik ----

// Quiet settings for receiving (no beep, the window stays hidden, nothing opens) with
// `settings` over them, and the message store holding `stored`; start() starts Tolvik and
// waits until it is in the tray. Values written between the two are there at the start.
struct Receiver {
    App app;
    HWND list = nullptr;

    explicit Receiver(std::initializer_list<std::pair<const char *, DWORD>> settings = {},
                      const std::vector<std::string> &stored = {})
    {
        reg_reset();
        for (auto s : {std::pair<const char *, DWORD>{"BeepOnMessage", 0}, {"PopupOnMessage", 0},
                       {"InternalMessage", 0}})
            reg_set_dword(nullptr, s.first, s.second);
        for (const auto &s : settings)
            reg_set_dword(nullptr, s.first, s.second);
        store_prefill(stored);
    }
    bool start()
    {
        if (!start_in_tray(app))
            return false;
        list = GetDlgItem(app.main, IDC_INCOMING);
        return true;
    }
};

#endif
