// history_e2e.cpp - the recipients history (History values, Last User, Interface, the
// recipient box) and each recipient's sent messages (History subkeys, the sent-messages box,
// delete and clear), driven through successful sends to the recording netapi32.dll.
#include "tests/e2e/netapi_double.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

int index_of(HWND box, const std::string &item)
{
    std::vector<std::string> items = combo_entries(box);
    auto it = std::find(items.begin(), items.end(), item);
    return it == items.end() ? -1 : static_cast<int>(it - items.begin());
}

int selected(HWND box)
{
    return static_cast<int>(SendMessageA(box, CB_GETCURSEL, 0, 0));
}

std::string sent_key(const std::string &line)
{
    return "History\\" + line;
}

// A text value as the histories store it: REG_SZ with exactly one terminating zero.
bool stored_text(const char *subkey, const std::string &name, std::string &text)
{
    DWORD type = 0;
    std::string data;
    if (!reg_get(subkey, name.c_str(), type, data) || type != REG_SZ || data.empty() || data.back() != '\0')
        return false;
    text = data.substr(0, data.size() - 1);
    return text.find('\0') == std::string::npos;
}

std::string stored_or_missing(const char *subkey, const std::string &name)
{
    std::string text;
    return stored_text(subkey, name, text) ? text : std::string("<missing>");
}

// Sent messages of a recipient: value name -> text.
std::vector<std::pair<std::string, std::string>> sent_values(const std::string &line)
{
    std::vector<std::pair<std::string, std::string>> values;
    std::string key = sent_key(line);
    for (const std::string &name : reg_value_names(key.c_str()))
        values.emplace_back(name, stored_or_missing(key.c_str(), name));
    return values;
}

// A time-stamp value name "HH:MM:SS DD.MM.YYYY" as a point in time; false when malformed.
bool stamp_time(const std::string &name, SYSTEMTIME &t)
{
    unsigned h, mi, s, d, mo, y;
    int used = 0;
    t = SYSTEMTIME{};
    if (name.size() != 19 || std::sscanf(name.c_str(), "%2u:%2u:%2u %2u.%2u.%4u%n", &h, &mi, &s, &d, &mo, &y, &used) != 6 ||
        used != 19 || name[2] != ':' || name[5] != ':' || name[8] != ' ' || name[11] != '.' || name[14] != '.')
        return false;
    t.wHour = static_cast<WORD>(h), t.wMinute = static_cast<WORD>(mi), t.wSecond = static_cast<WORD>(s);
    t.wDay = static_cast<WORD>(d), t.wMonth = static_cast<WORD>(mo), t.wYear = static_cast<WORD>(y);
    FILETIME f;
    return SystemTimeToFileTime(&t, &f) != FALSE;
}

long long seconds_of(const SYSTEMTIME &t)
{
    FILETIME f;
    SystemTimeToFileTime(&t, &f);
    return static_cast<long long>((static_cast<unsigned long long>(f.dwHighDateTime) << 32 | f.dwLowDateTime) /
                                  10000000ull);
}

// The name is a well-formed stamp of the local time, within a few minutes of now.
bool stamp_of_now(const std::string &name)
{
    SYSTEMTIME t, now;
    GetLocalTime(&now);
    return stamp_time(name, t) && std::llabs(seconds_of(t) - seconds_of(now)) < 300;
}

void prefill(const char *subkey, const char *name, const std::string &text)
{
    reg_set_text(subkey, name, text);
}

} // namespace

E2E_TEST(history, two_names_store_one_line)
{
    Messenger m;
    REQUIRE(m.start());
    CHECK(m.send("ALICE BOB", "lunch at noon", 2));

    // One value for the whole line, written with its terminating zero; Last User the same.
    std::vector<std::string> names = reg_value_names("History");
    CHECK_MSG(names == std::vector<std::string>{"ALICE BOB"}, "History values: %zu", names.size());
    CHECK_EQ_STR(stored_or_missing("History", "ALICE BOB"), "lunch at noon");
    CHECK_EQ_STR(stored_or_missing(nullptr, "Last User"), "ALICE BOB");
    CHECK(!reg_key_exists("History\\ALICE"));
    CHECK(!reg_key_exists("History\\BOB"));

    // Both workers saved the same text: one sent message under a time stamp of now.
    auto sent = sent_values("ALICE BOB");
    if (CHECK_EQ_INT(sent.size(), 1)) {
        CHECK_MSG(stamp_of_now(sent[0].first), "stamp \"%s\" is HH:MM:SS DD.MM.YYYY of now", sent[0].first.c_str());
        CHECK_EQ_STR(sent[0].second, "lunch at noon");
    }
    CHECK(combo_entries(m.recipient()) == std::vector<std::string>{"ALICE BOB"});
    CHECK(combo_entries(m.sent()) == std::vector<std::string>{"lunch at noon"});
    CHECK_EQ_INT(selected(m.sent()), 0);
}

E2E_TEST(history, workers_saving_together_list_the_line_once)
{
    // Each send takes 100 ms, so the first workers save while the Send command still pauses
    // between starting the later ones: their window calls wait for the main thread.
    Messenger m;
    REQUIRE(m.start("calls", "TOLVIK_NETAPI_SLOW_MS=100"));
    const std::string line = "SLOW1 SLOW2 SLOW3 SLOW4 SLOW5";
    CHECK_MSG(m.send(line, "to all five", 5), "every worker ends");
    CHECK(reg_value_names("History") == std::vector<std::string>{line});
    CHECK_EQ_STR(stored_or_missing("History", line), "to all five");
    auto sent = sent_values(line);
    CHECK(!sent.empty());
    for (const auto &v : sent)
        CHECK_EQ_STR(v.second, "to all five");
    CHECK(combo_entries(m.recipient()) == std::vector<std::string>{line});
    CHECK(combo_entries(m.sent()) == std::vector<std::string>{"to all five"});
    CHECK_EQ_STR(text_of(m.recipient()), line);
    CHECK_EQ_STR(text_of(m.message()), "to all five");
}

E2E_TEST(history, choosing_a_recipient_loads_its_messages)
{
    prefill("History", "ALICE", "for alice");
    prefill("History", "BOB", "for bob");
    prefill("History", "CAROL", std::string(1100, 'c')); // longer than a last message can be
    prefill("History\\ALICE", "09:00:00 01.02.2024", "oldest to alice");
    prefill("History\\ALICE", "09:05:00 01.02.2024", "newest to alice");
    Messenger m;
    REQUIRE(m.start());
    // No Last User: the first item is chosen at start.
    CHECK(combo_entries(m.recipient()) == (std::vector<std::string>{"ALICE", "BOB", "CAROL"}));
    CHECK_EQ_STR(text_of(m.recipient()), "ALICE");
    CHECK_EQ_STR(text_of(m.message()), "for alice");

    m.choose(index_of(m.recipient(), "BOB"));
    CHECK_EQ_STR(text_of(m.message()), "for bob");
    CHECK_EQ_INT(SendMessageA(m.sent(), CB_GETCOUNT, 0, 0), 0);

    // The sent box is rebuilt oldest first with the oldest chosen; the edit shows the last message.
    m.choose(index_of(m.recipient(), "ALICE"));
    CHECK_EQ_STR(text_of(m.message()), "for alice");
    CHECK(combo_entries(m.sent()) == (std::vector<std::string>{"oldest to alice", "newest to alice"}));
    CHECK_EQ_INT(selected(m.sent()), 0);

    // A message too long to read, or none stored at all, leaves the draft as it is.
    SetWindowTextA(m.message(), "draft");
    m.choose(index_of(m.recipient(), "CAROL"));
    CHECK_EQ_STR(text_of(m.message()), "draft");
    HKEY key;
    if (CHECK(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Morvane\\Tolvik\\History", 0, KEY_SET_VALUE, &key) ==
              ERROR_SUCCESS)) {
        RegDeleteValueA(key, "BOB");
        RegCloseKey(key);
    }
    m.choose(index_of(m.recipient(), "BOB"));
    CHECK_EQ_STR(text_of(m.message()), "draft");
}

E2E_TEST(history, opening_and_closing_the_list_keeps_the_draft)
{
    prefill("History", "ALICE", "for alice");
    Messenger m;
    REQUIRE(m.start());
    // A remembered line with the draft changed, then a new line with nothing stored.
    for (const char *line : {"ALICE", "DAVE"}) {
        SetWindowTextA(m.recipient(), line);
        SetWindowTextA(m.message(), "a long draft");
        SendMessageA(m.recipient(), CB_SHOWDROPDOWN, TRUE, 0);
        SendMessageA(m.recipient(), CB_SHOWDROPDOWN, FALSE, 0);
        CHECK_EQ_STR(text_of(m.recipient()), line);
        CHECK_MSG(text_of(m.message()) == "a long draft", "%s: the draft became \"%s\"", line,
                  text_of(m.message()).c_str());
    }
}

E2E_TEST(history, typing_reloads_at_every_change_with_load_on_edit)
{
    reg_set_dword(nullptr, "LoadMsgOnUserEdit", 1);
    prefill("History", "BOB", "for bob");
    prefill("History", "BOBBY", "for bobby");
    Messenger m;
    REQUIRE(m.start());
    REQUIRE(show_main(m.app.main));
    send_command(m.app.main, IDC_SENDER); // focus into the recipient box
    SetWindowTextA(m.recipient(), "");
    SetWindowTextA(m.message(), "draft");
    CHECK(make_foreground(m.app.main));
    CHECK(wait_focus_in(m.recipient()));

    // After each key: the box's text (upper case) and what the edit must show for it.
    // A text that names no stored line leaves the edit as it is.
    const struct {
        WORD key;
        const char *box, *edit;
    } steps[] = {
        {'B', "B", "draft"},         {'O', "BO", "draft"},       {'B', "BOB", "for bob"}, {'B', "BOBB", "for bob"},
        {'Y', "BOBBY", "for bobby"}, {VK_BACK, "BOBB", "for bobby"}, {VK_BACK, "BOB", "for bob"},
    };
    for (const auto &s : steps) {
        tap(s.key);
        CHECK_MSG(wait_until([&] { return text_of(m.recipient()) == s.box; }, 5000), "box shows \"%s\", want \"%s\"",
                  text_of(m.recipient()).c_str(), s.box);
        sync(m.app.main);
        CHECK_MSG(text_of(m.message()) == s.edit, "after \"%s\" the edit shows \"%s\", not \"%s\"", s.box, s.edit,
                  text_of(m.message()).c_str());
    }
}

E2E_TEST(history, exit_keeps_recipient_and_unsent_text)
{
    prefill("History", "AARON", "for aaron"); // listed first, so only Last User brings CAROL back
    Messenger m;
    REQUIRE(m.start());
    m.compose("CAROL", "unsent draft");
    CHECK_EQ_INT(app_exit(m.app), 0);
    CHECK_EQ_STR(stored_or_missing("History", "CAROL"), "unsent draft");
    CHECK_EQ_STR(stored_or_missing(nullptr, "Last User"), "CAROL");

    Messenger again;
    REQUIRE(again.start());
    CHECK_EQ_STR(text_of(again.recipient()), "CAROL");
    CHECK_EQ_STR(text_of(again.message()), "unsent draft");
    CHECK(combo_entries(again.recipient()) == (std::vector<std::string>{"AARON", "CAROL"}));
    CHECK(combo_entries(again.sent()) == std::vector<std::string>{"unsent draft"});

    // An empty edit at Exit is kept as an empty last message; an empty text is never listed.
    SetWindowTextA(again.message(), "");
    CHECK_EQ_INT(app_exit(again.app), 0);
    DWORD type = 0;
    std::string data;
    CHECK(reg_get("History", "CAROL", type, data) && type == REG_SZ && data == std::string(1, '\0'));

    Messenger third;
    REQUIRE(third.start());
    CHECK_EQ_STR(text_of(third.recipient()), "CAROL");
    CHECK_EQ_STR(text_of(third.message()), "");
    CHECK(combo_entries(third.sent()) == std::vector<std::string>{"unsent draft"});
    CHECK_EQ_INT(sent_values("CAROL").size(), 2);
}

E2E_TEST(history, exit_keeps_the_mode)
{
    App runs[4];
    // Exit in Receiver mode stores Interface 0 and the next start is in Receiver mode.
    REQUIRE(app_start_main(runs[0]));
    send_command(runs[0].main, IDC_RECEIVER);
    CHECK(receiver_mode_shown(runs[0].main));
    CHECK_EQ_INT(app_exit(runs[0]), 0);
    DWORD type = 0;
    std::string data;
    CHECK(reg_get(nullptr, "Interface", type, data) && type == REG_DWORD && data == std::string(4, '\0'));
    REQUIRE(app_start_main(runs[1]));
    CHECK_MSG(receiver_mode_shown(runs[1].main), "restarts in Receiver mode");
    CHECK(GetWindowLongA(GetDlgItem(runs[1].main, IDC_INCOMING), GWL_STYLE) & WS_VISIBLE);
    CHECK(!(GetWindowLongA(GetDlgItem(runs[1].main, IDC_RECIPIENT), GWL_STYLE) & WS_VISIBLE));
    send_command(runs[1].main, IDC_SENDER);
    CHECK_EQ_INT(app_exit(runs[1]), 0);
    CHECK(reg_get(nullptr, "Interface", type, data) && type == REG_DWORD && data == std::string("\1\0\0\0", 4));

    // Any stored value other than 1 means Receiver mode; none at all means Sender mode.
    reg_set_dword(nullptr, "Interface", 7);
    REQUIRE(app_start_main(runs[2]));
    CHECK_MSG(receiver_mode_shown(runs[2].main), "Interface 7 starts in Receiver mode");
    CHECK_EQ_INT(app_exit(runs[2]), 0);

    reg_reset();
    reg_set_dword(nullptr, "Monitor", 1); // the settings key exists, Interface does not
    REQUIRE(app_start_main(runs[3]));
    CHECK_MSG(is_checked(runs[3].main, IDC_SENDER) && !is_checked(runs[3].main, IDC_RECEIVER),
              "no Interface starts in Sender mode");
}

E2E_TEST(history, typed_lower_case_is_stored_upper_case)
{
    Messenger m;
    REQUIRE(m.start());
    REQUIRE(show_main(m.app.main));
    send_command(m.app.main, IDC_SENDER);
    CHECK(make_foreground(m.app.main));
    CHECK(wait_focus_in(m.recipient()));
    // Lower-case letters as the keyboard gives them (no Shift).
    type_keys("dave");
    CHECK(wait_until([&] { return text_of(m.recipient()) == "DAVE"; }, 5000));
    send_command(m.app.main, IDC_RECIPIENT, CBN_SELCHANGE, m.recipient()); // enables Send
    SetWindowTextA(m.message(), "hi dave");
    CHECK(m.send(1));
    CHECK(reg_value_names("History") == std::vector<std::string>{"DAVE"});
    CHECK_EQ_STR(stored_or_missing(nullptr, "Last User"), "DAVE");
    CHECK(combo_entries(m.recipient()) == std::vector<std::string>{"DAVE"});
}

E2E_TEST(history, same_text_twice_keeps_one_value_with_the_later_time)
{
    Messenger m;
    REQUIRE(m.start());
    CHECK(m.send("ERIN", "same words"));
    auto first = sent_values("ERIN");
    // The next save falls into a later second than the first's name.
    SYSTEMTIME firstTime;
    CHECK(first.size() == 1 && stamp_time(first[0].first, firstTime));
    CHECK(wait_until([&] {
        SYSTEMTIME now;
        GetLocalTime(&now);
        return seconds_of(now) > seconds_of(firstTime);
    }, 3000));
    CHECK(m.send("ERIN", "same words"));
    auto second = sent_values("ERIN");
    if (CHECK_EQ_INT(first.size(), 1) && CHECK_EQ_INT(second.size(), 1)) {
        SYSTEMTIME a, b;
        CHECK(stamp_time(first[0].first, a) && stamp_time(second[0].first, b));
        CHECK_MSG(seconds_of(b) > seconds_of(a), "renamed to the later time: %s then %s", first[0].first.c_str(),
                  second[0].first.c_str());
        CHECK_EQ_STR(second[0].second, "same words");
    }
    CHECK(combo_entries(m.sent()) == std::vector<std::string>{"same words"});
}

E2E_TEST(history, texts_differing_in_case_store_two_show_one)
{
    Messenger m;
    REQUIRE(m.start());
    CHECK(m.send("FRANK", "Hello"));
    CHECK(m.send("FRANK", "hello"));
    auto values = sent_values("FRANK");
    std::vector<std::string> texts;
    for (const auto &v : values)
        texts.push_back(v.second);
    std::sort(texts.begin(), texts.end());
    CHECK_MSG(texts == (std::vector<std::string>{"Hello", "hello"}), "two values stored: %zu", texts.size());
    CHECK(combo_entries(m.sent()) == std::vector<std::string>{"Hello"});
    CHECK_EQ_INT(app_exit(m.app), 0);

    // The load lists them once too; Exit stored "hello" again, so its value is the newest.
    Messenger again;
    REQUIRE(again.start());
    CHECK(combo_entries(again.sent()) == std::vector<std::string>{"Hello"});
    CHECK_EQ_INT(sent_values("FRANK").size(), 2);
}

E2E_TEST(history, delete_removes_every_value_with_the_text)
{
    prefill(nullptr, "Last User", "GRACE");
    prefill("History", "GRACE", "last to grace");
    prefill("History\\GRACE", "10:00:00 01.01.2020", "alpha");
    prefill("History\\GRACE", "10:00:01 01.01.2020", "beta");
    prefill("History\\GRACE", "10:00:02 01.01.2020", "alpha"); // two workers at once leave such twins
    prefill("History\\GRACE", "10:00:03 01.01.2020", "Alpha");
    Messenger m;
    REQUIRE(m.start());
    CHECK(combo_entries(m.sent()) == (std::vector<std::string>{"alpha", "beta"}));
    CHECK_EQ_INT(selected(m.sent()), 0);

    send_command(m.app.main, IDC_HIST_DELETE);
    auto values = sent_values("GRACE");
    std::vector<std::string> texts;
    for (const auto &v : values)
        texts.push_back(v.second);
    CHECK_MSG(texts == (std::vector<std::string>{"beta", "Alpha"}), "left: %zu values", texts.size());
    CHECK(combo_entries(m.sent()) == std::vector<std::string>{"beta"});
    CHECK(focus_in(m.message()));
    // The recipient and its last message stay.
    CHECK_EQ_STR(stored_or_missing("History", "GRACE"), "last to grace");
    CHECK(combo_entries(m.recipient()) == std::vector<std::string>{"GRACE"});

    SendMessageA(m.sent(), CB_SETCURSEL, 0, 0);
    send_command(m.app.main, IDC_HIST_DELETE);
    CHECK(sent_values("GRACE") == (std::vector<std::pair<std::string, std::string>>{{"10:00:03 01.01.2020", "Alpha"}}));
    CHECK_EQ_INT(SendMessageA(m.sent(), CB_GETCOUNT, 0, 0), 0);
    app_kill(m.app); // an Exit would store the message edit's text again
}

E2E_TEST(history, clear_asks_and_removes_the_key)
{
    prefill(nullptr, "Last User", "HENRY");
    prefill("History", "HENRY", "last to henry");
    prefill("History", "IVY", "last to ivy");
    prefill("History\\HENRY", "10:00:00 01.01.2020", "one");
    prefill("History\\HENRY", "10:00:01 01.01.2020", "two");
    Messenger m;
    REQUIRE(m.start());
    DWORD pid = m.app.pi.dwProcessId;

    // Nothing listed: nothing is asked.
    m.choose(index_of(m.recipient(), "IVY"));
    CHECK_EQ_INT(SendMessageA(m.sent(), CB_GETCOUNT, 0, 0), 0);
    post_command(m.app.main, IDC_HIST_CLEAR);
    CHECK_MSG(wait_dialog(pid, "Tolvik", 1000) == nullptr, "no question with an empty sent box");

    // The question names the recipient; No keeps everything.
    m.choose(index_of(m.recipient(), "HENRY"));
    CHECK_EQ_INT(SendMessageA(m.sent(), CB_GETCOUNT, 0, 0), 2);
    post_command(m.app.main, IDC_HIST_CLEAR);
    HWND box = wait_dialog(pid, "Tolvik", 5000);
    if (CHECK_MSG(box != nullptr, "1068 asks")) {
        CHECK_EQ_STR(msgbox_text(box), "Clear sent messages history for [HENRY]?");
        CHECK(GetDlgItem(box, IDYES) && GetDlgItem(box, IDNO));
        PostMessageA(box, WM_COMMAND, IDNO, 0);
        CHECK(wait_gone(box));
    }
    CHECK_EQ_INT(sent_values("HENRY").size(), 2);
    CHECK_EQ_INT(SendMessageA(m.sent(), CB_GETCOUNT, 0, 0), 2);

    // Yes removes the recipient's key and empties the box; the recipient itself stays.
    post_command(m.app.main, IDC_HIST_CLEAR);
    box = wait_dialog(pid, "Tolvik", 5000);
    if (CHECK(box != nullptr)) {
        PostMessageA(box, WM_COMMAND, IDYES, 0);
        CHECK(wait_gone(box));
    }
    CHECK_MSG(wait_until([] { return !reg_key_exists("History\\HENRY"); }, 3000), "the sent-messages key is gone");
    CHECK_EQ_INT(SendMessageA(m.sent(), CB_GETCOUNT, 0, 0), 0);
    CHECK_EQ_STR(stored_or_missing("History", "HENRY"), "last to henry");
    CHECK(index_of(m.recipient(), "HENRY") >= 0);

    // The next send creates the key again with one value.
    CHECK(m.send("HENRY", "three"));
    auto values = sent_values("HENRY");
    if (CHECK_EQ_INT(values.size(), 1))
        CHECK_EQ_STR(values[0].second, "three");
    CHECK(combo_entries(m.sent()) == std::vector<std::string>{"three"});

    // With an empty recipient box the question is about the current user, and Yes only
    // empties the box.
    SetWindowTextA(m.recipient(), "");
    post_command(m.app.main, IDC_HIST_CLEAR);
    box = wait_dialog(pid, "Tolvik", 5000);
    if (CHECK(box != nullptr)) {
        CHECK_EQ_STR(msgbox_text(box), "Clear sent messages history for current user?");
        PostMessageA(box, WM_COMMAND, IDYES, 0);
        CHECK(wait_gone(box));
    }
    CHECK(wait_until([&] { return SendMessageA(m.sent(), CB_GETCOUNT, 0, 0) == 0; }, 3000));
    CHECK_EQ_INT(sent_values("HENRY").size(), 1);
}

E2E_TEST(history, long_and_backslash_lines_are_never_cut_or_nested)
{
    Messenger m;
    REQUIRE(m.start());
    // Three names of 100 characters: a line of 302, longer than a key name may be.
    std::string line = std::string(100, 'L') + " " + std::string(100, 'M') + " " + std::string(100, 'N');
    CHECK(m.send(line, "to the long line", 3));
    for (const std::string &name : reg_value_names("History"))
        CHECK_MSG(line.compare(0, name.size(), name) != 0, "no History value under a cut line (%zu chars)",
                  name.size());
    CHECK(!reg_key_exists(sent_key(line.substr(0, 255)).c_str()));
    CHECK(!reg_key_exists(sent_key(line.substr(0, 256)).c_str()));
    for (const std::string &item : combo_entries(m.recipient()))
        CHECK_MSG(item == line || line.compare(0, item.size(), item) != 0, "no cut line listed");
    std::string last;
    CHECK_MSG(!stored_text(nullptr, "Last User", last) || last == line, "Last User never a cut line");

    // A line with a backslash: the whole line is one History value, never a nested key.
    CHECK(m.send("OSCAR\\PAUL", "to the backslash line"));
    CHECK_EQ_STR(stored_or_missing("History", "OSCAR\\PAUL"), "to the backslash line");
    CHECK(!reg_key_exists("History\\OSCAR"));
    CHECK(!reg_key_exists("History\\OSCAR\\PAUL"));
    CHECK(index_of(m.recipient(), "OSCAR\\PAUL") >= 0);
    CHECK_EQ_INT(app_exit(m.app), 0);
    CHECK(!reg_key_exists("History\\OSCAR"));

    // The next run lists it and brings its last message back.
    Messenger again;
    REQUIRE(again.start());
    int index = index_of(again.recipient(), "OSCAR\\PAUL");
    if (CHECK(index >= 0)) {
        again.choose(index);
        CHECK_EQ_STR(text_of(again.message()), "to the backslash line");
    }
}

E2E_TEST(history, a_slow_send_stores_its_own_line_and_text)
{
    Messenger m;
    REQUIRE(m.start("calls", "TOLVIK_NETAPI_SLOW_MS=3000"));
    CHECK(m.compose("SLOW BOB", "first words"));
    m.press_send();
    // BOB's worker ends first and enables Send while SLOW's still sends; a second command
    // that fails follows, and a half-typed text.
    CHECK(m.wait_ended_beside("BOB", "SLOW"));
    CHECK(wait_until([&] { return enabled(m.app.main, IDC_SEND); }, 5000));
    m.send("E5", "second");
    SetWindowTextA(m.message(), "half-typ");
    CHECK(m.wait_finished(3));
    CHECK(reg_value_names("History") == std::vector<std::string>{"SLOW BOB"});
    CHECK_EQ_STR(stored_or_missing("History", "SLOW BOB"), "first words");
    CHECK_EQ_STR(stored_or_missing(nullptr, "Last User"), "SLOW BOB");
    for (const auto &v : sent_values("SLOW BOB"))
        CHECK_EQ_STR(v.second, "first words");
    CHECK_MSG(SendMessageA(m.sent(), CB_GETCOUNT, 0, 0) == 0, "the box of E5 lists nothing sent to another line");
    app_kill(m.app); // an Exit would store the boxes as they stand
}

E2E_TEST(history, clearing_while_a_save_walks_the_texts)
{
    prefill(nullptr, "Last User", "EVE");
    prefill("History\\EVE", "00:00:00 01.01.2020", "listed");
    // Many values the save has to walk past (names too long to list), so that it is still
    // walking when the key goes.
    HKEY key;
    REQUIRE(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Morvane\\Tolvik\\History\\EVE", 0, nullptr, 0,
                            KEY_SET_VALUE, nullptr, &key, nullptr) == ERROR_SUCCESS);
    for (int i = 0; i < 20000; ++i)
        RegSetValueExA(key, (std::string(300, 'N') + std::to_string(i)).c_str(), 0, REG_SZ,
                       reinterpret_cast<const BYTE *>(""), 1);
    RegCloseKey(key);
    Messenger m;
    REQUIRE(m.start());
    CHECK(combo_entries(m.sent()) == std::vector<std::string>{"listed"});
    CHECK(m.compose("EVE", "new words"));
    m.press_send();
    CHECK(wait_until([&] { return m.log().call_to("EVE") != nullptr; }, 10000));
    post_command(m.app.main, IDC_HIST_CLEAR);
    HWND box = wait_dialog(m.app.pi.dwProcessId, "Tolvik", 5000);
    if (CHECK(box != nullptr))
        PostMessageA(box, WM_COMMAND, IDYES, 0);
    // The save stops walking the deleted key; the text goes into the key made anew.
    CHECK_MSG(m.wait_finished(1), "the send ends");
    CHECK(sent_values("EVE").size() <= 1);
    CHECK(m.send("EVE", "after the clear"));
}

E2E_TEST(history, two_texts_in_one_second_both_stay)
{
    // Texts already stored under this second and the next ones, as quick sends leave them.
    SYSTEMTIME now;
    GetLocalTime(&now);
    FILETIME base;
    SystemTimeToFileTime(&now, &base);
    std::vector<std::pair<std::string, std::string>> taken;
    for (int i = 0; i < 10; ++i) {
        ULARGE_INTEGER at = {{base.dwLowDateTime, base.dwHighDateTime}};
        at.QuadPart += i * 10000000ull;
        FILETIME f = {at.LowPart, at.HighPart};
        SYSTEMTIME t;
        FileTimeToSystemTime(&f, &t);
        taken.emplace_back(e2e_format("%02d:%02d:%02d %02d.%02d.%02d", t.wHour, t.wMinute, t.wSecond, t.wDay,
                                      t.wMonth, t.wYear),
                           e2e_format("earlier text %d", i));
        prefill("History\\FAY", taken.back().first.c_str(), taken.back().second);
    }
    Messenger m;
    REQUIRE(m.start());
    CHECK(m.send("FAY", "the newest text"));
    auto values = sent_values("FAY");
    for (const auto &t : taken)
        CHECK_MSG(std::find(values.begin(), values.end(), t) != values.end(), "%s is kept", t.second.c_str());
    CHECK_EQ_INT(values.size(), taken.size() + 1);
    auto newest = std::find_if(values.begin(), values.end(), [](const auto &v) { return v.second == "the newest text"; });
    CHECK(newest != values.end() && stamp_of_now(newest->first));
    app_kill(m.app);
}
