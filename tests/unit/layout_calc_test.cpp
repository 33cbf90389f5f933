// Unit tests for the main window's resize layout.
#include "app/layout_calc.h"

#include "base/ids.h"

#include <gtest/gtest.h>
#include <climits>

namespace {

LayoutInput base_input()
{
    // status_left, send_width, sender_top, sender_height, recipient_height, sent_messages_height
    return {600, 500, 11, 75, 40, 20, 21, 23};
}

struct Delta { int id; int dx, dy, dcx, dcy; };

void expect_deltas(const LayoutInput &before, const LayoutInput &after, const Delta (&want)[10])
{
    const auto a = compute_layout(before), b = compute_layout(after);
    for (std::size_t i = 0; i < kLayoutSteps; ++i) {
        ASSERT_EQ(a[i].id, want[i].id) << "step " << i + 1;
        EXPECT_EQ(b[i].id, want[i].id) << "step " << i + 1;
        EXPECT_EQ(b[i].x - a[i].x, want[i].dx) << "control " << want[i].id;
        EXPECT_EQ(b[i].y - a[i].y, want[i].dy) << "control " << want[i].id;
        EXPECT_EQ(b[i].cx - a[i].cx, want[i].dcx) << "control " << want[i].id;
        EXPECT_EQ(b[i].cy - a[i].cy, want[i].dcy) << "control " << want[i].id;
    }
}

} // namespace

TEST(ComputeLayout, BaseSize)
{
    struct Want { int id; bool move, size; int x, y, cx, cy; };
    const Want want[] = {
        {IDC_MESSAGE, false, true, 0, 0, 578, 295},
        {IDC_RECIPIENT, false, true, 0, 0, 540, 21},
        {IDC_SENTMESSAGES, false, true, 0, 0, 540, 23},
        {IDC_STATUS, true, true, 11, 474, 578, 16},
        {IDC_SENDLOG, true, true, 11, 420, 578, 50},
        {IDC_SEND, true, false, 262, 392, 0, 0},
        {IDC_INCOMING, false, true, 0, 0, 578, 396},
        {IDC_SENDER, false, true, 0, 0, 294, 20},
        {IDC_RECEIVER, true, true, 302, 40, 294, 20},
        {IDC_MODE_FRAME, false, true, 0, 0, 590, 462},
    };
    const auto steps = compute_layout(base_input());
    for (std::size_t i = 0; i < kLayoutSteps; ++i) {
        const LayoutStep &s = steps[i];
        const Want &w = want[i];
        EXPECT_EQ(s.id, w.id) << "step " << i + 1;
        EXPECT_EQ(s.move, w.move) << w.id;
        EXPECT_EQ(s.size, w.size) << w.id;
        EXPECT_EQ(s.x, w.x) << w.id;
        EXPECT_EQ(s.y, w.y) << w.id;
        EXPECT_EQ(s.cx, w.cx) << w.id;
        EXPECT_EQ(s.cy, w.cy) << w.id;
    }
}

TEST(ComputeLayout, WiderAndTaller)
{
    const LayoutInput base = base_input();
    LayoutInput wider = base, taller = base;
    wider.width += 100;
    taller.height += 100;
    const Delta wider_want[10] = {
        {IDC_MESSAGE, 0, 0, 100, 0},   {IDC_RECIPIENT, 0, 0, 100, 0}, {IDC_SENTMESSAGES, 0, 0, 100, 0},
        {IDC_STATUS, 0, 0, 100, 0},    {IDC_SENDLOG, 0, 0, 100, 0},   {IDC_SEND, 50, 0, 0, 0},
        {IDC_INCOMING, 0, 0, 100, 0},  {IDC_SENDER, 0, 0, 50, 0},     {IDC_RECEIVER, 50, 0, 50, 0},
        {IDC_MODE_FRAME, 0, 0, 100, 0},
    };
    const Delta taller_want[10] = {
        {IDC_MESSAGE, 0, 0, 0, 100},   {IDC_RECIPIENT, 0, 0, 0, 0},   {IDC_SENTMESSAGES, 0, 0, 0, 0},
        {IDC_STATUS, 0, 100, 0, 0},    {IDC_SENDLOG, 0, 100, 0, 0},   {IDC_SEND, 0, 100, 0, 0},
        {IDC_INCOMING, 0, 0, 0, 100},  {IDC_SENDER, 0, 0, 0, 0},      {IDC_RECEIVER, 0, 0, 0, 0},
        {IDC_MODE_FRAME, 0, 0, 0, 100},
    };
    expect_deltas(base, wider, wider_want);
    expect_deltas(base, taller, taller_want);
}

TEST(ComputeLayout, HalvesTruncateTowardZero)
{
    struct Case { int width; int send_width; int send_x; int receiver_x; int half_width; };
    const Case cases[] = {
        {501, 75, 213, 252, 244},
        {500, 75, 212, 252, 244},
        {0, 75, -37, 2, 0},
        {-3, 0, -1, 1, 0},
    };
    for (const Case &c : cases) {
        LayoutInput in = base_input();
        in.width = c.width;
        in.send_width = c.send_width;
        const auto s = compute_layout(in);
        EXPECT_EQ(s[5].x, c.send_x) << c.width;
        EXPECT_EQ(s[8].x, c.receiver_x) << c.width;
        EXPECT_EQ(s[7].cx, c.half_width) << c.width;
        EXPECT_EQ(s[8].cx, c.half_width) << c.width;
    }
}

TEST(ComputeLayout, CollapsedWindowGivesEmptyControls)
{
    struct Case { int width, height; };
    const Case cases[] = {{0, 0}, {1, 1}, {-50, -50}, {INT_MIN, INT_MIN}, {INT_MAX, INT_MIN}};
    for (const Case &c : cases) {
        LayoutInput in = base_input();
        in.width = c.width;
        in.height = c.height;
        in.sender_height = -4;
        for (const LayoutStep &s : compute_layout(in)) {
            EXPECT_GE(s.cx, 0) << s.id << " at " << c.width << 'x' << c.height;
            EXPECT_GE(s.cy, 0) << s.id << " at " << c.width << 'x' << c.height;
            if (c.width <= 1) {   // every width is the client width less a margin
                EXPECT_EQ(s.cx, 0) << s.id << " at " << c.width << 'x' << c.height;
            }
        }
    }
    LayoutInput zero = base_input();
    zero.width = zero.height = 0;
    const auto s = compute_layout(zero);
    EXPECT_EQ(s[3].cy, 16);   // the status line keeps its fixed height
    EXPECT_EQ(s[3].y, -26);   // positions may go negative; only sizes clamp
}

TEST(ComputeLayout, MarginsScaleWithTheDpi)
{
    // message cx, cy; status y, cy; send log y, cy; Send y; Receiver x, cx; frame cx, cy
    struct Case { int dpi; int values[11]; };
    const Case cases[] = {
        {96, {578, 295, 474, 16, 420, 50, 392, 302, 294, 590, 462}},
        {144, {567, 192, 461, 24, 380, 75, 338, 303, 291, 585, 443}},
    };
    for (const Case &c : cases) {
        LayoutInput in = base_input();
        in.dpi = c.dpi;
        const auto s = compute_layout(in);
        const int got[11] = {s[0].cx, s[0].cy, s[3].y, s[3].cy, s[4].y, s[4].cy, s[5].y, s[8].x, s[8].cx, s[9].cx, s[9].cy};
        for (int i = 0; i < 11; ++i)
            EXPECT_EQ(got[i], c.values[i]) << "dpi " << c.dpi << " value " << i;
    }
}
