// check.h - a small test framework for the Windows test driver: registered cases, checks
// that print file and line, a screenshot on the first failure of a case, and the closing
// line "N passed, N failed" with the failure count as exit status.
#ifndef TOLVIK_E2E_CHECK_H
#define TOLVIK_E2E_CHECK_H

#include <string>

using TestFn = void (*)();

struct TestRegistrar {
    TestRegistrar(const char *suite, const char *name, TestFn fn);
};

#define E2E_TEST(suite, name)                                                  \
    static void e2e_##suite##_##name();                                        \
    static TestRegistrar e2e_reg_##suite##_##name(#suite, #name, e2e_##suite##_##name); \
    static void e2e_##suite##_##name()

// Records one check; returns cond so a case can stop early: if (!CHECK(x)) return;
bool check_record(bool cond, const char *file, int line, const std::string &what);

std::string e2e_format(const char *fmt, ...);

#define CHECK(cond) check_record((cond), __FILE__, __LINE__, #cond)
#define CHECK_MSG(cond, ...) check_record((cond), __FILE__, __LINE__, e2e_format(__VA_ARGS__))
#define CHECK_EQ_INT(got, want)                                                                    \
    check_record((long long)(got) == (long long)(want), __FILE__, __LINE__,                        \
                 e2e_format("%s == %s: got %lld, want %lld", #got, #want, (long long)(got), (long long)(want)))
#define CHECK_EQ_STR(got, want)                                                                    \
    check_record(std::string(got) == std::string(want), __FILE__, __LINE__,                        \
                 e2e_format("%s == %s: got \"%s\", want \"%s\"", #got, #want, std::string(got).c_str(), \
                            std::string(want).c_str()))

// Where failure screenshots go (set from the command line).
extern std::string g_artifactDir;

#endif
