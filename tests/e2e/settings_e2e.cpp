// settings_e2e.cpp - the settings store (defaults, load, save, hostile stored values, saves on
// focus loss) and the configuration dialog (enabled states, OK, Cancel, the tray menu while
// it is open, the program path limit).
#include "tests/e2e/helpers.h"

#include <cstring>
#include <map>

namespace {

struct Flag {
    const char *name;
    int box;     // check box of the configuration dialog
    DWORD value; // default
};

// Storage order.
const Flag kFlags[] = {
    {"PopupOnMessage", IDC_CFG_POPUP, 1},      {"AnimTrayOnMessage", IDC_CFG_ANIMTRAY, 0},
    {"BeepOnMessage", IDC_CFG_BEEP, 1},        {"EnableRunOnMessage", IDC_CFG_RUNPROG, 0},
    {"ViewAsMessageBox", IDC_CFG_MSGBOX, 0},   {"SwitchOnMessage", IDC_CFG_SWITCH, 0},
    {"LoadMsgOnUserEdit", IDC_CFG_LOADMSG, 0}, {"KeepIncoming", IDC_CFG_KEEP, 1},
    {"DoNotStealFocus", IDC_CFG_NOSTEAL, 1},   {"MinimizeOnSend", IDC_CFG_MINIMIZE, 0},
    {"InternalMessage", IDC_CFG_INTERNAL, 0},  {"Monitor", IDC_CFG_MONITOR, 1},
};
const char *const kTexts[] = {"ExternalProg", "UserComboLayout", "MessageEditLayout"};

// The boxes that follow "Enable Receiver ", and the ones that never do.
const int kReceiveControls[] = {IDC_CFG_POPUP,  IDC_CFG_ANIMTRAY, IDC_CFG_BEEP,   IDC_CFG_RUNPROG,
                                IDC_CFG_SWITCH, IDC_CFG_INTERNAL, IDC_CFG_PROGRAM};
const int kMiscBoxes[] = {IDC_CFG_MSGBOX, IDC_CFG_LOADMSG, IDC_CFG_KEEP, IDC_CFG_NOSTEAL, IDC_CFG_MINIMIZE};

std::string active_layout()
{
    char name[KL_NAMELENGTH] = "";
    GetKeyboardLayoutNameA(name);
    return name;
}

HWND open_config(const App &app)
{
    return open_dialog(app, IDM_CONFIGURE, "Tolvik Configuration");
}

// Starts tolvik and opens its configuration dialog; null when either fails.
HWND start_configuring(App &app)
{
    return CHECK(app_start_main(app)) ? open_config(app) : nullptr;
}

// A click as the user makes it: the box toggles itself and tells the dialog.
void click(HWND dlg, int id)
{
    SendDlgItemMessageA(dlg, id, BM_CLICK, 0, 0);
}

// Values of the settings key: name -> (type, data).
using Snapshot = std::map<std::string, std::pair<DWORD, std::string>>;
Snapshot snapshot()
{
    Snapshot s;
    for (const std::string &name : reg_value_names(nullptr)) {
        DWORD type = 0;
        std::string data;
        if (reg_get(nullptr, name.c_str(), type, data))
            s[name] = {type, data};
    }
    return s;
}

bool flag_stored(const char *name, DWORD &value)
{
    DWORD type = 0;
    std::string data;
    if (!reg_get(nullptr, name, type, data) || type != REG_DWORD || data.size() != 4)
        return false;
    std::memcpy(&value, data.data(), 4);
    return true;
}

// A text setting as stored: REG_SZ whose byte count is its length, no zero anywhere.
bool text_stored(const char *name, std::string &text)
{
    DWORD type = 0;
    if (!reg_get(nullptr, name, type, text) || type != REG_SZ)
        return false;
    return text.find('\0') == std::string::npos;
}

// Every one of the fifteen values has its type and byte count: flags 4-byte REG_DWORDs,
// texts REG_SZ without their zero.
void check_saved_shape()
{
    for (const Flag &f : kFlags) {
        DWORD v = 0;
        CHECK_MSG(flag_stored(f.name, v), "%s is a REG_DWORD of 4 bytes", f.name);
    }
    for (const char *name : kTexts) {
        std::string text;
        CHECK_MSG(text_stored(name, text), "%s is a REG_SZ stored without its terminating zero", name);
    }
}

// The stored settings equal the defaults (the layouts: the layout active at start-up).
void check_saved_defaults()
{
    check_saved_shape();
    for (const Flag &f : kFlags) {
        DWORD v = 99;
        flag_stored(f.name, v);
        CHECK_MSG(v == f.value, "%s saved as %lu, default %lu", f.name, (unsigned long)v, (unsigned long)f.value);
    }
    std::string text;
    text_stored("ExternalProg", text);
    CHECK_EQ_STR(text, "");
    text_stored("UserComboLayout", text);
    CHECK_EQ_STR(text, active_layout());
    text_stored("MessageEditLayout", text);
    CHECK_EQ_STR(text, active_layout());
}

// The configuration dialog shows the default settings.
void check_dialog_defaults(HWND dlg)
{
    for (const Flag &f : kFlags)
        CHECK_MSG(is_checked(dlg, f.box) == (f.value != 0), "box %d (%s) shows the default", f.box, f.name);
    CHECK_EQ_STR(item_text(dlg, IDC_CFG_PROGRAM), "");
}

int incoming_count(App &app)
{
    return lv_count(GetDlgItem(app.main, IDC_INCOMING));
}

} // namespace

E2E_TEST(settings, first_run_uses_defaults_and_captures)
{
    App app;
    HWND dlg = start_configuring(app);
    if (CHECK_MSG(dlg != nullptr, "the configuration dialog opens")) {
        check_dialog_defaults(dlg);
        CHECK(close_dialog(dlg, IDCANCEL));
    }
    App popup;
    CHECK(popup_start(popup, popup_args("ALICE", "BOB", "01.02.2003 10:11:12", "hello")));
    CHECK_MSG(popup_closed(popup), "the monitor timer runs: the popup is taken");
    CHECK(wait_until([&] { return incoming_count(app) == 1; }, 5000));
    CHECK_EQ_INT(app_exit(app), 0);
    check_saved_defaults();
}

E2E_TEST(settings, save_and_load_round_trip)
{
    App app;
    // Every box the other way round, and a program path.
    const std::string path = "C:\\Program Files\\Notify\\notify.exe";
    HWND dlg = start_configuring(app);
    REQUIRE(dlg != nullptr);
    for (const Flag &f : kFlags) // "Enable Receiver " comes last, after the boxes it governs
        click(dlg, f.box);
    for (const Flag &f : kFlags)
        CHECK_MSG(is_checked(dlg, f.box) != (f.value != 0), "box %d toggled", f.box);
    SetDlgItemTextA(dlg, IDC_CFG_PROGRAM, path.c_str());
    CHECK(close_dialog(dlg, IDOK));

    // OK saved at once: flags as 4-byte REG_DWORDs, texts without their zero.
    check_saved_shape();
    for (const Flag &f : kFlags) {
        DWORD v = 99;
        flag_stored(f.name, v);
        CHECK_MSG(v == (f.value ? 0u : 1u), "%s saved as %lu", f.name, (unsigned long)v);
    }
    std::string text;
    text_stored("ExternalProg", text);
    CHECK_EQ_STR(text, path);
    CHECK_EQ_INT(text.size(), path.size());
    text_stored("UserComboLayout", text);
    CHECK_EQ_INT(text.size(), 8);
    CHECK_EQ_INT(app_exit(app), 0);
    Snapshot saved = snapshot();

    // The next run loads what was saved and saves it back unchanged.
    App again;
    dlg = start_configuring(again);
    if (CHECK(dlg != nullptr)) {
        for (const Flag &f : kFlags)
            CHECK_MSG(is_checked(dlg, f.box) != (f.value != 0), "box %d loaded", f.box);
        CHECK_EQ_STR(item_text(dlg, IDC_CFG_PROGRAM), path);
        CHECK(close_dialog(dlg, IDCANCEL));
    }
    CHECK_EQ_INT(app_exit(again), 0);
    CHECK_MSG(snapshot() == saved, "a load and save leave every value byte for byte as it was");
}

E2E_TEST(settings, program_path_of_259_characters_without_zero)
{
    // 259 characters followed by a non-zero byte: the registry stores exactly 259 bytes.
    std::string path(259, 'p');
    path.replace(0, 3, "C:\\");
    std::string buffer = path + "#";
    CHECK(reg_set_raw(nullptr, "ExternalProg", REG_SZ, buffer.data(), 259));

    App app;
    HWND dlg = start_configuring(app);
    if (CHECK(dlg != nullptr)) {
        CHECK_EQ_STR(item_text(dlg, IDC_CFG_PROGRAM), path);
        CHECK(close_dialog(dlg, IDCANCEL));
    }
    CHECK_EQ_INT(app_exit(app), 0);
    std::string text;
    CHECK(text_stored("ExternalProg", text));
    CHECK_EQ_STR(text, path);
}

E2E_TEST(settings, program_path_edit_stops_at_259_characters)
{
    App app;
    HWND dlg = start_configuring(app);
    REQUIRE(dlg != nullptr);
    HWND edit = GetDlgItem(dlg, IDC_CFG_PROGRAM);
    CHECK_EQ_INT(SendMessageA(edit, EM_GETLIMITTEXT, 0, 0), 259);
    // What the user types or pastes beyond the limit is not taken.
    std::string typed = "C:\\" + std::string(297, 'q');
    SendMessageA(edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(typed.c_str()));
    CHECK_EQ_STR(text_of(edit), typed.substr(0, 259));
    CHECK(close_dialog(dlg, IDOK));
    std::string text;
    CHECK(text_stored("ExternalProg", text));
    CHECK_EQ_STR(text, typed.substr(0, 259));
}

namespace {

// Writes all fifteen values in one hostile shape: data that, if taken, would turn each flag
// the other way and put something other than the default into each text.
enum class Hostile { WrongType, TooLarge, Empty, TooLargeUnterminated };

void write_hostile(Hostile how)
{
    for (const Flag &f : kFlags) {
        DWORD opposite[2] = {f.value ? 0u : 1u, 0x01010101u};
        switch (how) {
        case Hostile::WrongType: reg_set_raw(nullptr, f.name, REG_BINARY, opposite, 4); break;
        case Hostile::TooLarge:
        case Hostile::TooLargeUnterminated: reg_set_raw(nullptr, f.name, REG_DWORD, opposite, 8); break;
        case Hostile::Empty: reg_set_raw(nullptr, f.name, REG_DWORD, opposite, 0); break;
        }
    }
    const std::string longText(2000, 'L');
    const std::string layout = active_layout() == "00000407" ? "00000409" : "00000407";
    for (const char *name : kTexts) {
        bool prog = std::strcmp(name, "ExternalProg") == 0;
        switch (how) {
        case Hostile::WrongType:
            if (prog) {
                DWORD letters = 0x41414141; // "AAAA"
                reg_set_raw(nullptr, name, REG_DWORD, &letters, 4);
            } else {
                reg_set_raw(nullptr, name, REG_BINARY, layout.data(), 8);
            }
            break;
        case Hostile::TooLarge: // one character more than the field holds, with its zero
            reg_set_raw(nullptr, name, REG_SZ, longText.data(), prog ? 261 : 10);
            break;
        case Hostile::TooLargeUnterminated: // far more than any buffer, no zero
            reg_set_raw(nullptr, name, REG_SZ, longText.data(), 1500);
            break;
        case Hostile::Empty: reg_set_raw(nullptr, name, REG_SZ, longText.data(), 0); break;
        }
    }
}

} // namespace

// All fifteen values stored in one hostile shape: the program starts with the defaults and
// its exit saves the fields as they are, each text whole and in place.
struct HostileRow {
    const char *name;
    Hostile how;
};

static const HostileRow kHostile[] = {
    {"hostile_values_of_the_wrong_type_keep_defaults", Hostile::WrongType},
    {"hostile_values_one_byte_too_large_keep_defaults", Hostile::TooLarge},
    {"hostile_values_far_too_large_keep_defaults", Hostile::TooLargeUnterminated},
    {"hostile_values_of_zero_bytes_keep_defaults", Hostile::Empty},
};

static void hostile_values_keep_defaults(const HostileRow &row)
{
    write_hostile(row.how);
    App app;
    HWND dlg = start_configuring(app);
    if (CHECK(dlg != nullptr)) {
        check_dialog_defaults(dlg);
        CHECK(close_dialog(dlg, IDCANCEL));
    }
    CHECK_EQ_INT(app_exit(app), 0);
    check_saved_defaults();
}

E2E_TABLE(settings, kHostile, hostile_values_keep_defaults);

E2E_TEST(settings, leaving_recipient_or_message_writes_whole_key)
{
    App app;
    REQUIRE(start_in_tray(app));
    REQUIRE(show_main(app.main));
    HWND recipient = GetDlgItem(app.main, IDC_RECIPIENT), message = GetDlgItem(app.main, IDC_MESSAGE);
    // The focus is in the recipient box from the start, so the focus alone does not tell that
    // the move was made: the move itself saves (the box's edit gives the focus to the box and
    // takes it back), and a reset must come after that save.
    PostMessageA(app.main, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(recipient), TRUE);
    CHECK(wait_focus_in(recipient) && sync(app.main));

    struct Move {
        const char *what;
        HWND to;
    } moves[] = {{"leaving the recipient box", message}, {"leaving the message edit", recipient}};
    for (const Move &m : moves) {
        reg_reset();
        CHECK(!reg_key_exists(nullptr));
        PostMessageA(app.main, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(m.to), TRUE);
        CHECK_MSG(wait_until([] { return reg_value_names(nullptr).size() == 15; }, 5000),
                  "%s writes all fifteen values", m.what);
        CHECK(wait_focus_in(m.to) && sync(app.main)); // every save the move makes is done
        check_saved_defaults();
    }
}

// With the receiver off its boxes are disabled whatever their own states (all `state`).
struct MonitorOff {
    const char *name;
    DWORD state;
};

static const MonitorOff kMonitorOff[] = {
    {"monitor_off_disables_receive_boxes", 1},
    {"monitor_off_disables_receive_boxes_also_unchecked", 0},
};

static void monitor_off_disables_receive_boxes(const MonitorOff &row)
{
    for (const Flag &f : kFlags)
        reg_set_dword(nullptr, f.name, f.box == IDC_CFG_MONITOR ? 0 : row.state);
    App app;
    HWND dlg = start_configuring(app);
    REQUIRE(dlg != nullptr);
    CHECK(!is_checked(dlg, IDC_CFG_MONITOR));
    for (const Flag &f : kFlags)
        if (f.box != IDC_CFG_MONITOR)
            CHECK_MSG(is_checked(dlg, f.box) == (row.state != 0), "box %d shows its stored state", f.box);
    for (int id : kReceiveControls)
        CHECK_MSG(!enabled(dlg, id), "control %d disabled with the receiver off (states %lu)", id,
                  (unsigned long)row.state);
    for (int id : kMiscBoxes)
        CHECK_MSG(enabled(dlg, id), "box %d never disabled", id);
    CHECK(enabled(dlg, IDC_CFG_MONITOR));

    // Enabling the receiver enables its boxes, the path only with "Launch external program ".
    click(dlg, IDC_CFG_MONITOR);
    CHECK(is_checked(dlg, IDC_CFG_MONITOR));
    for (int id : kReceiveControls)
        if (id != IDC_CFG_PROGRAM)
            CHECK_MSG(enabled(dlg, id), "control %d enabled with the receiver on", id);
    for (int i = 0; i < 3; ++i) {
        CHECK_EQ_INT(enabled(dlg, IDC_CFG_PROGRAM), is_checked(dlg, IDC_CFG_RUNPROG));
        if (i < 2)
            click(dlg, IDC_CFG_RUNPROG);
    }

    // Off again: the path is disabled even with "Launch external program " checked.
    if (!is_checked(dlg, IDC_CFG_RUNPROG))
        click(dlg, IDC_CFG_RUNPROG);
    click(dlg, IDC_CFG_MONITOR);
    for (int id : kReceiveControls)
        CHECK_MSG(!enabled(dlg, id), "control %d disabled again", id);
    CHECK(is_checked(dlg, IDC_CFG_RUNPROG));
    CHECK(close_dialog(dlg, IDCANCEL));
}

E2E_TABLE(settings, kMonitorOff, monitor_off_disables_receive_boxes);

E2E_TEST(settings, cancel_changes_nothing)
{
    App first;
    REQUIRE(app_start_main(first));
    CHECK_EQ_INT(app_exit(first), 0);
    Snapshot before = snapshot();
    CHECK_EQ_INT(before.size(), 16u); // the fifteen settings and Interface

    App app;
    HWND dlg = start_configuring(app);
    REQUIRE(dlg != nullptr);
    for (const Flag &f : kFlags)
        click(dlg, f.box);
    click(dlg, IDC_CFG_MONITOR);
    click(dlg, IDC_CFG_RUNPROG);
    SetDlgItemTextA(dlg, IDC_CFG_PROGRAM, "C:\\other.exe");
    CHECK(close_dialog(dlg, IDCANCEL));
    CHECK_MSG(snapshot() == before, "Cancel writes nothing");

    // Nor did anything change in memory: the dialog shows the old states, Exit saves them.
    dlg = open_config(app);
    if (CHECK(dlg != nullptr)) {
        check_dialog_defaults(dlg);
        CHECK(close_dialog(dlg, IDCANCEL));
    }
    CHECK_EQ_INT(app_exit(app), 0);
    CHECK_MSG(snapshot() == before, "Exit saves the unchanged settings");
}

E2E_TEST(settings, ok_stops_and_restarts_capture)
{
    App app;
    HWND dlg = start_configuring(app);
    REQUIRE(dlg != nullptr);
    click(dlg, IDC_CFG_MONITOR);
    CHECK(close_dialog(dlg, IDOK));
    DWORD monitor = 99;
    CHECK(flag_stored("Monitor", monitor));
    CHECK_EQ_INT(monitor, 0);

    App popup;
    CHECK(popup_start(popup, popup_args("ALICE", "BOB", "01.02.2003 10:11:12", "hello")));
    CHECK(wait_popups(popup) != nullptr);
    CHECK_MSG(app_wait_exit(popup, 1500) == -1, "with the receiver off no popup is taken");
    CHECK_EQ_INT(incoming_count(app), 0);

    dlg = open_config(app);
    REQUIRE(dlg != nullptr);
    CHECK(!is_checked(dlg, IDC_CFG_MONITOR));
    click(dlg, IDC_CFG_MONITOR);
    CHECK(close_dialog(dlg, IDOK));
    CHECK(flag_stored("Monitor", monitor));
    CHECK_EQ_INT(monitor, 1);
    CHECK_MSG(popup_closed(popup), "with the receiver on again the waiting popup is taken");
    CHECK(wait_until([&] { return incoming_count(app) == 1; }, 5000));
}
