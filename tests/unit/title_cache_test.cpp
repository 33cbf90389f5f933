// Unit tests for the capture tick's title read schedule.
#include "receive/title_cache.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

// Runs one tick over `windows`; returns which of them had to be read.
static std::vector<bool> tick(TitleCache &c, const std::vector<std::uintptr_t> &windows)
{
    std::vector<bool> read;
    title_cache_begin(c);
    for (std::uintptr_t w : windows) {
        bool r = title_cache_needs_read(c, w);
        if (r)
            title_cache_store(c, w, TitleMatch::None);
        read.push_back(r);
    }
    title_cache_end(c);
    return read;
}

TEST(TitleCache, NewAndYoungWindowsAreReadEveryTick)
{
    TitleCache c;
    for (std::uint64_t t = 0; t < kYoungTicks; ++t)
        EXPECT_EQ(tick(c, {0x100}), std::vector<bool>{true}) << "tick " << t;
    // A window appearing later is young on its own clock.
    EXPECT_EQ(tick(c, {0x100, 0x200}), (std::vector<bool>{false, true}));
}

TEST(TitleCache, OldWindowsAreReadOncePerRefreshPeriod)
{
    TitleCache c;
    const std::vector<std::uintptr_t> windows = {0x10, 0x14, 0x18, 0x1c, 0x20, 0x1000, 0x7ff4};
    for (std::uint64_t t = 0; t < kYoungTicks; ++t)
        tick(c, windows);
    std::vector<int> reads(windows.size());
    std::vector<std::uint64_t> lastRead(windows.size(), 0), longestGap(windows.size(), 0);
    for (std::uint64_t t = 1; t <= 10 * kRefreshTicks; ++t) {
        std::vector<bool> r = tick(c, windows);
        for (size_t i = 0; i < windows.size(); ++i)
            if (r[i]) {
                ++reads[i];
                if (lastRead[i])
                    longestGap[i] = std::max(longestGap[i], t - lastRead[i]);
                lastRead[i] = t;
            }
    }
    for (size_t i = 0; i < windows.size(); ++i) {
        EXPECT_EQ(reads[i], 10) << "window " << windows[i];
        EXPECT_EQ(longestGap[i], kRefreshTicks) << "window " << windows[i];
    }
}

TEST(TitleCache, MatchesAreKeptAndGoneWindowsForgotten)
{
    TitleCache c;
    title_cache_begin(c);
    ASSERT_TRUE(title_cache_needs_read(c, 0x40));
    title_cache_store(c, 0x40, TitleMatch::English);
    ASSERT_TRUE(title_cache_needs_read(c, 0x44));
    title_cache_store(c, 0x44, TitleMatch::Russian);
    title_cache_end(c);
    EXPECT_EQ(title_cache_match(c, 0x40), TitleMatch::English);
    EXPECT_EQ(title_cache_match(c, 0x44), TitleMatch::Russian);

    // 0x44 closes; a new window that reuses its handle later starts as new and is read.
    title_cache_begin(c);
    title_cache_needs_read(c, 0x40);
    title_cache_end(c);
    EXPECT_EQ(title_cache_match(c, 0x44), TitleMatch::None);
    EXPECT_EQ(c.windows.size(), 1u);
    title_cache_begin(c);
    EXPECT_TRUE(title_cache_needs_read(c, 0x44));
    title_cache_end(c);
}
