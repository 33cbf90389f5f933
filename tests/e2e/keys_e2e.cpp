// keys_e2e.cpp - the keyboard shortcuts driven with real keystrokes: Ctrl+Enter sends from the
// main window and replies from the Message View, Ctrl+Tab switches modes, Ctrl+A selects in
// either mode, Enter opens the selected incoming message; every other key, and every
// shortcut whose condition fails, goes where it would go without them.
#include "tests/e2e/netapi_double.h"

#include <algorithm>
#include <commctrl.h>

namespace {

// Keystrokes are taken in order: once a Ctrl+Tab that follows them has switched the mode,
// the keystrokes before it have been handled.
bool toggle_mode_and_wait(HWND main)
{
    bool receiverBefore = receiver_mode_shown(main);
    chord({VK_CONTROL}, VK_TAB);
    if (wait_until([&] { return receiver_mode_shown(main) != receiverBefore; }, 5000))
        return true;
    std::printf("  no switch: focus %s, foreground %s\n", window_desc(focus_of(main)).c_str(),
                window_desc(GetForegroundWindow()).c_str());
    return false;
}

using SendLines = std::vector<std::pair<std::string, int>>;
SendLines sorted_lines(SendLines lines)
{
    std::sort(lines.begin(), lines.end());
    return lines;
}

using Sent = std::vector<std::pair<std::string, std::string>>;

int selected_count(HWND list)
{
    return static_cast<int>(SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0));
}

// The running Tolvik a case presses its keys at: its main window is shown.
struct Keyboard {
    Messenger m; // with the recording double only where a case composes a message
    HWND w = nullptr, edit = nullptr, list = nullptr;
    DWORD pid() const { return m.app.pi.dwProcessId; }
};

// --- Ctrl+Enter ---

void ctrl_enter_sends_like_the_button_and_only_then(Keyboard &k)
{
    HWND w = k.w;
    PostMessageA(k.m.control(IDC_SEND), BM_CLICK, 0, 0);
    CHECK_MSG(k.m.wait_finished(2), "the button sends to both names");
    SendLines logByButton = k.m.lines();
    std::string statusByButton = item_text(w, IDC_STATUS);
    const std::string text = "Lunch at noon?";
    CHECK(k.m.log().sent() == (Sent{{"ALICE", text}, {"BOB", text}}));

    // Ctrl+Enter with the focus in the message edit: the same command, and no line break.
    CHECK(make_foreground(w));
    chord({VK_CONTROL}, 'A'); // focus into the message edit
    chord({VK_CONTROL}, VK_RETURN);
    CHECK_MSG(k.m.wait_finished(4), "Ctrl+Enter sends to both names");
    CHECK(k.m.log().sent() == (Sent{{"ALICE", text}, {"ALICE", text}, {"BOB", text}, {"BOB", text}}));
    CHECK(sorted_lines(k.m.lines()) == sorted_lines(logByButton));
    CHECK_EQ_STR(item_text(w, IDC_STATUS), statusByButton);
    CHECK_EQ_STR(text_of(k.edit), "Lunch at noon?");
    // The workers end in any order, so each send may list its lines in another order.
    const SendLines logByKey = k.m.lines();

    // Receiver mode: nothing is sent, the send log stays as it is.
    send_command(w, IDC_RECEIVER);
    CHECK(make_foreground(w));
    chord({VK_CONTROL}, VK_RETURN);
    CHECK(toggle_mode_and_wait(w)); // back in Sender mode; the Send button is enabled
    CHECK_MSG(k.m.lines() == logByKey, "Receiver mode: the send log was not touched");

    // A disabled Send button: nothing is sent either.
    CHECK(enabled(w, IDC_SEND));
    EnableWindow(k.m.control(IDC_SEND), FALSE);
    chord({VK_CONTROL}, VK_RETURN);
    CHECK(toggle_mode_and_wait(w));
    CHECK_MSG(k.m.lines() == logByKey, "disabled Send: the send log was not touched");
    CHECK_MSG(!wait_until([&] { return k.m.log().calls.size() > 4; }, 1000), "no further call reached the service");
}

void ctrl_enter_in_configuration_and_about_does_nothing(Keyboard &k)
{
    // The configuration dialog: Ctrl+Enter neither presses its default OK nor sends.
    post_command(k.w, IDM_CONFIGURE);
    HWND config = wait_dialog(k.pid(), "Tolvik Configuration", 5000);
    if (CHECK(config != nullptr)) {
        CHECK(make_foreground(config));
        chord({VK_CONTROL}, VK_RETURN);
        CHECK_MSG(focus_moves(config), "keys after it reach the dialog");
        CHECK_MSG(IsWindow(config), "the configuration dialog is still open");
        tap(VK_ESCAPE);
        CHECK(wait_gone(config));
    }

    // The About box: its only button is the default one, so Enter alone closes it.
    post_command(k.w, IDM_ABOUT);
    HWND about = wait_dialog(k.pid(), "About", 5000);
    if (CHECK(about != nullptr)) {
        CHECK(make_foreground(about));
        chord({VK_CONTROL}, VK_RETURN);
        CHECK_MSG(!wait_until([&] { return !IsWindow(about); }, 1000), "Ctrl+Enter leaves the About box open");
        tap(VK_RETURN);
        CHECK_MSG(wait_gone(about), "Enter alone closes it");
    }
    CHECK_MSG(k.m.lines().empty() && k.m.log().calls.empty(), "nothing was sent");
}

void ctrl_enter_in_message_view_replies_to_the_sender_shown(Keyboard &k)
{
    HWND w = k.w;
    CHECK(lv_select(k.list, 0));
    post_command(w, IDM_MSG_VIEW);
    HWND view = wait_dialog(k.pid(), "Message 1 of 3", 5000);
    REQUIRE(view != nullptr);
    const struct {
        int button;
        const char *caption;
    } steps[] = {{IDC_VIEW_NEXT, "Message 2 of 3"}, {IDC_VIEW_NEXT, "Message 3 of 3"}, {IDC_VIEW_PREV, "Message 2 of 3"}};
    for (const auto &step : steps) {
        PostMessageA(view, WM_COMMAND, step.button, 0);
        CHECK_MSG(wait_until([&] { return text_of(view) == step.caption; }, 5000), "stepped to %s", step.caption);
    }
    CHECK(make_foreground(view));
    chord({VK_CONTROL}, VK_RETURN);
    CHECK_MSG(wait_gone(view), "Ctrl+Enter replies and closes the viewer");
    CHECK(wait_until([&] { return is_checked(w, IDC_SENDER); }, 5000));
    CHECK_EQ_STR(item_text(w, IDC_RECIPIENT), "CAROL"); // the message shown, not the one marked (ALICE)
    CHECK_EQ_STR(item_text(w, IDC_MODE_FRAME), "Sender");
    CHECK(wait_until([&] { return GetForegroundWindow() == w; }, 5000));
    CHECK(wait_focus_in(k.edit));
}

// --- Enter ---

void enter_breaks_lines_in_the_edit_and_sends_from_the_recipient_box(Keyboard &k)
{
    CHECK(make_foreground(k.w));
    chord({VK_CONTROL}, 'A');
    CHECK(wait_focus_in(k.edit));
    tap(VK_END);
    tap(VK_RETURN);
    type_keys("two");
    CHECK_MSG(wait_until([&] { return text_of(k.edit) == "one\r\ntwo"; }, 5000), "Enter is a line break: \"%s\"",
              text_of(k.edit).c_str());
    CHECK_MSG(k.m.lines().empty() && k.m.log().calls.empty(), "Enter in the edit sends nothing");

    send_command(k.w, IDC_SENDER); // focus into the recipient box
    CHECK(wait_focus_in(k.m.recipient()));
    tap(VK_RETURN);
    CHECK_MSG(k.m.wait_finished(1), "Enter in the recipient box presses the default Send button");
    CHECK(k.m.log().sent() == (Sent{{"ALICE", "one\r\ntwo"}}));
}

void enter_on_the_incoming_list_views_only_a_selection(Keyboard &k)
{
    HWND w = k.w, list = k.list;
    CHECK(make_foreground(w));
    CHECK(wait_focus_in(list));
    CHECK_EQ_INT(selected_count(list), 0);

    // Nothing selected: the key goes to the list, no viewer opens. (A viewer would be open
    // before the mode switch that follows, and would keep the mode from switching.)
    tap(VK_RETURN);
    CHECK(toggle_mode_and_wait(w));
    CHECK_MSG(wait_dialog(k.pid(), nullptr, 0) == nullptr, "no viewer without a selection");
    CHECK_EQ_INT(selected_count(list), 0);
    CHECK_EQ_INT(lv_count(list), 3);
    send_command(w, IDC_RECEIVER);

    // A modifier with it: not the shortcut either.
    CHECK(lv_select(list, 1));
    CHECK(wait_focus_in(list));
    chord({VK_SHIFT}, VK_RETURN);
    CHECK(toggle_mode_and_wait(w));
    CHECK_MSG(wait_dialog(k.pid(), nullptr, 0) == nullptr, "Shift+Enter opens no viewer");
    send_command(w, IDC_RECEIVER);

    // A selection and Enter alone: the selected message opens.
    CHECK(wait_focus_in(list));
    tap(VK_RETURN);
    HWND view = wait_dialog(k.pid(), "Message 2 of 3", 5000);
    CHECK_MSG(view != nullptr, "Enter opens the selected message");
    if (view) {
        PostMessageA(view, WM_COMMAND, IDOK, 0);
        CHECK(wait_gone(view));
    }
}

// --- Ctrl+Tab ---

void ctrl_tab_toggles_also_on_every_repeat(Keyboard &k)
{
    HWND w = k.w;
    CHECK(make_foreground(w));
    CHECK(!receiver_mode_shown(w));
    CHECK_MSG(toggle_mode_and_wait(w), "Ctrl+Tab: Sender to Receiver");
    CHECK_EQ_STR(item_text(w, IDC_MODE_FRAME), "Receiver");
    CHECK_MSG(toggle_mode_and_wait(w), "Ctrl+Tab: Receiver to Sender");
    CHECK_EQ_STR(item_text(w, IDC_MODE_FRAME), "Sender");

    // Held: key-downs without key-ups, each with repeat count 1.
    key_event(VK_CONTROL, false);
    for (int i = 1; i <= 5; ++i) {
        key_event(VK_TAB, false);
        bool receiver = i % 2 == 1;
        CHECK_MSG(wait_until([&] { return receiver_mode_shown(w) == receiver; }, 5000), "repeat %d switches", i);
    }
    key_event(VK_TAB, true);
    key_event(VK_CONTROL, true);
    CHECK(receiver_mode_shown(w));
}

void ctrl_tab_goes_to_an_open_dialog(Keyboard &k)
{
    HWND w = k.w;
    const struct {
        int command;
        const char *title;
    } dialogs[] = {{IDM_CONFIGURE, "Tolvik Configuration"}, {IDM_MSG_VIEW, "Message View"}};
    for (const auto &d : dialogs) {
        post_command(w, d.command);
        HWND dlg = wait_dialog(k.pid(), d.title, 5000);
        if (!CHECK_MSG(dlg != nullptr, "%s opened", d.title))
            continue;
        CHECK(make_foreground(dlg));
        HWND before = focus_of(dlg);
        chord({VK_CONTROL}, VK_TAB);
        CHECK_MSG(wait_until([&] { return focus_of(dlg) != before; }, 5000), "%s: Ctrl+Tab moves its focus", d.title);
        CHECK_MSG(!receiver_mode_shown(w), "%s: the mode stays", d.title);
        CHECK_EQ_STR(item_text(w, IDC_MODE_FRAME), "Send Message");
        PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
        CHECK(wait_gone(dlg));
    }
    CHECK(make_foreground(w));
    CHECK_MSG(toggle_mode_and_wait(w), "with the dialogs closed Ctrl+Tab switches again");
}

// --- Ctrl+A ---

// In Sender mode the message text, in Receiver mode with an empty list the focus alone.
void ctrl_a_selects_the_message_text_or_every_message(Keyboard &k)
{
    HWND w = k.w, edit = k.edit;
    // Sender mode: the message edit takes the focus with all of its text selected.
    SetWindowTextA(edit, "hello world");
    send_command(w, IDC_SENDER);
    CHECK(make_foreground(w));
    CHECK(wait_focus_in(k.m.recipient()));
    chord({VK_CONTROL}, 'A');
    CHECK(wait_focus_in(edit));
    DWORD sel = static_cast<DWORD>(SendMessageA(edit, EM_GETSEL, 0, 0));
    CHECK_EQ_INT(LOWORD(sel), 0);
    CHECK_EQ_INT(HIWORD(sel), 11);
    CHECK_EQ_STR(text_of(edit), "hello world");

    // Receiver mode with an empty list: only the focus moves. The focus is first put on the
    // Receiver button.
    send_command(w, IDC_RECEIVER);
    PostMessageA(w, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(w, IDC_RECEIVER)), TRUE);
    CHECK(wait_focus_in(GetDlgItem(w, IDC_RECEIVER)));
    chord({VK_CONTROL}, 'A');
    CHECK_MSG(wait_focus_in(k.list), "Ctrl+A moves the focus to the incoming list");
    CHECK(receiver_mode_shown(w));
    CHECK_EQ_INT(lv_count(k.list), 0);
    CHECK_EQ_STR(item_text(w, IDC_STATUS), "Total messages: 0");
    CHECK_EQ_STR(text_of(edit), "hello world");
}

// Receiver mode with messages: every item selected, the first one focused.
void ctrl_a_in_receiver_mode_selects_every_message(Keyboard &k)
{
    CHECK(make_foreground(k.w));
    chord({VK_CONTROL}, 'A');
    CHECK_MSG(wait_until([&] { return selected_count(k.list) == 3; }, 5000), "all three selected");
    CHECK(lv_state(k.list, 0, LVIS_FOCUSED) & LVIS_FOCUSED);
    CHECK(wait_focus_in(k.list));
    CHECK_MSG(wait_until([&] { return enabled(k.w, IDC_REPLY) && enabled(k.w, IDC_DELETE); }, 3000),
              "the selection enables Reply and Delete");
}

// Each case starts Tolvik on an empty registry, as its row says, shows the main window and
// presses its keys; a case is named after the function that presses them.
struct KeyCase {
    const char *name;
    void (*press)(Keyboard &);
    const char *lastUser, *message; // the recording double, this line remembered, this text typed
    bool messages;                  // three stored messages, Receiver mode
};

#define KEYS(press) #press, press
const KeyCase kKeyCases[] = {
    {KEYS(ctrl_enter_sends_like_the_button_and_only_then), "ALICE BOB", "Lunch at noon?", false},
    {KEYS(ctrl_enter_in_configuration_and_about_does_nothing), "ALICE", "hello", false},
    {KEYS(ctrl_enter_in_message_view_replies_to_the_sender_shown), nullptr, nullptr, true},
    {KEYS(enter_breaks_lines_in_the_edit_and_sends_from_the_recipient_box), "ALICE", "one", false},
    {KEYS(enter_on_the_incoming_list_views_only_a_selection), nullptr, nullptr, true},
    {KEYS(ctrl_tab_toggles_also_on_every_repeat), nullptr, nullptr, false},
    {KEYS(ctrl_tab_goes_to_an_open_dialog), nullptr, nullptr, false},
    {KEYS(ctrl_a_selects_the_message_text_or_every_message), nullptr, nullptr, false},
    {KEYS(ctrl_a_in_receiver_mode_selects_every_message), nullptr, nullptr, true},
};
#undef KEYS

void press_keys(const KeyCase &row)
{
    Keyboard k;
    if (row.lastUser) {
        reg_set_text(nullptr, "Last User", row.lastUser);
        REQUIRE(k.m.start(row.name));
    } else {
        if (row.messages)
            store_prefill({messenger_text("ALICE", "BOB", "12/6/2001 2:45 PM", "Lunch?"),
                           messenger_text("CAROL", "BOB", "12/6/2001 3:10 PM", "Meeting at four"),
                           messenger_text("DAVE", "BOB", "12/6/2001 3:30 PM", "Call me")});
        REQUIRE(start_in_tray(k.m.app));
    }
    k.w = k.m.app.main;
    k.edit = k.m.message();
    k.list = GetDlgItem(k.w, IDC_INCOMING);
    CHECK(show_main(k.w));
    if (row.lastUser) {
        SetWindowTextA(k.edit, row.message);
        CHECK(enabled(k.w, IDC_SEND));
    }
    if (row.messages) {
        send_command(k.w, IDC_RECEIVER);
        CHECK_EQ_INT(lv_count(k.list), 3);
    }
    row.press(k);
}

} // namespace

E2E_TABLE(keys, kKeyCases, press_keys);
