// netapi32.cpp - a recording stand-in for the network message service, loaded by tolvik.exe
// in the test prefix instead of the system's netapi32.dll.
//
// NetMessageBufferSend answers by recipient name:
//   E5, E50, E87, E2136, E2273, E1234   return that code;
//   FAULT                               raises the exception an unimplemented system stub raises;
//   XF...                               (any name starting with XF) raises it at once, before the
//                                       call is logged;
//   SLOW...                             (any name starting with SLOW) waits, then succeeds: one
//                                       second, or TOLVIK_NETAPI_SLOW_MS milliseconds;
//   anything else                       succeeds.
// Every call appends one line, before it answers, to the file named by TOLVIK_NETAPI_LOG
// (default C:\tolvik\netapi-calls.txt):
//   call tid=T start=S shown=V tick=K server=null|HEX to=HEX from=null|HEX bytes=N text=HEX
// HEX is the UTF-8 form of the UTF-16 argument, as hex digits; text is the buffer's first
// N/2 UTF-16 units. S is the GetTickCount of the calling thread's start and V the number of
// visible dialog windows of the process at that moment; K is the GetTickCount of the call.
// A thread that called appends, when it ends (also when it is ended from a fault handler):
//   exit tid=T tick=K
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

CRITICAL_SECTION g_fileLock;
DWORD g_slot = TLS_OUT_OF_INDEXES;

struct ThreadInfo {
    DWORD start;
    int shown;
    bool called;
};

BOOL CALLBACK count_shown_dialog(HWND window, LPARAM counter)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    wchar_t cls[16] = L"";
    if (pid == GetCurrentProcessId() && IsWindowVisible(window) && GetClassNameW(window, cls, 16) &&
        std::wcscmp(cls, L"#32770") == 0)
        ++*reinterpret_cast<int *>(counter);
    return TRUE;
}

void thread_started()
{
    auto *info = static_cast<ThreadInfo *>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(ThreadInfo)));
    if (!info)
        return;
    info->start = GetTickCount();
    EnumWindows(count_shown_dialog, reinterpret_cast<LPARAM>(&info->shown));
    TlsSetValue(g_slot, info);
}

void append_line(const std::string &line)
{
    wchar_t path[MAX_PATH];
    DWORD n = GetEnvironmentVariableW(L"TOLVIK_NETAPI_LOG", path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        lstrcpyW(path, L"C:\\tolvik\\netapi-calls.txt");
    EnterCriticalSection(&g_fileLock);
    HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        CloseHandle(file);
    }
    LeaveCriticalSection(&g_fileLock);
}

void thread_ending()
{
    auto *info = static_cast<ThreadInfo *>(TlsGetValue(g_slot));
    if (!info)
        return;
    if (info->called) {
        char line[64];
        std::snprintf(line, sizeof line, "exit tid=%lu tick=%lu\n", GetCurrentThreadId(), GetTickCount());
        append_line(line);
    }
    TlsSetValue(g_slot, nullptr);
    HeapFree(GetProcessHeap(), 0, info);
}

std::string hex_utf8(const wchar_t *text, int units)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    if (!text || units <= 0)
        return out;
    int size = WideCharToMultiByte(CP_UTF8, 0, text, units, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, units, &utf8[0], size, nullptr, nullptr);
    for (unsigned char c : utf8) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

std::string hex_or_null(const wchar_t *text)
{
    return text ? hex_utf8(text, static_cast<int>(std::wcslen(text))) : std::string("null");
}

} // namespace

extern "C" DWORD WINAPI NetMessageBufferSend(LPCWSTR servername, LPCWSTR msgname, LPCWSTR fromname, LPBYTE buf,
                                             DWORD buflen)
{
    if (msgname && msgname[0] == L'X' && msgname[1] == L'F')
        RaiseException(0x80000100, EXCEPTION_NONCONTINUABLE, 0, nullptr);
    auto *info = static_cast<ThreadInfo *>(TlsGetValue(g_slot));
    if (info)
        info->called = true;
    char head[160];
    std::snprintf(head, sizeof head, "call tid=%lu start=%lu shown=%d tick=%lu ", GetCurrentThreadId(),
                  info ? info->start : 0ul, info ? info->shown : -1, GetTickCount());
    std::string line = head;
    line += "server=" + hex_or_null(servername);
    line += " to=" + hex_or_null(msgname);
    line += " from=" + hex_or_null(fromname);
    line += " bytes=" + std::to_string(buflen);
    line += " text=" + hex_utf8(reinterpret_cast<const wchar_t *>(buf), buf ? static_cast<int>(buflen / 2) : 0);
    append_line(line + "\n");

    const wchar_t *name = msgname ? msgname : L"";
    static const struct {
        const wchar_t *name;
        DWORD code;
    } kAnswers[] = {{L"E5", 5}, {L"E50", 50}, {L"E87", 87}, {L"E2136", 2136}, {L"E2273", 2273}, {L"E1234", 1234}};
    for (const auto &a : kAnswers)
        if (std::wcscmp(name, a.name) == 0)
            return a.code;
    if (std::wcscmp(name, L"FAULT") == 0)
        RaiseException(0x80000100, EXCEPTION_NONCONTINUABLE, 0, nullptr);
    if (std::wcsncmp(name, L"SLOW", 4) == 0) {
        wchar_t ms[16] = L"";
        DWORD n = GetEnvironmentVariableW(L"TOLVIK_NETAPI_SLOW_MS", ms, 16);
        Sleep(n > 0 && n < 16 ? static_cast<DWORD>(std::wcstoul(ms, nullptr, 10)) : 1000);
    }
    return 0;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        InitializeCriticalSection(&g_fileLock);
        g_slot = TlsAlloc();
        break;
    case DLL_THREAD_ATTACH:
        if (g_slot != TLS_OUT_OF_INDEXES)
            thread_started();
        break;
    case DLL_THREAD_DETACH:
        if (g_slot != TLS_OUT_OF_INDEXES)
            thread_ending();
        break;
    default:
        break;
    }
    return TRUE;
}
