// startup_e2e.cpp - start-up, single instance, the collapsed main window, its system menu,
// list columns, tray icon, and the ways out.
#include "tests/e2e/check.h"
#include "tests/e2e/harness.h"
#include "tests/e2e/probe.h"

#include <commctrl.h>

static bool named_memory_exists()
{
    HANDLE h = OpenFileMappingA(FILE_MAP_READ, FALSE, "fmMorvaneTolvik");
    if (h)
        CloseHandle(h);
    return h != nullptr;
}

static bool has_child(HWND box, int id)
{
    return GetDlgItem(box, id) && IsWindowVisible(GetDlgItem(box, id));
}

E2E_TEST(startup, no_network_box_and_clean_exit)
{
    reg_reset();
    CHECK(network_provider_enable(false));
    App app;
    CHECK(app_start(app));
    HWND box = wait_dialog(app.pi.dwProcessId, "Tolvik", 10000);
    if (CHECK_MSG(box != nullptr, "no message box appeared")) {
        CHECK_EQ_STR(msgbox_text(box), "No network found! You don't need Tolvik without a network.");
        CHECK_MSG(GetWindowLongA(box, GWL_EXSTYLE) & WS_EX_TOPMOST, "system-modal box is topmost");
        CHECK_MSG(has_child(box, IDOK) && !has_child(box, IDYES) && !has_child(box, IDNO), "OK button only");
        CHECK_MSG(find_main_window(app.pi.dwProcessId) == nullptr, "no main window while the box shows");
        CHECK_MSG(!named_memory_exists(), "the named memory is not created");
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    }
    CHECK_EQ_INT(app_wait_exit(app, 10000), 0);
    CHECK(!reg_key_exists(nullptr));
    CHECK(network_provider_enable(true));
}

E2E_TEST(startup, collapses_hides_and_adds_tray_icon)
{
    reg_reset();
    App app;
    if (!CHECK(app_start_main(app)))
        return;
    HWND w = app.main;
    CHECK_MSG(wait_until([&] { return (GetWindowLongA(w, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) != 0; }, 3000),
              "collapsed window has no taskbar button");
    CHECK_MSG(wait_until([&] { return !IsWindowVisible(w); }, 2000), "hidden by the hide timer");
    // A top-level window always keeps WS_CLIPSIBLINGS; every other style bit is cleared.
    CHECK_EQ_INT(GetWindowLongA(w, GWL_STYLE) & ~(WS_VISIBLE | WS_CLIPSIBLINGS), 0);
    RECT r;
    GetWindowRect(w, &r);
    CHECK_EQ_INT(r.left, -4);
    CHECK_EQ_INT(r.top, -4);
    CHECK_EQ_INT(r.right - r.left, 0);
    CHECK_EQ_INT(r.bottom - r.top, 0);
    CHECK_MSG(wait_until([] { return tray_has("Tolvik"); }, 3000), "tray icon with the tip \"Tolvik\"");
    CHECK(named_memory_exists());
    CHECK_EQ_STR(item_text(w, 1009), "Ready");
    CHECK_EQ_STR(item_text(w, 1003), "Send Message");
    CHECK_EQ_INT(SendDlgItemMessageA(w, 1035, BM_GETCHECK, 0, 0), BST_CHECKED);
    CHECK_MSG(!enabled(w, 1001), "Send starts disabled with an empty recipient box");
    // The Receiver-mode buttons show icons, the two history buttons bitmaps.
    for (int id : {1041, 1038, 1039, 1040}) {
        HWND button = GetDlgItem(w, id);
        CHECK_MSG(GetWindowLongA(button, GWL_STYLE) & BS_ICON, "button %d has the icon style", id);
        CHECK_MSG(SendMessageA(button, BM_GETIMAGE, IMAGE_ICON, 0) != 0, "button %d has its icon", id);
    }
    for (int id : {1067, 1068})
        CHECK_MSG(SendDlgItemMessageA(w, id, BM_GETIMAGE, IMAGE_BITMAP, 0) != 0, "button %d has its bitmap", id);
    CHECK_EQ_INT(app_exit(app), 0);
    CHECK_MSG(!tray_has("Tolvik"), "Exit removes the tray icon");
}

E2E_TEST(startup, tray_icon_double_click_reaches_the_window)
{
    reg_reset();
    App app;
    if (!CHECK(app_start_main(app)))
        return;
    TrayIcon icon = {};
    CHECK(wait_until(
        [&] {
            for (const TrayIcon &i : tray_icons())
                if (i.tip == "Tolvik")
                    return icon = i, true;
            return false;
        },
        3000));
    Sleep(300);
    POINT centre = {(icon.screen.left + icon.screen.right) / 2, (icon.screen.top + icon.screen.bottom) / 2};
    mouse_click(centre, false, true);
    CHECK_MSG(wait_until([&] { return IsWindowVisible(app.main) != FALSE; }, 3000),
              "a double-click on the tray icon shows the window");
    CHECK_MSG(GetWindowLongA(app.main, GWL_STYLE) & WS_CAPTION, "shown with its full frame");
    CHECK_EQ_INT(app_exit(app), 0);
}

E2E_TEST(startup, second_instance_no_leaves_first_alone)
{
    reg_reset();
    App first, second;
    if (!CHECK(app_start_main(first)))
        return;
    CHECK(wait_until([&] { return !IsWindowVisible(first.main); }, 2000));
    CHECK(app_start(second));
    HWND box = wait_dialog(second.pi.dwProcessId, "Tolvik", 10000);
    if (CHECK_MSG(box != nullptr, "second start asks")) {
        CHECK_EQ_STR(msgbox_text(box), "Tolvik already running! Activate previous instance?");
        CHECK_MSG(GetWindowLongA(box, GWL_EXSTYLE) & WS_EX_TOPMOST, "system-modal box is topmost");
        CHECK_MSG(has_child(box, IDYES) && has_child(box, IDNO) && !has_child(box, IDOK), "Yes and No");
        CHECK_MSG(find_main_window(second.pi.dwProcessId) == nullptr, "the second start opens no window");
        PostMessageA(box, WM_COMMAND, IDNO, 0);
    }
    CHECK_EQ_INT(app_wait_exit(second, 10000), 0);
    Sleep(300);
    CHECK_MSG(first.running(), "the first instance keeps running");
    CHECK_MSG(!IsWindowVisible(first.main), "No sends nothing to the first instance");
    CHECK_EQ_INT(GetWindowLongA(first.main, GWL_STYLE) & ~(WS_VISIBLE | WS_CLIPSIBLINGS), 0);
    CHECK_EQ_INT(app_exit(first), 0);
}

E2E_TEST(startup, second_instance_yes_activates_first)
{
    reg_reset();
    App first, second;
    if (!CHECK(app_start_main(first)))
        return;
    CHECK(wait_until([&] { return !IsWindowVisible(first.main); }, 2000));
    CHECK(app_start(second));
    HWND box = wait_dialog(second.pi.dwProcessId, "Tolvik", 10000);
    if (CHECK(box != nullptr))
        PostMessageA(box, WM_COMMAND, IDYES, 0);
    CHECK_EQ_INT(app_wait_exit(second, 10000), 0);
    CHECK_MSG(wait_until([&] { return IsWindowVisible(first.main) != FALSE; }, 3000),
              "message 1690 brings the first instance's window forward");
    CHECK_EQ_INT(GetWindowLongA(first.main, GWL_STYLE) & ~(WS_VISIBLE | WS_DISABLED), 0x04CE0844);
    CHECK_EQ_INT(GetWindowLongA(first.main, GWL_EXSTYLE) & (WS_EX_CONTROLPARENT | WS_EX_WINDOWEDGE | WS_EX_TOOLWINDOW),
                 WS_EX_CONTROLPARENT | WS_EX_WINDOWEDGE);
    CHECK(wait_until([&] { return GetForegroundWindow() == first.main; }, 2000));
    CHECK_EQ_INT(app_exit(first), 0);
}

E2E_TEST(startup, system_menu_entries)
{
    reg_reset();
    App app;
    if (!CHECK(app_start_main(app)))
        return;
    std::vector<std::string> items = probe_run(app.main, kProbeSystemMenu);
    std::vector<std::string> ids, texts;
    for (const std::string &line : items) {
        ids.push_back(line.substr(0, line.find('|')));
        texts.push_back(line.substr(line.rfind('|') + 1));
    }
    auto text_of_id = [&](const char *id) {
        for (size_t i = 0; i < ids.size(); ++i)
            if (ids[i] == id)
                return texts[i];
        return std::string("<missing>");
    };
    CHECK_EQ_STR(text_of_id("61456"), "Mo&ve");
    CHECK_EQ_STR(text_of_id("61440"), "&Size");
    CHECK_EQ_STR(text_of_id("61472"), "&Minimize To Tray\tEsc");
    CHECK_EQ_STR(text_of_id("61536"), "&Minimize To Tray\tAlt+F4");
    CHECK_EQ_STR(text_of_id("61728"), "<missing>");
    CHECK_EQ_STR(text_of_id("61488"), "<missing>");
    if (CHECK(texts.size() >= 6)) {
        const char *tail[] = {"-", "&About...", "-", "&Configuration", "-", "E&xit Tolvik"};
        for (int i = 0; i < 6; ++i)
            CHECK_EQ_STR(texts[texts.size() - 6 + i], tail[i]);
        CHECK_EQ_STR(ids.back(), "667");
        CHECK_EQ_STR(ids[ids.size() - 3], "668");
        CHECK_EQ_STR(ids[ids.size() - 5], "666");
    }
    CHECK_EQ_INT(app_exit(app), 0);
}

E2E_TEST(startup, list_columns)
{
    reg_reset();
    App app;
    if (!CHECK(app_start_main(app)))
        return;
    HWND incoming = GetDlgItem(app.main, 1023), log = GetDlgItem(app.main, 1022);
    const struct {
        const char *caption;
        int width;
    } want[] = {{"Time", 110}, {"From", 80}, {"To", 80}};
    for (int i = 0; i < 3; ++i) {
        std::string caption;
        int width = 0;
        CHECK(lv_column(incoming, i, caption, width));
        CHECK_EQ_STR(caption, want[i].caption);
        CHECK_EQ_INT(width, want[i].width);
    }
    // Both lists are 255 dialog units wide with a border, so at initialisation (before the
    // window collapsed them) their client areas were equally wide: Message takes all of it,
    // Status 20 pixels less.
    std::string caption;
    int messageWidth = 0, width = 0;
    CHECK(lv_column(incoming, 3, caption, messageWidth));
    CHECK_EQ_STR(caption, "Message");
    CHECK_MSG(messageWidth > 300, "Message is as wide as the list: %d", messageWidth);
    CHECK_MSG(!lv_column(incoming, 4, caption, width), "four columns only");

    CHECK(lv_column(log, 0, caption, width));
    CHECK_EQ_STR(caption, "Status");
    CHECK_EQ_INT(width, messageWidth - 20);
    CHECK_MSG(!lv_column(log, 1, caption, width), "one column only");
    CHECK_MSG(GetWindowLongA(log, GWL_STYLE) & LVS_NOCOLUMNHEADER, "the send log has no header");
    DWORD ex = static_cast<DWORD>(SendMessageA(incoming, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
    CHECK_EQ_INT(ex & 0x430, 0x430);
    CHECK_EQ_INT(app_exit(app), 0);
}

E2E_TEST(startup, exit_from_either_menu_then_first_instance_again)
{
    reg_reset();
    // System menu command, then the tray menu's command; each ends the process with 0.
    for (int viaSystemMenu = 1; viaSystemMenu >= 0; --viaSystemMenu) {
        App app;
        if (!CHECK(app_start_main(app)))
            return;
        CHECK_MSG(wait_until([] { return tray_has("Tolvik"); }, 3000), "tray icon present");
        if (viaSystemMenu)
            PostMessageA(app.main, WM_SYSCOMMAND, 667, 0);
        else
            PostMessageA(app.main, WM_COMMAND, 667, 0);
        CHECK_EQ_INT(app_wait_exit(app, 10000), 0);
        CHECK_MSG(!tray_has("Tolvik"), "tray icon removed at Exit");
        CHECK_MSG(!named_memory_exists(), "the named memory is gone after Exit");
    }
    // After Exit a new start is a first instance again: a main window and no question.
    App again;
    CHECK(app_start_main(again));
    CHECK_MSG(wait_dialog(again.pi.dwProcessId, "Tolvik", 500) == nullptr, "no question on a first instance");
    CHECK_EQ_INT(app_exit(again), 0);
}

E2E_TEST(startup, window_brought_up_at_once_is_not_hidden_by_the_start_up_timer)
{
    reg_reset();
    App app;
    if (!CHECK(app_start_main(app)))
        return;
    // The window has just collapsed; its one-shot hide timer has not fired yet.
    PostMessageA(app.main, 1690, 0, 0);
    CHECK(wait_until([&] { return IsWindowVisible(app.main) != FALSE; }, 3000));
    Sleep(600); // well past the hide timer's 100 ms
    CHECK_MSG(IsWindowVisible(app.main), "a window shown in full frame stays up");
    CHECK_EQ_INT(app_exit(app), 0);
}
