// incoming_logic.h - incoming list selection and message store bookkeeping.
#ifndef TOLVIK_INCOMING_LOGIC_H
#define TOLVIK_INCOMING_LOGIC_H

#include <cstddef>
#include <string>
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

// Writes that take the store from `stored` to `current` (value i holds item i). Applying the
// plan leaves the same values as deleting the key and writing every item of `current`.
struct StorePlan {
    bool delete_key;           // delete the whole key; the other fields are then zero
    std::size_t first_write;   // write values first_write .. first_write + write_count - 1
    std::size_t write_count;   //   with the matching items of `current`
    std::size_t remove_from;   // delete values remove_from .. remove_from + remove_count - 1
    std::size_t remove_count;
};

// Assumes the store holds exactly `stored`. The write range is the shortest one covering every
// value that differs or is new; surplus values past current.size() are removed. An empty
// `current` deletes the key.
StorePlan plan_store_update(const std::vector<std::string> &stored,
                            const std::vector<std::string> &current);

#endif
