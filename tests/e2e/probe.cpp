// probe.cpp - a hook DLL the test driver installs on tolvik.exe's window thread. Menus and
// tooltips cannot be read from another process under Wine; this probe reads them in
// process when it sees the registered probe message (sent, or posted and taken by the
// thread's message loop), and writes lines of text into the driver's shared memory
// "TolvikE2EProbe":
//   menu items:  "<id>|<MF state>|<text or ->"
//   tools:       "<control id>|<left>,<top>,<right>,<bottom>|<text>"
//   settle:      "settled" once the thread has taken its window-system events
#include "tests/e2e/probe.h"

#include <windows.h>
#include <commctrl.h>
#include <string>

static void append_menu(std::string &out, HMENU menu)
{
    int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        char text[256] = "";
        MENUITEMINFOA info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_STRING | MIIM_ID | MIIM_STATE;
        info.dwTypeData = text;
        info.cch = sizeof text;
        GetMenuItemInfoA(menu, i, TRUE, &info);
        out += std::to_string(info.wID) + "|" + std::to_string(info.fState) + "|" +
               ((info.fType & MFT_SEPARATOR) ? std::string("-") : std::string(text)) + "\n";
    }
}

struct Found {
    DWORD pid;
    const char *cls;
    HWND hwnd;
};

static BOOL CALLBACK find_class(HWND hwnd, LPARAM lp)
{
    Found *f = reinterpret_cast<Found *>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    char cls[64] = "";
    GetClassNameA(hwnd, cls, sizeof cls);
    if (pid == f->pid && lstrcmpiA(cls, f->cls) == 0 && IsWindowVisible(hwnd)) {
        f->hwnd = hwnd;
        return FALSE;
    }
    return TRUE;
}

static HWND find_own_window(const char *cls, bool visibleOnly)
{
    Found f = {GetCurrentProcessId(), cls, nullptr};
    if (visibleOnly) {
        EnumWindows(find_class, reinterpret_cast<LPARAM>(&f));
        return f.hwnd;
    }
    HWND hwnd = nullptr;
    while ((hwnd = FindWindowExA(nullptr, hwnd, cls, nullptr))) {
        DWORD pid = 0;
        GetWindowThreadProcessId(hwnd, &pid);
        if (pid == f.pid)
            return hwnd;
    }
    return nullptr;
}

static void append_tools(std::string &out)
{
    HWND tip = find_own_window(TOOLTIPS_CLASSA, false);
    if (!tip)
        return;
    int count = static_cast<int>(SendMessageA(tip, TTM_GETTOOLCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        char text[256] = "";
        TOOLINFOA info = {};
        info.cbSize = sizeof info;
        info.lpszText = text;
        if (!SendMessageA(tip, TTM_ENUMTOOLSA, i, reinterpret_cast<LPARAM>(&info)))
            continue;
        const RECT &r = info.rect;
        out += std::to_string(GetDlgCtrlID(info.hwnd)) + "|" + std::to_string(r.left) + "," + std::to_string(r.top) +
               "," + std::to_string(r.right) + "," + std::to_string(r.bottom) + "|" + text + "|" +
               std::to_string(info.uFlags) + "\n";
    }
}

static void run(UINT op, HWND target)
{
    std::string out;
    switch (op) {
    case kProbeSystemMenu: append_menu(out, GetSystemMenu(target, FALSE)); break;
    case kProbeTrackedMenu: {
        HWND popup = find_own_window("#32768", true);
        if (popup)
            append_menu(out, reinterpret_cast<HMENU>(SendMessageA(popup, MN_GETHMENU, 0, 0)));
        break;
    }
    case kProbeTools: append_tools(out); break;
    case kProbeSettle: {
        // Waiting takes the X events this thread has; it ends once none has come for 50 ms.
        // Timers are left out: the program's own would never let it end.
        DWORD start = GetTickCount();
        while (GetTickCount() - start < 2000 &&
               MsgWaitForMultipleObjectsEx(0, nullptr, 50, QS_ALLINPUT & ~QS_TIMER, 0) != WAIT_TIMEOUT) {
        }
        out = "settled\n";
        break;
    }
    case kProbeIdle: out = "idle\n"; break;
    default: break;
    }
    HANDLE mapping = OpenFileMappingA(FILE_MAP_WRITE, FALSE, kProbeMemoryName);
    if (!mapping)
        return;
    if (char *view = static_cast<char *>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, kProbeMemorySize))) {
        // The first byte last: a driver waiting for it then reads the whole text.
        if (!out.empty()) {
            lstrcpynA(view + 1, out.c_str() + 1, kProbeMemorySize - 1);
            MemoryBarrier();
            *static_cast<volatile char *>(view) = out[0];
        }
        UnmapViewOfFile(view);
    }
    CloseHandle(mapping);
}

extern "C" LRESULT CALLBACK probe_hook(int code, WPARAM wParam, LPARAM lParam)
{
    static UINT probeMessage = RegisterWindowMessageA(kProbeMessageName);
    const CWPSTRUCT *cwp = reinterpret_cast<const CWPSTRUCT *>(lParam);
    if (code == HC_ACTION && cwp && cwp->message == probeMessage)
        run(static_cast<UINT>(cwp->wParam), cwp->hwnd);
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// The same for the probe message posted to a window of the thread, when its loop takes it.
extern "C" LRESULT CALLBACK probe_message_hook(int code, WPARAM wParam, LPARAM lParam)
{
    static UINT probeMessage = RegisterWindowMessageA(kProbeMessageName);
    MSG *msg = reinterpret_cast<MSG *>(lParam);
    if (code == HC_ACTION && wParam == PM_REMOVE && msg && msg->message == probeMessage) {
        run(static_cast<UINT>(msg->wParam), msg->hwnd);
        msg->message = WM_NULL;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
