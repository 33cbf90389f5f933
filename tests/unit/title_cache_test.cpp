// Unit tests for the capture tick's title read schedule.
#include "receive/title_cache.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <vector>

namespace {

// The top-level windows as a capture tick sees them: their titles, and which are dialogs.
struct World {
    std::vector<std::uintptr_t> windows; // in listing (Z) order
    std::set<std::uintptr_t> dialogs;
    std::map<std::uintptr_t, TitleMatch> titles;
};

// One tick the way the capture runs it: the listing the schedule asks for, then the due
// reads. Returns the windows whose title was read.
std::set<std::uintptr_t> tick(TitleCache &c, const World &world)
{
    std::set<std::uintptr_t> read;
    auto read_one = [&](std::uintptr_t w) {
        read.insert(w);
        auto t = world.titles.find(w);
        title_cache_store(c, w, t == world.titles.end() ? TitleMatch::None : t->second);
    };
    title_cache_begin(c);
    bool full = title_cache_full_scan(c);
    for (std::uintptr_t w : world.windows)
        if ((full || world.dialogs.count(w)) && title_cache_needs_read(c, w))
            read_one(w);
    for (std::uintptr_t w : title_cache_due(c))
        read_one(w);
    title_cache_end(c);
    return read;
}

World mixed_world()
{
    World w;
    // Handle values of every residue: the old schedule never re-read most of them.
    for (std::uintptr_t h = 0x10020; h < 0x10020 + 4 * 60; h += 4)
        w.windows.push_back(h);
    for (std::size_t i = 0; i < w.windows.size(); i += 3)
        w.dialogs.insert(w.windows[i]);
    return w;
}

} // namespace

TEST(TitleCache, EveryWindowOfAnyClassIsReadOnceASecondSpreadOverTheTicks)
{
    TitleCache c;
    World world = mixed_world();
    for (std::uint64_t t = 0; t < kYoungTicks; ++t)
        tick(c, world);
    std::map<std::uintptr_t, std::uint64_t> lastRead;
    std::size_t most = 0;
    for (std::uint64_t t = 1; t <= 10 * kRefreshTicks; ++t) {
        std::set<std::uintptr_t> read = tick(c, world);
        most = std::max(most, read.size());
        for (std::uintptr_t w : read) {
            if (lastRead.count(w)) {
                EXPECT_LE(t - lastRead[w], kRefreshTicks) << "window " << std::hex << w;
            }
            lastRead[w] = t;
        }
    }
    EXPECT_EQ(lastRead.size(), world.windows.size()) << "every window was read";
    for (const auto &[w, last] : lastRead)
        EXPECT_GT(last, 9 * kRefreshTicks) << "window " << std::hex << w << " read in the last second";
    EXPECT_EQ(most, world.windows.size() / kRefreshTicks) << "the re-reads are spread evenly";
}

TEST(TitleCache, NewDialogsAreReadAtOnceAndWhileYoungOthersAtTheNextFullScan)
{
    TitleCache c;
    World world = mixed_world();
    tick(c, world); // a full scan
    world.windows.insert(world.windows.begin(), {0x900, 0x904});
    world.dialogs.insert(0x900);
    for (std::uint64_t t = 2; t <= kRefreshTicks; ++t) {
        std::set<std::uintptr_t> read = tick(c, world);
        EXPECT_TRUE(read.count(0x900)) << "young dialog, tick " << t;
        EXPECT_FALSE(read.count(0x904)) << "unlisted plain window, tick " << t;
    }
    EXPECT_TRUE(tick(c, world).count(0x904)) << "met by the full scan";
}

TEST(TitleCache, WindowRenamedLateIsFoundWithinASecond)
{
    for (bool dialog : {false, true}) {
        TitleCache c;
        World world = mixed_world();
        const std::uintptr_t late = world.windows[dialog ? 3 : 4];
        ASSERT_EQ(world.dialogs.count(late) == 1, dialog);
        for (std::uint64_t t = 0; t < 3 * kYoungTicks + 7; ++t)
            tick(c, world);
        world.titles[late] = TitleMatch::English;
        std::uint64_t ticks = 0;
        while (title_cache_popups(c).empty() && ticks < 5 * kRefreshTicks) {
            tick(c, world);
            ++ticks;
        }
        EXPECT_LE(ticks, kRefreshTicks) << (dialog ? "dialog" : "plain window");
        EXPECT_EQ(title_cache_popups(c), std::vector<std::uintptr_t>{late});
    }
}

TEST(TitleCache, PopupsInLookupOrderTakenOnesKeptGoneOnesForgotten)
{
    TitleCache c;
    World world;
    world.windows = {0x40, 0x44, 0x48, 0x4c};
    world.dialogs = {0x40, 0x44, 0x48, 0x4c};
    world.titles = {{0x40, TitleMatch::English}, {0x44, TitleMatch::RussianExact}, {0x4c, TitleMatch::English}};
    tick(c, world);
    EXPECT_EQ(title_cache_popups(c), (std::vector<std::uintptr_t>{0x44, 0x40, 0x4c}));
    title_cache_mark_taken(c, 0x40);
    tick(c, world);
    EXPECT_TRUE(title_cache_taken(c, 0x40));
    EXPECT_FALSE(title_cache_taken(c, 0x4c));

    // 0x40 closes: a full scan forgets it once a whole second has passed since it was taken; a
    // window that reuses its handle is new.
    world.windows = {0x44, 0x48, 0x4c};
    for (int scans = 0; scans < 2; ++scans)
        do
            tick(c, world);
        while (!title_cache_full_scan(c));
    EXPECT_EQ(title_cache_popups(c), (std::vector<std::uintptr_t>{0x44, 0x4c}));
    EXPECT_EQ(c.windows.size(), 3u);
    world.windows.push_back(0x40);
    EXPECT_TRUE(tick(c, world).count(0x40));
    EXPECT_FALSE(title_cache_taken(c, 0x40));
}

TEST(TitleCache, HintsThatTakeNothingAreHeededAFewPerTickAndNeverForATakenPopup)
{
    TitleCache c;
    World world;
    world.windows = {0x40};
    world.dialogs = {0x40};
    tick(c, world);
    for (std::uint32_t i = 0; i < kHintMissesPerTick; ++i) {
        EXPECT_TRUE(title_cache_hint_wanted(c, 0x50 + i)) << "hint " << i;
        title_cache_hinted(c, 0x50 + i, TitleMatch::None);
        title_cache_hint_missed(c);
    }
    EXPECT_FALSE(title_cache_hint_wanted(c, 0x60)) << "the tick's share is used up";
    EXPECT_EQ(c.windows.size(), 1u) << "windows that are no popups are not kept";
    tick(c, world);
    EXPECT_TRUE(title_cache_hint_wanted(c, 0x60)) << "the next tick heeds hints again";
    // A hinted popup is known at once; once taken, hints naming it are not heeded.
    title_cache_hinted(c, 0x64, TitleMatch::English);
    EXPECT_EQ(title_cache_popups(c), std::vector<std::uintptr_t>{0x64});
    title_cache_mark_taken(c, 0x64);
    EXPECT_FALSE(title_cache_hint_wanted(c, 0x64));
    // No listing meets it (a message-only window): the next full scan keeps its mark.
    while (!title_cache_full_scan(c))
        tick(c, world);
    EXPECT_TRUE(title_cache_taken(c, 0x64));
}
