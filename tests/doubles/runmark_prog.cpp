// runmark_prog.cpp - a program to be launched by others (ExternalProg): every start appends
// one line "run <pid>" to runmark.log beside the program, and the program ends at once.
// It takes no arguments, since the launcher passes none.
#include <windows.h>

#include <cstdio>
#include <cstring>

int main()
{
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return 1;
    char *slash = std::strrchr(path, '\\');
    if (!slash || static_cast<size_t>(slash - path) + sizeof "\\runmark.log" > MAX_PATH)
        return 1;
    std::strcpy(slash, "\\runmark.log");
    // FILE_APPEND_DATA alone makes every write land at the end, also with several writers.
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    char line[64];
    int length = std::snprintf(line, sizeof line, "run %lu\r\n", GetCurrentProcessId());
    DWORD written = 0;
    BOOL ok = WriteFile(file, line, static_cast<DWORD>(length), &written, nullptr);
    CloseHandle(file);
    return ok ? 0 : 1;
}
