// Unit tests for the bounded text copies used by every fixed buffer.
#include "app/textbuf.h"

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
