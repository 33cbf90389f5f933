// startup_e2e.cpp - start-up, single instance, the collapsed main window, its system menu,
// list columns, tray icon, and the ways out.
#include "tests/e2e/helpers.h"

#include <commctrl.h>
#include <shellapi.h>
#include <cstring>

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
    App app;
    REQUIRE_MSG(start_in_tray(app), "started, collapsed without a taskbar button, hidden by the hide timer");
    HWND w = app.main;
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

// A second start asks whether to bring the first instance forward and ends with 0 either way:
// No leaves the first one as it was, Yes brings its window forward in full frame.
struct SecondStart {
    const char *name;
    int answer;
};

static const SecondStart kSecondStarts[] = {
    {"second_instance_no_leaves_first_alone", IDNO},
    {"second_instance_yes_activates_first", IDYES},
};

static void start_a_second_instance(const SecondStart &row)
{
    App first, second;
    REQUIRE(start_in_tray(first));
    CHECK(app_start(second));
    HWND box = wait_dialog(second.pi.dwProcessId, "Tolvik", 10000);
    if (CHECK_MSG(box != nullptr, "second start asks")) {
        CHECK_EQ_STR(msgbox_text(box), "Tolvik already running! Activate previous instance?");
        CHECK_MSG(GetWindowLongA(box, GWL_EXSTYLE) & WS_EX_TOPMOST, "system-modal box is topmost");
        CHECK_MSG(has_child(box, IDYES) && has_child(box, IDNO) && !has_child(box, IDOK), "Yes and No");
        CHECK_MSG(find_main_window(second.pi.dwProcessId) == nullptr, "the second start opens no window");
        PostMessageA(box, WM_COMMAND, row.answer, 0);
    }
    CHECK_EQ_INT(app_wait_exit(second, 10000), 0);
    if (row.answer == IDNO) {
        CHECK(sync(first.main)); // after anything the second instance posted to it
        CHECK_MSG(first.running(), "the first instance keeps running");
        CHECK_MSG(!IsWindowVisible(first.main), "No sends nothing to the first instance");
        CHECK_EQ_INT(GetWindowLongA(first.main, GWL_STYLE) & ~(WS_VISIBLE | WS_CLIPSIBLINGS), 0);
        return;
    }
    CHECK_MSG(wait_until([&] { return IsWindowVisible(first.main) != FALSE; }, 3000),
              "message 1690 brings the first instance's window forward");
    CHECK_EQ_INT(GetWindowLongA(first.main, GWL_STYLE) & ~(WS_VISIBLE | WS_DISABLED), 0x04CE0844);
    CHECK_EQ_INT(GetWindowLongA(first.main, GWL_EXSTYLE) & (WS_EX_CONTROLPARENT | WS_EX_WINDOWEDGE | WS_EX_TOOLWINDOW),
                 WS_EX_CONTROLPARENT | WS_EX_WINDOWEDGE);
    CHECK(wait_until([&] { return GetForegroundWindow() == first.main; }, 2000));
}

E2E_TABLE(startup, kSecondStarts, start_a_second_instance);

E2E_TEST(startup, system_menu_entries)
{
    App app;
    REQUIRE(app_start_main(app));
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
}

E2E_TEST(startup, list_columns)
{
    App app;
    REQUIRE(app_start_main(app));
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
}

E2E_TEST(startup, exit_from_either_menu_then_first_instance_again)
{
    // System menu command, then the tray menu's command; each ends the process with 0.
    for (int viaSystemMenu = 1; viaSystemMenu >= 0; --viaSystemMenu) {
        App app;
        REQUIRE(app_start_main(app));
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
    // The question would come before the main window.
    CHECK_MSG(wait_dialog(again.pi.dwProcessId, "Tolvik", 0) == nullptr, "no question on a first instance");
}

E2E_TEST(startup, window_brought_up_at_once_is_not_hidden_by_the_start_up_timer)
{
    Receiver r; // a message filed later does not bring the window forward
    App &app = r.app, popup;
    REQUIRE(app_start_main(app));
    // The window has just collapsed; its one-shot hide timer has not fired yet.
    PostMessageA(app.main, WM_ACTIVATEINSTANCE, 0, 0);
    CHECK(wait_until([&] { return IsWindowVisible(app.main) && full_frame(app.main); }, 3000));
    // Timers fire in the order they fall due: a popup whose text comes half a second after the
    // window was up is taken by a tick that falls due after the hide timer's.
    CHECK(popup_start(popup, "--late 500 --text later"));
    bool hidden = false;
    CHECK(wait_until(
        [&] {
            hidden = hidden || !IsWindowVisible(app.main);
            return hidden || lv_count(GetDlgItem(app.main, IDC_INCOMING)) == 1;
        },
        10000));
    CHECK_MSG(!hidden && IsWindowVisible(app.main), "a window shown in full frame stays up");
}

// A stand-in taskbar on a thread of its own, found before the real one, that refuses every
// icon: the shell's calls fail as they do before the taskbar exists.
struct RefusingTaskbar {
    HANDLE thread = nullptr;
    DWORD threadId = 0;
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    RefusingTaskbar() { thread = CreateThread(nullptr, 0, run, this, 0, &threadId); }
    ~RefusingTaskbar() { remove(); CloseHandle(ready); }
    bool up() const { return WaitForSingleObject(ready, 5000) == WAIT_OBJECT_0; }
    void remove()
    {
        if (!thread)
            return;
        PostThreadMessageA(threadId, WM_QUIT, 0, 0);
        WaitForSingleObject(thread, 5000);
        CloseHandle(thread);
        thread = nullptr;
    }
    static DWORD WINAPI run(void *self)
    {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = DefWindowProcA; // answers WM_COPYDATA with 0: refused
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "Shell_TrayWnd";
        RegisterClassA(&wc);
        HWND w = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, "Shell_TrayWnd", "", WS_POPUP, 0, 0, 1, 1, nullptr,
                                 nullptr, wc.hInstance, nullptr);
        SetEvent(static_cast<RefusingTaskbar *>(self)->ready);
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0) > 0)
            DispatchMessageA(&msg);
        DestroyWindow(w);
        UnregisterClassA("Shell_TrayWnd", wc.hInstance);
        return 0;
    }
};

E2E_TEST(startup, tray_icon_added_again_after_a_failed_add_and_for_a_new_taskbar)
{
    App app;
    RefusingTaskbar refusing;
    REQUIRE(refusing.up());
    REQUIRE(app_start_main(app));
    CHECK_MSG(!tray_has("Tolvik"), "the first add failed");
    refusing.remove();
    CHECK_MSG(wait_until([] { return tray_has("Tolvik"); }, 5000), "the add is tried again until it works");
    // The shell restarted: the new taskbar shows no icon until the program adds it again.
    NOTIFYICONDATAA icon = {};
    icon.cbSize = NOTIFYICONDATAA_V1_SIZE;
    icon.hWnd = app.main;
    CHECK(Shell_NotifyIconA(NIM_DELETE, &icon));
    CHECK(wait_until([] { return !tray_has("Tolvik"); }, 3000));
    PostMessageA(app.main, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    CHECK_MSG(wait_until([] { return tray_has("Tolvik"); }, 5000), "added again on TaskbarCreated");
}

// ---- the compiled dialog templates, read from the exe, against the resource table ----

namespace {

struct TemplateItem {
    int id;
    std::string cls, caption;   // a class ordinal as "#128"; an ordinal caption as "#134"
    short x, y, cx, cy;
    DWORD style, exStyle;
};

struct Template {
    DWORD style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    std::string caption, font;
    WORD points = 0, weight = 0;
    BYTE charset = 0;
    std::vector<TemplateItem> items;
};

struct Reader {
    const BYTE *p;
    template <class T> T take()
    {
        T v;
        std::memcpy(&v, p, sizeof v);
        p += sizeof v;
        return v;
    }
    void align4() { p = reinterpret_cast<const BYTE *>((reinterpret_cast<uintptr_t>(p) + 3) & ~uintptr_t(3)); }
    std::string sz_or_ord()
    {
        WORD first = take<WORD>();
        if (first == 0xFFFF)
            return "#" + std::to_string(take<WORD>());
        std::string s;
        for (WORD c = first; c; c = take<WORD>())
            s += static_cast<char>(c);
        return s;
    }
    // A control class by name or by its predefined number: the same class.
    std::string control_class()
    {
        std::string name = sz_or_ord();
        const char *numbered[] = {"BUTTON", "EDIT", "STATIC", "LISTBOX", "SCROLLBAR", "COMBOBOX"};
        for (int i = 0; i < 6; ++i)
            if (lstrcmpiA(name.c_str(), numbered[i]) == 0)
                return "#" + std::to_string(0x80 + i);
        return name;
    }
};

// Both template forms: the extended one (signature 0xFFFF) carries weight and character set.
bool read_template(int id, Template &t)
{
    HMODULE exe = LoadLibraryExA(g_tolvikExe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    HRSRC res = exe ? FindResourceA(exe, MAKEINTRESOURCEA(id), reinterpret_cast<LPCSTR>(RT_DIALOG)) : nullptr;
    HGLOBAL data = res ? LoadResource(exe, res) : nullptr;
    Reader r = {data ? static_cast<const BYTE *>(LockResource(data)) : nullptr};
    if (r.p) {
        bool ex = reinterpret_cast<const WORD *>(r.p)[1] == 0xFFFF;
        if (ex)
            r.p += 8; // version, signature, help id
        DWORD exStyle = r.take<DWORD>(), style = r.take<DWORD>();
        t.style = ex ? style : exStyle; // the plain form has the style first
        WORD count = r.take<WORD>();
        t.x = r.take<short>(), t.y = r.take<short>(), t.cx = r.take<short>(), t.cy = r.take<short>();
        r.sz_or_ord(); // menu
        r.sz_or_ord(); // class
        t.caption = r.sz_or_ord();
        t.points = r.take<WORD>();
        if (ex) {
            t.weight = r.take<WORD>();
            r.take<BYTE>(); // italic
            t.charset = r.take<BYTE>();
        }
        t.font = r.sz_or_ord();
        for (WORD i = 0; i < count; ++i) {
            r.align4();
            TemplateItem it = {};
            if (ex)
                r.take<DWORD>(); // help id
            DWORD a = r.take<DWORD>(), b = r.take<DWORD>();
            it.style = ex ? b : a;
            it.exStyle = ex ? a : b;
            it.x = r.take<short>(), it.y = r.take<short>(), it.cx = r.take<short>(), it.cy = r.take<short>();
            it.id = ex ? static_cast<int>(r.take<DWORD>()) : r.take<WORD>();
            it.cls = r.control_class();
            it.caption = r.sz_or_ord();
            r.p += r.take<WORD>(); // creation data
            t.items.push_back(it);
        }
    }
    if (exe)
        FreeLibrary(exe);
    return r.p != nullptr;
}

constexpr DWORD kHidden = 0x80000000; // in the table below: the control starts hidden

struct Row {
    int dialog, id;
    const char *cls, *caption; // caption null: the implementer's text, not compared
    short x, y, cx, cy;
    DWORD style, exStyle;
};

const char kButton[] = "#128", kEdit[] = "#129", kStatic[] = "#130", kCombo[] = "#133", kList[] = "SysListView32";
const DWORD kCheck = BS_AUTOCHECKBOX | WS_TABSTOP, kPush = BS_PUSHBUTTON | WS_TABSTOP;

const Row kRows[] = {
    {IDD_MAIN, 1002, kStatic, "To:", 9, 33, 18, 9, SS_LEFT, 0},
    {IDD_MAIN, 1003, kButton, "Send Message", 4, 21, 263, 211, BS_GROUPBOX | BS_NOTIFY, 0},
    {IDD_MAIN, 1009, kStatic, "", 8, 218, 255, 10, SS_LEFTNOWORDWRAP | SS_CENTERIMAGE | SS_SUNKEN, 0},
    {IDD_MAIN, 1012, kCombo, "", 33, 31, 230, 183,
     CBS_DROPDOWN | CBS_SORT | CBS_UPPERCASE | WS_VSCROLL | WS_GROUP | WS_TABSTOP, 0},
    {IDD_MAIN, 1005, kEdit, "", 8, 58, 255, 108,
     ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_BORDER | WS_VSCROLL | WS_GROUP | WS_TABSTOP, 0},
    {IDD_MAIN, 1001, kButton, "Send", 67, 168, 135, 15,
     BS_DEFPUSHBUTTON | BS_CENTER | WS_DISABLED | WS_GROUP | WS_TABSTOP, 0},
    {IDD_MAIN, 1042, kCombo, "", 33, 44, 230, 180, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 0},
    {IDD_MAIN, 1022, kList, "List1", 8, 184, 255, 32,
     LVS_REPORT | LVS_SINGLESEL | LVS_NOLABELWRAP | LVS_NOCOLUMNHEADER | WS_BORDER, 0},
    {IDD_MAIN, 1023, kList, "List1", 8, 46, 255, 170,
     LVS_REPORT | LVS_SHOWSELALWAYS | LVS_NOLABELWRAP | LVS_AUTOARRANGE | WS_BORDER | WS_TABSTOP | kHidden, 0},
    {IDD_MAIN, 1035, kButton, "&Sender", 4, 3, 131, 16, BS_AUTORADIOBUTTON | BS_PUSHLIKE, WS_EX_STATICEDGE},
    {IDD_MAIN, 1036, kButton, "&Receiver", 136, 3, 131, 16, BS_AUTORADIOBUTTON | BS_PUSHLIKE, WS_EX_STATICEDGE},
    {IDD_MAIN, 1041, kButton, "R&eply", 27, 30, 50, 14, kPush | kHidden, 0},
    {IDD_MAIN, 1038, kButton, "&View", 82, 30, 50, 14, kPush | kHidden, 0},
    {IDD_MAIN, 1039, kButton, "&Delete", 137, 30, 50, 14, kPush | kHidden, 0},
    {IDD_MAIN, 1040, kButton, "Delete &All", 192, 30, 50, 14, kPush | kHidden, 0},
    {IDD_MAIN, 1067, kButton, "Delete", 63, 19, 15, 15, BS_PUSHBUTTON | BS_BITMAP, WS_EX_STATICEDGE},
    {IDD_MAIN, 1068, kButton, "Clear History", 77, 19, 15, 15, BS_PUSHBUTTON | BS_BITMAP, WS_EX_STATICEDGE},
    {IDD_MESSAGEVIEW, 1043, kEdit, "", 4, 3, 234, 140,
     ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | ES_WANTRETURN | WS_VSCROLL | WS_TABSTOP, 0},
    {IDD_MESSAGEVIEW, 1069, kButton, "&Reply", 6, 149, 51, 15, kPush, 0},
    {IDD_MESSAGEVIEW, 1, kButton, "&Close", 61, 149, 51, 15, BS_DEFPUSHBUTTON | BS_CENTER | BS_VCENTER | WS_TABSTOP, 0},
    {IDD_MESSAGEVIEW, 1070, kButton, "<< &Prev", 130, 149, 51, 15, kPush, 0},
    {IDD_MESSAGEVIEW, 1071, kButton, "&Next >>", 185, 149, 51, 15, kPush, 0},
    {IDD_MESSAGEVIEW, 1072, kStatic, "", 117, 149, 8, 15, SS_LEFTNOWORDWRAP | SS_CENTERIMAGE | SS_SUNKEN, 0},
    {IDD_CONFIG, 1, kButton, "OK", 94, 117, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP, 0},
    {IDD_CONFIG, 2, kButton, "Cancel", 150, 117, 50, 14, kPush, 0},
    {IDD_CONFIG, 1027, kButton, "Enable Receiver ", 8, 4, 71, 10, kCheck, 0},
    {IDD_CONFIG, 1074, kButton, "On message receive", 3, 16, 141, 97, BS_GROUPBOX, 0},
    {IDD_CONFIG, 1048, kButton, "Popup Tolvik ", 8, 27, 63, 10, kCheck, 0},
    {IDD_CONFIG, 1049, kButton, "Animate tray icon ", 8, 38, 72, 10, kCheck, 0},
    {IDD_CONFIG, 1051, kButton, "Beep ", 8, 50, 35, 10, kCheck, 0},
    {IDD_CONFIG, 1054, kButton, "Switch to Receiver ", 8, 61, 78, 10, kCheck, 0},
    {IDD_CONFIG, 1059, kButton, "Show message (overrides popup) ", 8, 72, 123, 10, kCheck, 0},
    {IDD_CONFIG, 1046, kEdit, "", 8, 94, 131, 14, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 0},
    {IDD_CONFIG, 1052, kButton, "Launch external program ", 8, 83, 96, 10, kCheck, 0},
    {IDD_CONFIG, 1056, kButton, "Miscelaneous", 149, 16, 141, 97, BS_GROUPBOX, 0},
    {IDD_CONFIG, 1053, kButton, "View message as MessageBox ", 154, 27, 115, 10, kCheck, 0},
    {IDD_CONFIG, 1057, kButton, "Load last message on user edit ", 154, 38, 115, 10, kCheck, 0},
    {IDD_CONFIG, 1058, kButton, "Keep incoming messages history ", 154, 49, 131, 10, kCheck, 0},
    {IDD_CONFIG, 1060, kButton, "Do not steal focus from edit field ", 154, 60, 123, 10, kCheck, 0},
    {IDD_CONFIG, 1068, kButton, "Minimize on send ", 154, 71, 72, 11, kCheck, 0},
    {IDD_ABOUT, 2, kStatic, "#134", 9, 8, 20, 20, SS_ICON | SS_REALSIZEIMAGE, 0},
    {IDD_ABOUT, 1073, kStatic, "Tolvik v3.561", 41, 7, 71, 8, SS_LEFTNOWORDWRAP | SS_NOPREFIX | WS_GROUP, 0},
    {IDD_ABOUT, 1024, kStatic, nullptr, 41, 19, 87, 8, SS_LEFT | WS_GROUP, 0},
    {IDD_ABOUT, 1, kButton, "OK", 53, 44, 46, 14, BS_DEFPUSHBUTTON | BS_CENTER | WS_TABSTOP, 0},
    {IDD_ABOUT, 1023, kStatic, nullptr, 42, 28, 102, 10, SS_LEFT | WS_GROUP, 0},
    {IDD_ABOUT, 1025, kStatic, nullptr, 126, 50, 23, 8, SS_LEFTNOWORDWRAP | SS_NOPREFIX | WS_GROUP, 0},
};

struct Header {
    int dialog;
    const char *caption;
    short x, y, cx, cy;
    DWORD style;
};

const Header kHeaders[] = {
    {IDD_MAIN, "Tolvik", 0, 0, 271, 235, DS_SETFONT | DS_3DLOOK | DS_CENTER | WS_MINIMIZEBOX | WS_CAPTION | WS_SYSMENU},
    {IDD_MESSAGEVIEW, "Message View", 0, 0, 242, 167,
     DS_SETFONT | DS_3DLOOK | DS_CENTER | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME},
    {IDD_CONFIG, "Tolvik Configuration", 0, 0, 294, 135,
     DS_SETFONT | DS_3DLOOK | DS_CENTER | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU},
    {IDD_ABOUT, "About", 22, 17, 154, 62, DS_SETFONT | DS_3DLOOK | DS_CENTER | DS_MODALFRAME | WS_POPUP | WS_CAPTION},
};

} // namespace

E2E_TEST(startup, dialog_templates_match_the_resource_table)
{
    for (const Header &h : kHeaders) {
        Template t;
        if (!CHECK_MSG(read_template(h.dialog, t), "template %d is in the exe", h.dialog))
            continue;
        CHECK_MSG(t.style == h.style, "template %d style %08lx, want %08lx", h.dialog, t.style, h.style);
        CHECK_MSG(t.caption == h.caption && t.x == h.x && t.y == h.y && t.cx == h.cx && t.cy == h.cy,
                  "template %d: \"%s\" %d,%d %dx%d", h.dialog, t.caption.c_str(), t.x, t.y, t.cx, t.cy);
        CHECK_MSG(t.font == "MS Sans Serif" && t.points == 8, "template %d font %s %d", h.dialog, t.font.c_str(),
                  t.points);
        // Only the extended form records weight and character set: normal, and the default set.
        if (h.dialog == IDD_MAIN)
            CHECK_MSG(t.weight == FW_NORMAL && t.charset == DEFAULT_CHARSET, "template 129 font weight %d charset %d",
                      t.weight, t.charset);
        size_t at = 0;
        for (const Row &row : kRows) {
            if (row.dialog != h.dialog)
                continue;
            if (!CHECK_MSG(at < t.items.size() && t.items[at].id == row.id, "template %d item %zu is %d", h.dialog,
                           at, row.id))
                break;
            const TemplateItem &it = t.items[at++];
            DWORD style = WS_CHILD | (row.style & kHidden ? 0 : WS_VISIBLE) | (row.style & ~kHidden);
            CHECK_MSG(it.style == style && it.exStyle == row.exStyle, "%d/%d style %08lx ex %lx, want %08lx ex %lx",
                      h.dialog, row.id, it.style, it.exStyle, style, row.exStyle);
            CHECK_MSG(lstrcmpiA(it.cls.c_str(), row.cls) == 0 && (!row.caption || it.caption == row.caption), "%d/%d is %s \"%s\"",
                      h.dialog, row.id, it.cls.c_str(), it.caption.c_str());
            CHECK_MSG(it.x == row.x && it.y == row.y && it.cx == row.cx && it.cy == row.cy, "%d/%d at %d,%d %dx%d",
                      h.dialog, row.id, it.x, it.y, it.cx, it.cy);
        }
        CHECK_EQ_INT(t.items.size(), at);
    }
}
