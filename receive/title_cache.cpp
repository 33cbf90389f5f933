// title_cache.cpp - the read schedule of top-level window titles for the capture tick.
#include "receive/title_cache.h"

#include <algorithm>
#include <iterator>
#include <utility>

void title_cache_begin(TitleCache &cache)
{
    ++cache.tick;
    cache.hintMisses = 0;
}

bool title_cache_full_scan(const TitleCache &cache)
{
    return cache.tick % kRefreshTicks == 1;
}

static bool slot_due(const TitleCache &cache, const TitleCache::Entry &e)
{
    return cache.tick % kRefreshTicks == e.slot;
}

static void add_window(TitleCache &cache, std::uintptr_t window, TitleMatch match)
{
    std::uint32_t slot = cache.nextSlot;
    cache.nextSlot = (slot + 1) % kRefreshTicks;
    cache.windows.emplace(window, TitleCache::Entry{cache.tick, cache.tick, cache.nextOrder++, slot, match, false, 0});
}

bool title_cache_needs_read(TitleCache &cache, std::uintptr_t window)
{
    auto it = cache.windows.find(window);
    if (it == cache.windows.end()) {
        add_window(cache, window, TitleMatch::None);
        return true;
    }
    TitleCache::Entry &e = it->second;
    e.seenTick = cache.tick;
    e.order = cache.nextOrder++;
    return cache.tick - e.firstTick < kYoungTicks || slot_due(cache, e);
}

std::vector<std::uintptr_t> title_cache_due(const TitleCache &cache)
{
    std::vector<std::uintptr_t> due;
    for (const auto &[window, e] : cache.windows)
        if (e.seenTick != cache.tick && slot_due(cache, e))
            due.push_back(window);
    return due;
}

void title_cache_store(TitleCache &cache, std::uintptr_t window, TitleMatch match)
{
    auto it = cache.windows.find(window);
    if (it != cache.windows.end())
        it->second.match = match;
}

std::vector<std::uintptr_t> title_cache_popups(const TitleCache &cache)
{
    std::vector<std::pair<std::pair<TitleMatch, std::uint64_t>, std::uintptr_t>> found;
    for (const auto &[window, e] : cache.windows)
        if (e.match != TitleMatch::None)
            found.push_back({{e.match, e.order}, window});
    std::sort(found.begin(), found.end());
    std::vector<std::uintptr_t> popups;
    for (const auto &f : found)
        popups.push_back(f.second);
    return popups;
}

void title_cache_mark_taken(TitleCache &cache, std::uintptr_t window)
{
    auto it = cache.windows.find(window);
    if (it != cache.windows.end()) {
        it->second.taken = true;
        it->second.takenTick = cache.tick;
    }
}

bool title_cache_taken(const TitleCache &cache, std::uintptr_t window)
{
    auto it = cache.windows.find(window);
    return it != cache.windows.end() && it->second.taken;
}

bool title_cache_hint_wanted(const TitleCache &cache, std::uintptr_t window)
{
    return cache.hintMisses < kHintMissesPerTick && !title_cache_taken(cache, window);
}

void title_cache_hinted(TitleCache &cache, std::uintptr_t window, TitleMatch match)
{
    auto it = cache.windows.find(window);
    if (it != cache.windows.end())
        it->second.match = match;
    else if (match != TitleMatch::None)
        add_window(cache, window, match);
}

void title_cache_hint_missed(TitleCache &cache)
{
    ++cache.hintMisses;
}

void title_cache_end(TitleCache &cache)
{
    if (!title_cache_full_scan(cache))
        return;
    for (auto it = cache.windows.begin(); it != cache.windows.end();) {
        const TitleCache::Entry &e = it->second;
        bool keep = e.seenTick == cache.tick || (e.taken && cache.tick - e.takenTick <= kRefreshTicks);
        it = keep ? std::next(it) : cache.windows.erase(it);
    }
}
