// capture_e2e.cpp - taking messenger popups: lookup by title, reading and closing them,
// filing once, passing over popups that cannot be taken, and the reactions to a new
// message (viewer, bring-forward, mode switch, animation, external program).
#include "base/popup_hint.h"
#include "tests/e2e/helpers.h"

#include <algorithm>
#include <fstream>
#include <set>

static const char kTime[] = "12/6/2001 2:45 PM";

// The message service's word that a popup is ready; anyone may send it. Sent (not posted): the
// step it sets off has run when this returns.
static void hint(HWND main, WPARAM window)
{
    SendMessageA(main, RegisterWindowMessageA(kPopupReadyMessage), window, 0);
}

E2E_TEST(capture, no_popup_changes_nothing_and_near_titles_are_left_alone)
{
    Receiver r;
    App nearMiss, valid;
    REQUIRE(r.start());
    // No trailing space: not the service's title.
    CHECK(popup_start(nearMiss, "--title \"Messenger service\""));
    CHECK(wait_popups(nearMiss) != nullptr);
    bool changed = wait_until(
        [&] {
            return lv_count(r.list) || item_text(r.app.main, IDC_RECEIVER) != "&Receiver" ||
                   item_text(r.app.main, IDC_STATUS) != "Ready" || reg_key_exists("Messages") ||
                   IsWindowVisible(r.app.main);
        },
        600);
    CHECK_MSG(!changed, "a dozen ticks later nothing was filed, stored, shown or animated");
    // The ticks do run: a real popup shown next is taken, and after it the near miss still is not.
    CHECK(popup_start(valid, popup_args("ALICE", "BOB", kTime, "Lunch?")));
    CHECK(wait_count(r.list, 1));
    CHECK(popup_closed(valid));
    CHECK(sync(r.app.main));
    CHECK_EQ_INT(lv_count(r.list), 1);
    CHECK_MSG(nearMiss.running() && !titled_windows_of(nearMiss.pi.dwProcessId).empty(),
              "the near-miss box is neither taken nor closed");
}

E2E_TEST(capture, files_four_columns_selects_and_closes_popup)
{
    Receiver r;
    App popup;
    REQUIRE(r.start());
    CHECK(popup_start(popup, popup_args("ALICE", "BOB", kTime, "Lunch?\\r\\nAt noon") + " --check-stored"));
    REQUIRE(wait_count(r.list, 1));
    CHECK_MSG(popup_closed(popup), "the popup is closed with WM_CLOSE once its message is stored");
    CHECK_EQ_STR(lv_text(r.list, 0, 0), kTime);
    CHECK_EQ_STR(lv_text(r.list, 0, 1), "ALICE");
    CHECK_EQ_STR(lv_text(r.list, 0, 2), "BOB");
    CHECK_EQ_STR(lv_text(r.list, 0, 3), "Lunch? At noon"); // the line break shows as a space
    CHECK_EQ_INT(lv_state(r.list, 0, LVIS_SELECTED | LVIS_FOCUSED), LVIS_SELECTED | LVIS_FOCUSED);
    CHECK_EQ_INT(SendMessageA(r.list, LVM_GETSELECTIONMARK, 0, 0), 0);
    CHECK_MSG(enabled(r.app.main, IDC_DELETEALL), "Delete All enabled by the new item");
    // KeepIncoming is on by default: the store holds the full text.
    std::vector<StoredValue> stored = store_values();
    if (CHECK_EQ_INT(stored.size(), 1)) {
        CHECK_EQ_STR(stored[0].name, "000000000");
        CHECK_EQ_STR(stored[0].text, messenger_text("ALICE", "BOB", kTime, "Lunch?\r\nAt noon"));
        CHECK(stored[0].sz_with_zero);
    }
    // Sender mode: the status line is not touched.
    CHECK_EQ_STR(item_text(r.app.main, IDC_STATUS), "Ready");
}

E2E_TEST(capture, case_variant_and_russian_titles_are_found)
{
    Receiver r;
    App upper, mixed, russian;
    REQUIRE(r.start());
    CHECK(popup_start(upper, "--upper --from CAROL --text one"));
    CHECK(wait_count(r.list, 1));
    CHECK(popup_closed(upper));
    CHECK(popup_start(mixed, "--title \"messenger SERVICE \" --from DAVE --text two"));
    CHECK(wait_count(r.list, 2));
    CHECK(popup_closed(mixed));
    // Russian title and header words, Windows-1251 bytes.
    CHECK(popup_start(russian, "--russian --from EVE --to FRANK --text three"));
    CHECK(wait_count(r.list, 3));
    CHECK(popup_closed(russian));
    CHECK_EQ_STR(lv_text(r.list, 0, 1), "CAROL");
    CHECK_EQ_STR(lv_text(r.list, 1, 1), "DAVE");
    CHECK_EQ_STR(lv_text(r.list, 2, 0), kTime);
    CHECK_EQ_STR(lv_text(r.list, 2, 1), "EVE");
    CHECK_EQ_STR(lv_text(r.list, 2, 2), "FRANK");
    CHECK_EQ_STR(lv_text(r.list, 2, 3), "three");
}

E2E_TEST(capture, popup_with_late_text_is_taken_once_it_has_text)
{
    Receiver r;
    App popup, timed;
    REQUIRE(r.start());
    CHECK(popup_start(popup, "--hold --from LATE --text arrived"));
    HWND box = wait_popups(popup);
    REQUIRE(box != nullptr);
    CHECK_MSG(!wait_until([&] { return lv_count(r.list) || !popup.running(); }, 500),
              "an empty popup is left open and not filed");
    PostMessageA(box, WM_APP, 0, 0); // the popup sets its text now
    CHECK(wait_count(r.list, 1));
    CHECK(popup_closed(popup));
    CHECK_EQ_STR(lv_text(r.list, 0, 1), "LATE");
    CHECK_EQ_STR(lv_text(r.list, 0, 3), "arrived");
    // The same with the text set by the popup's own timer.
    CHECK(popup_start(timed, "--late 400 --from TIMER --text ticked"));
    CHECK(wait_count(r.list, 2));
    CHECK(popup_closed(timed));
    CHECK_EQ_STR(lv_text(r.list, 1, 1), "TIMER");
    CHECK(sync(r.app.main)); // a tick under way has ended
    CHECK_EQ_INT(lv_count(r.list), 2);
}

E2E_TEST(capture, same_popup_seen_on_several_ticks_is_filed_once)
{
    Receiver r;
    App popup;
    REQUIRE(r.start());
    // The box ignores its first two WM_CLOSE: it is found on three ticks.
    CHECK(popup_start(popup, "--ignore-close 2 --text stubborn"));
    CHECK_MSG(popup_closed(popup), "closed by the third WM_CLOSE");
    CHECK(sync(r.app.main));
    CHECK_EQ_INT(lv_count(r.list), 1);
    CHECK_EQ_STR(lv_text(r.list, 0, 3), "stubborn");
    CHECK_EQ_INT(store_values().size(), 1);
}

E2E_TEST(capture, popup_that_ignores_close_blocks_nothing_and_is_filed_once)
{
    Receiver r;
    App stubborn, next;
    REQUIRE(r.start());
    CHECK(popup_start(stubborn, "--ignore-close 1000000 --text stubborn"));
    CHECK(wait_count(r.list, 1));
    CHECK(popup_start(next, "--text behind"));
    CHECK_MSG(wait_count(r.list, 2), "the popup behind is taken");
    CHECK(popup_closed(next));
    CHECK_MSG(!wait_until([&] { return lv_count(r.list) > 2; }, 1500), "the open popup is not filed again");
    CHECK_MSG(stubborn.running(), "it is still open");
}

E2E_TEST(capture, plain_windows_titled_late_are_taken_within_a_second)
{
    Receiver r;
    App late;
    REQUIRE(r.start());
    // Not dialogs, and past the first seconds in which every new window is read often; three of
    // them, so their handle values do not decide.
    CHECK(popup_start(late, "--plain --count 3 --title-late 7000 --from LATE --text renamed"));
    CHECK_MSG(wait_count(r.list, 3, 7000 + 2500), "taken about a second after their titles are set");
    CHECK(popup_closed(late));
    CHECK_EQ_STR(lv_text(r.list, 0, 1), "LATE");
}

E2E_TEST(capture, hint_takes_the_named_popup_at_once)
{
    Receiver r;
    App late;
    REQUIRE(r.start());
    // A plain window that gets its title late is found by the ticks only within a second.
    CHECK(popup_start(late, "--plain --title-late 300 --text hinted"));
    HWND box = nullptr;
    CHECK(wait_until(
        [&] {
            box = wait_popups(late);
            return box && text_of(box) == "Messenger service ";
        },
        5000, 2));
    hint(r.app.main, reinterpret_cast<WPARAM>(box));
    CHECK_MSG(lv_count(r.list) == 1, "filed before the hint returned");
    CHECK(popup_closed(late));
    CHECK_EQ_STR(lv_text(r.list, 0, 3), "hinted");
}

E2E_TEST(capture, hints_without_a_ready_popup_take_nothing_and_the_timer_takes_what_they_miss)
{
    Receiver r;
    App nearMiss, held, stubborn;
    REQUIRE(r.start());
    CHECK(popup_start(nearMiss, "--title \"Messenger service\""));
    CHECK(popup_start(held, "--hold --text missed"));
    HWND miss = wait_popups(nearMiss), empty = wait_popups(held);
    REQUIRE(miss && empty);
    // No window, a handle of nothing, Tolvik's own window, a near miss, a popup without text.
    for (WPARAM w : {WPARAM(0), WPARAM(0xDEADBEEF), reinterpret_cast<WPARAM>(r.app.main),
                     reinterpret_cast<WPARAM>(miss), reinterpret_cast<WPARAM>(empty)})
        hint(r.app.main, w);
    CHECK_EQ_INT(lv_count(r.list), 0);
    // A storm of them changes nothing either.
    UINT message = RegisterWindowMessageA(kPopupReadyMessage);
    for (int i = 0; i < 5000; ++i)
        PostMessageA(r.app.main, message, i % 2 ? reinterpret_cast<WPARAM>(empty) : static_cast<WPARAM>(i), i);
    CHECK(sync(r.app.main));
    CHECK_EQ_INT(lv_count(r.list), 0);
    CHECK_MSG(held.running() && nearMiss.running(), "nothing closed");
    // The text comes and no hint says so: the timer takes the popup.
    PostMessageA(empty, WM_APP, 0, 0);
    CHECK(wait_count(r.list, 1));
    CHECK(popup_closed(held));
    // A popup that stays open after it was taken is filed once, however often it is named.
    CHECK(popup_start(stubborn, "--ignore-close 1000000 --text stubborn"));
    HWND box = wait_popups(stubborn);
    CHECK(wait_count(r.list, 2));
    for (int i = 0; i < 5000; ++i)
        PostMessageA(r.app.main, message, reinterpret_cast<WPARAM>(box), 0);
    CHECK(sync(r.app.main));
    CHECK_EQ_INT(lv_count(r.list), 2);
    CHECK_EQ_STR(lv_text(r.list, 0, 3), "missed");
}

E2E_TEST(capture, identical_messages_in_a_row_are_each_filed)
{
    Receiver r;
    App a1, a2;
    REQUIRE(r.start());
    std::string same = popup_args("ALICE", "BOB", kTime, "ok");
    CHECK(popup_start(a1, same));
    CHECK(wait_count(r.list, 1));
    CHECK(popup_closed(a1));
    CHECK(popup_start(a2, same));
    CHECK_MSG(wait_count(r.list, 2), "the same text again is a message of its own");
    CHECK(popup_closed(a2));
    CHECK_EQ_INT(store_values().size(), 2);
}

// How often a box of popup_prog has ignored WM_CLOSE.
static INT_PTR closes_ignored(HWND box)
{
    return reinterpret_cast<INT_PTR>(GetPropA(box, "PopupProgIgnored"));
}

E2E_TEST(capture, popup_left_open_by_an_ended_run_is_filed_once)
{
    Receiver r;
    App stuck, again, same;
    REQUIRE(r.start());
    // The box stays open, as a popup does when Tolvik ends between storing it and closing it.
    CHECK(popup_start(stuck, "--ignore-close 1000000 --text ok"));
    HWND box = wait_popups(stuck);
    CHECK(wait_count(r.list, 1));
    TerminateProcess(r.app.pi.hProcess, 1);
    CHECK(app_wait_exit(r.app, 10000) == 1);
    // The next run loads the stored message and asks the box to close; it does not file it again.
    INT_PTR asked = closes_ignored(box);
    REQUIRE(start_in_tray(again));
    HWND list = GetDlgItem(again.main, IDC_INCOMING);
    CHECK_MSG(wait_until([&] { return closes_ignored(box) > asked; }, 5000), "the next run finds the box");
    CHECK(sync(again.main));
    CHECK_EQ_INT(lv_count(list), 1);
    // A new popup with the same text is a message of its own.
    CHECK(popup_start(same, "--text ok"));
    CHECK(wait_count(list, 2));
    CHECK(popup_closed(same));
    CHECK(sync(again.main));
    CHECK_EQ_INT(lv_count(list), 2);
    CHECK_EQ_INT(store_values().size(), 2);
}

E2E_TEST(capture, malformed_popups_do_not_block_a_valid_one_behind_them)
{
    Receiver r;
    App valid, noChildren, buttonOnly, staticFirst;
    REQUIRE(r.start());
    // The valid popup comes first and stays empty until the malformed ones stand in front of it.
    CHECK(popup_start(valid, "--hold --from GOOD --text behind"));
    HWND validBox = wait_popups(valid);
    CHECK(popup_start(noChildren, "--shape nochildren"));
    CHECK(popup_start(buttonOnly, "--shape buttononly"));
    CHECK(popup_start(staticFirst, "--shape staticfirst --from BAD"));
    CHECK(wait_popups(noChildren) && wait_popups(buttonOnly) && wait_popups(staticFirst));
    REQUIRE(validBox != nullptr);
    PostMessageA(validBox, WM_APP, 0, 0);
    CHECK_MSG(wait_count(r.list, 1), "the valid popup is taken");
    CHECK(popup_closed(valid));
    CHECK_EQ_STR(lv_text(r.list, 0, 1), "GOOD");
    CHECK_EQ_STR(lv_text(r.list, 0, 3), "behind");
    // Newer than the valid popup, any of them that was taken would have been taken first.
    CHECK(sync(r.app.main));
    CHECK_MSG(lv_count(r.list) == 1, "popups without a button first and text second are not filed");
}

E2E_TEST(capture, unsplittable_text_is_filed_whole_and_closed)
{
    Receiver r;
    App garbage, disordered, valid;
    REQUIRE(r.start());
    CHECK(popup_start(garbage, "--raw \"no header here\\r\\nsecond line\""));
    CHECK(wait_count(r.list, 1));
    CHECK_MSG(popup_closed(garbage), "a text that does not split still closes its popup");
    CHECK_EQ_STR(lv_text(r.list, 0, 0), "");
    CHECK_EQ_STR(lv_text(r.list, 0, 1), "");
    CHECK_EQ_STR(lv_text(r.list, 0, 2), "");
    CHECK_EQ_STR(lv_text(r.list, 0, 3), "no header here second line");
    // Tokens out of order ("to" before "from") are not split either; the next valid one is.
    CHECK(popup_start(disordered, "--raw \"Message to X from Y on Z\\r\\n\\r\\nbody\""));
    CHECK(wait_count(r.list, 2));
    CHECK_EQ_STR(lv_text(r.list, 1, 1), "");
    CHECK(popup_start(valid, popup_args("ALICE", "BOB", kTime, "fine")));
    CHECK(wait_count(r.list, 3));
    CHECK_EQ_STR(lv_text(r.list, 2, 1), "ALICE");
}

E2E_TEST(capture, burst_of_popups_is_taken_one_by_one)
{
    Receiver r;
    App burst;
    REQUIRE(r.start());
    CHECK(popup_start(burst, "--count 12 --text burst"));
    CHECK(wait_count(r.list, 12, 20000));
    CHECK_MSG(popup_closed(burst), "every popup of the burst is closed");
    std::set<std::string> messages;
    for (int i = 0; i < lv_count(r.list); ++i)
        messages.insert(lv_text(r.list, i, 3));
    CHECK_EQ_INT(messages.size(), 12);
    CHECK_MSG(messages.count("burst #1") && messages.count("burst #12"), "each text filed");
    CHECK_EQ_INT(lv_state(r.list, 11, LVIS_SELECTED), LVIS_SELECTED);
    CHECK_EQ_INT(SendMessageA(r.list, LVM_GETSELECTEDCOUNT, 0, 0), 1);
    CHECK_EQ_INT(store_values().size(), 12);
}

E2E_TEST(capture, monitor_off_takes_no_popup)
{
    Receiver r({{"Monitor", 0}});
    App popup;
    REQUIRE(r.start());
    CHECK(popup_start(popup, "--text ignored"));
    HWND box = wait_popups(popup);
    CHECK(box != nullptr);
    CHECK_MSG(!wait_until([&] { return lv_count(r.list) || !popup.running(); }, 600), "the popup stays");
    hint(r.app.main, reinterpret_cast<WPARAM>(box));
    CHECK_MSG(lv_count(r.list) == 0 && popup.running(), "a hint takes nothing either");
    // The receiver turned on, the same popup is taken.
    HWND dlg = open_dialog(r.app, IDM_CONFIGURE, "Tolvik Configuration");
    if (CHECK(dlg != nullptr)) {
        SendDlgItemMessageA(dlg, IDC_CFG_MONITOR, BM_SETCHECK, BST_CHECKED, 0);
        CHECK(close_dialog(dlg, IDOK));
    }
    CHECK(wait_count(r.list, 1));
    CHECK(popup_closed(popup));
}

E2E_TEST(capture, internal_message_opens_only_the_viewer_also_nested)
{
    Receiver r({{"InternalMessage", 1}, {"PopupOnMessage", 1}});
    App first, second;
    REQUIRE(r.start());
    DWORD pid = r.app.pi.dwProcessId;
    CHECK(popup_start(first, popup_args("ALICE", "BOB", kTime, "first")));
    HWND outer = wait_dialog(pid, "Message 1 of 1", 10000);
    REQUIRE_MSG(outer != nullptr, "the viewer opens on the new message");
    CHECK_EQ_STR(item_text(outer, IDC_VIEW_TEXT), messenger_text("ALICE", "BOB", kTime, "first"));
    CHECK_MSG(!IsWindowVisible(r.app.main), "the main window is not brought forward");
    // Capture goes on inside the viewer: the next message opens its own viewer on top.
    CHECK(popup_start(second, popup_args("CAROL", "BOB", kTime, "second")));
    HWND inner = wait_dialog(pid, "Message 2 of 2", 10000, outer);
    if (CHECK_MSG(inner != nullptr, "a nested viewer for the second message")) {
        CHECK_EQ_STR(item_text(inner, IDC_VIEW_TEXT), messenger_text("CAROL", "BOB", kTime, "second"));
        CHECK(close_dialog(inner, IDOK));
    }
    CHECK_EQ_STR(text_of(outer), "Message 1 of 1");
    CHECK(close_dialog(outer, IDOK));
    CHECK(popup_closed(first) && popup_closed(second));
    CHECK(sync(r.app.main));
    CHECK_MSG(!IsWindowVisible(r.app.main), "still hidden after the viewers closed");
    CHECK_EQ_INT(lv_count(r.list), 2);
}

// What a new message sets off with PopupOnMessage, SwitchOnMessage and DoNotStealFocus: the
// window brought forward, or Receiver mode unless the focus may not be taken.
struct Reaction {
    const char *name;
    DWORD popupOnMessage, switchOnMessage, doNotStealFocus;
    bool shown, receiver;
};

static const Reaction kReactions[] = {
    {"popup_on_message_brings_the_window_forward", 1, 0, 1, true, false},
    {"switch_on_message_honours_do_not_steal_focus", 0, 1, 1, false, false},
    {"switch_on_message_switches_without_do_not_steal_focus", 0, 1, 0, false, true},
};

static void react_to_a_message(const Reaction &row)
{
    Receiver r({{"PopupOnMessage", row.popupOnMessage},
                {"SwitchOnMessage", row.switchOnMessage},
                {"DoNotStealFocus", row.doNotStealFocus}});
    App popup;
    REQUIRE(r.start());
    HWND w = r.app.main;
    CHECK(popup_start(popup, "--text hello"));
    CHECK(wait_count(r.list, 1));
    CHECK(sync(w)); // the tick that filed it has ended
    if (row.shown) {
        CHECK_MSG(wait_until([&] { return IsWindowVisible(w) != FALSE; }, 5000), "the window is shown");
        CHECK_MSG(GetWindowLongA(w, GWL_STYLE) & WS_CAPTION, "with its full frame");
        CHECK_MSG(wait_until([&] { return GetForegroundWindow() == w; }, 3000), "in the foreground");
    }
    if (row.receiver) {
        CHECK_MSG(receiver_mode_shown(w), "switched to Receiver mode");
        CHECK_EQ_STR(item_text(w, IDC_MODE_FRAME), "Receiver");
        CHECK_EQ_STR(item_text(w, IDC_STATUS), "Total messages: 1");
    } else {
        CHECK_MSG(is_checked(w, IDC_SENDER) && !is_checked(w, IDC_RECEIVER), "the mode is not changed");
        CHECK_EQ_STR(item_text(w, IDC_MODE_FRAME), "Sender");
    }
}

E2E_TABLE(capture, kReactions, react_to_a_message);

// The pixels of the screen inside r (row by row), empty on failure.
static std::vector<COLORREF> screen_pixels(const RECT &r)
{
    std::vector<COLORREF> pixels;
    int w = r.right - r.left, h = r.bottom - r.top;
    if (w <= 0 || h <= 0)
        return pixels;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void *bits = nullptr;
    HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (dib) {
        HGDIOBJ old = SelectObject(mem, dib);
        if (BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY)) {
            GdiFlush();
            const COLORREF *p = static_cast<const COLORREF *>(bits);
            pixels.assign(p, p + static_cast<size_t>(w) * h);
        }
        SelectObject(mem, old);
        DeleteObject(dib);
    }
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    return pixels;
}

// The tray icon's rectangle and its pixels once the tray has drawn it: two reads in a row
// alike, and more than one colour.
static bool icon_at_rest(RECT &rect, std::vector<COLORREF> &pixels)
{
    TrayIcon icon;
    if (!tolvik_tray_icon(icon))
        return false;
    rect = icon.screen;
    std::vector<COLORREF> before;
    return wait_until(
        [&] {
            pixels = screen_pixels(rect);
            bool drawn = !pixels.empty() && pixels == before &&
                         std::any_of(pixels.begin(), pixels.end(), [&](COLORREF c) { return c != pixels[0]; });
            before = pixels;
            return drawn;
        },
        5000, 50);
}

static bool is_receiver_prefix(const std::string &caption)
{
    static const std::string full = "&Receiver";
    return !caption.empty() && caption.size() <= full.size() && full.compare(0, caption.size(), caption) == 0;
}

// Watches the Receiver button and the tray icon until every caption prefix was seen twice
// (two animation cycles); returns false on time-out or on a caption that is not a prefix.
struct AnimationSeen {
    std::set<std::string> captions;
    bool altIcon = false;
    bool badCaption = false;
    std::string bad;
};
static AnimationSeen watch_animation(HWND main, const RECT &iconRect, const std::vector<COLORREF> &rest)
{
    AnimationSeen seen;
    int wraps = 0;
    std::string last;
    wait_until(
        [&] {
            std::string caption = item_text(main, IDC_RECEIVER);
            if (!is_receiver_prefix(caption)) {
                seen.badCaption = true;
                seen.bad = caption;
                return true;
            }
            if (caption == "&" && last != "&")
                ++wraps;
            last = caption;
            seen.captions.insert(caption);
            std::vector<COLORREF> now = screen_pixels(iconRect);
            if (!now.empty() && now != rest)
                seen.altIcon = true;
            return wraps >= 3 && seen.captions.size() == 9;
        },
        20000, 15);
    return seen;
}

// After a new message the Receiver button spells its caption out, the window shown
// (PopupOnMessage) or hidden; the tray icon blinks along only with AnimTrayOnMessage. With the
// window shown the user stops it by switching to Receiver mode.
struct Animation {
    const char *name;
    DWORD popupOnMessage, animTrayOnMessage;
};

static const Animation kAnimations[] = {
    {"animation_cycles_caption_and_icon_until_receiver_mode", 1, 1},
    {"anim_tray_off_leaves_the_icon_alone", 0, 0},
};

static void animate_on_a_message(const Animation &row)
{
    Receiver r({{"PopupOnMessage", row.popupOnMessage}, {"AnimTrayOnMessage", row.animTrayOnMessage}});
    App popup;
    REQUIRE(r.start());
    HWND w = r.app.main;
    RECT icon = {};
    std::vector<COLORREF> rest;
    CHECK(icon_at_rest(icon, rest));
    CHECK(popup_start(popup, "--text blink"));
    CHECK(wait_count(r.list, 1));
    if (row.popupOnMessage)
        CHECK(wait_until([&] { return IsWindowVisible(w) != FALSE; }, 5000));
    AnimationSeen seen = watch_animation(w, icon, rest);
    CHECK_MSG(!seen.badCaption, "caption \"%s\" is a prefix of \"&Receiver\"", seen.bad.c_str());
    CHECK_EQ_INT(seen.captions.size(), 9);
    CHECK_MSG(seen.altIcon == (row.animTrayOnMessage != 0), "%s",
              row.animTrayOnMessage ? "the tray icon blinks with AnimTrayOnMessage on" : "the tray icon is left alone");
    if (!row.popupOnMessage)
        return;
    // The user switches to Receiver mode with the window shown, while icon 156 shows (it is
    // set by the tick that spells "&Rece"): the animation stops and icon 134 comes back.
    CHECK(wait_until([&] { return item_text(w, IDC_RECEIVER) == "&Rece"; }, 5000, 5));
    post_command(w, IDC_RECEIVER);
    CHECK(wait_until([&] { return is_checked(w, IDC_RECEIVER); }, 3000));
    CHECK(wait_until([&] { return item_text(w, IDC_RECEIVER) == "&Receiver"; }, 3000));
    CHECK_MSG(wait_until([&] { return screen_pixels(icon) == rest; }, 3000), "icon 134 is back");
    bool steady =
        !wait_until([&] { return item_text(w, IDC_RECEIVER) != "&Receiver" || screen_pixels(icon) != rest; }, 1000);
    CHECK_MSG(steady, "caption and icon stay put once stopped");
    CHECK_MSG(tray_has("Tolvik"), "the tray icon keeps its tip");
}

E2E_TABLE(capture, kAnimations, animate_on_a_message);

static int runmark_lines(const std::string &path)
{
    std::ifstream in(path);
    int lines = 0;
    for (std::string line; std::getline(in, line);)
        lines += line.compare(0, 4, "run ") == 0;
    return lines;
}

E2E_TEST(capture, external_program_runs_once_per_filed_message)
{
    std::string program = program_dir() + "runmark_prog.exe", log = program_dir() + "runmark.log";
    DeleteFileA(log.c_str());
    Receiver r({{"EnableRunOnMessage", 1}});
    // Text settings are stored without their terminating zero.
    CHECK(reg_set_raw(nullptr, "ExternalProg", REG_SZ, program.data(), static_cast<DWORD>(program.size())));
    App a1, b;
    REQUIRE(r.start());
    CHECK(popup_start(a1, "--text one"));
    CHECK(wait_count(r.list, 1));
    CHECK_MSG(wait_until([&] { return runmark_lines(log) == 1; }, 10000), "launched for the first message");
    CHECK(popup_start(b, "--text two"));
    CHECK(wait_count(r.list, 2));
    CHECK_MSG(wait_until([&] { return runmark_lines(log) == 2; }, 10000), "launched for the second message");
    CHECK_MSG(!wait_until([&] { return runmark_lines(log) > 2; }, 1500), "launched once for each");
    DeleteFileA(log.c_str());
}
