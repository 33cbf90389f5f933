// platform.cpp - CompareStringA under LOCALE_USER_DEFAULT.
#include "base/platform.h"

#include <windows.h>

bool char_equal_ignore_case(char a, char b)
{
    return CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, &a, 1, &b, 1) == CSTR_EQUAL;
}

bool text_equal_ignore_case(const char *a, const char *b)
{
    return CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a, -1, b, -1) == CSTR_EQUAL;
}

bool text_equal(const char *a, const char *b)
{
    return CompareStringA(LOCALE_USER_DEFAULT, 0, a, -1, b, -1) == CSTR_EQUAL;
}
