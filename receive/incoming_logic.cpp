// incoming_logic.cpp - incoming list selection and message store bookkeeping.
#include "receive/incoming_logic.h"

#include <algorithm>
#include <cstdio>

std::string store_value_name(std::size_t i)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%0*zu", static_cast<int>(kStoreValueNameDigits), i);
    return buf;
}

int selection_after_delete(int count_before, const std::vector<int> &selected)
{
    if (count_before <= 0)
        return -1;
    std::vector<bool> marked(static_cast<std::size_t>(count_before), false);
    for (int index : selected)
        if (index >= 0 && index < count_before)
            marked[static_cast<std::size_t>(index)] = true;

    int remaining = count_before;
    int smallest_deleted = -1;
    for (int i = count_before - 1; i >= 0; --i) {
        if (marked[static_cast<std::size_t>(i)]) {
            --remaining;
            smallest_deleted = i;
        }
    }
    if (smallest_deleted < 0 || remaining == 0)
        return -1;
    return std::min(smallest_deleted, remaining - 1);
}

void store_note_change(StoreTracker &t, std::size_t first)
{
    t.dirty_from = std::min(t.dirty_from, first);
}

StoreWrites store_writes(const StoreTracker &t, std::size_t count)
{
    StoreWrites w{};
    if (count == 0) {
        w.delete_key = true;
        return w;
    }
    if (!t.known) {
        w.delete_key = true;
        w.write_to = count;
        return w;
    }
    // Values past the stored end do not exist yet, so they are written even if no change was
    // noted for them.
    w.write_from = std::min({t.dirty_from, t.stored, count});
    w.write_to = count;
    w.remove_from = count;
    w.remove_to = std::max(t.stored, count);
    return w;
}

void store_written(StoreTracker &t, std::size_t count)
{
    t.stored = count;
    t.dirty_from = count;
    t.known = true;
}

void store_write_failed(StoreTracker &t)
{
    t = StoreTracker{};
}

std::string message_column_text(std::string_view message)
{
    std::string out;
    out.reserve(message.size());
    for (std::size_t i = 0; i < message.size(); ++i) {
        char c = message[i];
        if (c == '\r' && i + 1 < message.size() && message[i + 1] == '\n')
            ++i;
        out += (c == '\r' || c == '\n') ? ' ' : c;
    }
    return out;
}
