// check.h - a small test framework for the Windows test driver: registered cases and tables of
// cases, checks that print file and line, a screenshot on the first failure of a case, and the
// closing line "N passed, N failed" with the failure count as exit status.
//
// Each case starts on an empty Tolvik key in the registry, and every tolvik.exe it starts is
// asked to exit at its end, failing the case unless it ends with 0 (harness_before_case,
// harness_after_case): a case stores what it needs, starts Tolvik, REQUIREs that it came up,
// does its work and simply ends.
#ifndef TOLVIK_E2E_CHECK_H
#define TOLVIK_E2E_CHECK_H

#include <cstddef>
#include <functional>
#include <string>

// Registers the case suite.name; names are unique within a suite.
void register_case(const char *suite, const char *name, std::function<void()> fn);

struct TestRegistrar {
    TestRegistrar(const char *suite, const char *name, void (*fn)()) { register_case(suite, name, fn); }
};

#define E2E_TEST(suite, name)                                                  \
    static void e2e_##suite##_##name();                                        \
    static TestRegistrar e2e_reg_##suite##_##name(#suite, #name, e2e_##suite##_##name); \
    static void e2e_##suite##_##name()

// A table of cases: each row of `rows` (a static array of a struct whose first member is
// `const char *name`) registers as the case suite.<name>, which runs fn(row). A row fails or
// passes on its own, and E2E_CASE=<name> runs it alone.
struct TableRegistrar {
    template <class Row, std::size_t N>
    TableRegistrar(const char *suite, const Row (&rows)[N], void (*fn)(const Row &))
    {
        for (const Row &row : rows)
            register_case(suite, row.name, [&row, fn] { fn(row); });
    }
};

#define E2E_TABLE(suite, rows, fn) static TableRegistrar e2e_table_##suite##_##fn(#suite, rows, fn)

// Records one check; returns cond so a case can go on only where it makes sense.
bool check_record(bool cond, const char *file, int line, const std::string &what);
// Whether a check of the running case has failed.
bool case_failed();

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
// A check the rest of the case (or row) needs: when it fails, the case ends here.
#define REQUIRE(cond)                                                                              \
    do {                                                                                           \
        if (!CHECK(cond))                                                                          \
            return;                                                                                \
    } while (0)
#define REQUIRE_MSG(cond, ...)                                                                     \
    do {                                                                                           \
        if (!CHECK_MSG(cond, __VA_ARGS__))                                                         \
            return;                                                                                \
    } while (0)

// Where failure screenshots go (set from the command line).
extern std::string g_artifactDir;

#endif
