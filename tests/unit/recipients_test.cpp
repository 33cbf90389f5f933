// Unit tests for splitting the recipient text into send-job names.
#include "send/recipients.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

bool exact_eq(char a, char b) { return a == b; }

// A locale comparison that also treats the no-break space (0xA0) as a space.
bool nbsp_eq(char a, char b)
{
    auto fold = [](char c) { return c == '\xA0' ? ' ' : c; };
    return fold(a) == fold(b);
}

std::vector<std::string> names_of(const SplitResult &r)
{
    std::vector<std::string> out;
    for (const RecipientName &n : r.names)
        out.push_back(n.name);
    return out;
}

std::string numbered(int count)
{
    std::string text;
    for (int i = 1; i <= count; ++i)
        text += "PC" + std::to_string(i) + " ";
    return text;
}

} // namespace

TEST(SplitRecipients, NamesBetweenSpaces)
{
    using Names = std::vector<std::string>;
    struct Case { std::string text; CharEqualIgnoreCase eq; Names want; };
    const Case cases[] = {
        {"ALICE  BOB ", exact_eq, {"ALICE", "BOB"}},
        {"   ALICE", exact_eq, {"ALICE"}},
        {"ALICE   ", exact_eq, {"ALICE"}},
        {" A  B   C ", exact_eq, {"A", "B", "C"}},
        {"ALICE", exact_eq, {"ALICE"}},
        {"", exact_eq, {}},
        {"     ", exact_eq, {}},
        {"A\tB", exact_eq, {"A\tB"}},
        {"A\xA0" "B C", exact_eq, {"A\xA0" "B", "C"}},
        {"A\xA0" "B C", nbsp_eq, {"A", "B", "C"}},
        {"A B", nullptr, {"A", "B"}},
    };
    for (const Case &c : cases) {
        const SplitResult r = split_recipients(c.text, c.eq);
        EXPECT_EQ(names_of(r), c.want) << '"' << c.text << '"';
        EXPECT_TRUE(r.rejected.empty()) << '"' << c.text << '"';
    }
}

TEST(SplitRecipients, JobTableLimits)
{
    const std::string n256(256, 'n'), n257(257, 'n'), n300(300, 'L');
    struct Rejected { std::size_t order; RejectReason reason; std::size_t length; };
    struct Case {
        const char *what;
        std::string text;
        std::size_t accepted;
        std::vector<Rejected> rejected;
    };
    const Case cases[] = {
        {"29 names fill the table", numbered(29), 29, {}},
        {"30th name is one too many", numbered(30), 29, {{29, RejectReason::TooMany, 4}}},
        {"31 names", numbered(31), 29,
         {{29, RejectReason::TooMany, 4}, {30, RejectReason::TooMany, 4}}},
        {"300 chars between two names", "A " + n300 + " B", 2, {{1, RejectReason::TooLong, 300}}},
        {"exactly 256 chars", n256, 1, {}},
        {"257 chars", n257, 0, {{0, RejectReason::TooLong, 257}}},
        {"a long name takes no slot", n300 + " " + numbered(29), 29,
         {{0, RejectReason::TooLong, 300}}},
        {"a long name past the table stays TooLong", numbered(29) + n300 + " Z", 29,
         {{29, RejectReason::TooLong, 300}, {30, RejectReason::TooMany, 1}}},
    };
    for (const Case &c : cases) {
        const SplitResult r = split_recipients(c.text, exact_eq);
        ASSERT_EQ(r.names.size(), c.accepted) << c.what;
        ASSERT_EQ(r.rejected.size(), c.rejected.size()) << c.what;
        for (std::size_t i = 0; i < c.rejected.size(); ++i) {
            EXPECT_EQ(r.rejected[i].order, c.rejected[i].order) << c.what;
            EXPECT_EQ(r.rejected[i].reason, c.rejected[i].reason) << c.what;
            EXPECT_EQ(r.rejected[i].name.size(), c.rejected[i].length) << c.what;
        }
    }
}

TEST(SplitRecipients, EveryNameKeptOnceInOrder)
{
    const std::string text = "A " + std::string(300, 'x') + "  " + numbered(30) + " Z";
    const SplitResult r = split_recipients(text, exact_eq);
    std::vector<std::string> by_order(r.names.size() + r.rejected.size());
    for (const RecipientName &n : r.names)
        by_order.at(n.order) = n.name;
    for (const RejectedName &n : r.rejected)
        by_order.at(n.order) = n.name;

    std::vector<std::string> want{"A", std::string(300, 'x')};
    for (int i = 1; i <= 30; ++i)
        want.push_back("PC" + std::to_string(i));
    want.push_back("Z");
    EXPECT_EQ(by_order, want);
    for (std::size_t i = 1; i < r.names.size(); ++i)
        EXPECT_LT(r.names[i - 1].order, r.names[i].order);
    for (std::size_t i = 1; i < r.rejected.size(); ++i)
        EXPECT_LT(r.rejected[i - 1].order, r.rejected[i].order);
}
