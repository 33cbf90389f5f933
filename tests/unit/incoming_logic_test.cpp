// Unit tests for the incoming list's selection after delete and the message store tracker.
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

struct Applied { std::size_t written = 0, removed = 0; };

Applied apply(const StoreWrites &w, const List &list, Store &store)
{
    Applied done;
    if (w.delete_key)
        store.clear();
    for (std::size_t i = w.write_from; i < w.write_to; ++i, ++done.written)
        store[store_value_name(i)] = list.at(i);
    for (std::size_t i = w.remove_from; i < w.remove_to; ++i)
        done.removed += store.erase(store_value_name(i));
    return done;
}

constexpr std::size_t kNothingChanged = static_cast<std::size_t>(-1);

struct Edit {
    std::size_t first = kNothingChanged;  // smallest list position the edit touched
    bool single_append = false;
};

// One to three random appends/deletes on `list` (few distinct texts, so equal neighbours are
// common), each reported to the tracker the way the list window reports it.
Edit random_edit(List &list, StoreTracker &t, std::mt19937 &rng)
{
    Edit edit;
    const unsigned ops = rng() % 4 == 0 ? 2 + rng() % 2 : 1;
    unsigned appends = 0;
    for (unsigned op = 0; op < ops; ++op) {
        const unsigned kind = rng() % 10;
        std::size_t first = 0;
        if (kind < 5 || list.empty()) {
            first = list.size();
            list.push_back(std::string(1, static_cast<char>('a' + rng() % 3)));
            ++appends;
        } else if (kind < 9) {
            std::vector<bool> doomed(list.size(), false);
            for (std::size_t i = 0; i < list.size(); ++i)
                doomed[i] = rng() % 3 == 0;
            doomed[rng() % list.size()] = true;
            first = list.size();
            for (std::size_t i = list.size(); i-- > 0;) {
                if (doomed[i]) {
                    list.erase(list.begin() + static_cast<std::ptrdiff_t>(i));
                    first = i;
                }
            }
        } else {
            list.clear();
            first = 0;
        }
        store_note_change(t, first);
        edit.first = std::min(edit.first, first);
    }
    edit.single_append = ops == 1 && appends == 1;
    return edit;
}

} // namespace

TEST(StoreTracker, WritesForTrackedChanges)
{
    enum class Start { Fresh, Saved, SavedThenFailed };
    struct Want { bool delete_key; std::size_t write_from, write_to, remove_from, remove_to; };
    struct Case {
        const char *what;
        Start start;
        std::size_t stored;               // items saved before the changes (Saved*)
        std::vector<std::size_t> notes;   // store_note_change calls since then
        std::size_t count;                // list size now
        Want want;
    };
    const Case cases[] = {
        {"append to empty", Start::Saved, 0, {0}, 1, {false, 0, 1, 1, 1}},
        {"append to 5", Start::Saved, 5, {5}, 6, {false, 5, 6, 6, 6}},
        {"delete middle of 5", Start::Saved, 5, {2}, 4, {false, 2, 4, 4, 5}},
        {"delete first of 5", Start::Saved, 5, {0}, 4, {false, 0, 4, 4, 5}},
        {"delete last of 5", Start::Saved, 5, {4}, 4, {false, 4, 4, 4, 5}},
        {"delete last two of five", Start::Saved, 5, {3}, 3, {false, 3, 3, 3, 5}},
        {"delete items 1 and 3 of five", Start::Saved, 5, {1}, 3, {false, 1, 3, 3, 5}},
        {"delete all", Start::Saved, 5, {0}, 0, {true, 0, 0, 0, 0}},
        {"nothing changed", Start::Saved, 4, {}, 4, {false, 4, 4, 4, 4}},
        {"two appends between saves", Start::Saved, 2, {2, 3}, 4, {false, 2, 4, 4, 4}},
        {"delete then append before saving", Start::Saved, 5, {1, 4}, 5, {false, 1, 5, 5, 5}},
        {"append then delete earlier", Start::Saved, 3, {3, 1}, 3, {false, 1, 3, 3, 3}},
        {"unknown state", Start::Fresh, 0, {}, 3, {true, 0, 3, 0, 0}},
        {"unknown state, change noted", Start::Fresh, 0, {2}, 3, {true, 0, 3, 0, 0}},
        {"first append, never saved", Start::Fresh, 0, {0}, 1, {true, 0, 1, 0, 0}},
        {"count 0 known", Start::Saved, 0, {}, 0, {true, 0, 0, 0, 0}},
        {"count 0 unknown", Start::Fresh, 0, {}, 0, {true, 0, 0, 0, 0}},
        {"after a failed write", Start::SavedThenFailed, 5, {}, 5, {true, 0, 5, 0, 0}},
        {"after a failed write, shrunk", Start::SavedThenFailed, 5, {2}, 3, {true, 0, 3, 0, 0}},
        {"after a failed write, emptied", Start::SavedThenFailed, 5, {0}, 0, {true, 0, 0, 0, 0}},
    };
    for (const Case &c : cases) {
        StoreTracker t;
        if (c.start != Start::Fresh)
            store_written(t, c.stored);
        if (c.start == Start::SavedThenFailed)
            store_write_failed(t);
        for (std::size_t first : c.notes)
            store_note_change(t, first);

        const StoreWrites w = store_writes(t, c.count);
        EXPECT_EQ(w.delete_key, c.want.delete_key) << c.what;
        EXPECT_EQ(w.write_from, c.want.write_from) << c.what;
        EXPECT_EQ(w.write_to, c.want.write_to) << c.what;
        EXPECT_EQ(w.remove_from, c.want.remove_from) << c.what;
        EXPECT_EQ(w.remove_to, c.want.remove_to) << c.what;

        store_written(t, c.count);
        EXPECT_TRUE(t.known) << c.what;
        EXPECT_EQ(t.stored, c.count) << c.what;
        EXPECT_EQ(t.dirty_from, c.count) << c.what;
    }
}

// A tracker restored by hand (e.g. after loading a key known to mirror the list) may claim a
// first change past the stored end; the missing values must still be written.
TEST(StoreTracker, ValuesPastStoredEndAreWritten)
{
    struct Case { std::size_t stored, dirty_from, count; };
    const Case cases[] = {{2, 5, 4}, {0, 3, 3}, {2, 4, 4}, {3, 9, 1}, {4, 4, 4}};
    for (const Case &c : cases) {
        List list;
        for (std::size_t i = 0; i < c.count; ++i)
            list.push_back("item " + std::to_string(i));
        Store store = full_rewrite(List(list.begin(),
                                        list.begin() + static_cast<std::ptrdiff_t>(
                                                           std::min(c.stored, c.count))));
        for (std::size_t i = c.count; i < c.stored; ++i)
            store[store_value_name(i)] = "surplus";
        StoreTracker t;
        t.stored = c.stored;
        t.dirty_from = c.dirty_from;
        t.known = true;
        apply(store_writes(t, c.count), list, store);
        EXPECT_EQ(store, full_rewrite(list))
            << "stored " << c.stored << " dirty_from " << c.dirty_from << " count " << c.count;
    }
}

// Random appends and deletes, saving after each: the store must always hold what a full
// rewrite would leave, and once its content is known only the changed tail is written and only
// the surplus values are removed (a lone append writes exactly one value).
TEST(StoreTracker, MatchesFullRewriteOverRandomEdits)
{
    std::mt19937 rng(20011206);
    for (int run = 0; run < 200; ++run) {
        List list;
        // Left over from a key that did not mirror the list.
        Store store{{"stale", "x"}, {store_value_name(0), "old"}, {store_value_name(7), "old"}};
        StoreTracker t;
        for (int step = 0; step < 60; ++step) {
            const bool was_known = t.known;
            const std::size_t before = list.size();
            const Edit edit = random_edit(list, t, rng);

            const StoreWrites w = store_writes(t, list.size());
            const Applied done = apply(w, list, store);
            store_written(t, list.size());
            ASSERT_EQ(store, full_rewrite(list)) << "run " << run << " step " << step;

            if (!was_known) {
                EXPECT_TRUE(w.delete_key) << "run " << run << " step " << step;
                continue;
            }
            if (edit.single_append) {
                EXPECT_EQ(done.written, 1u) << "run " << run << " step " << step;
            }
            const std::size_t n = list.size();
            EXPECT_EQ(done.written, n - std::min(edit.first, n))
                << "run " << run << " step " << step;
            if (n > 0) {
                EXPECT_EQ(done.removed, before > n ? before - n : 0)
                    << "run " << run << " step " << step;
            }
        }
    }
}

// A save that fails part-way leaves the key in any state; the next save must rewrite it whole
// and end where a full rewrite would.
TEST(StoreTracker, FailedWriteRewritesWholeKeyNextTime)
{
    std::mt19937 rng(20011206);
    for (int run = 0; run < 200; ++run) {
        List list;
        Store store;
        StoreTracker t;
        store_written(t, 0);
        bool failed_before = false;
        for (int step = 0; step < 60; ++step) {
            random_edit(list, t, rng);
            const StoreWrites w = store_writes(t, list.size());

            if (failed_before) {
                EXPECT_TRUE(w.delete_key) << "run " << run << " step " << step;
                EXPECT_EQ(w.write_from, 0u) << "run " << run << " step " << step;
                EXPECT_EQ(w.write_to, list.size()) << "run " << run << " step " << step;
                EXPECT_EQ(w.remove_from, w.remove_to) << "run " << run << " step " << step;
            }

            if (rng() % 5 == 0) {
                // Fail after deleting the key (or not) and some of the writes.
                if (w.delete_key && rng() % 2 == 0)
                    store.clear();
                const std::size_t done = rng() % (w.write_to - w.write_from + 1);
                for (std::size_t i = w.write_from; i < w.write_from + done; ++i)
                    store[store_value_name(i)] = list.at(i);
                store_write_failed(t);
                failed_before = true;
                continue;
            }
            apply(w, list, store);
            store_written(t, list.size());
            failed_before = false;
            ASSERT_EQ(store, full_rewrite(list)) << "run " << run << " step " << step;
        }
    }
}

TEST(IncomingLogic, MessageColumnShowsLineBreaksAsSpaces)
{
    struct Case { const char *message, *column; };
    const Case cases[] = {
        {"one line", "one line"},
        {"Lunch?\r\nAt noon", "Lunch? At noon"},
        {"a\r\n\r\nb", "a  b"},
        {"lone\rcr and lone\nlf", "lone cr and lone lf"},
        {"\r\n", " "},
        {"", ""},
    };
    for (const Case &c : cases)
        EXPECT_EQ(message_column_text(c.message), c.column) << c.message;
}
