// incoming_e2e.cpp - the incoming list and its store: Delete and the selection after it,
// Delete All, Reply to the selection mark, the mouse and the Apps key on the list, the Messages key (names, types, renumbering,
// load, duplicates, hostile values) and KeepIncoming off.
#include "tests/e2e/check.h"
#include "tests/e2e/harness.h"
#include "tests/e2e/receive_helpers.h"
#include "tests/e2e/shell_helpers.h"

static const char kTime[] = "3/4/2005 11:00 AM";

static std::vector<std::string> messages_from(std::initializer_list<const char *> senders)
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

// Starts with the store holding `texts`, in Receiver mode; false when that fails.
static bool start_with_store(App &app, const std::vector<std::string> &texts)
{
    receive_settings_reset();
    if (!store_prefill(texts) || !app_start_main(app) || !wait_in_tray(app))
        return false;
    post_command(app.main, IDC_RECEIVER);
    return wait_until([&] { return SendDlgItemMessageA(app.main, IDC_RECEIVER, BM_GETCHECK, 0, 0) == BST_CHECKED; },
                      5000) &&
           wait_count(GetDlgItem(app.main, IDC_INCOMING), static_cast<int>(texts.size()), 5000);
}

static void select_items(HWND list, std::initializer_list<int> items)
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
    receive_settings_reset();
    App app, p1, p2, p3, again;
    EndStarted end;
    if (!CHECK(app_start_main(app)))
        return;
    HWND list = GetDlgItem(app.main, IDC_INCOMING);
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
    CHECK_EQ_INT(app_exit(app), 0);
    // The next start loads the same list, unselected.
    if (!CHECK(app_start_main(again)))
        return;
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
    CHECK_EQ_INT(app_exit(again), 0);
}

E2E_TEST(incoming, delete_middle_item_renumbers_the_store)
{
    App app;
    EndStarted end;
    std::vector<std::string> texts = messages_from({"ALICE", "BOB", "CAROL"});
    if (!CHECK(start_with_store(app, texts)))
        return;
    HWND list = GetDlgItem(app.main, IDC_INCOMING);
    select_items(list, {1});
    post_command(app.main, IDC_DELETE);
    CHECK(wait_count(list, 2));
    CHECK_EQ_STR(lv_text(list, 0, 1), "ALICE");
    CHECK_EQ_STR(lv_text(list, 1, 1), "CAROL");
    CHECK_EQ_STR(item_text(app.main, IDC_STATUS), "Total messages: 2");
    std::vector<StoredValue> values = store_values();
    if (CHECK_EQ_INT(values.size(), 2)) {
        CHECK_EQ_STR(values[0].name, "000000000");
        CHECK_EQ_STR(values[0].text, texts[0]);
        CHECK_EQ_STR(values[1].name, "000000001");
        CHECK_EQ_STR(values[1].text, texts[2]);
        CHECK(values[0].sz_with_zero && values[1].sz_with_zero);
    }
    CHECK_EQ_INT(lv_state(list, 1, LVIS_SELECTED | LVIS_FOCUSED), LVIS_SELECTED | LVIS_FOCUSED);
    CHECK_EQ_INT(app_exit(app), 0);
}

E2E_TEST(incoming, delete_last_two_of_five_selects_the_new_last)
{
    App app;
    EndStarted end;
    std::vector<std::string> texts = five();
    if (!CHECK(start_with_store(app, texts)))
        return;
    HWND list = GetDlgItem(app.main, IDC_INCOMING);
    select_items(list, {3, 4});
    post_command(app.main, IDC_DELETE);
    CHECK(wait_count(list, 3));
    CHECK_EQ_INT(SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0), 1);
    CHECK_EQ_INT(lv_state(list, 2, LVIS_SELECTED | LVIS_FOCUSED), LVIS_SELECTED | LVIS_FOCUSED);
    CHECK_EQ_STR(lv_text(list, 2, 1), "A2");
    CHECK_EQ_STR(joined(stored_texts()), joined({texts[0], texts[1], texts[2]}));
    CHECK_EQ_INT(app_exit(app), 0);
}

E2E_TEST(incoming, delete_key_on_items_1_and_3_of_five_selects_the_item_now_at_1)
{
    App app;
    EndStarted end;
    std::vector<std::string> texts = five();
    if (!CHECK(start_with_store(app, texts)))
        return;
    HWND list = GetDlgItem(app.main, IDC_INCOMING);
    // The user's way: the window shown, the list focused, the Delete key.
    PostMessageA(app.main, WM_ACTIVATEINSTANCE, 0, 0);
    CHECK(wait_until([&] { return IsWindowVisible(app.main) != FALSE; }, 5000));
    select_items(list, {1, 3});
    SetForegroundWindow(app.main);
    CHECK(wait_until([&] { return GetForegroundWindow() == app.main; }, 3000));
    CHECK(wait_until([&] { return keyboard_focus_of(app.main) == list; }, 3000));
    INPUT in[2] = {};
    in[0].type = in[1].type = INPUT_KEYBOARD;
    in[0].ki.wVk = in[1].ki.wVk = VK_DELETE;
    in[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, in, sizeof(INPUT));
    CHECK(wait_count(list, 3));
    CHECK_EQ_STR(lv_text(list, 0, 1), "A0");
    CHECK_EQ_STR(lv_text(list, 1, 1), "A2");
    CHECK_EQ_STR(lv_text(list, 2, 1), "A4");
    CHECK_EQ_INT(SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0), 1);
    CHECK_EQ_INT(lv_state(list, 1, LVIS_SELECTED | LVIS_FOCUSED), LVIS_SELECTED | LVIS_FOCUSED);
    CHECK_EQ_STR(item_text(app.main, IDC_STATUS), "Total messages: 3");
    CHECK_EQ_STR(joined(stored_texts()), joined({texts[0], texts[2], texts[4]}));
    CHECK_EQ_INT(app_exit(app), 0);
}

E2E_TEST(incoming, delete_all_empties_disables_and_removes_the_key)
{
    App app;
    EndStarted end;
    if (!CHECK(start_with_store(app, five())))
        return;
    HWND list = GetDlgItem(app.main, IDC_INCOMING);
    select_items(list, {0, 2});
    SendMessageA(list, LVM_SETSELECTIONMARK, 0, 2);
    CHECK(wait_until([&] { return enabled(app.main, IDC_REPLY) && enabled(app.main, IDC_DELETE); }, 3000));
    post_command(app.main, IDC_DELETEALL);
    CHECK(wait_count(list, 0));
    for (int id : {IDC_REPLY, IDC_VIEW, IDC_DELETE, IDC_DELETEALL})
        CHECK_MSG(!enabled(app.main, id), "button %d disabled", id);
    CHECK_EQ_STR(item_text(app.main, IDC_STATUS), "Total messages: 0");
    CHECK_MSG(!reg_key_exists("Messages"), "no Messages key is left");
    CHECK_MSG(keyboard_focus_of(app.main) == list, "the list has the focus");
    CHECK_EQ_INT(app_exit(app), 0);
    CHECK(!reg_key_exists("Messages"));
}

E2E_TEST(incoming, identical_adjacent_stored_texts_load_as_one)
{
    App app;
    EndStarted end;
    std::vector<std::string> a = messages_from({"ALICE"}), b = messages_from({"BOB"});
    std::string shouted = messenger_text("ALICE", "ME", kTime, "FROM ALICE"); // equal ignoring case
    receive_settings_reset();
    store_prefill({a[0], a[0], shouted, b[0], a[0]});
    if (!CHECK(app_start_main(app)))
        return;
    HWND list = GetDlgItem(app.main, IDC_INCOMING);
    CHECK(wait_count(list, 3, 5000));
    CHECK_EQ_STR(lv_text(list, 0, 1), "ALICE");
    CHECK_EQ_STR(lv_text(list, 1, 1), "BOB");
    CHECK_EQ_STR(lv_text(list, 2, 1), "ALICE");
    CHECK_EQ_INT(app_exit(app), 0);
    CHECK_EQ_STR(joined(stored_texts()), joined({a[0], b[0], a[0]}));
}

E2E_TEST(incoming, hostile_stored_values_are_skipped_and_the_rest_loads)
{
    receive_settings_reset();
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
    App app;
    EndStarted end;
    if (!CHECK(app_start_main(app)))
        return;
    HWND list = GetDlgItem(app.main, IDC_INCOMING);
    CHECK(wait_count(list, 3, 5000));
    std::vector<std::string> senders;
    for (int i = 0; i < lv_count(list); ++i)
        senders.push_back(lv_text(list, i, 1));
    CHECK_EQ_STR(joined(senders), "ALICE | BOB | DAVE");
    CHECK_EQ_STR(lv_text(list, 1, 3), "from BOB");
    CHECK_EQ_INT(app_exit(app), 0);
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
    App app;
    EndStarted end;
    if (!CHECK(start_with_store(app, messages_from({"ALICE", "BOB", "CAROL"}))))
        return;
    HWND list = GetDlgItem(app.main, IDC_INCOMING);
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
    CHECK_MSG(keyboard_focus_of(app.main) == GetDlgItem(app.main, IDC_MESSAGE), "the message edit has the focus");
    CHECK_EQ_INT(app_exit(app), 0);
}

static void check_context_menu(HWND main, const char *how)
{
    std::vector<MenuItem> items;
    wait_until([&] { return !(items = tracked_menu(main)).empty(); }, 5000, 100);
    const char *want[] = {"R&eply", "&View Message", "&Delete Message"};
    if (!CHECK_MSG(items.size() == 3, "%s opens the context menu: %d items", how, static_cast<int>(items.size())))
        return;
    for (int i = 0; i < 3; ++i)
        CHECK_MSG(items[i].text == want[i] && !(items[i].state & MF_GRAYED), "%s: %s enabled", how, want[i]);
    CHECK(close_tracked_menu(main));
}

E2E_TEST(incoming, double_click_right_click_and_apps_key_on_the_list)
{
    App app;
    EndStarted end;
    if (!CHECK(start_with_store(app, messages_from({"ALICE", "BOB"}))) || !CHECK(show_main(app.main)))
        return;
    HWND list = GetDlgItem(app.main, IDC_INCOMING);
    // A point on the first row, just below the column headers.
    RECT header = window_rect(reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0)));
    POINT first = {header.left + 40, header.bottom + 6};
    mouse_click(first, false, true);
    HWND view = wait_dialog(app.pi.dwProcessId, "Message 1 of 2", 5000);
    if (CHECK_MSG(view != nullptr, "a double-click views the message")) {
        PostMessageA(view, WM_COMMAND, IDOK, 0);
        CHECK(wait_gone(view));
    }
    mouse_click(first, true, false);
    check_context_menu(app.main, "a right-click");
    CHECK(make_foreground(app.main));
    CHECK(wait_focus_in(list));
    tap(VK_APPS);
    check_context_menu(app.main, "the Apps key");
    CHECK_EQ_INT(app_exit(app), 0);
}

E2E_TEST(incoming, keep_incoming_off_keeps_the_list_until_exit)
{
    App app, popup, again;
    EndStarted end;
    std::vector<std::string> texts = messages_from({"ALICE", "BOB"});
    if (!CHECK(start_with_store(app, texts)))
        return;
    HWND list = GetDlgItem(app.main, IDC_INCOMING);
    // The user turns "Keep incoming messages history" off.
    post_command(app.main, IDM_CONFIGURE);
    HWND config = wait_dialog(app.pi.dwProcessId, "Tolvik Configuration", 10000);
    if (!CHECK(config != nullptr))
        return;
    SendDlgItemMessageA(config, IDC_CFG_KEEP, BM_SETCHECK, BST_UNCHECKED, 0);
    PostMessageA(config, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    CHECK(wait_until([&] { return !IsWindow(config); }, 5000));
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
    if (!CHECK(app_start_main(again)))
        return;
    CHECK_EQ_INT(lv_count(GetDlgItem(again.main, IDC_INCOMING)), 0);
    CHECK(!enabled(again.main, IDC_DELETEALL));
    CHECK_EQ_INT(app_exit(again), 0);
}
