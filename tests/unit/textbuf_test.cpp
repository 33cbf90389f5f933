// Unit tests for the bounded text copies used by every fixed buffer.
#include "base/textbuf.h"

#include <gtest/gtest.h>
#include <cstring>

TEST(CopyBounded, FitsCutsAndAlwaysTerminates)
{
    struct Case { const char *src; std::size_t cap; const char *want; std::size_t copied; };
    const Case cases[] = {
        {"", 4, "", 0},
        {"abc", 4, "abc", 3},
        {"abcd", 4, "abc", 3},
        {"abcdef", 1, "", 0},
    };
    for (const Case &c : cases) {
        char buf[8];
        std::memset(buf, 'x', sizeof buf);
        EXPECT_EQ(copy_bounded(buf, c.cap, c.src), c.copied) << c.src;
        EXPECT_STREQ(buf, c.want) << c.src;
        EXPECT_EQ(buf[c.cap], 'x') << "wrote past the buffer for " << c.src;
    }
}

TEST(BoundedLength, StopsAtZeroOrCapacity)
{
    const char unterminated[4] = {'a', 'b', 'c', 'd'};
    EXPECT_EQ(bounded_length(unterminated, 4), 4u);
    EXPECT_EQ(bounded_length("ab\0cd", 5), 2u);
    EXPECT_EQ(bounded_length("", 1), 0u);
}

TEST(TerminateReadText, TextUpToTheZeroOrAllBytesAndOnlyWhenItFits)
{
    struct Case { const char *data; std::size_t size, cap; const char *want; };
    const Case cases[] = {
        {"abc\0", 4, 4, "abc"},   // stored with its zero
        {"abc#", 3, 4, "abc"},    // stored without it: the zero is added after the bytes read
        {"ab\0cd", 5, 8, "ab"},   // the text ends at the first zero
        {"", 0, 1, ""},           // an empty value
        {"abcd", 4, 4, nullptr},  // four characters need five bytes
    };
    for (const Case &c : cases) {
        char buf[8];
        std::memset(buf, '#', sizeof buf);
        std::memcpy(buf, c.data, c.size);
        EXPECT_EQ(terminate_read_text(buf, c.size, c.cap), c.want != nullptr) << c.data;
        if (c.want) {
            EXPECT_STREQ(buf, c.want) << c.data;
        }
    }
}
