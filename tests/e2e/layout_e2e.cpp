// layout_e2e.cpp - the main window's layout seen on the real window: what a resize keeps, the
// minimum size, the collapsed start, the bitmap buttons, controls inside the window at two
// dots per inch, and the tooltip tools. Where each control goes is computed by plain code
// pinned by tests/unit/layout_calc_test.cpp.
#include "tests/e2e/helpers.h"

#include <commctrl.h>
#include <algorithm>
#include <cstdlib>
#include <map>

namespace {

const int kAllControls[] = {IDC_TO_LABEL, IDC_MODE_FRAME, IDC_STATUS,   IDC_RECIPIENT,    IDC_MESSAGE,
                            IDC_SEND,     IDC_SENTMESSAGES, IDC_SENDLOG, IDC_INCOMING,     IDC_SENDER,
                            IDC_RECEIVER, IDC_REPLY,      IDC_VIEW,     IDC_DELETE,       IDC_DELETEALL,
                            IDC_HIST_DELETE, IDC_HIST_CLEAR};

struct Snapshot {
    SIZE client = {};
    std::map<int, RECT> rects; // window rectangles in the main window's client coordinates
};

Snapshot snapshot(HWND main)
{
    Snapshot s;
    s.client = client_size(main);
    for (int id : kAllControls)
        s.rects[id] = control_rect(main, id);
    return s;
}

int width(const RECT &r) { return r.right - r.left; }
int height(const RECT &r) { return r.bottom - r.top; }

// What a resize keeps from the layout at the start size: the stretched controls keep their
// left edge and right margin, the tall ones and the bottom row their bottom margin, the
// controls of the top left stay put, the Send button stays centred and the mode buttons share
// the width equally.
void check_resized(const Snapshot &start, const Snapshot &now, const char *when)
{
    auto right = [](const Snapshot &s, int id) { return s.client.cx - s.rects.at(id).right; };
    auto bottom = [](const Snapshot &s, int id) { return s.client.cy - s.rects.at(id).bottom; };
    for (int id : {IDC_MESSAGE, IDC_RECIPIENT, IDC_SENTMESSAGES, IDC_STATUS, IDC_SENDLOG, IDC_INCOMING, IDC_MODE_FRAME})
        CHECK_MSG(now.rects.at(id).left == start.rects.at(id).left && right(now, id) == right(start, id),
                  "%s: control %d at %s keeps its left edge and right margin", when, id,
                  rect_text(now.rects.at(id)).c_str());
    for (int id : {IDC_MESSAGE, IDC_STATUS, IDC_SENDLOG, IDC_SEND, IDC_INCOMING, IDC_MODE_FRAME})
        CHECK_MSG(bottom(now, id) == bottom(start, id), "%s: control %d keeps its bottom margin %d, got %d", when, id,
                  bottom(start, id), bottom(now, id));
    for (int id : {IDC_TO_LABEL, IDC_REPLY, IDC_VIEW, IDC_DELETE, IDC_DELETEALL, IDC_HIST_DELETE, IDC_HIST_CLEAR})
        CHECK_MSG(same_rect(now.rects.at(id), start.rects.at(id)), "%s: control %d stays at %s, got %s", when, id,
                  rect_text(start.rects.at(id)).c_str(), rect_text(now.rects.at(id)).c_str());
    const RECT &send = now.rects.at(IDC_SEND), &sender = now.rects.at(IDC_SENDER), &receiver = now.rects.at(IDC_RECEIVER);
    CHECK_MSG(std::abs(send.left - (now.client.cx - send.right)) <= 1, "%s: Send centred at %s in %ld", when,
              rect_text(send).c_str(), now.client.cx);
    CHECK_MSG(width(sender) == width(receiver) && receiver.left - sender.right ==
                  start.rects.at(IDC_RECEIVER).left - start.rects.at(IDC_SENDER).right,
              "%s: mode buttons %s and %s share the width", when, rect_text(sender).c_str(),
              rect_text(receiver).c_str());
}

// The controls of each mode lie inside the client area and apart from each other (the two
// bitmap buttons overlap by design).
void check_inside_and_apart(HWND w, const char *when)
{
    const int kSenderMode[] = {IDC_TO_LABEL, IDC_RECIPIENT, IDC_SENTMESSAGES, IDC_MESSAGE, IDC_SEND,
                               IDC_SENDLOG,  IDC_HIST_DELETE, IDC_HIST_CLEAR, IDC_SENDER, IDC_RECEIVER, IDC_STATUS};
    const int kReceiverMode[] = {IDC_REPLY, IDC_VIEW,     IDC_DELETE, IDC_DELETEALL,
                                 IDC_INCOMING, IDC_SENDER, IDC_RECEIVER, IDC_STATUS};
    SIZE client = client_size(w);
    for (bool sender : {true, false}) {
        post_command(w, sender ? IDC_SENDER : IDC_RECEIVER);
        CHECK(wait_until([&] { return is_checked(w, sender ? IDC_SENDER : IDC_RECEIVER); }, 3000));
        std::vector<int> ids(sender ? std::begin(kSenderMode) : std::begin(kReceiverMode),
                             sender ? std::end(kSenderMode) : std::end(kReceiverMode));
        for (int a : ids) {
            RECT ra = control_rect(w, a), inside;
            RECT whole = {0, 0, client.cx, client.cy};
            IntersectRect(&inside, &ra, &whole);
            CHECK_MSG(EqualRect(&inside, &ra), "%s: control %d at %s lies inside the client area %ldx%ld", when, a,
                      rect_text(ra).c_str(), client.cx, client.cy);
            for (int b : ids) {
                RECT rb = control_rect(w, b), both;
                bool designed = a == IDC_HIST_DELETE && b == IDC_HIST_CLEAR;
                if (a < b && !designed && IntersectRect(&both, &ra, &rb))
                    CHECK_MSG(false, "%s: controls %d %s and %d %s overlap", when, a, rect_text(ra).c_str(), b,
                              rect_text(rb).c_str());
            }
        }
    }
}

// Resizes the main window by (dx, dy) and waits for the new client size.
bool resize_by(HWND main, int dx, int dy)
{
    RECT r = window_rect(main);
    SIZE want = client_size(main);
    want.cx += dx;
    want.cy += dy;
    SetWindowPos(main, nullptr, 0, 0, width(r) + dx, height(r) + dy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    return wait_until(
        [&] {
            SIZE now = client_size(main);
            return now.cx == want.cx && now.cy == want.cy;
        },
        5000);
}

// The minimum tracking size the main window reports, starting from a marker value. The
// record crosses to the other process and back with the message (the system carries it).
POINT min_track_size(HWND main)
{
    MINMAXINFO info = {};
    info.ptMinTrackSize = POINT{7, 7};
    info.ptMaxTrackSize = POINT{5000, 5000};
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(main, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info), SMTO_ABORTIFHUNG, 5000,
                             &result))
        return POINT{-1, -1};
    CHECK_MSG(info.ptMaxTrackSize.x == 5000 && info.ptMaxTrackSize.y == 5000, "no maximum is set");
    return info.ptMinTrackSize;
}

struct Tool {
    int id = 0;
    RECT rect = {};
    std::string text;
    UINT flags = 0;
};

std::vector<Tool> tools(HWND main)
{
    std::vector<Tool> out;
    for (const std::string &line : probe_run(main, kProbeTools)) {
        Tool t;
        size_t a = line.find('|'), b = line.find('|', a + 1), c = line.rfind('|');
        if (a == std::string::npos || b == std::string::npos || c <= b)
            continue;
        t.id = std::atoi(line.c_str());
        std::sscanf(line.c_str() + a + 1, "%ld,%ld,%ld,%ld", &t.rect.left, &t.rect.top, &t.rect.right,
                    &t.rect.bottom);
        t.text = line.substr(b + 1, c - b - 1);
        t.flags = static_cast<UINT>(std::strtoul(line.c_str() + c + 1, nullptr, 10));
        out.push_back(t);
    }
    return out;
}

// Resizes by each step in turn from the start size, then back to it.
struct Resize {
    const char *name;
    std::vector<POINT> steps;
};

const Resize kResizes[] = {
    {"wider_and_taller_move_and_size_the_controls", {{100, 0}, {100, 100}, {0, 100}}},
    // One pixel wider, then one more: one of the two widths is odd whatever the start width.
    {"odd_client_width_drops_the_half", {{1, 0}, {1, 1}}},
};

void resize_steps(const Resize &row)
{
    App app;
    REQUIRE(start_in_tray(app));
    REQUIRE(show_main(app.main));
    HWND w = app.main;
    Snapshot start = snapshot(w);
    for (POINT d : row.steps) {
        REQUIRE(resize_by(w, d.x, d.y));
        SIZE now = client_size(w);
        std::string when = e2e_format("%ld wider and %ld taller", now.cx - start.client.cx, now.cy - start.client.cy);
        check_resized(start, snapshot(w), when.c_str());
        check_inside_and_apart(w, when.c_str());
    }
    SIZE now = client_size(w);
    CHECK(resize_by(w, start.client.cx - now.cx, start.client.cy - now.cy));
    Snapshot back = snapshot(w);
    for (int id : kAllControls)
        CHECK_MSG(same_rect(back.rects[id], start.rects[id]), "control %d back at %s, got %s", id,
                  rect_text(start.rects[id]).c_str(), rect_text(back.rects[id]).c_str());
}

} // namespace

E2E_TABLE(layout, kResizes, resize_steps);

E2E_TEST(layout, collapsed_start_leaves_empty_controls_not_huge_ones)
{
    App app;
    REQUIRE(start_in_tray(app));
    HWND w = app.main;
    Snapshot s = snapshot(w);
    CHECK_MSG(s.client.cx == 0 && s.client.cy == 0, "collapsed client area %ldx%ld", s.client.cx, s.client.cy);
    for (int id : {IDC_MESSAGE, IDC_RECIPIENT, IDC_SENTMESSAGES, IDC_STATUS, IDC_SENDLOG, IDC_INCOMING, IDC_SENDER,
                   IDC_RECEIVER, IDC_MODE_FRAME})
        CHECK_MSG(width(s.rects[id]) == 0 && height(s.rects[id]) <= 50, "collapsed: control %d is %s", id,
                  rect_text(s.rects[id]).c_str());
    // The first showing lays everything out again at the start size.
    CHECK(show_main(w));
    SIZE shown = client_size(w);
    CHECK_MSG(shown.cx > 300 && shown.cy > 300, "full size: %ldx%ld", shown.cx, shown.cy);
    check_inside_and_apart(w, "after the first showing");
}

E2E_TEST(layout, never_smaller_than_the_start_rectangle)
{
    MainTemplate tmpl = main_template();
    App app;
    REQUIRE(tmpl.ok);
    REQUIRE(start_in_tray(app));
    HWND w = app.main;
    const long startW = width(tmpl.window), startH = height(tmpl.window);

    // Collapsed: no minimum is given.
    POINT before = min_track_size(w);
    CHECK_MSG(before.x == 7 && before.y == 7, "collapsed window leaves the minimum alone: %ld,%ld", before.x,
              before.y);

    CHECK(show_main(w));
    CHECK(same_rect(window_rect(w), tmpl.window));
    POINT minimum = min_track_size(w);
    CHECK_EQ_INT(minimum.x, startW);
    CHECK_EQ_INT(minimum.y, startH);

    // Smaller requests end at the start size; larger ones are taken. Moving and sizing
    // another thread's window returns once that thread has done it.
    const struct {
        long cx, cy, wantCx, wantCy;
    } requests[] = {{startW - 50, startH - 1, startW, startH},
                    {10, 10, startW, startH},
                    {startW + 40, startH + 30, startW + 40, startH + 30},
                    {startW - 1, startH + 30, startW, startH + 30}};
    for (const auto &r : requests) {
        SetWindowPos(w, nullptr, 0, 0, r.cx, r.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        RECT now = window_rect(w);
        CHECK_MSG(width(now) == r.wantCx && height(now) == r.wantCy, "%ldx%ld asked: %dx%d, want %ldx%ld", r.cx, r.cy,
                  width(now), height(now), r.wantCx, r.wantCy);
    }
}

E2E_TEST(layout, bitmap_buttons_are_overlapping_squares)
{
    MainTemplate tmpl = main_template();
    App app;
    REQUIRE(tmpl.ok);
    REQUIRE(start_in_tray(app));
    HWND w = app.main;
    const long s = tmpl.bitmapButtonClient.cx; // the button's client width as the template makes it
    CHECK_MSG(s > 4, "template button width %ld", s);
    RECT one = control_rect(w, IDC_HIST_DELETE), two = control_rect(w, IDC_HIST_CLEAR);
    // At (12, 72), or as much higher as keeps them off the message edit (the font here is larger).
    const long top = std::min(72L, static_cast<long>(control_rect(w, IDC_MESSAGE).top - s));
    CHECK_MSG(same_rect(one, RECT{12, top, 12 + s, top + s}), "1067 at %s", rect_text(one).c_str());
    CHECK_MSG(same_rect(two, RECT{s + 9, top, 2 * s + 9, top + s}), "1068 at %s", rect_text(two).c_str());
    CHECK_EQ_INT(one.right - two.left, 3); // they overlap by 3 pixels
}

// The screen's dots per inch for the programs started next.
static bool set_dpi(DWORD dpi)
{
    bool ok = true;
    for (auto [root, key] : {std::pair{HKEY_CURRENT_USER, "Control Panel\\Desktop"},
                             std::pair{HKEY_CURRENT_CONFIG, "Software\\Fonts"}})
        ok = RegSetKeyValueA(root, key, "LogPixels", REG_DWORD, &dpi, sizeof dpi) == ERROR_SUCCESS && ok;
    return ok;
}

E2E_TEST(layout, controls_apart_and_inside_the_window_at_96_and_144_dpi)
{
    long width96 = 0;
    for (DWORD dpi : {96, 144}) {
        reg_reset();
        App app;
        if (!CHECK(set_dpi(dpi)) || !CHECK(start_in_tray(app)) || !CHECK(show_main(app.main)))
            break;
        SIZE client = client_size(app.main);
        if (dpi == 96)
            width96 = client.cx;
        else
            CHECK_MSG(client.cx * 4 > width96 * 5, "the window grew with the dpi: %ld at 96, %ld now", width96, client.cx);
        check_inside_and_apart(app.main, e2e_format("dpi %lu", dpi).c_str());
        CHECK_EQ_INT(app_exit(app), 0);
    }
    CHECK(set_dpi(96));
}

E2E_TEST(layout, eleven_tools_as_registered)
{
    App app;
    REQUIRE(start_in_tray(app));
    HWND w = app.main;
    const struct {
        int id;
        const char *text;
    } want[] = {
        {IDC_SEND, "Send (Ctrl+Enter)"},
        {IDC_HIST_DELETE, "Delete current message from history"},
        {IDC_HIST_CLEAR, "Clear history for current user"},
        {IDC_RECIPIENT, "Users history"},
        {IDC_SENTMESSAGES, "Messages history for current user"},
        {IDC_SENDER, "Switch to Sender Mode"},
        {IDC_RECEIVER, "Switch to Receiver Mode"},
        {IDC_REPLY, "Reply to selected message"},
        {IDC_VIEW, "View selected message"},
        {IDC_DELETE, "Delete selected message"},
        {IDC_DELETEALL, "Delete all messages"},
    };
    std::vector<Tool> got = tools(w);
    if (!CHECK_EQ_INT(got.size(), 11))
        return;
    for (size_t i = 0; i < got.size(); ++i) {
        CHECK_EQ_INT(got[i].id, want[i].id);
        CHECK_EQ_STR(got[i].text, want[i].text);
        CHECK_MSG(got[i].flags & TTF_SUBCLASS, "tool %d subclasses its control (flags %u)", got[i].id, got[i].flags);
        CHECK_MSG(!(got[i].flags & TTF_IDISHWND), "tool %d is found by its rectangle", got[i].id);
    }
    // Controls the collapse does not resize are registered with their client rectangles.
    for (size_t i : {0u, 1u, 2u, 7u, 8u, 9u, 10u}) {
        SIZE c = client_size(GetDlgItem(w, got[i].id));
        CHECK_MSG(same_rect(got[i].rect, RECT{0, 0, c.cx, c.cy}), "tool %d rectangle %s, control client %ldx%ld",
                  got[i].id, rect_text(got[i].rect).c_str(), c.cx, c.cy);
    }
    // The recipient box, the sent-messages box and the mode buttons are laid out empty while
    // the window is collapsed; their tools keep the rectangles of the start size.
    for (size_t i : {3u, 4u, 5u, 6u})
        CHECK_MSG(got[i].rect.left == 0 && got[i].rect.top == 0 && got[i].rect.right > 100 && got[i].rect.bottom > 10,
                  "tool %d covers its control at the start size: %s", got[i].id, rect_text(got[i].rect).c_str());

    // The rectangles stay as registered when the window is shown and resized.
    CHECK(show_main(w));
    CHECK(resize_by(w, 100, 100));
    std::vector<Tool> after = tools(w);
    if (CHECK_EQ_INT(after.size(), 11))
        for (size_t i = 0; i < after.size(); ++i)
            CHECK_MSG(same_rect(after[i].rect, got[i].rect), "tool %d keeps %s, got %s", got[i].id,
                      rect_text(got[i].rect).c_str(), rect_text(after[i].rect).c_str());
}
