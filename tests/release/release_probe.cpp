// release_probe.cpp - a console helper of the release tests, run under wine64 inside the prefix
// being checked.
//   release_probe version FILE      prints the version block of FILE as NAME=VALUE lines (the fixed
//                                   part as FileVersionNumbers, FileOS, FileType, FileFlags), exit 1
//                                   when FILE has none
//   release_probe manifest FILE     prints FILE's application manifest (resource 1 of type
//                                   RT_MANIFEST), exit 1 when it has none
//   release_probe exit-tolvik MS    waits up to MS ms for Tolvik's main window and sends it Exit;
//                                   exit 0 when it was found, 1 otherwise
#include <windows.h>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <vector>

#include "app/ids.h"

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
// captioned "Tolvik" has none).
static BOOL CALLBACK find_main(HWND hwnd, LPARAM out)
{
    char title[16] = {};
    GetWindowTextA(hwnd, title, sizeof title);
    if (std::strcmp(title, "Tolvik") || !GetDlgItem(hwnd, IDC_SEND))
        return TRUE;
    *reinterpret_cast<HWND *>(out) = hwnd;
    return FALSE;
}

static int exit_tolvik(DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        HWND main = nullptr;
        EnumWindows(find_main, reinterpret_cast<LPARAM>(&main));
        if (main) {
            PostMessageA(main, WM_COMMAND, IDM_EXIT, 0);
            return 0;
        }
        if (GetTickCount() - start > timeoutMs) {
            std::printf("no Tolvik main window within %lu ms\n", timeoutMs);
            return 1;
        }
        Sleep(100);
    }
}

int main(int argc, char **argv)
{
    if (argc == 3 && !std::strcmp(argv[1], "version"))
        return print_version(argv[2]);
    if (argc == 3 && !std::strcmp(argv[1], "manifest"))
        return print_manifest(argv[2]);
    if (argc == 3 && !std::strcmp(argv[1], "exit-tolvik"))
        return exit_tolvik(std::strtoul(argv[2], nullptr, 10));
    std::printf("usage: release_probe version FILE | manifest FILE | exit-tolvik MS\n");
    return 2;
}
