// bench_util.cpp - helpers shared by the benchmark suites.
#include "tests/e2e/bench_util.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

void pump()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

static const char kFillerClass[] = "TolvikBenchFiller";

void register_classes()
{
    static bool done = false;
    if (done)
        return;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kFillerClass;
    RegisterClassA(&wc);
    done = true;
}

static WNDPROC s_dialogProc;

// Like a message box, the popup goes away on WM_CLOSE.
static LRESULT CALLBACK popup_proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_CLOSE) {
        DestroyWindow(hwnd);
        return 0;
    }
    return CallWindowProcA(s_dialogProc, hwnd, msg, wParam, lParam);
}

// A messenger-style popup of the driver's own, a dialog-class window like the service's
// message boxes: OK button first, the text second.
HWND make_popup(const std::string &text)
{
    HWND popup = CreateWindowExA(0, "#32770", "Messenger service ", WS_OVERLAPPED | WS_CAPTION | WS_VISIBLE, 100,
                                 100, 300, 150, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    s_dialogProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(popup, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(popup_proc)));
    CreateWindowExA(0, "Button", "OK", WS_CHILD | WS_VISIBLE, 10, 80, 60, 24, popup, nullptr, nullptr, nullptr);
    CreateWindowExA(0, "Static", text.c_str(), WS_CHILD | WS_VISIBLE, 10, 10, 280, 60, popup, nullptr, nullptr,
                    nullptr);
    return popup;
}

std::vector<HWND> make_fillers(int n)
{
    std::vector<HWND> windows;
    for (int i = 0; i < n; ++i) {
        char title[64];
        std::snprintf(title, sizeof title, "Some other window %d", i);
        windows.push_back(CreateWindowExA(WS_EX_TOOLWINDOW, kFillerClass, title, WS_POPUP, 0, 0, 10, 10, nullptr,
                                          nullptr, GetModuleHandleA(nullptr), nullptr));
    }
    return windows;
}

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    size_t i = static_cast<size_t>(p * static_cast<double>(v.size() - 1) + 0.5);
    return v[std::min(i, v.size() - 1)];
}

// CPU time of this prefix's Linux process named `comm` (wineserver, or a program such as
// tolvik.exe), read from /proc through Wine's Z: drive; -1 if unknown.
double linux_cpu_ms(const char *wanted)
{
    char prefix[MAX_PATH] = "";
    GetEnvironmentVariableA("WINEPREFIX", prefix, sizeof prefix);
    WIN32_FIND_DATAA fd;
    HANDLE find = FindFirstFileA("Z:\\proc\\*", &fd);
    if (find == INVALID_HANDLE_VALUE)
        return -1;
    double result = -1;
    do {
        if (fd.cFileName[0] < '0' || fd.cFileName[0] > '9')
            continue;
        std::string dir = std::string("Z:\\proc\\") + fd.cFileName + "\\";
        char comm[64] = "";
        if (FILE *f = std::fopen((dir + "comm").c_str(), "rb")) {
            size_t n = std::fread(comm, 1, sizeof comm - 1, f);
            comm[n] = '\0';
            std::fclose(f);
        }
        if (std::strncmp(comm, wanted, std::strlen(wanted)) != 0)
            continue;
        std::string env;
        if (FILE *f = std::fopen((dir + "environ").c_str(), "rb")) {
            char buf[4096];
            size_t n;
            while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
                env.append(buf, n);
            std::fclose(f);
        }
        if (prefix[0] && env.find(std::string("WINEPREFIX=") + prefix) == std::string::npos)
            continue;
        if (FILE *f = std::fopen((dir + "stat").c_str(), "rb")) {
            char stat[1024] = "";
            size_t n = std::fread(stat, 1, sizeof stat - 1, f);
            stat[n] = '\0';
            std::fclose(f);
            const char *p = std::strrchr(stat, ')');
            unsigned long long utime = 0, stime = 0;
            // Fields after the command: state ppid pgrp session tty tpgid flags minflt cminflt
            // majflt cmajflt utime stime (clock ticks of 1/100 s).
            if (p && std::sscanf(p + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &utime, &stime) == 2)
                result = static_cast<double>(utime + stime) * 10.0;
        }
        break;
    } while (FindNextFileA(find, &fd));
    FindClose(find);
    return result;
}

void settle_desktop(double timeoutMs)
{
    auto busy = [] { return linux_cpu_ms("explorer.exe") + linux_cpu_ms("wineserver"); };
    double t0 = now_ms(), last = busy();
    // Quiet: at most a tick of CPU (10 ms) in each of three 200 ms spells in a row.
    for (int quiet = 0; quiet < 3 && now_ms() - t0 < timeoutMs;) {
        Sleep(200);
        double b = busy();
        quiet = b - last <= 10 ? quiet + 1 : 0;
        last = b;
    }
}

