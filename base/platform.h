// platform.h - the platform's text comparisons under the user's default locale, in the
// shapes the pure code takes them.
#ifndef TOLVIK_PLATFORM_H
#define TOLVIK_PLATFORM_H

// One character against one character, ignoring case.
bool char_equal_ignore_case(char a, char b);
// Whole texts, ignoring case.
bool text_equal_ignore_case(const char *a, const char *b);
// Whole texts, case-sensitive.
bool text_equal(const char *a, const char *b);

#endif
