// incoming_e2e.cpp - the incoming list and its store: Delete and the selection after it,
// Delete All, Reply to the selection mark, the mouse and the Apps key on the list, the
// Messages key (names, types, renumbering, load, repeated texts, hostile values) and
// KeepIncoming off.
#include "tests/e2e/helpers.h"

static const char kTime[] = "3/4/2005 11:00 AM";

static std::vector<std::string> messages_from(const std::vector<const char *> &senders)
{
    std::vector<std::string> texts;
    for (const char *from : senders)
        texts.push_back(messenger_text(from, "ME", kTime, std::string("from ") + from));
    return texts;
}

static std::vector<std::string> five()
{
    return messages_from({"A0", "A1", "A2", "A3", "A4"});
}

// Starts in Receiver mode with the store holding `texts`; false when that fails.
static bool start_with_store(Receiver &r, const std::vector<std::string> &texts)
{
    reg_set_dword(nullptr, "Interface", 0);
    return store_prefill(texts) && r.start() && receiver_mode_shown(r.app.main) &&
           wait_count(r.list, static_cast<int>(texts.size()), 5000);
}

static void select_items(HWND list, const std::vector<int> &items)
{
    lv_set_state(list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    for (int i : items)
        lv_set_state(list, i, LVIS_SELECTED, LVIS_SELECTED);
}

static std::vector<std::string> stored_texts()
{
    std::vector<std::string> texts;
    for (const StoredValue &v : store_values())
        texts.push_back(v.text);
    return texts;
}

static std::string joined(const std::vector<std::string> &texts)
{
    std::string out;
    for (const std::string &t : texts)
        out += (out.empty() ? "" : " | ") + t;
    return out;
}

E2E_TEST(incoming, store_round_trip_names_types_and_order)
{
    Receiver r;
    App p1, p2, p3, again;
    REQUIRE(r.start());
    HWND list = r.list;
    const char *senders[] = {"ALICE", "BOB", "CAROL"};
    App *popups[] = {&p1, &p2, &p3};
    for (int i = 0; i < 3; ++i) {
        CHECK(popup_start(*popups[i], popup_args(senders[i], "ME", kTime, "hi")));
        CHECK(wait_count(list, i + 1));
    }
    std::vector<StoredValue> values = store_values();
    if (CHECK_EQ_INT(values.size(), 3)) {
        const char *names[] = {"000000000", "000000001", "000000002"};
        for (int i = 0; i < 3; ++i) {
            CHECK_EQ_STR(values[i].name, names[i]);
            CHECK_EQ_STR(values[i].text, messenger_text(senders[i], "ME", kTime, "hi"));
            CHECK_MSG(values[i].sz_with_zero, "value %d is REG_SZ with its zero", i);
        }
    }
    CHECK_EQ_INT(app_exit(r.app), 0);
    // The next start loads the same list, unselected.
    REQUIRE(app_start_main(again));
    list = GetDlgItem(again.main, IDC_INCOMING);
    CHECK(wait_count(list, 3, 5000));
    for (int i = 0; i < 3; ++i) {
        CHECK_EQ_STR(lv_text(list, i, 0), kTime);
        CHECK_EQ_STR(lv_text(list, i, 1), senders[i]);
        CHECK_EQ_STR(lv_text(list, i, 2), "ME");
        CHECK_EQ_STR(lv_text(list, i, 3), "hi");
    }
    CHECK_EQ_INT(SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0), 0);
    CHECK(enabled(again.main, IDC_DELETEALL));
}

// Deleting the selected items, by the button or with the Delete key on the list: the rest
// stays in order, renumbered in the store from 000000000 with their zeros, and the item that
// followed the first deleted one (or the new last) is selected alone.
struct DeleteRow {
    const char *name;
    std::vector<const char *> senders;
    std::vector<int> selected;
    bool byKey;
    std::vector<int> left;
    int selectedAfter;
};

static const DeleteRow kDeletes[] = {
    {"delete_middle_item_renumbers_the_store", {"ALICE", "BOB", "CAROL"}, {1}, false, {0, 2}, 1},
    {"delete_last_two_of_five_selects_the_new_last", {"A0", "A1", "A2", "A3", "A4"}, {3, 4}, false, {0, 1, 2}, 2},
    {"delete_key_on_items_1_and_3_of_five_selects_the_item_now_at_1", {"A0", "A1", "A2", "A3", "A4"}, {1, 3}, true,
     {0, 2, 4}, 1},
};

static void delete_items(const DeleteRow &row)
{
    Receiver r;
    std::vector<std::string> texts = messages_from(row.senders);
    REQUIRE(start_with_store(r, texts));
    if (row.byKey) {
        // The user's way: the window shown, the list focused, the Delete key.
        CHECK(show_main(r.app.main));
        select_items(r.list, row.selected);
        CHECK(make_foreground(r.app.main));
        CHECK(wait_focus_in(r.list));
        tap(VK_DELETE);
    } else {
        select_items(r.list, row.selected);
        post_command(r.app.main, IDC_DELETE);
    }
    const int left = static_cast<int>(row.left.size());
    CHECK(wait_count(r.list, left));
    std::vector<std::string> shown, want, kept;
    for (int i = 0; i < left; ++i) {
        shown.push_back(lv_text(r.list, i, 1));
        want.push_back(row.senders[row.left[i]]);
        kept.push_back(texts[row.left[i]]);
    }
    CHECK_EQ_STR(joined(shown), joined(want));
    CHECK_EQ_INT(SendMessageA(r.list, LVM_GETSELECTEDCOUNT, 0, 0), 1);
    CHECK_EQ_INT(lv_state(r.list, row.selectedAfter, LVIS_SELECTED | LVIS_FOCUSED), LVIS_SELECTED | LVIS_FOCUSED);
    CHECK_EQ_STR(item_text(r.app.main, IDC_STATUS), e2e_format("Total messages: %d", left));
    CHECK_EQ_STR(joined(stored_texts()), joined(kept));
    std::vector<StoredValue> values = store_values();
    for (size_t i = 0; i < values.size(); ++i)
        CHECK_MSG(values[i].name == e2e_format("%09u", static_cast<unsigned>(i)) && values[i].sz_with_zero,
                  "value %s is REG_SZ with its zero, numbered in turn", values[i].name.c_str());
}

E2E_TABLE(incoming, kDeletes, delete_items);

E2E_TEST(incoming, delete_all_empties_disables_and_removes_the_key)
{
    Receiver r;
    REQUIRE(start_with_store(r, five()));
    HWND list = r.list;
    App &app = r.app;
    select_items(list, {0, 2});
    SendMessageA(list, LVM_SETSELECTIONMARK, 0, 2);
    CHECK(wait_until([&] { return enabled(app.main, IDC_REPLY) && enabled(app.main, IDC_DELETE); }, 3000));
    post_command(app.main, IDC_DELETEALL);
    CHECK(wait_count(list, 0));
    for (int id : {IDC_REPLY, IDC_VIEW, IDC_DELETE, IDC_DELETEALL})
        CHECK_MSG(!enabled(app.main, id), "button %d disabled", id);
    CHECK_EQ_STR(item_text(app.main, IDC_STATUS), "Total messages: 0");
    CHECK_MSG(!reg_key_exists("Messages"), "no Messages key is left");
    CHECK_MSG(focus_of(app.main) == list, "the list has the focus");
    CHECK_EQ_INT(app_exit(app), 0);
    CHECK(!reg_key_exists("Messages"));
}

E2E_TEST(incoming, identical_stored_texts_each_load)
{
    std::vector<std::string> a = messages_from({"ALICE"}), b = messages_from({"BOB"});
    std::string shouted = messenger_text("ALICE", "ME", kTime, "FROM ALICE"); // equal ignoring case
    std::vector<std::string> stored = {a[0], a[0], shouted, b[0], a[0]};
    Receiver r({}, stored);
    REQUIRE(r.start());
    HWND list = r.list;
    CHECK(wait_count(list, 5, 5000));
    CHECK_EQ_STR(lv_text(list, 1, 3), "from ALICE");
    CHECK_EQ_STR(lv_text(list, 2, 3), "FROM ALICE");
    CHECK_EQ_INT(app_exit(r.app), 0);
    CHECK_EQ_STR(joined(stored_texts()), joined(stored));
}

E2E_TEST(incoming, hostile_stored_values_are_skipped_and_the_rest_loads)
{
    Receiver r;
    std::vector<std::string> t = messages_from({"ALICE", "BOB", "CAROL", "DAVE"});
    CHECK(reg_set_raw("Messages", "000000000", REG_SZ, t[0].c_str(), static_cast<DWORD>(t[0].size() + 1)));
    const BYTE junk[] = {1, 2, 3, 0, 5};
    CHECK(reg_set_raw("Messages", "000000001", REG_BINARY, junk, sizeof junk));
    // Stored without its zero (the byte after the counted data is not zero, so none is added).
    std::string unterminated = t[1] + "#";
    CHECK(reg_set_raw("Messages", "000000002", REG_SZ, unterminated.data(), static_cast<DWORD>(t[1].size())));
    CHECK(reg_set_raw("Messages", "0000000003", REG_SZ, t[2].c_str(), static_cast<DWORD>(t[2].size() + 1)));
    std::string huge = messenger_text("EVE", "ME", kTime, std::string(1500, 'x'));
    CHECK(reg_set_raw("Messages", "000000004", REG_SZ, huge.c_str(), static_cast<DWORD>(huge.size() + 1)));
    CHECK(reg_set_dword("Messages", "000000005", 7));
    CHECK(reg_set_raw("Messages", "000000006", REG_SZ, t[3].c_str(), static_cast<DWORD>(t[3].size() + 1)));
    REQUIRE(r.start());
    HWND list = r.list;
    CHECK(wait_count(list, 3, 5000));
    std::vector<std::string> senders;
    for (int i = 0; i < lv_count(list); ++i)
        senders.push_back(lv_text(list, i, 1));
    CHECK_EQ_STR(joined(senders), "ALICE | BOB | DAVE");
    CHECK_EQ_STR(lv_text(list, 1, 3), "from BOB");
    CHECK_EQ_INT(app_exit(r.app), 0);
    // The store is written whole at exit: the list, renumbered, each value with its zero.
    std::vector<StoredValue> values = store_values();
    if (CHECK_EQ_INT(values.size(), 3)) {
        CHECK_EQ_STR(values[2].name, "000000002");
        CHECK_EQ_STR(values[1].text, t[1]);
        for (const StoredValue &v : values)
            CHECK_MSG(v.sz_with_zero, "%s is REG_SZ with its zero", v.name.c_str());
    }
}

E2E_TEST(incoming, reply_answers_the_selection_mark_only)
{
    Receiver r;
    REQUIRE(start_with_store(r, messages_from({"ALICE", "BOB", "CAROL"})));
    HWND list = r.list;
    App &app = r.app;
    // No selection mark: Reply does nothing.
    select_items(list, {0});
    SendMessageA(list, LVM_SETSELECTIONMARK, 0, -1);
    send_command(app.main, IDC_REPLY);
    CHECK_EQ_INT(SendDlgItemMessageA(app.main, IDC_RECEIVER, BM_GETCHECK, 0, 0), BST_CHECKED);
    CHECK_EQ_STR(item_text(app.main, IDC_RECIPIENT), "");
    // Several selected: the mark decides.
    select_items(list, {0, 2});
    SendMessageA(list, LVM_SETSELECTIONMARK, 0, 2);
    post_command(app.main, IDM_MSG_REPLY);
    CHECK(wait_until([&] { return item_text(app.main, IDC_RECIPIENT) == "CAROL"; }, 5000));
    CHECK_EQ_INT(SendDlgItemMessageA(app.main, IDC_SENDER, BM_GETCHECK, 0, 0), BST_CHECKED);
    CHECK_EQ_INT(SendDlgItemMessageA(app.main, IDC_RECEIVER, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    CHECK_EQ_STR(item_text(app.main, IDC_MODE_FRAME), "Sender");
    CHECK_MSG(focus_of(app.main) == GetDlgItem(app.main, IDC_MESSAGE), "the message edit has the focus");
}

static void check_context_menu(HWND main, const char *how)
{
    std::vector<MenuItem> items = wait_tracked_menu(main);
    const char *want[] = {"R&eply", "&View Message", "&Delete Message"};
    REQUIRE_MSG(items.size() == 3, "%s opens the context menu: %d items", how, static_cast<int>(items.size()));
    for (int i = 0; i < 3; ++i)
        CHECK_MSG(items[i].text == want[i] && !(items[i].state & MF_GRAYED), "%s: %s enabled", how, want[i]);
    CHECK(close_tracked_menu(main));
}

E2E_TEST(incoming, double_click_right_click_and_apps_key_on_the_list)
{
    Receiver r;
    REQUIRE(start_with_store(r, messages_from({"ALICE", "BOB"})));
    REQUIRE(show_main(r.app.main));
    HWND list = r.list;
    App &app = r.app;
    // A point on the first row, just below the column headers. The window appeared under the
    // pointer: the pointer event that brought is taken before the click (see mouse_click).
    RECT header = window_rect(reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0)));
    POINT first = {header.left + 40, header.bottom + 6};
    CHECK(make_foreground(app.main));
    mouse_click(first, false, true);
    HWND view = wait_dialog(app.pi.dwProcessId, "Message 1 of 2", 5000);
    if (CHECK_MSG(view != nullptr, "a double-click views the message")) {
        PostMessageA(view, WM_COMMAND, IDOK, 0);
        CHECK(wait_gone(view));
    }
    CHECK(make_foreground(app.main)); // the viewer went from under the pointer
    mouse_click(first, true, false);
    check_context_menu(app.main, "a right-click");
    CHECK(make_foreground(app.main));
    CHECK(wait_focus_in(list));
    tap(VK_APPS);
    check_context_menu(app.main, "the Apps key");
}

E2E_TEST(incoming, keep_incoming_off_keeps_the_list_until_exit)
{
    Receiver r;
    App popup, again;
    std::vector<std::string> texts = messages_from({"ALICE", "BOB"});
    REQUIRE(start_with_store(r, texts));
    HWND list = r.list;
    App &app = r.app;
    // The user turns "Keep incoming messages history" off.
    HWND config = open_dialog(app, IDM_CONFIGURE, "Tolvik Configuration");
    REQUIRE(config != nullptr);
    SendDlgItemMessageA(config, IDC_CFG_KEEP, BM_SETCHECK, BST_UNCHECKED, 0);
    CHECK(close_dialog(config, IDOK));
    CHECK_EQ_INT(lv_count(list), 2);
    // Changes no longer reach the store.
    CHECK(popup_start(popup, popup_args("CAROL", "ME", kTime, "later")));
    CHECK(wait_count(list, 3));
    select_items(list, {0});
    post_command(app.main, IDC_DELETE);
    CHECK(wait_count(list, 2));
    CHECK_EQ_STR(joined(stored_texts()), joined(texts));
    CHECK_EQ_INT(app_exit(app), 0);
    CHECK_MSG(!reg_key_exists("Messages"), "the key is removed at exit");
    // The next start shows an empty list, whatever KeepIncoming says by then.
    reg_set_dword(nullptr, "KeepIncoming", 1);
    REQUIRE(app_start_main(again));
    CHECK_EQ_INT(lv_count(GetDlgItem(again.main, IDC_INCOMING)), 0);
    CHECK(!enabled(again.main, IDC_DELETEALL));
}
