// check.cpp - test registration, checks, and the driver's entry point.
#include "tests/e2e/check.h"
#include "tests/e2e/harness.h"

#include <windows.h>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <set>
#include <utility>
#include <vector>

std::string g_artifactDir;

namespace {
struct Case {
    const char *suite;
    const char *name;
    std::function<void()> fn;
};
std::vector<Case> &cases()
{
    static std::vector<Case> all;
    return all;
}
int g_failedChecks;      // in the current case
int g_passedCases, g_failedCases;
const Case *g_current;
} // namespace

void register_case(const char *suite, const char *name, std::function<void()> fn)
{
    cases().push_back({suite, name, std::move(fn)});
}

bool case_failed()
{
    return g_failedChecks != 0;
}

std::string e2e_format(const char *fmt, ...)
{
    char buffer[4096];
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(buffer, sizeof buffer, fmt, args);
    va_end(args);
    return buffer;
}

bool check_record(bool cond, const char *file, int line, const std::string &what)
{
    if (cond)
        return true;
    const char *base = std::strrchr(file, '/');
    std::printf("  FAIL %s:%d: %s\n", base ? base + 1 : file, line, what.c_str());
    std::fflush(stdout);
    if (g_failedChecks++ == 0 && !g_artifactDir.empty() && g_current) {
        std::string path = g_artifactDir + "\\" + g_current->suite + "." + g_current->name + ".bmp";
        if (save_screenshot(path.c_str()))
            std::printf("  screenshot: %s\n", path.c_str());
    }
    return false;
}

// driver.exe --exe PATH [--suite NAME] [--case NAME] [--artifacts DIR] [--list]
int main(int argc, char **argv)
{
    const char *suite = nullptr, *only = nullptr;
    bool list = false;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--exe") && i + 1 < argc)
            g_tolvikExe = argv[++i];
        else if (!std::strcmp(argv[i], "--suite") && i + 1 < argc)
            suite = argv[++i];
        else if (!std::strcmp(argv[i], "--case") && i + 1 < argc)
            only = argv[++i];
        else if (!std::strcmp(argv[i], "--artifacts") && i + 1 < argc)
            g_artifactDir = argv[++i];
        else if (!std::strcmp(argv[i], "--list"))
            list = true;
    }
    setvbuf(stdout, nullptr, _IONBF, 0);
    std::set<std::pair<std::string, std::string>> names;
    for (const Case &c : cases())
        if (!names.insert({c.suite, c.name}).second) {
            std::printf("two cases are named %s.%s\n", c.suite, c.name);
            return 2;
        }
    for (const Case &c : cases()) {
        if (suite && std::strcmp(suite, c.suite))
            continue;
        if (only && std::strcmp(only, c.name))
            continue;
        if (list) {
            std::printf("%s.%s\n", c.suite, c.name);
            continue;
        }
        std::printf("[ RUN  ] %s.%s\n", c.suite, c.name);
        g_current = &c;
        g_failedChecks = 0;
        DWORD start = GetTickCount();
        harness_before_case();
        c.fn();
        harness_after_case();
        DWORD ms = GetTickCount() - start;
        if (g_failedChecks) {
            ++g_failedCases;
            std::printf("[ FAIL ] %s.%s (%lu ms)\n", c.suite, c.name, (unsigned long)ms);
        } else {
            ++g_passedCases;
            std::printf("[  OK  ] %s.%s (%lu ms)\n", c.suite, c.name, (unsigned long)ms);
        }
    }
    if (!list)
        std::printf("%d passed, %d failed\n", g_passedCases, g_failedCases);
    return g_failedCases ? 1 : (g_passedCases ? 0 : 2);
}
