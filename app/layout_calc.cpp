// layout_calc.cpp - where the main window's controls go when its client area is resized.
#include "app/layout_calc.h"

#include "base/ids.h"

#include <climits>

namespace {

using Wide = long long;   // holds every int sum and difference below without overflow

int position(Wide v)
{
    return v < INT_MIN ? INT_MIN : v > INT_MAX ? INT_MAX : static_cast<int>(v);
}

int extent(Wide v) { return v < 0 ? 0 : position(v); }

LayoutStep size_only(int id, Wide cx, Wide cy) { return {id, false, true, 0, 0, extent(cx), extent(cy)}; }

LayoutStep move_only(int id, Wide x, Wide y) { return {id, true, false, position(x), position(y), 0, 0}; }

LayoutStep move_and_size(int id, Wide x, Wide y, Wide cx, Wide cy)
{
    return {id, true, true, position(x), position(y), extent(cx), extent(cy)};
}

} // namespace

std::array<LayoutStep, kLayoutSteps> compute_layout(const LayoutInput &in)
{
    const Wide w = in.width, h = in.height;
    const Wide half = in.width / 2;   // truncates toward zero
    auto px = [&](int v) -> Wide { return scale_px(v, in.dpi); };
    return {{
        size_only(IDC_MESSAGE, w - px(22), h - px(205)),
        size_only(IDC_RECIPIENT, w - px(60), in.recipient_height),
        size_only(IDC_SENTMESSAGES, w - px(60), in.sent_messages_height),
        move_and_size(IDC_STATUS, in.status_left, h - px(26), w - px(22), px(16)),
        move_and_size(IDC_SENDLOG, in.status_left, h - px(80), w - px(22), px(50)),
        move_only(IDC_SEND, (w - in.send_width) / 2, h - px(108)),
        size_only(IDC_INCOMING, w - px(22), h - px(104)),
        size_only(IDC_SENDER, half - px(6), in.sender_height),
        move_and_size(IDC_RECEIVER, half + px(2), in.sender_top, half - px(6), in.sender_height),
        size_only(IDC_MODE_FRAME, w - px(10), h - px(38)),
    }};
}
