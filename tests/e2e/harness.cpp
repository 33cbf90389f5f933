// harness.cpp - process, window, list-view, registry and screenshot helpers for the driver.
#include "tests/e2e/harness.h"

#include "base/ids.h"
#include "tests/e2e/check.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

std::string g_tolvikExe;
const char kTolvikKey[] = "Software\\Morvane\\Tolvik";

// Processes started by the current case. The case's App objects are gone by the time they
// are ended, so copies of the handles are kept here.
struct Started {
    PROCESS_INFORMATION pi;
    bool tolvik;  // a tolvik.exe: it is to exit cleanly at the case's end
    bool settled; // the case waited for its end (or ended it) itself
};
static std::vector<Started> s_started;

static Started *started(const App &app)
{
    for (Started &s : s_started)
        if (app.pi.hProcess && s.pi.dwProcessId == app.pi.dwProcessId)
            return &s;
    return nullptr;
}

bool App::running() const
{
    return pi.hProcess && WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT;
}

// The driver's environment with NAME=VALUE entries (separated by '\n') set or replaced.
static std::string environment_with(const char *extraEnv)
{
    std::vector<std::string> vars;
    char *block = GetEnvironmentStringsA();
    for (const char *p = block; *p; p += std::strlen(p) + 1)
        vars.emplace_back(p);
    FreeEnvironmentStringsA(block);
    std::string extra = extraEnv;
    size_t start = 0;
    while (start < extra.size()) {
        size_t end = extra.find('\n', start);
        std::string entry = extra.substr(start, end == std::string::npos ? std::string::npos : end - start);
        start = end == std::string::npos ? extra.size() : end + 1;
        std::string name = entry.substr(0, entry.find('=') + 1);
        for (auto it = vars.begin(); it != vars.end();)
            it = (_strnicmp(it->c_str(), name.c_str(), name.size()) == 0) ? vars.erase(it) : it + 1;
        vars.push_back(entry);
    }
    std::string out;
    for (const std::string &v : vars)
        out += v + '\0';
    return out + '\0';
}

bool app_start_program(App &app, const std::string &exe, const std::string &args, const char *extraEnv)
{
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    std::string cmd = "\"" + exe + "\"" + (args.empty() ? "" : " " + args);
    std::unique_ptr<char[]> line(new char[cmd.size() + 1]);
    std::memcpy(line.get(), cmd.c_str(), cmd.size() + 1);
    std::string env = extraEnv ? environment_with(extraEnv) : std::string();
    if (!CreateProcessA(exe.c_str(), line.get(), nullptr, nullptr, FALSE, 0,
                        extraEnv ? const_cast<char *>(env.data()) : nullptr, nullptr, &si, &app.pi)) {
        std::printf("  start: CreateProcess of %s failed with error %lu\n", exe.c_str(), GetLastError());
        std::fflush(stdout);
        return false;
    }
    s_started.push_back({app.pi, exe == g_tolvikExe, false});
    return true;
}

bool app_start(App &app, const char *extraEnv)
{
    return app_start_program(app, g_tolvikExe, std::string(), extraEnv);
}

std::string program_dir()
{
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    char *slash = std::strrchr(path, '\\');
    if (slash)
        slash[1] = '\0';
    return path;
}

bool app_start_main(App &app, DWORD timeoutMs, const char *extraEnv)
{
    if (!app_start(app, extraEnv))
        return false;
    const char *missing = nullptr;
    if (!wait_until([&] { return (app.main = find_main_window(app.pi.dwProcessId)) != nullptr; }, timeoutMs))
        missing = "no main window";
    // The initialisation ends by collapsing the window to a tool window; wait for that.
    else if (!wait_until([&] { return (GetWindowLongA(app.main, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) != 0; }, timeoutMs))
        missing = "the main window never collapsed";
    if (!missing)
        return true;
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(app.pi.hProcess, &code);
    std::printf("  start: %s after %lu ms (process %lu, %s %lu)\n", missing, timeoutMs, app.pi.dwProcessId,
                code == STILL_ACTIVE ? "running, code" : "ended with", code);
    std::fflush(stdout);
    return false;
}

long app_wait_exit(App &app, DWORD timeoutMs)
{
    if (Started *s = started(app))
        s->settled = true;
    if (!app.pi.hProcess || WaitForSingleObject(app.pi.hProcess, timeoutMs) != WAIT_OBJECT_0)
        return -1;
    DWORD code = 0;
    GetExitCodeProcess(app.pi.hProcess, &code);
    return static_cast<long>(code);
}

long app_exit(App &app, DWORD timeoutMs)
{
    if (app.main)
        PostMessageA(app.main, WM_COMMAND, MAKEWPARAM(IDM_EXIT, 0), 0);
    return app_wait_exit(app, timeoutMs);
}

bool app_kill(App &app)
{
    if (Started *s = started(app))
        s->settled = true;
    return app.pi.hProcess && TerminateProcess(app.pi.hProcess, 0) &&
           WaitForSingleObject(app.pi.hProcess, 10000) == WAIT_OBJECT_0;
}

void harness_before_case()
{
    reg_reset();
}

// The end of a case's Tolvik that the case left to the fixture: Exit, and the process ends
// with 0. Skipped once the case has failed: the failure is told already, and what it left
// behind (an open dialog, a window that never came up) need not exit cleanly.
static void exit_cleanly(const Started &s)
{
    if (case_failed())
        return;
    if (HWND main = find_main_window(s.pi.dwProcessId))
        PostMessageA(main, WM_COMMAND, MAKEWPARAM(IDM_EXIT, 0), 0);
    DWORD code = 0;
    if (!CHECK_MSG(WaitForSingleObject(s.pi.hProcess, 10000) == WAIT_OBJECT_0,
                   "Tolvik (process %lu) still runs 10 s after the Exit at the case's end", s.pi.dwProcessId))
        return;
    GetExitCodeProcess(s.pi.hProcess, &code);
    CHECK_MSG(code == 0, "Tolvik (process %lu) ended with %lu at the case's end, want 0", s.pi.dwProcessId, code);
}

void harness_after_case()
{
    for (const Started &s : s_started)
        if (s.tolvik && !s.settled)
            exit_cleanly(s);
    std::vector<DWORD> ended;
    for (const Started &s : s_started) {
        const PROCESS_INFORMATION &pi = s.pi;
        if (WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(pi.hProcess, 99);
            WaitForSingleObject(pi.hProcess, 5000);
        }
        ended.push_back(pi.dwProcessId);
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
    }
    s_started.clear();
    // Windows of a terminated process may linger a moment: the next case starts without them.
    wait_until(
        [&] {
            auto owned = [](HWND hwnd, LPARAM lp) -> BOOL {
                const std::vector<DWORD> &pids = *reinterpret_cast<const std::vector<DWORD> *>(lp);
                DWORD pid = 0;
                GetWindowThreadProcessId(hwnd, &pid);
                return std::find(pids.begin(), pids.end(), pid) == pids.end();
            };
            return EnumWindows(owned, reinterpret_cast<LPARAM>(&ended)) != FALSE;
        },
        5000);
}

struct FindData {
    DWORD pid;
    const char *title;
    HWND exclude;
    bool needMainFrame;
    HWND found;
};

static bool is_dialog_class(HWND hwnd)
{
    char cls[64] = "";
    GetClassNameA(hwnd, cls, sizeof cls);
    return std::strcmp(cls, "#32770") == 0;
}

static BOOL CALLBACK find_proc(HWND hwnd, LPARAM lp)
{
    FindData *d = reinterpret_cast<FindData *>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != d->pid || hwnd == d->exclude || !is_dialog_class(hwnd))
        return TRUE;
    bool mainFrame = GetDlgItem(hwnd, 1003) && GetDlgItem(hwnd, 1023) && GetDlgItem(hwnd, 1012);
    if (d->needMainFrame != mainFrame)
        return TRUE;
    if (d->title && text_of(hwnd) != d->title)
        return TRUE;
    d->found = hwnd;
    return FALSE;
}

HWND find_main_window(DWORD pid)
{
    FindData d = {pid, nullptr, nullptr, true, nullptr};
    EnumWindows(find_proc, reinterpret_cast<LPARAM>(&d));
    return d.found;
}

HWND wait_dialog(DWORD pid, const char *title, DWORD timeoutMs, HWND exclude)
{
    HWND found = nullptr;
    wait_until(
        [&] {
            FindData d = {pid, title, exclude, false, nullptr};
            EnumWindows(find_proc, reinterpret_cast<LPARAM>(&d));
            // A message box exists a moment before its caption and text are set.
            found = d.found;
            return found && !text_of(found).empty() &&
                   (!GetDlgItem(found, 0xFFFF) || !msgbox_text(found).empty());
        },
        timeoutMs);
    return found;
}

std::string msgbox_text(HWND box)
{
    return text_of(GetDlgItem(box, 0xFFFF));
}

bool wait_until(const std::function<bool()> &cond, DWORD timeoutMs, DWORD stepMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (cond())
            return true;
        if (GetTickCount() - start >= timeoutMs)
            return false;
        Sleep(stepMs);
    }
}

std::string text_of(HWND hwnd)
{
    if (!hwnd)
        return std::string();
    char buffer[4096] = "";
    // WM_GETTEXT works across processes for every window class.
    SendMessageTimeoutA(hwnd, WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG, 5000,
                        nullptr);
    return buffer;
}

std::string item_text(HWND dlg, int id)
{
    return text_of(GetDlgItem(dlg, id));
}

bool enabled(HWND dlg, int id)
{
    return IsWindowEnabled(GetDlgItem(dlg, id)) != FALSE;
}

void post_command(HWND hwnd, int id, int code, HWND control)
{
    PostMessageA(hwnd, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(control));
}

void send_command(HWND hwnd, int id, int code, HWND control)
{
    SendMessageA(hwnd, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(control));
}

// Memory in another process for list-view messages that carry pointers.
class RemoteBuffer {
public:
    RemoteBuffer(HWND window, size_t size) : size_(size)
    {
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
        if (process_)
            address_ = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    }
    ~RemoteBuffer()
    {
        if (address_)
            VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
        if (process_)
            CloseHandle(process_);
    }
    RemoteBuffer(const RemoteBuffer &) = delete;
    RemoteBuffer &operator=(const RemoteBuffer &) = delete;
    bool ok() const { return address_ != nullptr; }
    char *at(size_t offset) const { return static_cast<char *>(address_) + offset; }
    bool write(size_t offset, const void *data, size_t n) const
    {
        return offset + n <= size_ && WriteProcessMemory(process_, at(offset), data, n, nullptr);
    }
    bool read(size_t offset, void *data, size_t n) const
    {
        return offset + n <= size_ && ReadProcessMemory(process_, at(offset), data, n, nullptr);
    }

private:
    HANDLE process_ = nullptr;
    void *address_ = nullptr;
    size_t size_;
};

int lv_count(HWND list)
{
    return static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
}

static bool lv_get(HWND list, LVITEMA &item, std::string *text)
{
    const size_t textOffset = 512, textSize = 4096;
    RemoteBuffer remote(list, textOffset + textSize);
    if (!remote.ok())
        return false;
    item.pszText = remote.at(textOffset);
    item.cchTextMax = static_cast<int>(textSize);
    if (!remote.write(0, &item, sizeof item))
        return false;
    if (!SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(remote.at(0))))
        return false;
    remote.read(0, &item, sizeof item);
    if (text) {
        std::unique_ptr<char[]> buffer(new char[textSize]);
        remote.read(textOffset, buffer.get(), textSize);
        buffer[textSize - 1] = '\0';
        *text = buffer.get();
    }
    return true;
}

std::string lv_text(HWND list, int index, int sub)
{
    LVITEMA item = {};
    item.mask = LVIF_TEXT;
    item.iItem = index;
    item.iSubItem = sub;
    std::string text;
    lv_get(list, item, &text);
    return text;
}

int lv_image(HWND list, int index)
{
    LVITEMA item = {};
    item.mask = LVIF_IMAGE;
    item.iItem = index;
    return lv_get(list, item, nullptr) ? item.iImage : -1;
}

UINT lv_state(HWND list, int index, UINT mask)
{
    return static_cast<UINT>(SendMessageA(list, LVM_GETITEMSTATE, index, mask));
}

bool lv_set_state(HWND list, int index, UINT state, UINT mask)
{
    RemoteBuffer remote(list, sizeof(LVITEMA));
    LVITEMA item = {};
    item.state = state;
    item.stateMask = mask;
    return remote.ok() && remote.write(0, &item, sizeof item) &&
           SendMessageA(list, LVM_SETITEMSTATE, index, reinterpret_cast<LPARAM>(remote.at(0)));
}

bool lv_column(HWND list, int index, std::string &caption, int &width)
{
    const size_t textOffset = 256, textSize = 256;
    RemoteBuffer remote(list, textOffset + textSize);
    LVCOLUMNA column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = remote.at(textOffset);
    column.cchTextMax = static_cast<int>(textSize);
    if (!remote.ok() || !remote.write(0, &column, sizeof column) ||
        !SendMessageA(list, LVM_GETCOLUMNA, index, reinterpret_cast<LPARAM>(remote.at(0))))
        return false;
    remote.read(0, &column, sizeof column);
    char buffer[textSize] = "";
    remote.read(textOffset, buffer, textSize);
    buffer[textSize - 1] = '\0';
    caption = buffer;
    width = column.cx;
    return true;
}

std::vector<TrayIcon> tray_icons()
{
    std::vector<TrayIcon> icons;
    HWND tray = FindWindowA("Shell_TrayWnd", nullptr);
    if (!tray)
        return icons;
    DWORD trayPid = 0;
    GetWindowThreadProcessId(tray, &trayPid);
    HWND tip = nullptr;
    while ((tip = FindWindowExA(nullptr, tip, TOOLTIPS_CLASSA, nullptr))) {
        DWORD pid = 0;
        GetWindowThreadProcessId(tip, &pid);
        if (pid != trayPid)
            continue;
        int count = static_cast<int>(SendMessageA(tip, TTM_GETTOOLCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            const size_t textOffset = 512, textChars = 256;
            RemoteBuffer remote(tip, textOffset + textChars * sizeof(WCHAR));
            TTTOOLINFOW info = {};
            info.cbSize = sizeof info;
            info.lpszText = reinterpret_cast<WCHAR *>(remote.at(textOffset));
            WCHAR zero = 0;
            if (!remote.ok() || !remote.write(0, &info, sizeof info) || !remote.write(textOffset, &zero, sizeof zero) ||
                !SendMessageA(tip, TTM_ENUMTOOLSW, i, reinterpret_cast<LPARAM>(remote.at(0))))
                continue;
            remote.read(0, &info, sizeof info);
            WCHAR text[textChars] = {};
            remote.read(textOffset, text, sizeof text - sizeof(WCHAR));
            char ansi[textChars * 2] = "";
            WideCharToMultiByte(CP_ACP, 0, text, -1, ansi, sizeof ansi, nullptr, nullptr);
            RECT r = info.rect;
            if (IsRectEmpty(&r)) // a removed icon keeps its tool with an empty rectangle
                continue;
            MapWindowPoints(info.hwnd, nullptr, reinterpret_cast<POINT *>(&r), 2);
            icons.push_back({ansi, r});
        }
    }
    return icons;
}

bool tray_has(const char *tip)
{
    for (const TrayIcon &icon : tray_icons())
        if (icon.tip == tip)
            return true;
    return false;
}

void mouse_click(POINT p, bool right, bool doubleClick)
{
    INPUT move = {};
    move.type = INPUT_MOUSE;
    move.mi.dx = static_cast<LONG>(p.x * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1));
    move.mi.dy = static_cast<LONG>(p.y * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1));
    move.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &move, sizeof move);
    SetCursorPos(p.x, p.y);
    Sleep(150);
    // Each button event carries the point too: a pointer event that reaches its window's thread
    // late (one brought by a window appearing under the old pointer position) can still move
    // the cursor back, and a click without a position would land there.
    INPUT in[2] = {move, move};
    in[0].mi.dwFlags |= right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN;
    in[1].mi.dwFlags |= right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP;
    for (int n = 0; n < (doubleClick ? 2 : 1); ++n) {
        SendInput(2, in, sizeof(INPUT));
        Sleep(30);
    }
}

static std::string key_path(const char *subkey)
{
    return subkey && *subkey ? std::string(kTolvikKey) + "\\" + subkey : std::string(kTolvikKey);
}

void reg_reset()
{
    RegDeleteTreeA(HKEY_CURRENT_USER, kTolvikKey);
}

bool reg_get(const char *subkey, const char *name, DWORD &type, std::string &data)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key_path(subkey).c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    DWORD size = 0;
    LONG rc = RegQueryValueExA(key, name, nullptr, &type, nullptr, &size);
    if (rc == ERROR_SUCCESS) {
        data.assign(size, '\0');
        rc = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE *>(&data[0]), &size);
        data.resize(size);
    }
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

bool reg_set_raw(const char *subkey, const char *name, DWORD type, const void *data, DWORD size)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, key_path(subkey).c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return false;
    LONG rc = RegSetValueExA(key, name, 0, type, static_cast<const BYTE *>(data), size);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

bool reg_set_dword(const char *subkey, const char *name, DWORD value)
{
    return reg_set_raw(subkey, name, REG_DWORD, &value, sizeof value);
}

bool reg_key_exists(const char *subkey)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key_path(subkey).c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

std::vector<std::string> reg_value_names(const char *subkey)
{
    std::vector<std::string> names;
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key_path(subkey).c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return names;
    for (DWORD i = 0;; ++i) {
        char name[16384];
        DWORD size = sizeof name;
        LONG rc = RegEnumValueA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS)
            break;
        if (rc == ERROR_SUCCESS)
            names.emplace_back(name, size);
    }
    RegCloseKey(key);
    return names;
}

bool network_provider_enable(bool on)
{
    const char *orderKey = "System\\CurrentControlSet\\Control\\NetworkProvider\\Order";
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, orderKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    LONG rc = on ? RegSetValueExA(key, "ProviderOrder", 0, REG_SZ, reinterpret_cast<const BYTE *>("TolvikNP"), 9)
                 : RegDeleteValueA(key, "ProviderOrder");
    RegCloseKey(key);
    return rc == ERROR_SUCCESS || (!on && rc == ERROR_FILE_NOT_FOUND);
}

bool save_screenshot(const char *path)
{
    int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    BITMAPINFOHEADER bih = {};
    bih.biSize = sizeof bih;
    bih.biWidth = w;
    bih.biHeight = h;
    bih.biPlanes = 1;
    bih.biBitCount = 24;
    bih.biCompression = BI_RGB;
    void *bits = nullptr;
    HBITMAP dib = CreateDIBSection(screen, reinterpret_cast<BITMAPINFO *>(&bih), DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = false;
    if (dib) {
        HGDIOBJ old = SelectObject(mem, dib);
        BitBlt(mem, 0, 0, w, h, screen, 0, 0, SRCCOPY);
        SelectObject(mem, old);
        DWORD stride = ((w * 3) + 3) & ~3u, imageSize = stride * h;
        BITMAPFILEHEADER bfh = {};
        bfh.bfType = 0x4D42;
        bfh.bfOffBits = sizeof bfh + sizeof bih;
        bfh.bfSize = bfh.bfOffBits + imageSize;
        if (FILE *f = std::fopen(path, "wb")) {
            ok = std::fwrite(&bfh, sizeof bfh, 1, f) == 1 && std::fwrite(&bih, sizeof bih, 1, f) == 1 &&
                 std::fwrite(bits, imageSize, 1, f) == 1;
            std::fclose(f);
        }
        DeleteObject(dib);
    }
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    return ok;
}

bool netapi_double_enable(bool on)
{
    const char *path = "Software\\Wine\\AppDefaults\\tolvik.exe\\DllOverrides";
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    static const char value[] = "native,builtin";
    LONG rc = on ? RegSetValueExA(key, "netapi32", 0, REG_SZ, reinterpret_cast<const BYTE *>(value), sizeof value)
                 : RegDeleteValueA(key, "netapi32");
    RegCloseKey(key);
    return rc == ERROR_SUCCESS || (!on && rc == ERROR_FILE_NOT_FOUND);
}
