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

StorePlan plan_store_update(const std::vector<std::string> &stored,
                            const std::vector<std::string> &current)
{
    StorePlan plan{};
    if (current.empty()) {
        plan.delete_key = true;
        return plan;
    }
    auto differs = [&](std::size_t i) { return i >= stored.size() || stored[i] != current[i]; };

    std::size_t first = 0;
    while (first < current.size() && !differs(first))
        ++first;
    std::size_t end = current.size();
    while (end > first && !differs(end - 1))
        --end;
    if (end > first) {
        plan.first_write = first;
        plan.write_count = end - first;
    }
    if (stored.size() > current.size()) {
        plan.remove_from = current.size();
        plan.remove_count = stored.size() - current.size();
    }
    return plan;
}
