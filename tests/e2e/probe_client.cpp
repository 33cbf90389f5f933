// probe_client.cpp - the driver's side of the in-process probe.
#include "tests/e2e/probe.h"

#include <cstring>

std::vector<std::string> probe_run(HWND window, unsigned op, bool posted)
{
    std::vector<std::string> lines;
    static HMODULE probe = [] {
        char path[MAX_PATH];
        GetModuleFileNameA(nullptr, path, MAX_PATH);
        char *slash = std::strrchr(path, '\\');
        lstrcpyA(slash ? slash + 1 : path, "e2e_probe.dll");
        return LoadLibraryA(path);
    }();
    if (!probe)
        return lines;
    auto hook = reinterpret_cast<HOOKPROC>(
        reinterpret_cast<void *>(GetProcAddress(probe, posted ? "probe_message_hook" : "probe_hook")));
    HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kProbeMemorySize,
                                        kProbeMemoryName);
    char *view = mapping ? static_cast<char *>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, kProbeMemorySize)) : nullptr;
    if (view) {
        view[0] = '\0';
        DWORD thread = GetWindowThreadProcessId(window, nullptr);
        HHOOK handle = SetWindowsHookExA(posted ? WH_GETMESSAGE : WH_CALLWNDPROC, hook, probe, thread);
        if (handle) {
            UINT message = RegisterWindowMessageA(kProbeMessageName);
            if (!posted) {
                DWORD_PTR result;
                SendMessageTimeoutA(window, message, op, 0, SMTO_ABORTIFHUNG, 5000, &result);
            } else if (PostMessageA(window, message, op, 0)) {
                // The ops run this way write a line: once it is there, the loop has taken the message.
                for (DWORD start = GetTickCount(); !*static_cast<volatile char *>(view) && GetTickCount() - start < 10000;)
                    Sleep(5);
            }
            UnhookWindowsHookEx(handle);
        }
        view[kProbeMemorySize - 1] = '\0';
        const char *p = view;
        while (*p) {
            const char *end = std::strchr(p, '\n');
            if (!end)
                end = p + std::strlen(p);
            lines.emplace_back(p, end);
            p = *end ? end + 1 : end;
        }
        UnmapViewOfFile(view);
    }
    if (mapping)
        CloseHandle(mapping);
    return lines;
}
