// view_e2e.cpp - the Message View (caption, Prev/Next and focus, Reply, sizing), the message
// box variant, and the About box.
#include "tests/e2e/helpers.h"

static const char kTime[] = "1/2/2003 9:15 AM";

static std::vector<std::string> three_messages()
{
    return {messenger_text("ALICE", "ME", kTime, "one"), messenger_text("BOB", "ME", kTime, "two"),
            messenger_text("CAROL", "ME", kTime, "three")};
}

// Starts the receiver (the store is loaded by then), selects item `mark` and views it.
static HWND open_view(Receiver &r, int mark, const char *caption)
{
    if (!r.start())
        return nullptr;
    lv_select(r.list, mark);
    return open_dialog(r.app, IDC_VIEW, caption);
}

// Presses a button of another process's dialog as a click would (focus, then the command).
static void press(HWND dlg, int id)
{
    PostMessageA(GetDlgItem(dlg, id), BM_CLICK, 0, 0);
}

E2E_TEST(view, single_message_caption_text_and_both_steps_disabled)
{
    std::string text = messenger_text("ALICE", "ME", kTime, "line one\r\nline two");
    Receiver r({}, {text});
    App &app = r.app;
    HWND dlg = open_view(r, 0, "Message 1 of 1");
    REQUIRE_MSG(dlg != nullptr, "the Message View opens");
    CHECK_EQ_STR(item_text(dlg, IDC_VIEW_TEXT), text);
    CHECK(!enabled(dlg, IDC_VIEW_PREV));
    CHECK(!enabled(dlg, IDC_VIEW_NEXT));
    CHECK_MSG(GetWindowLongA(dlg, GWL_STYLE) & WS_THICKFRAME, "sizable");
    CHECK_MSG(GetWindow(dlg, GW_OWNER) == app.main, "owned by the main window");
    // Close (1) ends it; the main window stays as it was (hidden).
    PostMessageA(dlg, WM_COMMAND, IDOK, 0);
    CHECK(wait_gone(dlg));
    CHECK(!IsWindowVisible(app.main));
}

E2E_TEST(view, prev_next_states_caption_and_focus_at_the_ends)
{
    std::vector<std::string> texts = three_messages();
    Receiver r({}, texts);
    HWND dlg = open_view(r, 0, "Message 1 of 3");
    REQUIRE_MSG(dlg != nullptr, "the Message View opens on the first message");
    HWND edit = GetDlgItem(dlg, IDC_VIEW_TEXT);
    CHECK(!enabled(dlg, IDC_VIEW_PREV));
    CHECK(enabled(dlg, IDC_VIEW_NEXT));
    CHECK_EQ_STR(text_of(edit), texts[0]);

    press(dlg, IDC_VIEW_NEXT);
    CHECK(wait_until([&] { return text_of(dlg) == "Message 2 of 3"; }, 5000));
    CHECK_EQ_STR(text_of(edit), texts[1]);
    CHECK(enabled(dlg, IDC_VIEW_PREV) && enabled(dlg, IDC_VIEW_NEXT));
    CHECK_MSG(focus_of(dlg) == GetDlgItem(dlg, IDC_VIEW_NEXT), "Next keeps the focus while enabled");

    press(dlg, IDC_VIEW_NEXT);
    CHECK(wait_until([&] { return text_of(dlg) == "Message 3 of 3"; }, 5000));
    CHECK_EQ_STR(text_of(edit), texts[2]);
    CHECK(enabled(dlg, IDC_VIEW_PREV));
    CHECK(!enabled(dlg, IDC_VIEW_NEXT));
    CHECK_MSG(wait_until([&] { return focus_of(dlg) == edit; }, 3000), "the focus moves to the text");

    press(dlg, IDC_VIEW_PREV);
    CHECK(wait_until([&] { return text_of(dlg) == "Message 2 of 3"; }, 5000));
    press(dlg, IDC_VIEW_PREV);
    CHECK(wait_until([&] { return text_of(dlg) == "Message 1 of 3"; }, 5000));
    CHECK(!enabled(dlg, IDC_VIEW_PREV));
    CHECK_MSG(wait_until([&] { return focus_of(dlg) == edit; }, 3000), "the focus moves to the text");

    // Esc closes it.
    PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
    CHECK(wait_gone(dlg));
}

E2E_TEST(view, message_filed_while_viewing_the_last_shows_on_the_next_step)
{
    Receiver r({}, three_messages());
    App popup;
    HWND dlg = open_view(r, 2, "Message 3 of 3");
    REQUIRE_MSG(dlg != nullptr, "the Message View opens on the last message");
    HWND list = r.list;
    CHECK(popup_start(popup, popup_args("DAVE", "ME", kTime, "four")));
    CHECK_MSG(wait_count(list, 4), "filed while the viewer is open");
    CHECK(popup_closed(popup));
    CHECK_EQ_STR(text_of(dlg), "Message 3 of 3");
    CHECK_MSG(!enabled(dlg, IDC_VIEW_NEXT), "Next waits for the next step");
    press(dlg, IDC_VIEW_PREV);
    CHECK(wait_until([&] { return text_of(dlg) == "Message 2 of 4"; }, 5000));
    CHECK(enabled(dlg, IDC_VIEW_NEXT));
    press(dlg, IDC_VIEW_NEXT);
    press(dlg, IDC_VIEW_NEXT);
    CHECK(wait_until([&] { return text_of(dlg) == "Message 4 of 4"; }, 5000));
    CHECK_EQ_STR(item_text(dlg, IDC_VIEW_TEXT), messenger_text("DAVE", "ME", kTime, "four"));
    PostMessageA(dlg, WM_COMMAND, IDOK, 0);
    CHECK(wait_gone(dlg));
}

E2E_TEST(view, reply_after_next_answers_the_message_shown)
{
    Receiver r({}, three_messages());
    App &app = r.app;
    HWND dlg = open_view(r, 0, "Message 1 of 3");
    REQUIRE_MSG(dlg != nullptr, "the Message View opens");
    press(dlg, IDC_VIEW_NEXT);
    CHECK(wait_until([&] { return text_of(dlg) == "Message 2 of 3"; }, 5000));
    press(dlg, IDC_VIEW_REPLY);
    CHECK(wait_gone(dlg));
    CHECK_MSG(wait_until([&] { return item_text(app.main, IDC_RECIPIENT) == "BOB"; }, 5000),
              "the sender of the message shown, not of the one the view was opened on: \"%s\"",
              item_text(app.main, IDC_RECIPIENT).c_str());
    CHECK_EQ_INT(SendDlgItemMessageA(app.main, IDC_SENDER, BM_GETCHECK, 0, 0), BST_CHECKED);
    CHECK_EQ_INT(SendDlgItemMessageA(app.main, IDC_RECEIVER, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    CHECK_MSG(wait_until([&] { return IsWindowVisible(app.main) != FALSE; }, 5000), "the main window comes up");
    CHECK_MSG(wait_focus_in(GetDlgItem(app.main, IDC_MESSAGE)), "the message edit has the focus");
}

E2E_TEST(view, cannot_be_sized_below_its_opening_size_and_lays_out_when_enlarged)
{
    Receiver r({}, three_messages());
    HWND dlg = open_view(r, 1, "Message 2 of 3");
    REQUIRE_MSG(dlg != nullptr, "the Message View opens");
    RECT start;
    GetWindowRect(dlg, &start);
    int w = start.right - start.left, h = start.bottom - start.top;
    std::vector<int> lefts;
    for (int id : {IDC_VIEW_REPLY, IDOK, IDC_VIEW_PREV, IDC_VIEW_NEXT, IDC_VIEW_SPACER})
        lefts.push_back(control_rect(dlg, id).left);

    SetWindowPos(dlg, nullptr, 0, 0, w - 120, h - 90, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT now;
    GetWindowRect(dlg, &now);
    CHECK_EQ_INT(now.right - now.left, w);
    CHECK_EQ_INT(now.bottom - now.top, h);

    SetWindowPos(dlg, nullptr, 0, 0, w + 150, h + 100, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    GetWindowRect(dlg, &now);
    CHECK_EQ_INT(now.right - now.left, w + 150);
    CHECK_EQ_INT(now.bottom - now.top, h + 100);
    RECT client;
    GetClientRect(dlg, &client);
    RECT edit = control_rect(dlg, IDC_VIEW_TEXT);
    CHECK_EQ_INT(edit.right - edit.left, client.right - 10);
    CHECK_EQ_INT(edit.bottom - edit.top, client.bottom - 40);
    int i = 0;
    for (int id : {IDC_VIEW_REPLY, IDOK, IDC_VIEW_PREV, IDC_VIEW_NEXT, IDC_VIEW_SPACER}) {
        RECT r = control_rect(dlg, id);
        CHECK_MSG(r.top == client.bottom - 29, "control %d at the bottom: top %ld, want %ld", id, r.top,
                  client.bottom - 29);
        CHECK_MSG(r.left == lefts[i], "control %d keeps its left %d: %ld", id, lefts[i], r.left);
        ++i;
    }
    PostMessageA(dlg, WM_COMMAND, IDOK, 0);
    CHECK(wait_gone(dlg));
}

E2E_TEST(view, view_as_message_box_shows_the_full_text)
{
    std::vector<std::string> texts = three_messages();
    Receiver r({{"ViewAsMessageBox", 1}}, texts);
    App &app = r.app;
    HWND box = open_view(r, 1, "Message");
    if (CHECK_MSG(box != nullptr, "a message box captioned \"Message\"")) {
        CHECK_EQ_STR(msgbox_text(box), texts[1]);
        CHECK_MSG(GetWindowLongA(box, GWL_EXSTYLE) & WS_EX_TOPMOST, "system-modal");
        CHECK_MSG(GetDlgItem(box, IDOK) && !GetDlgItem(box, IDCANCEL), "OK only");
        PostMessageA(box, WM_COMMAND, IDOK, 0);
        CHECK(wait_gone(box));
    }
    // Without a selection mark nothing opens: a box would be open before the thread takes a
    // message posted after the command.
    SendMessageA(r.list, LVM_SETSELECTIONMARK, 0, -1);
    post_command(app.main, IDC_VIEW);
    CHECK(sync(app.main));
    CHECK_MSG(wait_dialog(app.pi.dwProcessId, "Message", 0) == nullptr, "no box without a selection mark");
}

E2E_TEST(view, about_box_closes_on_ok_and_on_escape)
{
    Receiver r;
    App &app = r.app;
    REQUIRE(r.start());
    HWND about = open_dialog(app, IDM_ABOUT, "About");
    REQUIRE_MSG(about != nullptr, "the About box opens");
    CHECK_EQ_STR(item_text(about, IDC_ABOUT_VERSION), "Tolvik v3.561");
    CHECK_MSG(!(GetWindowLongA(about, GWL_STYLE) & WS_THICKFRAME), "fixed frame");
    RECT client, ok;
    GetClientRect(about, &client);
    GetWindowRect(GetDlgItem(about, IDOK), &ok);
    MapWindowPoints(nullptr, about, reinterpret_cast<POINT *>(&ok), 2);
    CHECK_EQ_INT(ok.top, client.bottom - 29);
    PostMessageA(about, WM_COMMAND, IDOK, 0);
    CHECK_MSG(wait_gone(about), "OK closes it");

    about = open_dialog(app, IDM_ABOUT, "About");
    REQUIRE_MSG(about != nullptr, "the About box opens again");
    CHECK(make_foreground(about));
    tap(VK_ESCAPE);
    CHECK_MSG(wait_gone(about), "Esc closes it");
    CHECK_MSG(app.running() && IsWindow(app.main), "the program goes on");
}
