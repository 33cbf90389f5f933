// incoming_logic.h - incoming list selection and message store bookkeeping.
#ifndef TOLVIK_INCOMING_LOGIC_H
#define TOLVIK_INCOMING_LOGIC_H

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

constexpr std::size_t kStoreValueNameDigits = 9;

// Name of stored message i: i in decimal, zero-padded to 9 digits ("000000000", "000000001").
// Indexes of 10^9 and more get their plain decimal digits (still unique, never cut).
std::string store_value_name(std::size_t i);

// Item to give the selected and focused states after deleting every selected item of a list of
// count_before items (walking from the last to the first): the item now at the smallest deleted
// index, or the last item when that index lies past the new end. -1 when nothing was deleted or
// nothing remains. Indexes outside 0..count_before-1 and repeated indexes are ignored.
int selection_after_delete(int count_before, const std::vector<int> &selected);

// The Message column's text of a message: every line break (CR LF, or a lone CR or LF) shows
// as one space. The item's full text keeps the breaks.
std::string message_column_text(std::string_view message);

// What the store holds relative to the list, kept by the Win32 side between saves.
struct StoreTracker {
    std::size_t stored = 0;      // values 0..stored-1 exist in the key (when known)
    std::size_t dirty_from = 0;  // first list position changed since the last save
    bool known = false;          // false: the key's content is unknown (never saved or loaded
                                 // from a key that did not mirror the list): rewrite it whole
};

// Records that list positions from `first` on may differ from the store (an append at
// index i passes i; a delete of items whose smallest index is i passes i; delete-all passes 0).
// Several changes between saves accumulate: the smallest position wins.
void store_note_change(StoreTracker &t, std::size_t first);

struct StoreWrites {
    bool delete_key;          // delete the whole key first (unknown content, or empty list)
    std::size_t write_from;   // write values write_from .. write_to-1 from the list
    std::size_t write_to;
    std::size_t remove_from;  // then delete values remove_from .. remove_to-1
    std::size_t remove_to;
};

// The writes that bring the store from its tracked state to a list of `count` items. The result
// is what deleting the key and writing every item would leave; an empty list leaves no key.
// Unknown content: delete the key, then write 0..count-1. Known content: write the changed
// positions (from dirty_from, or from the end of the stored values if that is earlier) up to
// count-1, and remove the surplus values count..stored-1. Cost does not depend on count.
StoreWrites store_writes(const StoreTracker &t, std::size_t count);

// After the writes succeeded: the store mirrors the list of `count` items.
void store_written(StoreTracker &t, std::size_t count);

// After a write failed: nothing is known about the key any more.
void store_write_failed(StoreTracker &t);

#endif
