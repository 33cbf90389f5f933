// title_cache.h - which top-level window titles a capture tick reads, and which popups were
// already taken.
// Reading another process's window title is a round trip to the window server, and so is
// every window an enumeration of all top-level windows visits; a tick runs twenty times a
// second. So a tick lists only the dialog-class windows (what the service's message boxes
// are), and once a second every top-level window. Titles are kept between ticks: a window
// is read when first seen, on every tick while young (a message box gets its caption a
// moment after it exists), and afterwards, whatever its class, once a second, the old
// windows spread evenly over the ticks of that second.
// A hint (the message service's word that one of its popups is ready; any program can send one)
// names a window: it costs at most the read of that window's title, and the hinted steps that
// take nothing are limited to a few per tick.
#ifndef TOLVIK_TITLE_CACHE_H
#define TOLVIK_TITLE_CACHE_H

#include <cstdint>
#include <unordered_map>
#include <vector>

// What a window's title was found to be: one of the two popup titles, byte for byte or
// only under the locale's case-insensitive comparison. Also the lookup order of the groups.
enum class TitleMatch : std::uint8_t { None, RussianExact, Russian, EnglishExact, English };

struct TitleCache {
    struct Entry {
        std::uint64_t firstTick; // tick the window was first seen
        std::uint64_t seenTick;  // last tick a listing met it
        std::uint64_t order;     // when a listing last met it: the lookup order within a group
        std::uint32_t slot;      // an old window is read on the ticks where tick % kRefreshTicks == slot
        TitleMatch match;
        bool taken;              // filed (or found a duplicate) and sent WM_CLOSE
        std::uint64_t takenTick; // the tick it was marked taken in
    };
    std::unordered_map<std::uintptr_t, Entry> windows;
    std::uint64_t tick = 0;
    std::uint64_t nextOrder = 0;
    std::uint32_t nextSlot = 0; // slots are dealt in turn, so each tick re-reads a twentieth
    std::uint32_t hintMisses = 0; // hints since this tick began that took no popup
};

constexpr std::uint64_t kYoungTicks = 40;   // a listed window is read every tick for its first 2 s
constexpr std::uint64_t kRefreshTicks = 20; // every window is read once every 20 ticks (1 s)
constexpr std::uint32_t kHintMissesPerTick = 4; // hints that take no popup, heeded per tick

// Starts a tick.
void title_cache_begin(TitleCache &cache);

// True when this tick lists every top-level window (once every kRefreshTicks, the first
// tick included); on the other ticks only the dialog-class windows are listed.
bool title_cache_full_scan(const TitleCache &cache);

// For a window met by this tick's listing: true when its title must be read now (then call
// title_cache_store); the cached match otherwise stays in force.
bool title_cache_needs_read(TitleCache &cache, std::uintptr_t window);

// After the listing: the known windows it did not meet whose title is due this tick.
std::vector<std::uintptr_t> title_cache_due(const TitleCache &cache);

void title_cache_store(TitleCache &cache, std::uintptr_t window, TitleMatch match);

// The windows with a popup title, in lookup order: by group (TitleMatch order), and within a
// group in the order the listings met them.
std::vector<std::uintptr_t> title_cache_popups(const TitleCache &cache);

// A popup that was taken stays taken while the window exists: it is never filed again
// and never stands in front of the popups behind it, however long it takes to close.
void title_cache_mark_taken(TitleCache &cache, std::uintptr_t window);
bool title_cache_taken(const TitleCache &cache, std::uintptr_t window);

// Whether a hint naming this window is worth the read of its title: not when the window is a
// popup taken already, nor once this tick's share of hints that took nothing is used up.
bool title_cache_hint_wanted(const TitleCache &cache, std::uintptr_t window);

// The title of a hinted window was read: a known window takes the result, and a popup not known
// yet is known from now on as if this tick's listing had met it.
void title_cache_hinted(TitleCache &cache, std::uintptr_t window, TitleMatch match);

// A hint took no popup: it counts against this tick's share.
void title_cache_hint_missed(TitleCache &cache);

// Ends a tick: after a full scan, the windows it did not meet are forgotten, but for a popup
// taken since the full scan before: a hinted popup may be a window no listing meets (the
// message service keeps it message-only until it shows it), and its mark must outlast it.
void title_cache_end(TitleCache &cache);

#endif
