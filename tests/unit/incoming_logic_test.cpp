// Unit tests for the incoming list's selection after delete and the message store plan.
#include "receive/incoming_logic.h"

#include <gtest/gtest.h>
#include <map>
#include <random>
#include <string>
#include <vector>

TEST(StoreValueName, ZeroPaddedNineDigits)
{
    struct Case { std::size_t index; const char *want; };
    const Case cases[] = {
        {0, "000000000"},         {1, "000000001"},     {42, "000000042"},
        {123456789, "123456789"}, {999999999, "999999999"}, {1000000000, "1000000000"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(store_value_name(c.index), c.want) << c.index;
}

TEST(SelectionAfterDelete, ItemAtSmallestDeletedIndexOrLast)
{
    struct Case { const char *what; int count; std::vector<int> selected; int want; };
    const Case cases[] = {
        {"last two of five", 5, {3, 4}, 2},
        {"items 1 and 3 of five", 5, {1, 3}, 1},
        {"selection order does not matter", 5, {3, 1}, 1},
        {"first of five", 5, {0}, 0},
        {"only the last", 5, {4}, 3},
        {"all of five", 5, {0, 1, 2, 3, 4}, -1},
        {"only item", 1, {0}, -1},
        {"nothing selected", 5, {}, -1},
        {"empty list", 0, {}, -1},
        {"out-of-range indexes ignored", 5, {-1, 5, 99}, -1},
        {"repeated index counted once", 5, {4, 4}, 3},
        {"middle run", 6, {2, 3, 4}, 2},
    };
    for (const Case &c : cases)
        EXPECT_EQ(selection_after_delete(c.count, c.selected), c.want) << c.what;
}

namespace {

using List = std::vector<std::string>;
using Store = std::map<std::string, std::string>;

Store full_rewrite(const List &items)
{
    Store store;
    for (std::size_t i = 0; i < items.size(); ++i)
        store[store_value_name(i)] = items[i];
    return store;
}

void apply(const StorePlan &plan, const List &current, Store &store)
{
    if (plan.delete_key)
        store.clear();
    for (std::size_t i = plan.first_write; i < plan.first_write + plan.write_count; ++i)
        store[store_value_name(i)] = current.at(i);
    for (std::size_t i = plan.remove_from; i < plan.remove_from + plan.remove_count; ++i)
        store.erase(store_value_name(i));
}

} // namespace

TEST(PlanStoreUpdate, Tables)
{
    struct Want { bool delete_key; std::size_t first, count, remove_from, remove_count; };
    struct Case { const char *what; List stored, current; Want want; };
    const Case cases[] = {
        {"unchanged", {"a", "b"}, {"a", "b"}, {false, 0, 0, 0, 0}},
        {"append to empty", {}, {"a"}, {false, 0, 1, 0, 0}},
        {"append", {"a", "b"}, {"a", "b", "c"}, {false, 2, 1, 0, 0}},
        {"delete first", {"a", "b", "c"}, {"b", "c"}, {false, 0, 2, 2, 1}},
        {"delete middle", {"a", "b", "c", "d"}, {"a", "c", "d"}, {false, 1, 2, 3, 1}},
        {"delete last", {"a", "b", "c"}, {"a", "b"}, {false, 0, 0, 2, 1}},
        {"delete two in the middle", {"a", "b", "c", "d", "e"}, {"a", "d", "e"}, {false, 1, 2, 3, 2}},
        {"delete one of equal neighbours", {"a", "x", "x", "b"}, {"a", "x", "b"}, {false, 2, 1, 3, 1}},
        {"delete all", {"a", "b"}, {}, {true, 0, 0, 0, 0}},
        {"empty stays empty", {}, {}, {true, 0, 0, 0, 0}},
        {"replaced text", {"a", "b", "c"}, {"a", "B", "c"}, {false, 1, 1, 0, 0}},
    };
    for (const Case &c : cases) {
        const StorePlan p = plan_store_update(c.stored, c.current);
        EXPECT_EQ(p.delete_key, c.want.delete_key) << c.what;
        EXPECT_EQ(p.first_write, c.want.first) << c.what;
        EXPECT_EQ(p.write_count, c.want.count) << c.what;
        EXPECT_EQ(p.remove_from, c.want.remove_from) << c.what;
        EXPECT_EQ(p.remove_count, c.want.remove_count) << c.what;

        Store store = full_rewrite(c.stored);
        apply(p, c.current, store);
        EXPECT_EQ(store, full_rewrite(c.current)) << c.what;
    }
}

// Random appends and deletes (few distinct texts, so equal neighbours are common): after each
// edit the plan must reproduce the full rewrite, and its write range must start and end on a
// value that actually changed.
TEST(PlanStoreUpdate, MatchesFullRewriteOverRandomEdits)
{
    std::mt19937 rng(20011206);
    for (int run = 0; run < 200; ++run) {
        List list;
        Store store;
        for (int step = 0; step < 60; ++step) {
            List next = list;
            const unsigned kind = rng() % 10;
            if (kind < 5 || next.empty()) {
                next.push_back(std::string(1, static_cast<char>('a' + rng() % 3)));
            } else if (kind < 9) {
                const std::size_t deletions = 1 + rng() % next.size();
                for (std::size_t d = 0; d < deletions && !next.empty(); ++d)
                    next.erase(next.begin() + static_cast<std::ptrdiff_t>(rng() % next.size()));
            } else {
                next.clear();
            }

            const StorePlan plan = plan_store_update(list, next);
            apply(plan, next, store);
            ASSERT_EQ(store, full_rewrite(next)) << "run " << run << " step " << step;
            if (plan.write_count > 0) {
                const std::size_t first = plan.first_write;
                const std::size_t last = first + plan.write_count - 1;
                EXPECT_TRUE(first >= list.size() || list[first] != next[first]);
                EXPECT_TRUE(last >= list.size() || list[last] != next[last]);
            }
            list = next;
        }
    }
}
