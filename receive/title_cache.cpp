// title_cache.cpp - the read schedule of top-level window titles for the capture tick.
#include "receive/title_cache.h"

#include <iterator>

void title_cache_begin(TitleCache &cache)
{
    ++cache.tick;
}

bool title_cache_needs_read(TitleCache &cache, std::uintptr_t window)
{
    auto it = cache.windows.find(window);
    if (it == cache.windows.end()) {
        cache.windows.emplace(window, TitleCache::Entry{cache.tick, cache.tick, TitleMatch::None});
        return true;
    }
    TitleCache::Entry &e = it->second;
    e.seenTick = cache.tick;
    std::uint64_t age = cache.tick - e.firstTick;
    if (age < kYoungTicks)
        return true;
    // Older windows are spread over the refresh period by their handle value.
    return (cache.tick + (window >> 2)) % kRefreshTicks == 0;
}

void title_cache_store(TitleCache &cache, std::uintptr_t window, TitleMatch match)
{
    auto it = cache.windows.find(window);
    if (it != cache.windows.end())
        it->second.match = match;
}

TitleMatch title_cache_match(const TitleCache &cache, std::uintptr_t window)
{
    auto it = cache.windows.find(window);
    return it == cache.windows.end() ? TitleMatch::None : it->second.match;
}

void title_cache_end(TitleCache &cache)
{
    for (auto it = cache.windows.begin(); it != cache.windows.end();)
        it = it->second.seenTick == cache.tick ? std::next(it) : cache.windows.erase(it);
}
