// main.cpp - program entry: network check, single instance, and the main window's modal run.
#include "base/ids.h"
#include "app/mainwnd.h"
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

HINSTANCE g_instance;
HANDLE g_mapping;
volatile std::uint32_t *g_sharedView;

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
        MessageBoxA(nullptr, "No network found! You don't need Tolvik without a network.", "Tolvik",
                    MB_SYSTEMMODAL | MB_ICONERROR);
        return 0;
    }

    g_mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4, kInstanceMemoryName);
    bool alreadyRunning = GetLastError() == ERROR_ALREADY_EXISTS;
    g_sharedView = g_mapping
        ? static_cast<volatile std::uint32_t *>(MapViewOfFile(g_mapping, FILE_MAP_WRITE, 0, 0, 4))
        : nullptr;

    if (alreadyRunning) {
        // Without a view there is no handle to read: still ask, so the user learns why
        // no window opens, but post to no window.
        HWND first = g_sharedView ? reinterpret_cast<HWND>(handle_from_slot(*g_sharedView)) : nullptr;
        int answer = MessageBoxA(nullptr, "Tolvik already running! Activate previous instance?", "Tolvik",
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

    if (g_main.locksCreated) {
        // Workers still running hold on to the send lock: wait for them briefly (their
        // window calls fail at once now), and never delete a lock one of them may still take.
        if (send_wait_for_workers(10000))
            DeleteCriticalSection(&g_main.sendLock);
        DeleteCriticalSection(&g_main.captureLock);
    }
    return 0;
}
