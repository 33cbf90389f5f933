// shell_helpers.h - driver helpers shared by the shell, keys and layout suites: real
// keystrokes, showing the main window, focus and rectangles of another process's controls,
// and the stored incoming messages.
#ifndef TOLVIK_E2E_SHELL_HELPERS_H
#define TOLVIK_E2E_SHELL_HELPERS_H

#include "app/ids.h"
#include "tests/e2e/check.h"
#include "tests/e2e/harness.h"
#include "tests/e2e/probe.h"

#include <windows.h>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <vector>

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

// Presses the modifiers in order, taps key, releases the modifiers in reverse order.
inline void chord(std::initializer_list<WORD> mods, WORD key)
{
    for (WORD m : mods)
        key_event(m, false);
    // The modifiers must be down in the input state before the key follows.
    for (WORD m : mods)
        wait_until([m] { return (GetAsyncKeyState(m) & 0x8000) != 0; }, 1000, 5);
    Sleep(30);
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
        WORD vk = (c >= 'a' && c <= 'z') ? static_cast<WORD>(c - 'a' + 'A') : static_cast<WORD>(c);
        tap(vk);
    }
}

// Lets the target's thread take the keystrokes already queued: a message sent to its window
// returns only after the thread has come back to its message loop.
inline void settle(HWND window, DWORD ms = 150)
{
    DWORD_PTR result;
    SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &result);
    Sleep(ms);
    SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &result);
}

// Makes window the foreground window and waits until its thread has taken the activation:
// the focus is inside window, or (when no control of it can hold the focus, a disabled one
// having lost it) window has stayed the thread's active window for a while. Keystrokes sent
// next then reach it. False on time-out.
inline bool make_foreground(HWND window)
{
    DWORD activeSince = 0;
    bool ok = wait_until(
        [&] {
            if (GetForegroundWindow() != window)
                SetForegroundWindow(window);
            GUITHREADINFO info = {};
            info.cbSize = sizeof info;
            if (GetForegroundWindow() != window ||
                !GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) || info.hwndActive != window) {
                activeSince = 0;
                return false;
            }
            if (info.hwndFocus && (info.hwndFocus == window || IsChild(window, info.hwndFocus)))
                return true;
            if (!activeSince)
                activeSince = GetTickCount();
            return GetTickCount() - activeSince >= 300;
        },
        5000, 20);
    Sleep(50);
    return ok;
}

// ---- the main window ----

inline bool full_frame(HWND main)
{
    return (GetWindowLongA(main, GWL_STYLE) & WS_CAPTION) == WS_CAPTION;
}

inline bool wait_hidden(HWND window, DWORD timeoutMs = 3000)
{
    return wait_until([&] { return !IsWindowVisible(window); }, timeoutMs);
}

// Starts tolvik and waits until the hide timer has hidden its collapsed window. The dialog
// manager shows the collapsed window once its loop runs, and the first tick of the hide
// timer about 100 ms later hides it whatever its state: showing it before that tick races
// with the timer. The shown moment is short, so it is polled for closely.
inline bool start_hidden(App &app, const char *extraEnv = nullptr)
{
    if (!app_start_main(app, 15000, extraEnv))
        return false;
    wait_until([&] { return IsWindowVisible(app.main) != FALSE; }, 3000, 2);
    return wait_hidden(app.main, 5000);
}

// Brings the main window forward with the activate-instance message and waits until it is
// shown in full frame and in the foreground.
inline bool show_main(HWND main)
{
    PostMessageA(main, WM_ACTIVATEINSTANCE, 0, 0);
    return wait_until([&] { return IsWindowVisible(main) && full_frame(main) && GetForegroundWindow() == main; },
                      5000);
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
inline bool wait_focus_in(HWND control, DWORD timeoutMs = 3000)
{
    if (wait_until([&] { return focus_in(control); }, timeoutMs))
        return true;
    std::printf("  focus is on %s, foreground %s\n", window_desc(focus_of(control)).c_str(),
                window_desc(GetForegroundWindow()).c_str());
    return false;
}

inline bool is_checked(HWND dlg, int id)
{
    return SendDlgItemMessageA(dlg, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

inline bool receiver_mode_shown(HWND main)
{
    return is_checked(main, IDC_RECEIVER) && !is_checked(main, IDC_SENDER);
}

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
    RECT window = {};            // screen rectangle
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

// ---- mouse input ----

inline void mouse_move_to(POINT p)
{
    INPUT in = {};
    in.type = INPUT_MOUSE;
    in.mi.dx = static_cast<LONG>(p.x * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1));
    in.mi.dy = static_cast<LONG>(p.y * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1));
    in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &in, sizeof in);
    SetCursorPos(p.x, p.y);
    Sleep(50);
}

inline void mouse_left(bool up)
{
    INPUT in = {};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = up ? MOUSEEVENTF_LEFTUP : MOUSEEVENTF_LEFTDOWN;
    SendInput(1, &in, sizeof in);
    Sleep(50);
}

// The centre of a control in screen coordinates.
inline POINT control_centre(HWND dlg, int id)
{
    return rect_centre(window_rect(GetDlgItem(dlg, id)));
}

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

inline bool close_tracked_menu(HWND main)
{
    PostMessageA(main, WM_CANCELMODE, 0, 0);
    return wait_until([&] { return tracked_menu(main).empty(); }, 5000, 100);
}

// ---- stored incoming messages (loaded at start while KeepIncoming is on) ----

inline std::string full_message(const char *from, const char *to, const char *time, const char *body)
{
    return std::string("Message from ") + from + " to " + to + " on " + time + "\r\n\r\n" + body;
}

// Writes the Messages key with one value per text, named 000000000, 000000001, ...
inline bool store_messages(const std::vector<std::string> &texts)
{
    bool ok = true;
    for (size_t i = 0; i < texts.size(); ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "%09u", static_cast<unsigned>(i));
        ok = reg_set_raw("Messages", name, REG_SZ, texts[i].c_str(), static_cast<DWORD>(texts[i].size() + 1)) && ok;
    }
    return ok;
}

inline bool reg_set_text(const char *subkey, const char *name, const std::string &text)
{
    return reg_set_raw(subkey, name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

// Selects item index of a list view in another process and makes it the selection mark.
inline bool lv_select(HWND list, int index)
{
    bool ok = lv_set_state(list, index, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    SendMessageA(list, LVM_SETSELECTIONMARK, 0, index);
    return ok;
}

inline bool wait_gone(HWND window, DWORD timeoutMs = 5000)
{
    return wait_until([&] { return !IsWindow(window); }, timeoutMs);
}

#endif
