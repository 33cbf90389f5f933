// layout_e2e.cpp - the main window's layout: where each control goes when the window is
// resized, the minimum size, the collapsed start, the bitmap buttons, and the tooltip tools.
#include "tests/e2e/check.h"
#include "tests/e2e/harness.h"
#include "tests/e2e/probe.h"
#include "tests/e2e/shell_helpers.h"

#include "app/ids.h"

#include <commctrl.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace {

// Every child of the main window, in Z order.
std::vector<HWND> children(HWND main)
{
    std::vector<HWND> out;
    for (HWND c = GetWindow(main, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        out.push_back(c);
    return out;
}

const int kAllControls[] = {IDC_TO_LABEL, IDC_MODE_FRAME, IDC_STATUS,   IDC_RECIPIENT,    IDC_MESSAGE,
                            IDC_SEND,     IDC_SENTMESSAGES, IDC_SENDLOG, IDC_INCOMING,     IDC_SENDER,
                            IDC_RECEIVER, IDC_REPLY,      IDC_VIEW,     IDC_DELETE,       IDC_DELETEALL,
                            IDC_HIST_DELETE, IDC_HIST_CLEAR};

struct Snapshot {
    SIZE client = {};
    std::map<int, RECT> rects;   // window rectangles in the main window's client coordinates
    std::vector<HWND> zorder;
};

Snapshot snapshot(HWND main)
{
    Snapshot s;
    s.client = client_size(main);
    for (int id : kAllControls)
        s.rects[id] = control_rect(main, id);
    s.zorder = children(main);
    return s;
}

int width(const RECT &r) { return r.right - r.left; }
int height(const RECT &r) { return r.bottom - r.top; }

void check_pos(const Snapshot &s, int id, long x, long y, const char *when)
{
    const RECT &r = s.rects.at(id);
    CHECK_MSG(r.left == x && r.top == y, "%s: control %d at (%ld,%ld), want (%ld,%ld)", when, id, r.left, r.top, x, y);
}

void check_size(const Snapshot &s, int id, long cx, long cy, const char *when)
{
    const RECT &r = s.rects.at(id);
    CHECK_MSG(width(r) == cx && height(r) == cy, "%s: control %d is %dx%d, want %ldx%ld", when, id, width(r),
              height(r), cx, cy);
}

// The resize table applied to the client size of `now`, with the places that stay taken
// from `before` (a layout made at another size).
void check_layout(HWND main, const Snapshot &before, const Snapshot &now, const char *when)
{
    const long w = now.client.cx, h = now.client.cy;
    const RECT &b = before.rects.at(IDC_SENDER);
    const long sendWidth = client_size(GetDlgItem(main, IDC_SEND)).cx;
    auto at = [&](int id) { return before.rects.at(id); };

    check_pos(now, IDC_MESSAGE, at(IDC_MESSAGE).left, at(IDC_MESSAGE).top, when);
    check_size(now, IDC_MESSAGE, w - 22, h - 205, when);
    check_pos(now, IDC_RECIPIENT, at(IDC_RECIPIENT).left, at(IDC_RECIPIENT).top, when);
    check_size(now, IDC_RECIPIENT, w - 60, height(at(IDC_RECIPIENT)), when);
    check_pos(now, IDC_SENTMESSAGES, at(IDC_SENTMESSAGES).left, at(IDC_SENTMESSAGES).top, when);
    check_size(now, IDC_SENTMESSAGES, w - 60, height(at(IDC_SENTMESSAGES)), when);
    check_pos(now, IDC_STATUS, at(IDC_STATUS).left, h - 26, when);
    check_size(now, IDC_STATUS, w - 22, 16, when);
    check_pos(now, IDC_SENDLOG, at(IDC_STATUS).left, h - 80, when);
    check_size(now, IDC_SENDLOG, w - 22, 50, when);
    check_pos(now, IDC_SEND, (w - sendWidth) / 2, h - 108, when);
    check_size(now, IDC_SEND, width(at(IDC_SEND)), height(at(IDC_SEND)), when);
    check_pos(now, IDC_INCOMING, at(IDC_INCOMING).left, at(IDC_INCOMING).top, when);
    check_size(now, IDC_INCOMING, w - 22, h - 104, when);
    check_pos(now, IDC_SENDER, b.left, b.top, when);
    check_size(now, IDC_SENDER, w / 2 - 6, height(b), when);
    check_pos(now, IDC_RECEIVER, w / 2 + 2, b.top, when);
    check_size(now, IDC_RECEIVER, w / 2 - 6, height(b), when);
    check_pos(now, IDC_MODE_FRAME, at(IDC_MODE_FRAME).left, at(IDC_MODE_FRAME).top, when);
    check_size(now, IDC_MODE_FRAME, w - 10, h - 38, when);
    for (int id : {IDC_TO_LABEL, IDC_REPLY, IDC_VIEW, IDC_DELETE, IDC_DELETEALL, IDC_HIST_DELETE, IDC_HIST_CLEAR})
        CHECK_MSG(same_rect(now.rects.at(id), at(id)), "%s: control %d stays at %s, got %s", when, id,
                  rect_text(at(id)).c_str(), rect_text(now.rects.at(id)).c_str());
    CHECK_MSG(now.zorder == before.zorder, "%s: the Z order is kept", when);
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

} // namespace

E2E_TEST(layout, wider_and_taller_move_and_size_the_controls)
{
    reg_reset();
    App app;
    if (!CHECK(start_hidden(app)) || !CHECK(show_main(app.main)))
        return;
    HWND w = app.main;
    Snapshot start = snapshot(w);
    check_layout(w, start, start, "start size");

    if (!CHECK(resize_by(w, 100, 0)))
        return;
    Snapshot wider = snapshot(w);
    check_layout(w, start, wider, "100 wider");
    auto dw = [&](int id) { return width(wider.rects[id]) - width(start.rects[id]); };
    auto dx = [&](int id) { return wider.rects[id].left - start.rects[id].left; };
    for (int id : {IDC_MESSAGE, IDC_STATUS, IDC_SENDLOG, IDC_INCOMING, IDC_MODE_FRAME, IDC_RECIPIENT, IDC_SENTMESSAGES})
        CHECK_MSG(dw(id) == 100, "control %d is 100 wider: %d", id, dw(id));
    CHECK_EQ_INT(dx(IDC_SEND), 50);
    CHECK_EQ_INT(dw(IDC_SENDER), 50);
    CHECK_EQ_INT(dw(IDC_RECEIVER), 50);
    CHECK_EQ_INT(dx(IDC_RECEIVER), 50);

    if (!CHECK(resize_by(w, 0, 100)))
        return;
    Snapshot taller = snapshot(w);
    check_layout(w, wider, taller, "100 taller");
    auto dh = [&](int id) { return height(taller.rects[id]) - height(wider.rects[id]); };
    auto dy = [&](int id) { return taller.rects[id].top - wider.rects[id].top; };
    for (int id : {IDC_MESSAGE, IDC_INCOMING, IDC_MODE_FRAME})
        CHECK_MSG(dh(id) == 100, "control %d is 100 taller: %d", id, dh(id));
    for (int id : {IDC_STATUS, IDC_SENDLOG, IDC_SEND})
        CHECK_MSG(dy(id) == 100, "control %d moved 100 down: %d", id, dy(id));
    for (int id : {IDC_RECIPIENT, IDC_SENTMESSAGES, IDC_SENDER, IDC_RECEIVER, IDC_HIST_DELETE, IDC_HIST_CLEAR})
        CHECK_MSG(same_rect(taller.rects[id], wider.rects[id]), "control %d does not move", id);

    // Back to the start size: the start layout again.
    CHECK(resize_by(w, -100, -100));
    Snapshot back = snapshot(w);
    for (int id : kAllControls)
        CHECK_MSG(same_rect(back.rects[id], start.rects[id]), "control %d back at %s, got %s", id,
                  rect_text(start.rects[id]).c_str(), rect_text(back.rects[id]).c_str());
    CHECK_EQ_INT(app_exit(app), 0);
}

E2E_TEST(layout, odd_client_width_drops_the_half)
{
    reg_reset();
    App app;
    if (!CHECK(start_hidden(app)) || !CHECK(show_main(app.main)))
        return;
    HWND w = app.main;
    Snapshot start = snapshot(w);
    int grow = start.client.cx % 2 ? 2 : 1; // an odd client width, wider than at start
    if (!CHECK(resize_by(w, grow, 0)))
        return;
    Snapshot odd = snapshot(w);
    const long cx = odd.client.cx;
    CHECK_MSG(cx % 2 == 1, "client width %ld is odd", cx);
    check_layout(w, start, odd, "odd width");
    CHECK_EQ_INT(odd.rects[IDC_RECEIVER].left, (cx - 1) / 2 + 2);
    CHECK_EQ_INT(width(odd.rects[IDC_RECEIVER]), (cx - 1) / 2 - 6);
    CHECK_EQ_INT(width(odd.rects[IDC_SENDER]), (cx - 1) / 2 - 6);
    CHECK_EQ_INT(app_exit(app), 0);
}

E2E_TEST(layout, collapsed_start_leaves_empty_controls_not_huge_ones)
{
    reg_reset();
    App app;
    if (!CHECK(start_hidden(app)))
        return;
    HWND w = app.main;
    Snapshot s = snapshot(w);
    CHECK_EQ_INT(s.client.cx, 0);
    CHECK_EQ_INT(s.client.cy, 0);
    // The table at 0 by 0: every negative extent becomes 0.
    check_size(s, IDC_MESSAGE, 0, 0, "collapsed");
    check_size(s, IDC_STATUS, 0, 16, "collapsed");
    check_size(s, IDC_SENDLOG, 0, 50, "collapsed");
    check_size(s, IDC_INCOMING, 0, 0, "collapsed");
    check_size(s, IDC_MODE_FRAME, 0, 0, "collapsed");
    for (int id : {IDC_RECIPIENT, IDC_SENTMESSAGES, IDC_SENDER, IDC_RECEIVER})
        CHECK_MSG(width(s.rects[id]) == 0, "collapsed: control %d is 0 wide, got %d", id, width(s.rects[id]));
    check_pos(s, IDC_STATUS, s.rects[IDC_STATUS].left, -26, "collapsed");
    check_pos(s, IDC_SENDLOG, s.rects[IDC_STATUS].left, -80, "collapsed");
    check_pos(s, IDC_RECEIVER, 2, s.rects[IDC_SENDER].top, "collapsed");

    // The first showing lays everything out again at the start size.
    CHECK(show_main(w));
    Snapshot shown = snapshot(w);
    check_layout(w, shown, shown, "after the first showing");
    CHECK_MSG(shown.client.cx > 300 && shown.client.cy > 300, "full size: %ldx%ld", shown.client.cx,
              shown.client.cy);
    CHECK_EQ_INT(app_exit(app), 0);
}

E2E_TEST(layout, never_smaller_than_the_start_rectangle)
{
    reg_reset();
    MainTemplate tmpl = main_template();
    App app;
    if (!CHECK(tmpl.ok) || !CHECK(start_hidden(app)))
        return;
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

    // Smaller requests end at the start size; larger ones are taken.
    RECT r = window_rect(w);
    SetWindowPos(w, nullptr, 0, 0, startW - 50, startH - 1, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    settle(w);
    CHECK_EQ_INT(width(window_rect(w)), startW);
    CHECK_EQ_INT(height(window_rect(w)), startH);
    MoveWindow(w, r.left, r.top, 10, 10, TRUE);
    settle(w);
    CHECK_EQ_INT(width(window_rect(w)), startW);
    CHECK_EQ_INT(height(window_rect(w)), startH);
    SetWindowPos(w, nullptr, 0, 0, startW + 40, startH + 30, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    CHECK(wait_until([&] { return width(window_rect(w)) == startW + 40 && height(window_rect(w)) == startH + 30; },
                     5000));
    SetWindowPos(w, nullptr, 0, 0, startW - 1, startH + 30, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    settle(w);
    CHECK_EQ_INT(width(window_rect(w)), startW);
    CHECK_EQ_INT(app_exit(app), 0);
}

E2E_TEST(layout, bitmap_buttons_are_overlapping_squares)
{
    reg_reset();
    MainTemplate tmpl = main_template();
    App app;
    if (!CHECK(tmpl.ok) || !CHECK(start_hidden(app)))
        return;
    HWND w = app.main;
    const long s = tmpl.bitmapButtonClient.cx; // the button's client width as the template makes it
    CHECK_MSG(s > 4, "template button width %ld", s);
    RECT one = control_rect(w, IDC_HIST_DELETE), two = control_rect(w, IDC_HIST_CLEAR);
    // At (12, 72), or as much higher as keeps them off the message edit (the font here is larger).
    const long top = std::min(72L, static_cast<long>(control_rect(w, IDC_MESSAGE).top - s));
    CHECK_MSG(same_rect(one, RECT{12, top, 12 + s, top + s}), "1067 at %s", rect_text(one).c_str());
    CHECK_MSG(same_rect(two, RECT{s + 9, top, 2 * s + 9, top + s}), "1068 at %s", rect_text(two).c_str());
    CHECK_EQ_INT(one.right - two.left, 3); // they overlap by 3 pixels
    CHECK_EQ_INT(app_exit(app), 0);
}

// The screen's dots per inch for the programs started next.
bool set_dpi(DWORD dpi)
{
    bool ok = true;
    for (auto [root, key] : {std::pair{HKEY_CURRENT_USER, "Control Panel\\Desktop"},
                             std::pair{HKEY_CURRENT_CONFIG, "Software\\Fonts"}})
        ok = RegSetKeyValueA(root, key, "LogPixels", REG_DWORD, &dpi, sizeof dpi) == ERROR_SUCCESS && ok;
    return ok;
}

E2E_TEST(layout, controls_apart_and_inside_the_window_at_96_and_144_dpi)
{
    const int kSenderMode[] = {IDC_TO_LABEL, IDC_RECIPIENT, IDC_SENTMESSAGES, IDC_MESSAGE, IDC_SEND,
                               IDC_SENDLOG,  IDC_HIST_DELETE, IDC_HIST_CLEAR, IDC_SENDER, IDC_RECEIVER, IDC_STATUS};
    const int kReceiverMode[] = {IDC_REPLY, IDC_VIEW,     IDC_DELETE, IDC_DELETEALL,
                                 IDC_INCOMING, IDC_SENDER, IDC_RECEIVER, IDC_STATUS};
    long width96 = 0;
    for (DWORD dpi : {96, 144}) {
        reg_reset();
        App app;
        if (!CHECK(set_dpi(dpi)) || !CHECK(start_hidden(app)) || !CHECK(show_main(app.main)))
            break;
        HWND w = app.main;
        SIZE client = client_size(w);
        if (dpi == 96)
            width96 = client.cx;
        else
            CHECK_MSG(client.cx * 4 > width96 * 5, "the window grew with the dpi: %ld at 96, %ld now", width96, client.cx);
        for (bool sender : {true, false}) {
            post_command(w, sender ? IDC_SENDER : IDC_RECEIVER);
            CHECK(wait_until([&] { return is_checked(w, sender ? IDC_SENDER : IDC_RECEIVER); }, 3000));
            std::vector<int> ids(sender ? std::begin(kSenderMode) : std::begin(kReceiverMode),
                                 sender ? std::end(kSenderMode) : std::end(kReceiverMode));
            // The two bitmap buttons overlap by design (3 pixels at 96 dpi).
            for (int a : ids) {
                RECT ra = control_rect(w, a), inside;
                RECT whole = {0, 0, client.cx, client.cy};
                IntersectRect(&inside, &ra, &whole);
                CHECK_MSG(EqualRect(&inside, &ra), "dpi %lu: control %d at %s lies inside the client area %ldx%ld", dpi,
                          a, rect_text(ra).c_str(), client.cx, client.cy);
                for (int b : ids) {
                    RECT rb = control_rect(w, b), both;
                    bool designed = a == IDC_HIST_DELETE && b == IDC_HIST_CLEAR;
                    if (a < b && !designed && IntersectRect(&both, &ra, &rb))
                        CHECK_MSG(false, "dpi %lu: controls %d %s and %d %s overlap", dpi, a, rect_text(ra).c_str(), b,
                                  rect_text(rb).c_str());
                }
            }
        }
        CHECK_EQ_INT(app_exit(app), 0);
    }
    CHECK(set_dpi(96));
}

E2E_TEST(layout, eleven_tools_as_registered)
{
    reg_reset();
    App app;
    if (!CHECK(start_hidden(app)))
        return;
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
    CHECK_EQ_INT(app_exit(app), 0);
}
