// shell_e2e.cpp - the application shell seen from outside: the hidden start, the tray icon's
// double-click, hiding instead of closing, the tray menu while a dialog is open, the
// activate-instance message, Sender and Receiver modes, and the sent-messages and
// recipient boxes.
#include "tests/e2e/helpers.h"

#include <commctrl.h>

namespace {

constexpr LONG kFullFrameStyle = 0x04CE0844;
constexpr LONG kFullFrameExStyle = WS_EX_CONTROLPARENT | WS_EX_WINDOWEDGE;

const int kSenderSet[] = {IDC_TO_LABEL, IDC_RECIPIENT, IDC_SENTMESSAGES, IDC_MESSAGE,
                          IDC_SEND,     IDC_SENDLOG,   IDC_HIST_DELETE,  IDC_HIST_CLEAR};
const int kReceiverButtons[] = {IDC_REPLY, IDC_VIEW, IDC_DELETE, IDC_DELETEALL};
const int kBothModes[] = {IDC_SENDER, IDC_RECEIVER, IDC_MODE_FRAME, IDC_STATUS};

// The control's own visibility bit (IsWindowVisible also needs the main window shown).
bool shown(HWND dlg, int id)
{
    return (GetWindowLongA(GetDlgItem(dlg, id), GWL_STYLE) & WS_VISIBLE) != 0;
}

bool collapsed(HWND main)
{
    RECT r = window_rect(main);
    return (GetWindowLongA(main, GWL_STYLE) & ~(WS_VISIBLE | WS_CLIPSIBLINGS)) == 0 &&
           (GetWindowLongA(main, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) && r.left == -4 && r.top == -4 &&
           r.right == -4 && r.bottom == -4;
}

bool in_full_frame(HWND main)
{
    return (GetWindowLongA(main, GWL_STYLE) & ~(WS_VISIBLE | WS_DISABLED)) == kFullFrameStyle &&
           (GetWindowLongA(main, GWL_EXSTYLE) & (kFullFrameExStyle | WS_EX_TOOLWINDOW)) == kFullFrameExStyle;
}

void double_click(const TrayIcon &icon)
{
    mouse_click(rect_centre(icon.screen), false, true);
}

// Opens the tray menu with a right-click on the icon and returns its items.
std::vector<MenuItem> open_tray_menu(HWND main, const TrayIcon &icon)
{
    mouse_click(rect_centre(icon.screen), true, false);
    return wait_tracked_menu(main);
}

void check_tray_menu(const std::vector<MenuItem> &items, bool grey, const char *when)
{
    const MenuItem want[] = {{IDM_ABOUT, 0, "&About..."}, {IDM_CONFIGURE, 0, "&Configure..."},
                             {IDM_EXIT, 0, "E&xit Tolvik"}};
    if (!CHECK_MSG(items.size() == 3, "%s: three commands in the tray menu, got %d", when,
                   static_cast<int>(items.size())))
        return;
    for (int i = 0; i < 3; ++i) {
        CHECK_EQ_INT(items[i].id, want[i].id);
        CHECK_EQ_STR(items[i].text, want[i].text);
        CHECK_MSG(((items[i].state & MF_GRAYED) != 0) == grey, "%s: %s is %s (state %u)", when,
                  want[i].text.c_str(), grey ? "grey" : "enabled", items[i].state);
    }
}

} // namespace

// --- hidden start, tray icon, first showing ---

E2E_TEST(shell, tray_double_click_first_showing_then_toggle)
{
    MainTemplate tmpl = main_template();
    REQUIRE_MSG(tmpl.ok, "template 129 could not be laid out in the driver");
    App app;
    REQUIRE(start_in_tray(app));
    HWND w = app.main;
    CHECK_MSG(collapsed(w), "collapsed tool window (no taskbar button): %s", rect_text(window_rect(w)).c_str());
    TrayIcon icon;
    REQUIRE_MSG(tolvik_tray_icon(icon), "tray icon present");

    double_click(icon);
    CHECK_MSG(wait_until([&] { return IsWindowVisible(w) && GetForegroundWindow() == w; }, 5000),
              "first double-click shows the window in front");
    CHECK_MSG(in_full_frame(w), "full frame: style %08lx ex %08lx", GetWindowLongA(w, GWL_STYLE),
              GetWindowLongA(w, GWL_EXSTYLE));
    CHECK_MSG(same_rect(window_rect(w), tmpl.window), "at the start rectangle %s, got %s",
              rect_text(tmpl.window).c_str(), rect_text(window_rect(w)).c_str());

    // Moved elsewhere: a later showing must not put it back at the start rectangle.
    RECT moved = tmpl.window;
    OffsetRect(&moved, -37, -23);
    SetWindowPos(w, nullptr, moved.left, moved.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    CHECK(wait_until([&] { return same_rect(window_rect(w), moved); }, 3000));
    CHECK(make_foreground(w));

    double_click(icon);
    CHECK_MSG(wait_hidden(w), "a double-click while in front hides the window");
    CHECK_MSG(app.running(), "hiding does not end the program");

    double_click(icon);
    CHECK_MSG(wait_until([&] { return IsWindowVisible(w) && GetForegroundWindow() == w; }, 5000),
              "the next double-click shows it again");
    CHECK_MSG(same_rect(window_rect(w), moved), "shown where it was left %s, got %s", rect_text(moved).c_str(),
              rect_text(window_rect(w)).c_str());
    CHECK(in_full_frame(w));
}

// --- hiding instead of minimising or closing ---

E2E_TEST(shell, esc_altf4_close_minimize_hide_a_visible_window)
{
    App app;
    REQUIRE(start_in_tray(app));
    HWND w = app.main;
    const struct {
        const char *what;
        void (*act)(HWND);
    } ways[] = {
        {"Esc in the recipient box", [](HWND m) { send_command(m, IDC_SENDER); tap(VK_ESCAPE); }},
        {"Esc in the message edit",
         [](HWND m) {
             send_command(m, IDC_SENDER);
             chord({VK_CONTROL}, 'A'); // puts the focus into the message edit
             tap(VK_ESCAPE);
         }},
        {"Alt+F4", [](HWND) { chord({VK_MENU}, VK_F4); }},
        {"SC_CLOSE", [](HWND m) { PostMessageA(m, WM_SYSCOMMAND, SC_CLOSE, 0); }},
        {"SC_MINIMIZE", [](HWND m) { PostMessageA(m, WM_SYSCOMMAND, SC_MINIMIZE, 0); }},
    };
    for (const auto &way : ways) {
        if (!CHECK_MSG(show_main(w) && make_foreground(w), "%s: window shown in front", way.what))
            break;
        RECT before = window_rect(w);
        way.act(w);
        CHECK_MSG(wait_hidden(w, 5000), "%s hides the window (foreground %s, focus %s)", way.what,
                  window_desc(GetForegroundWindow()).c_str(), window_desc(focus_of(w)).c_str());
        sync(w);
        CHECK_MSG(app.running(), "%s: the program keeps running", way.what);
        CHECK_MSG(!IsIconic(w), "%s: hidden, not minimised", way.what);
        CHECK_MSG(in_full_frame(w), "%s: keeps its frame", way.what);
        CHECK_MSG(same_rect(window_rect(w), before), "%s: keeps its place", way.what);
    }
}

E2E_TEST(shell, hide_commands_on_a_hidden_window_change_nothing)
{
    App app;
    REQUIRE(start_in_tray(app));
    HWND w = app.main;
    auto send_all = [&] {
        PostMessageA(w, WM_COMMAND, IDCANCEL, 0); // what Esc becomes
        PostMessageA(w, WM_SYSCOMMAND, SC_CLOSE, 0); // what Alt+F4 becomes
        PostMessageA(w, WM_SYSCOMMAND, SC_MINIMIZE, 0);
        CHECK(sync(w));
    };

    // Never shown: it stays collapsed.
    send_all();
    CHECK_MSG(app.running(), "still running");
    CHECK_MSG(!IsWindowVisible(w), "still hidden");
    CHECK_MSG(collapsed(w), "still collapsed: %s", rect_text(window_rect(w)).c_str());

    // Shown once, then hidden: it stays hidden where it was.
    CHECK(show_main(w));
    RECT place = window_rect(w);
    PostMessageA(w, WM_SYSCOMMAND, SC_CLOSE, 0);
    CHECK(wait_hidden(w));
    send_all();
    CHECK_MSG(app.running(), "still running");
    CHECK_MSG(!IsWindowVisible(w) && !IsIconic(w), "still hidden, not minimised");
    CHECK(same_rect(window_rect(w), place));
    CHECK(in_full_frame(w));
    CHECK_MSG(show_main(w), "the window still comes back");
}

// --- the tray menu ---

E2E_TEST(shell, tray_menu_grey_while_a_dialog_is_open)
{
    App app;
    REQUIRE(start_in_tray(app));
    HWND w = app.main;
    TrayIcon icon;
    REQUIRE(tolvik_tray_icon(icon));
    check_tray_menu(open_tray_menu(w, icon), false, "no dialog open");
    CHECK(close_tracked_menu(w));

    const struct {
        int command;
        const char *title;
    } dialogs[] = {{IDM_ABOUT, "About"}, {IDM_CONFIGURE, "Tolvik Configuration"}, {IDM_MSG_VIEW, "Message View"}};
    for (const auto &d : dialogs) {
        post_command(w, d.command);
        HWND dlg = wait_dialog(app.pi.dwProcessId, d.title, 5000);
        if (!CHECK_MSG(dlg != nullptr, "%s opened", d.title))
            continue;
        check_tray_menu(open_tray_menu(w, icon), true, d.title);
        CHECK(close_tracked_menu(w));
        CHECK_MSG(IsWindow(dlg), "%s stays open while the tray menu is used", d.title);
        PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
        CHECK_MSG(wait_gone(dlg), "%s closed", d.title);
        check_tray_menu(open_tray_menu(w, icon), false, "after the dialog closed");
        CHECK(close_tracked_menu(w));
    }
}

E2E_TEST(shell, inner_viewer_closing_leaves_the_outer_dialog_state_alone)
{
    const char *time = "1/2/2003 9:15 AM";
    store_prefill({messenger_text("ALICE", "ME", time, "one"), messenger_text("BOB", "ME", time, "two"),
                   messenger_text("CAROL", "ME", time, "three")});
    App app;
    REQUIRE(start_in_tray(app));
    HWND w = app.main, list = GetDlgItem(w, IDC_INCOMING);
    DWORD pid = app.pi.dwProcessId;
    TrayIcon icon;
    CHECK(tolvik_tray_icon(icon));
    lv_select(list, 2);
    post_command(w, IDM_MSG_VIEW);
    HWND outer = wait_dialog(pid, "Message 3 of 3", 5000);
    lv_select(list, 1);
    post_command(w, IDM_MSG_VIEW); // run by the outer viewer's loop: a viewer over a viewer
    HWND inner = wait_dialog(pid, "Message 2 of 3", 5000, outer);
    REQUIRE(outer && inner);
    PostMessageA(inner, WM_COMMAND, IDOK, 0);
    CHECK(wait_gone(inner));
    check_tray_menu(open_tray_menu(w, icon), true, "the outer viewer still open");
    CHECK(close_tracked_menu(w));
    CHECK(make_foreground(outer));
    CHECK_MSG(focus_moves(outer, true), "Ctrl+Tab moves the viewer's focus");
    CHECK_MSG(is_checked(w, IDC_SENDER), "Ctrl+Tab does not switch the mode behind the viewer");
    PostMessageA(GetDlgItem(outer, IDC_VIEW_PREV), BM_CLICK, 0, 0);
    CHECK_MSG(wait_until([&] { return text_of(outer) == "Message 2 of 3"; }, 3000), "Prev steps from its own message: %s",
              text_of(outer).c_str());
    CHECK(make_foreground(outer));
    chord({VK_CONTROL}, VK_RETURN);
    CHECK_MSG(wait_gone(outer), "Ctrl+Enter replies from the outer viewer");
    CHECK_MSG(wait_until([&] { return item_text(w, IDC_RECIPIENT) == "BOB"; }, 3000), "to the message it shows");
}

// --- the activate-instance message ---

E2E_TEST(shell, activate_message_first_showing_show_and_restore)
{
    MainTemplate tmpl = main_template();
    App app;
    REQUIRE(start_in_tray(app));
    REQUIRE(tmpl.ok);
    HWND w = app.main;

    // Never shown: the first showing, full frame at the start rectangle.
    PostMessageA(w, WM_ACTIVATEINSTANCE, 0, 0);
    CHECK_MSG(wait_until([&] { return IsWindowVisible(w) && GetForegroundWindow() == w; }, 5000),
              "never shown: shown in front");
    CHECK(in_full_frame(w));
    CHECK_MSG(same_rect(window_rect(w), tmpl.window), "start rectangle %s, got %s", rect_text(tmpl.window).c_str(),
              rect_text(window_rect(w)).c_str());

    // Hidden: shown again where it was.
    RECT moved = tmpl.window;
    OffsetRect(&moved, 41, 17);
    SetWindowPos(w, nullptr, moved.left, moved.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    PostMessageA(w, WM_SYSCOMMAND, SC_CLOSE, 0);
    CHECK(wait_hidden(w));
    PostMessageA(w, WM_ACTIVATEINSTANCE, 0, 0);
    CHECK_MSG(wait_until([&] { return IsWindowVisible(w) && GetForegroundWindow() == w; }, 5000),
              "hidden: shown in front");
    CHECK_MSG(same_rect(window_rect(w), moved), "shown where it was left");
    CHECK(in_full_frame(w));

    // Visible but minimised by someone else: restored to its normal size.
    ShowWindow(w, SW_MINIMIZE);
    CHECK(wait_until([&] { return IsIconic(w) != FALSE; }, 3000));
    PostMessageA(w, WM_ACTIVATEINSTANCE, 0, 0);
    CHECK_MSG(wait_until([&] { return !IsIconic(w) && IsWindowVisible(w) && GetForegroundWindow() == w; }, 5000),
              "visible: restored and in front");
    CHECK_MSG(wait_until([&] { return same_rect(window_rect(w), moved); }, 3000), "restored in place: %s",
              rect_text(window_rect(w)).c_str());
}

// --- Sender and Receiver modes ---

E2E_TEST(shell, mode_switches_show_enable_caption_status_focus)
{
    // A first run: no mode command at start.
    App app;
    REQUIRE(start_in_tray(app));
    HWND w = app.main;
    CHECK_EQ_STR(item_text(w, IDC_MODE_FRAME), "Send Message");
    CHECK(!receiver_mode_shown(w) && is_checked(w, IDC_SENDER));
    CHECK(show_main(w));

    auto check_receiver = [&](const char *when) {
        CHECK_MSG(receiver_mode_shown(w), "%s: Receiver checked, Sender not", when);
        CHECK_EQ_STR(item_text(w, IDC_MODE_FRAME), "Receiver");
        CHECK_EQ_STR(item_text(w, IDC_STATUS), "Total messages: 0");
        for (int id : kSenderSet)
            CHECK_MSG(!shown(w, id) && !enabled(w, id), "%s: %d hidden and disabled", when, id);
        for (int id : kReceiverButtons)
            CHECK_MSG(shown(w, id) && !enabled(w, id), "%s: %d shown, disabled with an empty list", when, id);
        CHECK_MSG(shown(w, IDC_INCOMING), "%s: incoming list shown", when);
        for (int id : kBothModes)
            CHECK_MSG(shown(w, id), "%s: %d shown in both modes", when, id);
        CHECK_MSG(wait_focus_in(GetDlgItem(w, IDC_INCOMING)), "%s: focus on the incoming list", when);
    };
    auto check_sender = [&](const char *when) {
        CHECK_MSG(is_checked(w, IDC_SENDER) && !is_checked(w, IDC_RECEIVER), "%s: Sender checked", when);
        CHECK_EQ_STR(item_text(w, IDC_MODE_FRAME), "Sender");
        CHECK_EQ_STR(item_text(w, IDC_STATUS), "Ready");
        CHECK_EQ_STR(item_text(w, IDC_RECIPIENT), "");
        for (int id : kSenderSet)
            CHECK_MSG(shown(w, id) && enabled(w, id), "%s: %d shown and enabled", when, id);
        for (int id : kReceiverButtons)
            CHECK_MSG(!shown(w, id) && !enabled(w, id), "%s: %d hidden and disabled", when, id);
        CHECK_MSG(!shown(w, IDC_INCOMING), "%s: incoming list hidden", when);
        for (int id : kBothModes)
            CHECK_MSG(shown(w, id), "%s: %d shown in both modes", when, id);
        CHECK_MSG(wait_focus_in(GetDlgItem(w, IDC_RECIPIENT)), "%s: focus in the recipient box", when);
    };

    send_command(w, IDC_RECEIVER);
    check_receiver("Receiver");
    send_command(w, IDC_SENDER);
    check_sender("Sender, empty recipient box");

    // The mode already shown: the same steps run again.
    SetWindowTextA(GetDlgItem(w, IDC_STATUS), "something else");
    EnableWindow(GetDlgItem(w, IDC_SEND), FALSE);
    SendMessageA(w, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(w, IDC_SENTMESSAGES)), TRUE);
    CHECK(!focus_in(GetDlgItem(w, IDC_RECIPIENT)));
    send_command(w, IDC_SENDER);
    check_sender("Sender again");

    send_command(w, IDC_RECEIVER);
    SetWindowTextA(GetDlgItem(w, IDC_STATUS), "something else");
    send_command(w, IDC_RECEIVER);
    check_receiver("Receiver again");
}

E2E_TEST(shell, receiver_buttons_follow_the_selection)
{
    CHECK(store_prefill({messenger_text("ALICE", "BOB", "12/6/2001 2:45 PM", "Lunch?"),
                         messenger_text("CAROL", "BOB", "12/6/2001 3:10 PM", "Meeting at four")}));
    App app;
    REQUIRE(start_in_tray(app));
    HWND w = app.main, list = GetDlgItem(w, IDC_INCOMING);
    CHECK_EQ_INT(lv_count(list), 2);
    CHECK_EQ_STR(item_text(w, IDC_MODE_FRAME), "Sender"); // the settings key exists: mode restored
    CHECK_MSG(enabled(w, IDC_DELETEALL), "Delete All follows the list even in Sender mode");
    CHECK(!enabled(w, IDC_REPLY) && !enabled(w, IDC_VIEW) && !enabled(w, IDC_DELETE));
    CHECK(lv_select(list, 1));
    CHECK_MSG(wait_until([&] { return enabled(w, IDC_REPLY) && enabled(w, IDC_VIEW) && enabled(w, IDC_DELETE); },
                         3000),
              "hidden Reply, View and Delete follow the selection");

    send_command(w, IDC_RECEIVER);
    CHECK_EQ_STR(item_text(w, IDC_STATUS), "Total messages: 2");
    for (int id : kReceiverButtons)
        CHECK_MSG(shown(w, id) && enabled(w, id), "%d shown and enabled with a selection", id);
    CHECK(lv_set_state(list, 1, 0, LVIS_SELECTED));
    CHECK(wait_until([&] { return !enabled(w, IDC_REPLY) && !enabled(w, IDC_VIEW) && !enabled(w, IDC_DELETE); },
                     3000));
    CHECK(enabled(w, IDC_DELETEALL));
}

// --- the sent-messages box and the recipient box ---

static void fill_history()
{
    reg_set_text(nullptr, "Last User", "ALICE");
    reg_set_text("History", "ALICE", "last words to alice");
    reg_set_text("History\\ALICE", "09:00:00 01.02.2024", "first sent");
    reg_set_text("History\\ALICE", "09:05:00 01.02.2024", "second sent");
    reg_set_text("History", "BOB", "last words to bob");
    reg_set_text("History\\BOB", "10:00:00 01.02.2024", "bob sent");
}

E2E_TEST(shell, choosing_a_sent_message_replaces_the_text)
{
    fill_history();
    App app;
    REQUIRE(start_in_tray(app));
    HWND w = app.main, box = GetDlgItem(w, IDC_SENTMESSAGES), edit = GetDlgItem(w, IDC_MESSAGE);
    CHECK_EQ_STR(item_text(w, IDC_RECIPIENT), "ALICE");
    CHECK_EQ_STR(text_of(edit), "last words to alice");
    std::vector<std::string> entries = combo_entries(box);
    if (!CHECK_EQ_INT(entries.size(), 2))
        return;

    // Whatever the recipient box holds: empty it, and start from a disabled Send button.
    SetWindowTextA(GetDlgItem(w, IDC_RECIPIENT), "");
    EnableWindow(GetDlgItem(w, IDC_SEND), FALSE);
    SendMessageA(box, CB_SETCURSEL, 1, 0);
    send_command(w, IDC_SENTMESSAGES, CBN_SELCHANGE, box);
    CHECK_EQ_STR(text_of(edit), entries[1]);
    CHECK_MSG(enabled(w, IDC_SEND), "a non-empty choice enables Send");
    CHECK_EQ_STR(item_text(w, IDC_RECIPIENT), "");

    // Other notifications of the box do not take its text.
    SendMessageA(box, CB_SETCURSEL, 0, 0);
    send_command(w, IDC_SENTMESSAGES, CBN_DROPDOWN, box);
    send_command(w, IDC_SENTMESSAGES, CBN_CLOSEUP, box);
    CHECK_EQ_STR(text_of(edit), entries[1]);

    // No entry chosen: the edit is emptied and Send disabled.
    SendMessageA(box, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    send_command(w, IDC_SENTMESSAGES, CBN_SELCHANGE, box);
    CHECK_EQ_STR(text_of(edit), "");
    CHECK_MSG(!enabled(w, IDC_SEND), "an empty choice disables Send");
}

// Types a recipient name with LoadMsgOnUserEdit on or off.
struct TypedRecipient {
    const char *name;
    DWORD loadOnEdit;
};

static const TypedRecipient kTypedRecipients[] = {
    {"typing_a_recipient_loads_only_with_load_on_edit", 1},
    {"typing_a_recipient_without_load_on_edit_keeps_the_text", 0},
};

static void type_a_recipient(const TypedRecipient &row)
{
    fill_history();
    reg_set_dword(nullptr, "LoadMsgOnUserEdit", row.loadOnEdit);
    App app;
    REQUIRE(start_in_tray(app));
    REQUIRE(show_main(app.main));
    HWND w = app.main, recipient = GetDlgItem(w, IDC_RECIPIENT), edit = GetDlgItem(w, IDC_MESSAGE),
         box = GetDlgItem(w, IDC_SENTMESSAGES);
    send_command(w, IDC_SENDER); // focus into the recipient box
    SetWindowTextA(recipient, "");
    EnableWindow(GetDlgItem(w, IDC_SEND), FALSE);
    std::vector<std::string> sentBefore = combo_entries(box);
    CHECK(make_foreground(w));
    CHECK(wait_focus_in(recipient));

    // Each keystroke's notification is handled before the box shows the next character.
    type_keys("bob");
    CHECK_MSG(wait_until([&] { return text_of(recipient) == "BOB"; }, 5000), "typed into the box: \"%s\"",
              text_of(recipient).c_str());
    CHECK_MSG(enabled(w, IDC_SEND), "Send follows the typed text");
    if (row.loadOnEdit) {
        CHECK_EQ_STR(text_of(edit), "last words to bob");
        CHECK(combo_entries(box) == std::vector<std::string>{"bob sent"});
        for (int i = 0; i < 3; ++i)
            tap(VK_BACK);
        CHECK(wait_until([&] { return text_of(recipient).empty(); }, 5000));
        CHECK_MSG(!enabled(w, IDC_SEND), "an emptied box disables Send");
    } else {
        CHECK_EQ_STR(text_of(edit), "last words to alice");
        CHECK(combo_entries(box) == sentBefore);
    }
}

E2E_TABLE(shell, kTypedRecipients, type_a_recipient);
