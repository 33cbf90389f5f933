// main.cpp - program entry: network check, single instance, and the main window's modal run.
#include "app/shell.h"

#include "base/ids.h"
#include "base/mainwnd.h"
#include "base/popup_hint.h"
#include "receive/store_reader.h"
#include "send/send.h"

#include <winnetwk.h>
#include <cstddef>
#include <memory>

// NOTIFYICONDATAA_V1_SIZE and TTTOOLINFOA_V2_SIZE (the 44-byte record that ends with lParam;
// the headers' V1 stops before lParam at 40) are not constant expressions in the
// headers; these are their definitions spelled with offsetof.
#if defined(__i386__)
static_assert(offsetof(NOTIFYICONDATAA, szTip) + 64 == 88, "tray icon record must be 88 bytes on 32-bit Windows");
static_assert(offsetof(TTTOOLINFOA, lParam) + sizeof(LPARAM) == 44, "tool record must be 44 bytes on 32-bit Windows");
#endif

// Single-instance memory (named kInstanceMemoryName) and its view, the handle slot; both may be null.
static HANDLE s_mapping;
static volatile std::uint32_t *s_slot;

void instance_publish(HWND hwnd)
{
    if (s_slot)
        *s_slot = static_cast<std::uint32_t>(reinterpret_cast<uintptr_t>(hwnd));
}

void instance_release()
{
    if (s_slot) {
        UnmapViewOfFile(const_cast<std::uint32_t *>(s_slot));
        s_slot = nullptr;
    }
    if (s_mapping) {
        CloseHandle(s_mapping);
        s_mapping = nullptr;
    }
}

// True unless the network provider layer answers "no network". Any other outcome,
// including other errors, counts as a network being present.
static bool network_present()
{
    // The enumeration starts from an all-zero resource record in a zeroed 16 KiB block.
    std::unique_ptr<char[]> block(new char[16384]());
    HANDLE enumHandle = nullptr;
    DWORD rc = WNetOpenEnumA(RESOURCE_GLOBALNET, RESOURCETYPE_ANY, 0,
                             reinterpret_cast<NETRESOURCEA *>(block.get()), &enumHandle);
    if (rc == NO_ERROR)
        WNetCloseEnum(enumHandle);
    return rc != ERROR_NO_NETWORK;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    if (!network_present()) {
        tolvik_message_box(nullptr, "No network found! You don't need Tolvik without a network.",
                           MB_SYSTEMMODAL | MB_ICONERROR);
        return 0;
    }

    s_mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4, kInstanceMemoryName);
    bool alreadyRunning = GetLastError() == ERROR_ALREADY_EXISTS;
    s_slot = s_mapping ? static_cast<volatile std::uint32_t *>(MapViewOfFile(s_mapping, FILE_MAP_WRITE, 0, 0, 4))
                       : nullptr;

    if (alreadyRunning) {
        // Without a view there is no handle to read: still ask, so the user learns why
        // no window opens, but post to no window.
        HWND first = s_slot ? reinterpret_cast<HWND>(handle_from_slot(*s_slot)) : nullptr;
        int answer = tolvik_message_box(nullptr, "Tolvik already running! Activate previous instance?",
                                        MB_SYSTEMMODAL | MB_ICONWARNING | MB_YESNO);
        if (answer == IDYES && first)
            PostMessageA(first, WM_ACTIVATEINSTANCE, 0, 0);
        return 0;
    }

    // The stored messages are read while the window is built; its initialisation files them.
    store_reader_start();
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&icc);
    g_instance = instance;
    DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, MainDlgProc, 0);

    send_end(10000);
    return 0;
}
