// release_probe.cpp - a console helper of the release tests, run under wine64 inside the prefix
// being checked.
//   release_probe version FILE      prints the version block of FILE as NAME=VALUE lines (the fixed
//                                   part as FileVersionNumbers, FileOS, FileType, FileFlags), exit 1
//                                   when FILE has none
//   release_probe manifest FILE     prints FILE's application manifest (resource 1 of type
//                                   RT_MANIFEST), exit 1 when it has none
//   release_probe exit-tolvik MS    waits up to MS ms for Tolvik's main window and sends it Exit;
//                                   exit 0 when it was found, 1 otherwise
//   release_probe send NAME TEXT MS sends TEXT to NAME with Tolvik's Send command, as a user types it
//                                   into the main window, and waits up to MS ms for one more message
//                                   in Tolvik's incoming list; exit 0 when it arrived
//   release_probe filed TEXT MS     waits up to MS ms for a message TEXT in Tolvik's incoming list;
//                                   exit 0 when it is there
#include <windows.h>
#include <commctrl.h>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/ids.h"

static int print_version(const char *file)
{
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(file, &ignored);
    if (!size) {
        std::printf("no version block in %s (error %lu)\n", file, GetLastError());
        return 1;
    }
    std::vector<char> block(size);
    if (!GetFileVersionInfoA(file, 0, size, block.data()))
        return 1;
    VS_FIXEDFILEINFO *fixed = nullptr;
    UINT len = 0;
    if (VerQueryValueA(block.data(), "\\", reinterpret_cast<void **>(&fixed), &len) && fixed) {
        std::printf("FileVersionNumbers=%u.%u.%u.%u\n", unsigned(HIWORD(fixed->dwFileVersionMS)),
                    unsigned(LOWORD(fixed->dwFileVersionMS)), unsigned(HIWORD(fixed->dwFileVersionLS)),
                    unsigned(LOWORD(fixed->dwFileVersionLS)));
        std::printf("FileOS=0x%lx\nFileType=%lu\nFileFlags=0x%lx\n", fixed->dwFileOS, fixed->dwFileType,
                    fixed->dwFileFlags & fixed->dwFileFlagsMask);
    }
    struct Translation {
        WORD language, codepage;
    } *tr = nullptr;
    if (!VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void **>(&tr), &len) ||
        len < sizeof *tr)
        return 1;
    std::printf("Translation=%04x%04x\n", tr->language, tr->codepage);
    static const char *const kNames[] = {"CompanyName",      "FileDescription", "FileVersion",  "InternalName",
                                         "LegalCopyright",   "LegalTrademarks", "OriginalFilename",
                                         "ProductName",      "ProductVersion",  "PrivateBuild", "SpecialBuild",
                                         "Comments"};
    for (const char *name : kNames) {
        char path[128];
        std::snprintf(path, sizeof path, "\\StringFileInfo\\%04x%04x\\%s", tr->language, tr->codepage, name);
        char *value = nullptr;
        if (VerQueryValueA(block.data(), path, reinterpret_cast<void **>(&value), &len) && value)
            std::printf("%s=%s\n", name, value);
    }
    return 0;
}

static int print_manifest(const char *file)
{
    HMODULE module = LoadLibraryExA(file, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    HRSRC res = module ? FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24)) : nullptr;
    HGLOBAL data = res ? LoadResource(module, res) : nullptr;
    const char *text = data ? static_cast<const char *>(LockResource(data)) : nullptr;
    if (!text) {
        std::printf("no manifest in %s\n", file);
        return 1;
    }
    std::fwrite(text, 1, SizeofResource(module, res), stdout);
    std::printf("\n");
    return 0;
}

// Tolvik's main window: a dialog captioned "Tolvik" that has the Send button (a message box
// captioned "Tolvik" has none). The window exists while its controls are still being created
// one by one, so it counts only once the template's last control (Clear History) is there:
// before that, the incoming list may not exist yet.
static BOOL CALLBACK find_main(HWND hwnd, LPARAM out)
{
    char title[16] = {};
    GetWindowTextA(hwnd, title, sizeof title);
    if (std::strcmp(title, "Tolvik") || !GetDlgItem(hwnd, IDC_SEND) || !GetDlgItem(hwnd, IDC_HIST_CLEAR))
        return TRUE;
    *reinterpret_cast<HWND *>(out) = hwnd;
    return FALSE;
}

// Polls every 100 ms until `done` holds or `timeoutMs` has passed; true when it held.
template <typename F> static bool wait_until(F done, DWORD timeoutMs)
{
    for (DWORD start = GetTickCount();; Sleep(100)) {
        if (done())
            return true;
        if (GetTickCount() - start > timeoutMs)
            return false;
    }
}

static HWND wait_main(DWORD timeoutMs)
{
    HWND main = nullptr;
    auto found = [&] {
        EnumWindows(find_main, reinterpret_cast<LPARAM>(&main));
        return main != nullptr;
    };
    if (!wait_until(found, timeoutMs))
        std::printf("no Tolvik main window within %lu ms\n", timeoutMs);
    return main;
}

static int exit_tolvik(DWORD timeoutMs)
{
    HWND main = wait_main(timeoutMs);
    if (!main)
        return 1;
    PostMessageA(main, WM_COMMAND, IDM_EXIT, 0);
    return 0;
}

static int send_message(const char *name, const char *text, DWORD timeoutMs)
{
    HWND main = wait_main(timeoutMs);
    if (!main)
        return 1;
    HWND incoming = GetDlgItem(main, IDC_INCOMING), recipient = GetDlgItem(main, IDC_RECIPIENT);
    auto count = [&] { return SendMessageA(incoming, LVM_GETITEMCOUNT, 0, 0); };
    LRESULT before = count();
    // The recipient box reports the typed line as a choice, which enables Send.
    SetWindowTextA(recipient, name);
    SendMessageA(main, WM_COMMAND, MAKEWPARAM(IDC_RECIPIENT, CBN_SELCHANGE), reinterpret_cast<LPARAM>(recipient));
    SetWindowTextA(GetDlgItem(main, IDC_MESSAGE), text);
    if (!IsWindowEnabled(GetDlgItem(main, IDC_SEND))) {
        std::printf("Send is disabled after typing the recipient %s\n", name);
        return 1;
    }
    SendMessageA(main, WM_COMMAND, MAKEWPARAM(IDC_SEND, 0), 0);
    if (wait_until([&] { return count() > before; }, timeoutMs))
        return 0;
    char status[256] = {};
    GetDlgItemTextA(main, IDC_STATUS, status, sizeof status);
    std::printf("no message arrived within %lu ms (status line: %s)\n", timeoutMs, status);
    return 1;
}

// The text of column `column` of item `index` of another process's list view, read through a buffer in
// that process (a list view's pointers do not cross processes).
static std::string remote_item_text(HWND list, int index, int column)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(list, &pid);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (!process)
        return "";
    const SIZE_T textOffset = 256, textBytes = 1024;
    char *remote = static_cast<char *>(
        VirtualAllocEx(process, nullptr, textOffset + textBytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    char text[textBytes] = {};
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = remote + textOffset;
    item.cchTextMax = static_cast<int>(textBytes);
    if (remote && WriteProcessMemory(process, remote, &item, sizeof item, nullptr) &&
        SendMessageA(list, LVM_GETITEMTEXTA, index, reinterpret_cast<LPARAM>(remote)) > 0)
        ReadProcessMemory(process, remote + textOffset, text, textBytes - 1, nullptr);
    if (remote)
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    return text;
}

static int wait_filed(const char *message, DWORD timeoutMs)
{
    HWND main = wait_main(timeoutMs);
    if (!main)
        return 1;
    HWND incoming = GetDlgItem(main, IDC_INCOMING);
    auto filed = [&] {
        int count = static_cast<int>(SendMessageA(incoming, LVM_GETITEMCOUNT, 0, 0));
        for (int i = 0; i < count; ++i)
            if (remote_item_text(incoming, i, 3) == message)
                return true;
        return false;
    };
    if (wait_until(filed, timeoutMs))
        return 0;
    std::printf("no message '%s' in Tolvik's incoming list within %lu ms\n", message, timeoutMs);
    return 1;
}

int main(int argc, char **argv)
{
    if (argc == 3 && !std::strcmp(argv[1], "version"))
        return print_version(argv[2]);
    if (argc == 3 && !std::strcmp(argv[1], "manifest"))
        return print_manifest(argv[2]);
    if (argc == 3 && !std::strcmp(argv[1], "exit-tolvik"))
        return exit_tolvik(std::strtoul(argv[2], nullptr, 10));
    if (argc == 5 && !std::strcmp(argv[1], "send"))
        return send_message(argv[2], argv[3], std::strtoul(argv[4], nullptr, 10));
    if (argc == 4 && !std::strcmp(argv[1], "filed"))
        return wait_filed(argv[2], std::strtoul(argv[3], nullptr, 10));
    std::printf("usage: release_probe version FILE | manifest FILE | exit-tolvik MS | send NAME TEXT MS | "
                "filed TEXT MS\n");
    return 2;
}
