// receive_helpers.h - driver helpers shared by the receiving-side suites (capture, view,
// incoming): the popup producer, messenger texts, the message store, focus and tray pixels.
#ifndef TOLVIK_E2E_RECEIVE_HELPERS_H
#define TOLVIK_E2E_RECEIVE_HELPERS_H

#include "app/ids.h"
#include "tests/e2e/harness.h"

#include <cstdio>
#include <string>
#include <vector>

// Ends every program the case started while the case's App records still exist (the driver's
// own clean-up runs after they went out of scope). Declare it after the App variables.
struct EndStarted {
    EndStarted() = default;
    EndStarted(const EndStarted &) = delete;
    EndStarted &operator=(const EndStarted &) = delete;
    ~EndStarted() { harness_after_case(); }
};

// The text a messenger popup holds: header line, a blank line, then the message.
inline std::string messenger_text(const std::string &from, const std::string &to, const std::string &time,
                                  const std::string &message)
{
    return "Message from " + from + " to " + to + " on " + time + "\r\n\r\n" + message;
}

inline std::string quoted(const std::string &s)
{
    return "\"" + s + "\"";
}

// Arguments for popup_prog.exe that show one popup with this header and message.
inline std::string popup_args(const std::string &from, const std::string &to, const std::string &time,
                              const std::string &message)
{
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

inline bool wait_count(HWND list, int count, DWORD timeoutMs = 10000)
{
    return wait_until([&] { return lv_count(list) == count; }, timeoutMs);
}

// Waits until the start-up hide timer has put the window in the tray. Right after the collapse
// the window is not shown yet (its style was cleared): the dialog manager shows it, and the
// hide timer hides it 100 ms later; a test that acts before that would race the timer.
inline bool wait_in_tray(const App &app)
{
    wait_until([&] { return IsWindowVisible(app.main) != FALSE; }, 500, 5);
    return wait_until([&] { return !IsWindowVisible(app.main); }, 5000);
}

// Settings for a quiet receiving test: no beep, the window stays hidden, nothing opens.
inline void receive_settings_reset()
{
    reg_reset();
    reg_set_dword(nullptr, "BeepOnMessage", 0);
    reg_set_dword(nullptr, "PopupOnMessage", 0);
    reg_set_dword(nullptr, "InternalMessage", 0);
}

// Writes the Messages key as the program stores it: 000000000.. REG_SZ with the zero.
inline bool store_prefill(const std::vector<std::string> &texts)
{
    bool ok = true;
    for (size_t i = 0; i < texts.size(); ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "%09u", static_cast<unsigned>(i));
        ok = reg_set_raw("Messages", name, REG_SZ, texts[i].c_str(), static_cast<DWORD>(texts[i].size() + 1)) && ok;
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

// The window that has the keyboard focus in the thread that owns `window`.
inline HWND keyboard_focus_of(HWND window)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info))
        return nullptr;
    return info.hwndFocus;
}

// Selects item alone and makes it the selection mark, as a click would.
inline void lv_select_mark(HWND list, int item)
{
    lv_set_state(list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    lv_set_state(list, item, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    SendMessageA(list, LVM_SETSELECTIONMARK, 0, item);
}

// The pixels of the screen inside r (row by row), empty on failure.
inline std::vector<COLORREF> screen_pixels(const RECT &r)
{
    std::vector<COLORREF> pixels;
    int w = r.right - r.left, h = r.bottom - r.top;
    if (w <= 0 || h <= 0)
        return pixels;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void *bits = nullptr;
    HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (dib) {
        HGDIOBJ old = SelectObject(mem, dib);
        if (BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY)) {
            GdiFlush();
            const COLORREF *p = static_cast<const COLORREF *>(bits);
            pixels.assign(p, p + static_cast<size_t>(w) * h);
        }
        SelectObject(mem, old);
        DeleteObject(dib);
    }
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    return pixels;
}

// The screen rectangle of the tray icon whose tip is `tip`; false when there is none.
inline bool tray_icon_rect(const char *tip, RECT &rect)
{
    for (const TrayIcon &icon : tray_icons())
        if (icon.tip == tip) {
            rect = icon.screen;
            return true;
        }
    return false;
}

#endif
