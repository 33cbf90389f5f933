// log_file.cpp - one time-stamped line at a time to the log file and the debugger output.
#include "msgsvc/win/log_file.h"

#include "msgsvc/core/output_text.h"
#include "msgsvc/win/win32.h"

#include <cstdarg>
#include <cstdio>

namespace msgsvc {

namespace {

CRITICAL_SECTION g_log_lock;

BOOL CALLBACK init_log_lock(PINIT_ONCE, PVOID, PVOID *)
{
    InitializeCriticalSection(&g_log_lock);
    return TRUE;
}

CRITICAL_SECTION *log_lock()
{
    static INIT_ONCE once = INIT_ONCE_STATIC_INIT;
    InitOnceExecuteOnce(&once, init_log_lock, nullptr, nullptr);
    return &g_log_lock;
}

} // namespace

void log_line(const ServiceConfig &cfg, const char *fmt, ...)
{
    char text[1024];
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(text, sizeof text, fmt, args);
    va_end(args);
    SYSTEMTIME t;
    GetLocalTime(&t);
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%04u-%02u-%02u %02u:%02u:%02u.%03u [%lu] ", t.wYear, t.wMonth, t.wDay,
                  t.wHour, t.wMinute, t.wSecond, t.wMilliseconds, GetCurrentProcessId());
    const std::string line = stamp + escape_controls(text) + "\r\n";
    OutputDebugStringA(line.c_str());
    if (cfg.log_path.empty())
        return;
    EnterCriticalSection(log_lock());
    const auto open = [&] {
        return CreateFileA(cfg.log_path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    };
    HANDLE f = open();
    LARGE_INTEGER size;
    if (f != INVALID_HANDLE_VALUE && GetFileSizeEx(f, &size) &&
        static_cast<uint64_t>(size.QuadPart) + line.size() > uint64_t(cfg.log_kb) * 1024) {
        // When another process holds the file without sharing its deletion, the next line tries again.
        CloseHandle(f);
        MoveFileExA(cfg.log_path.c_str(), (cfg.log_path + ".1").c_str(), MOVEFILE_REPLACE_EXISTING);
        f = open();
    }
    if (f != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(f, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        CloseHandle(f);
    }
    LeaveCriticalSection(log_lock());
}

} // namespace msgsvc
