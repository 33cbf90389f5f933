// screenshots_prog.cpp - poses Tolvik for the documentation's screenshots: the main window in
// Sender mode after a send and in Receiver mode with a few messages, the Message View and the
// configuration dialog. It does not capture the screen itself: for each pose it prints
//   SHOT <name> <left> <top> <right> <bottom>
// (the window's screen rectangle) and waits until the file <name>.done appears in the
// handshake directory, which scripts/screenshots.sh creates once it has taken the picture.
// It ends with "DONE" and exit code 0, or "FAIL <reason>" and exit code 1.
//
//   screenshots_prog.exe --exe C:\tolvik\tolvik.exe --handshake Z:\tmp\shots
//
// It replaces Tolvik's registry key (HKCU\Software\Morvane\Tolvik) with sample data and,
// when the recording netapi32.dll lies beside tolvik.exe, makes tolvik.exe load it so the
// sample send succeeds without a network.
#include "base/ids.h"

#include <windows.h>
#include <commctrl.h>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

namespace {

const char kKey[] = "Software\\Morvane\\Tolvik";

bool wait_until(const std::function<bool()> &cond, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (!cond()) {
        if (GetTickCount() - start >= timeoutMs)
            return false;
        Sleep(20);
    }
    return true;
}

[[noreturn]] void fail(const char *why)
{
    std::printf("FAIL %s\n", why);
    std::fflush(stdout);
    std::exit(1);
}

void set_text(const char *subkey, const char *name, const std::string &text)
{
    std::string path = subkey ? std::string(kKey) + "\\" + subkey : std::string(kKey);
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        fail("registry");
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(text.c_str()),
                   static_cast<DWORD>(text.size() + 1));
    RegCloseKey(key);
}

std::string message(const char *from, const char *time, const char *body)
{
    return std::string("Message from ") + from + " to BOB on " + time + "\r\n\r\n" + body;
}

void sample_data()
{
    RegDeleteTreeA(HKEY_CURRENT_USER, kKey);
    set_text(nullptr, "Last User", "ALICE CAROL");
    set_text("History", "ALICE CAROL", "Lunch at noon? The usual place.");
    set_text("History\\ALICE CAROL", "11:58:02 06.12.2001", "Lunch at noon? The usual place.");
    set_text("History\\ALICE CAROL", "09:15:40 06.12.2001", "The build is green again.");
    set_text("History", "DAVE", "See you tomorrow.");
    set_text("Messages", "000000000", message("ALICE", "12/6/2001 9:12 AM", "Is the build green again?"));
    set_text("Messages", "000000001", message("CAROL", "12/6/2001 11:40 AM", "Lunch at noon?\r\nThe usual place."));
    set_text("Messages", "000000002", message("DAVE", "12/6/2001 2:45 PM", "The printer on the second floor is fixed."));
}

// Makes tolvik.exe load the recording netapi32.dll that lies beside it; false without one.
bool use_netapi_double(const std::string &exe)
{
    std::string dll = exe.substr(0, exe.find_last_of('\\') + 1) + "netapi32.dll";
    if (GetFileAttributesA(dll.c_str()) == INVALID_FILE_ATTRIBUTES)
        return false;
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\tolvik.exe\\DllOverrides", 0, nullptr, 0,
                        KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    static const char value[] = "native,builtin";
    RegSetValueExA(key, "netapi32", 0, REG_SZ, reinterpret_cast<const BYTE *>(value), sizeof value);
    RegCloseKey(key);
    return true;
}

void forget_netapi_double()
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\tolvik.exe\\DllOverrides", 0, KEY_SET_VALUE,
                      &key) == ERROR_SUCCESS) {
        RegDeleteValueA(key, "netapi32");
        RegCloseKey(key);
    }
}

struct Search {
    DWORD pid;
    const char *title; // null: the main window
    HWND found;
};

BOOL CALLBACK find_dialog(HWND hwnd, LPARAM lp)
{
    Search *s = reinterpret_cast<Search *>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    char cls[16] = "", title[128] = "";
    GetClassNameA(hwnd, cls, sizeof cls);
    if (pid != s->pid || std::strcmp(cls, "#32770") != 0)
        return TRUE;
    bool main = GetDlgItem(hwnd, IDC_MODE_FRAME) && GetDlgItem(hwnd, IDC_INCOMING);
    GetWindowTextA(hwnd, title, sizeof title);
    if (s->title ? (!main && std::strcmp(title, s->title) == 0) : main) {
        s->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

HWND wait_dialog(DWORD pid, const char *title)
{
    Search s = {pid, title, nullptr};
    wait_until(
        [&] {
            s.found = nullptr;
            EnumWindows(find_dialog, reinterpret_cast<LPARAM>(&s));
            return s.found != nullptr;
        },
        10000);
    return s.found;
}

std::string text_of(HWND hwnd)
{
    char text[512] = "";
    SendMessageTimeoutA(hwnd, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000,
                        nullptr);
    return text;
}

// Selects one item of a list view in another process (the record must live there).
void select_item(HWND list, int index)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(list, &pid);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, pid);
    if (!process)
        return;
    LVITEMA item = {};
    item.state = item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    void *remote = VirtualAllocEx(process, nullptr, sizeof item, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (remote && WriteProcessMemory(process, remote, &item, sizeof item, nullptr))
        SendMessageA(list, LVM_SETITEMSTATE, index, reinterpret_cast<LPARAM>(remote));
    if (remote)
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    SendMessageA(list, LVM_SETSELECTIONMARK, 0, index);
}

// Lets the window paint, prints its rectangle and waits for the picture to be taken.
void shot(const std::string &handshake, const char *name, HWND window)
{
    SetCursorPos(2, 2); // no hover effects or tooltips in the picture
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
    SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, nullptr);
    Sleep(700);
    RECT r;
    GetWindowRect(window, &r);
    std::string done = handshake + "\\" + name + ".done";
    DeleteFileA(done.c_str());
    std::printf("SHOT %s %ld %ld %ld %ld\n", name, r.left, r.top, r.right, r.bottom);
    std::fflush(stdout);
    if (!wait_until([&] { return GetFileAttributesA(done.c_str()) != INVALID_FILE_ATTRIBUTES; }, 60000))
        fail("no picture taken");
}

void command(HWND main, int id)
{
    SendMessageA(main, WM_COMMAND, MAKEWPARAM(id, 0), 0);
}

} // namespace

int main(int argc, char **argv)
{
    std::string exe, handshake;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--exe"))
            exe = argv[i + 1];
        else if (!std::strcmp(argv[i], "--handshake"))
            handshake = argv[i + 1];
    }
    if (exe.empty() || handshake.empty())
        fail("usage: screenshots_prog.exe --exe PATH --handshake DIR");

    sample_data();
    bool canSend = use_netapi_double(exe);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    std::string cmd = "\"" + exe + "\"";
    if (!CreateProcessA(exe.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        fail("cannot start tolvik.exe");
    HWND main = wait_dialog(pi.dwProcessId, nullptr);
    if (!main)
        fail("no main window");
    // The collapsed window is shown by the dialog manager and hidden by the hide timer.
    wait_until([&] { return IsWindowVisible(main) != FALSE; }, 3000);
    wait_until([&] { return !IsWindowVisible(main); }, 5000);
    PostMessageA(main, WM_ACTIVATEINSTANCE, 0, 0);
    if (!wait_until([&] { return IsWindowVisible(main) && GetForegroundWindow() == main; }, 10000))
        fail("the window did not come forward");

    // Sender mode after a send to two recipients.
    command(main, IDC_SENDER);
    HWND log = GetDlgItem(main, IDC_SENDLOG);
    if (canSend) {
        command(main, IDC_SEND);
        wait_until(
            [&] {
                return SendMessageA(log, LVM_GETITEMCOUNT, 0, 0) == 2 && IsWindowEnabled(GetDlgItem(main, IDC_SEND)) &&
                       text_of(GetDlgItem(main, IDC_STATUS)) == "Last send successful.";
            },
            20000);
    }
    shot(handshake, "sender", main);

    // Receiver mode with the second message selected.
    command(main, IDC_RECEIVER);
    select_item(GetDlgItem(main, IDC_INCOMING), 1);
    shot(handshake, "receiver", main);

    // The Message View on that message.
    PostMessageA(main, WM_COMMAND, IDM_MSG_VIEW, 0);
    HWND view = wait_dialog(pi.dwProcessId, "Message 2 of 3");
    if (!view)
        fail("no Message View");
    shot(handshake, "message-view", view);
    PostMessageA(view, WM_COMMAND, IDOK, 0);
    wait_until([&] { return !IsWindow(view); }, 10000);

    // The configuration dialog.
    PostMessageA(main, WM_COMMAND, IDM_CONFIGURE, 0);
    HWND config = wait_dialog(pi.dwProcessId, "Tolvik Configuration");
    if (!config)
        fail("no configuration dialog");
    shot(handshake, "configuration", config);
    PostMessageA(config, WM_COMMAND, IDCANCEL, 0);
    wait_until([&] { return !IsWindow(config); }, 10000);

    PostMessageA(main, WM_COMMAND, IDM_EXIT, 0);
    bool ended = WaitForSingleObject(pi.hProcess, 10000) == WAIT_OBJECT_0;
    forget_netapi_double();
    RegDeleteTreeA(HKEY_CURRENT_USER, kKey);
    if (!ended)
        fail("tolvik.exe did not end");
    std::printf("DONE\n");
    std::fflush(stdout);
    return 0;
}
