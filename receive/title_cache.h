// title_cache.h - which top-level window titles a capture tick has to read again.
// Reading another process's window title is a round trip to the window server, and a tick
// runs twenty times a second over every top-level window. Titles are kept between ticks:
// a window seen for the first time is read at once, a young window (a message box gets its
// caption a moment after it exists) on every tick, and an older one about once a second.
#ifndef TOLVIK_TITLE_CACHE_H
#define TOLVIK_TITLE_CACHE_H

#include <cstdint>
#include <unordered_map>

// What a window's title was found to be: one of the two popup titles, byte for byte or
// only under the locale's case-insensitive comparison.
enum class TitleMatch : std::uint8_t { None, RussianExact, Russian, EnglishExact, English };

struct TitleCache {
    struct Entry {
        std::uint64_t firstTick; // tick the window was first seen
        std::uint64_t seenTick;  // last tick it was enumerated
        TitleMatch match;
    };
    std::unordered_map<std::uintptr_t, Entry> windows;
    std::uint64_t tick = 0;
};

constexpr std::uint64_t kYoungTicks = 40;   // read every tick for the first 2 s
constexpr std::uint64_t kRefreshTicks = 20; // afterwards once every 20 ticks (1 s)

// Starts a tick (call once before the enumeration).
void title_cache_begin(TitleCache &cache);

// For a window met by this tick's enumeration: true when its title must be read now
// (then call title_cache_store); the cached match otherwise stays in force.
bool title_cache_needs_read(TitleCache &cache, std::uintptr_t window);

void title_cache_store(TitleCache &cache, std::uintptr_t window, TitleMatch match);

// The cached match of a window met this tick.
TitleMatch title_cache_match(const TitleCache &cache, std::uintptr_t window);

// Ends a tick: windows this tick did not meet are forgotten.
void title_cache_end(TitleCache &cache);

#endif
