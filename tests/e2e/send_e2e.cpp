// send_e2e.cpp - the Send command and its workers against the recording netapi32.dll: the
// split of the recipient text, the calls handed to the message service, the send log lines,
// the status line, the Send button, MinimizeOnSend, faults, limits and the histories.
#include "tests/e2e/netapi_double.h"

#include <functional>

namespace {

std::string utf8(const wchar_t *text)
{
    int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], size, nullptr, nullptr);
    out.resize(out.empty() ? 0 : out.size() - 1);
    return out;
}

bool has_line(const std::vector<std::pair<std::string, int>> &lines, const std::string &text, int image)
{
    return std::find(lines.begin(), lines.end(), std::make_pair(text, image)) != lines.end();
}

// Nothing reaches the message service within a second after a Send command that must do nothing.
bool no_call_follows(const Messenger &s, size_t before)
{
    return !wait_until([&] { return s.log().calls.size() > before; }, 1000);
}

} // namespace

E2E_TEST(send, two_names_one_worker_each_200ms_apart)
{
    Messenger s;
    REQUIRE(s.start("two_names", "TOLVIK_NETAPI_SLOW_MS=3000"));
    CHECK(show_main(s.app.main));
    CHECK(s.compose("SLOW1  SLOW2 ", "hello"));
    s.press_send();

    // While both sends run: one "Sending to" line per name, in order, with the sending image.
    REQUIRE(wait_until([&] { return s.log().calls.size() >= 2; }, 10000));
    auto lines = s.lines();
    if (CHECK_EQ_INT(lines.size(), 2)) {
        CHECK_EQ_STR(lines[0].first, "Sending to SLOW1 ...");
        CHECK_EQ_INT(lines[0].second, 2);
        CHECK_EQ_STR(lines[1].first, "Sending to SLOW2 ...");
        CHECK_EQ_INT(lines[1].second, 2);
    }
    CHECK_EQ_STR(s.status(), "Sending ...");
    CHECK_MSG(!enabled(s.app.main, IDC_SEND), "Send is disabled while the workers send");

    REQUIRE(s.wait_finished(2));
    NetLog log = s.log();
    CHECK_EQ_INT(log.calls.size(), 2);
    const NetCall *first = log.call_to("SLOW1"), *second = log.call_to("SLOW2");
    if (CHECK(first && second)) {
        CHECK_MSG(second->start >= first->start + 150, "workers start 200 ms apart: %lu then %lu", first->start,
                  second->start);
        CHECK_EQ_STR(first->text, "hello");
        CHECK_EQ_INT(first->shown, 1);  // without MinimizeOnSend the window stays up
    }
    lines = s.lines();
    if (CHECK_EQ_INT(lines.size(), 2)) {
        CHECK_EQ_STR(lines[0].first, "SLOW1 - Done");
        CHECK_EQ_INT(lines[0].second, 0);
        CHECK_EQ_STR(lines[1].first, "SLOW2 - Done");
        CHECK_EQ_INT(lines[1].second, 0);
    }
    CHECK_EQ_STR(s.status(), "Last send successful.");
    CHECK(enabled(s.app.main, IDC_SEND));
    CHECK_MSG(IsWindowVisible(s.app.main), "the window stays visible");
    CHECK_EQ_STR(item_text(s.app.main, IDC_MESSAGE), "hello");
}

E2E_TEST(send, each_failure_code_has_its_texts)
{
    Messenger s;
    REQUIRE(s.start("codes"));
    const struct {
        const char *name;
        const char *failure;
    } table[] = {
        {"E5", "The user does not have access to the requested information."},
        {"E50", "This network request is not supported."},
        {"E87", "The specified parameter is invalid."},
        {"E2136", "A general failure occurred in the network hardware."},
        {"E2273", "The user name could not be found."},
    };
    size_t made = 0;
    for (const auto &row : table) {
        CHECK(s.compose(row.name, "text"));
        s.press_send();
        REQUIRE(s.wait_finished(++made));
        CHECK_EQ_STR(s.status(), std::string("Failed: ") + row.failure);
        auto lines = s.lines();
        if (CHECK_EQ_INT(lines.size(), 1)) {
            CHECK_EQ_STR(lines[0].first, std::string(row.name) + " - Failed: " + row.failure);
            CHECK_EQ_INT(lines[0].second, 1);
        }
        CHECK_MSG(enabled(s.app.main, IDC_SEND), "Send enabled again after %s", row.name);
    }
    // A code outside the table: the generic status, a line naming the recipient and the code.
    CHECK(s.compose("E1234", "text"));
    s.press_send();
    REQUIRE(s.wait_finished(++made));
    CHECK_EQ_STR(s.status(), "Last send failed.");
    auto lines = s.lines();
    if (CHECK_EQ_INT(lines.size(), 1)) {
        const std::string &line = lines[0].first;
        CHECK_MSG(line.rfind("E1234 - Failed", 0) == 0 && line.find("1234", 5) != std::string::npos,
                  "line names the recipient and the code: \"%s\"", line.c_str());
        CHECK_EQ_INT(lines[0].second, 1);
    }
    // A text longer than every receiver can show, refused with the network failure: the
    // words say why.
    CHECK(s.compose("E2136", std::string(1000, 'x')));
    s.press_send();
    REQUIRE(s.wait_finished(++made));
    CHECK_EQ_STR(s.status(), "Failed: The message is too long for the recipient to show.");
    lines = s.lines();
    CHECK(lines.size() == 1 && lines[0].first == "E2136 - Failed: The message is too long for the recipient to show.");
    CHECK_EQ_INT(s.log().calls.size(), made);
    CHECK_MSG(!reg_key_exists("History"), "failures store nothing in the history");
    DWORD type = 0;
    std::string data;
    CHECK_MSG(!reg_get(nullptr, "Last User", type, data), "failures set no Last User");
}

E2E_TEST(send, message_and_name_as_handed_to_the_service)
{
    Messenger s;
    REQUIRE(s.start("arguments"));
    // An empty message is sent with length 0.
    CHECK(s.compose("ALICE", ""));
    s.press_send();
    REQUIRE(s.wait_finished(1));
    NetLog log = s.log();
    if (CHECK_EQ_INT(log.calls.size(), 1)) {
        const NetCall &c = log.calls[0];
        CHECK_MSG(c.serverNull, "server name NULL (the local computer)");
        CHECK_MSG(c.senderNull, "sender name NULL (the service names the sender)");
        CHECK_EQ_STR(c.to, "ALICE");
        CHECK_EQ_INT(c.bytes, 0);
        CHECK_EQ_STR(c.text, "");
    }

    // 1100 characters: the first 1023 are sent, 2 bytes each, without a terminator.
    std::string longText;
    for (int i = 0; i < 1100; ++i)
        longText += static_cast<char>('a' + (i * 7 + i / 26) % 26);
    CHECK(s.compose("ALICE", longText));
    CHECK_EQ_INT(item_text(s.app.main, IDC_MESSAGE).size(), 1100);
    s.press_send();
    REQUIRE(s.wait_finished(2));
    log = s.log();
    if (CHECK_EQ_INT(log.calls.size(), 2)) {
        CHECK_EQ_INT(log.calls[1].bytes, 2046);
        CHECK_MSG(log.calls[1].text == longText.substr(0, 1023), "the first 1023 characters, got %u",
                  static_cast<unsigned>(log.calls[1].text.size()));
    }
    // What is stored as sent is what was sent, not the whole edit; typing stops there.
    DWORD type = 0;
    std::string stored;
    CHECK(reg_get("History", "ALICE", type, stored) && stored == longText.substr(0, 1023) + '\0');
    CHECK_EQ_INT(SendMessageA(s.message(), EM_GETLIMITTEXT, 0, 0), 1023);

    // What the boxes held when Send was pressed goes to every name, though the user types on.
    CHECK(s.compose("ALICE BOB", "as pressed"));
    PostMessageA(s.control(IDC_SEND), BM_CLICK, 0, 0);
    PostMessageA(s.message(), WM_CHAR, '!', 0);
    REQUIRE(s.wait_finished(4));
    log = s.log();
    if (CHECK_EQ_INT(log.calls.size(), 4))
        for (size_t i = 2; i < 4; ++i)
            CHECK_MSG(log.calls[i].text == "as pressed", "%s got \"%s\"", log.calls[i].to.c_str(),
                      log.calls[i].text.c_str());

    // Text beyond ASCII and line breaks reach the service as UTF-16; the recipient name is
    // converted from the ANSI code page.
    const wchar_t *text = L"Gr\u00fc\u00dfe, \u20ac5\r\nsecond line";
    CHECK(s.compose("ALICE", ""));
    SetWindowTextW(s.control(IDC_RECIPIENT), L"M\u00dcLLER");
    SetWindowTextW(s.control(IDC_MESSAGE), text);
    s.press_send();
    REQUIRE(s.wait_finished(5));
    log = s.log();
    if (CHECK_EQ_INT(log.calls.size(), 5)) {
        CHECK_EQ_STR(log.calls[4].to, utf8(L"M\u00dcLLER"));
        CHECK_EQ_STR(log.calls[4].text, utf8(text));
        CHECK_EQ_INT(log.calls[4].bytes, 2 * wcslen(text));
    }
}

E2E_TEST(send, refused_in_receiver_mode_and_while_disabled)
{
    Messenger s;
    REQUIRE(s.start("refused"));
    // Send starts disabled (empty recipient box); a text set without a box notification
    // leaves it so, and the command does nothing.
    SetWindowTextA(s.control(IDC_RECIPIENT), "ALICE");
    SetWindowTextA(s.control(IDC_MESSAGE), "text");
    CHECK(!enabled(s.app.main, IDC_SEND));
    s.press_send();
    CHECK_MSG(no_call_follows(s, 0), "no send while the button is disabled");
    CHECK_EQ_INT(s.lines().size(), 0);
    CHECK_EQ_STR(s.status(), "Ready");

    // A line of spaces, or an empty box (where Sender mode enables Send, as designed), names
    // nobody: nothing is sent, and the status line says what is missing.
    const char notice[] = "Nothing sent: type a recipient's name in the To: box.";
    CHECK(s.compose("   ", "text"));
    s.press_send();
    CHECK_EQ_STR(s.status(), notice);
    s.compose("", "text");
    send_command(s.app.main, IDC_SENDER);
    CHECK(enabled(s.app.main, IDC_SEND));
    s.press_send();
    CHECK_EQ_STR(s.status(), notice);
    CHECK_MSG(focus_in(s.recipient()), "the focus waits in the To: box");
    CHECK_MSG(no_call_follows(s, 0), "no send without a name");
    CHECK_EQ_INT(s.lines().size(), 0);

    // One real send, so that the log has a line to keep.
    CHECK(s.compose("ALICE", "text"));
    s.press_send();
    REQUIRE(s.wait_finished(1));

    // Receiver mode: refused even with the button forced on; log and status keep their texts.
    send_command(s.app.main, IDC_RECEIVER);
    CHECK_EQ_INT(SendDlgItemMessageA(s.app.main, IDC_RECEIVER, BM_GETCHECK, 0, 0), BST_CHECKED);
    EnableWindow(s.control(IDC_SEND), TRUE);
    std::string status = s.status();
    s.press_send();
    CHECK_MSG(no_call_follows(s, 1), "no send in Receiver mode");
    auto lines = s.lines();
    CHECK_MSG(lines.size() == 1 && lines[0].first == "ALICE - Done", "the log is left as it was");
    CHECK_EQ_STR(s.status(), status);
}

E2E_TEST(send, minimize_on_send_hides_before_the_first_worker)
{
    CHECK(reg_set_dword(nullptr, "MinimizeOnSend", 1));
    Messenger s;
    REQUIRE(s.start("minimize"));
    REQUIRE(show_main(s.app.main));
    CHECK(s.compose("ALICE BOB", "text"));
    s.press_send();
    CHECK_MSG(!IsWindowVisible(s.app.main), "hidden when the Send command has done its work");
    REQUIRE(s.wait_finished(2));
    for (const NetCall &c : s.log().calls)
        CHECK_MSG(c.shown == 0, "the window was hidden when the worker for %s started (shown=%d)", c.to.c_str(),
                  c.shown);
    CHECK_MSG(tray_has("Tolvik"), "the tray icon remains");

    // Already hidden: it stays hidden and the send goes out.
    CHECK(s.compose("CAROL", "text"));
    s.press_send();
    REQUIRE(s.wait_finished(3));
    CHECK(!IsWindowVisible(s.app.main));
    CHECK(has_line(s.lines(), "CAROL - Done", 0));
}

E2E_TEST(send, fault_in_the_service_is_survived)
{
    Messenger s;
    REQUIRE(s.start("fault"));
    CHECK(s.compose("FAULT", "text"));
    s.press_send();
    REQUIRE(s.wait_finished(1));
    CHECK_MSG(s.app.running(), "the program keeps running");
    auto lines = s.lines();
    if (CHECK_EQ_INT(lines.size(), 1)) {
        CHECK_EQ_STR(lines[0].first, "FAULT - Failed: The network message service is unavailable.");
        CHECK_EQ_INT(lines[0].second, 1);
    }
    CHECK_EQ_STR(s.status(), "Last send failed.");
    CHECK_MSG(enabled(s.app.main, IDC_SEND), "Send is enabled again");
    CHECK_MSG(!reg_key_exists("History"), "nothing stored in the histories");

    // A fault ends only its own send: the next name of the same command is sent, and so is
    // every send after a fault, time after time.
    CHECK(s.compose("FAULT BOB", "text"));
    s.press_send();
    REQUIRE(s.wait_finished(3));
    lines = s.lines();
    CHECK_EQ_INT(lines.size(), 2);
    CHECK(has_line(lines, "FAULT - Failed: The network message service is unavailable.", 1));
    CHECK(has_line(lines, "BOB - Done", 0));

    // A user's steps: a Send to XFAULT (the double faults at once, before it logs anything);
    // 100 ms after its line is final and Send is back, a Send to AFTERn typed the same way, and
    // then nothing more done with the window: only the double's log is read until AFTERn's
    // send has been made, with its own text. Ten rounds.
    REQUIRE(show_main(s.app.main));
    REQUIRE(make_foreground(s.app.main));
    auto type_and_send = [&](const std::string &name, const char *text) {
        SetWindowTextA(s.recipient(), "");
        send_command(s.app.main, IDC_SENDER); // the focus into the To: box
        CHECK(wait_focus_in(s.recipient()));
        type_keys(name.c_str());
        chord({VK_CONTROL}, 'A'); // into the message edit, its text selected
        CHECK(wait_focus_in(s.message()));
        type_keys(text);
        PostMessageA(s.control(IDC_SEND), BM_CLICK, 0, 0);
    };
    const std::vector<std::pair<std::string, int>> faulted = {
        {"XFAULT - Failed: The network message service is unavailable.", 1}};
    for (int round = 0; round < 10; ++round) {
        size_t before = s.log().calls.size();
        type_and_send("XFAULT", "fault");
        CHECK(wait_until([&] { return enabled(s.app.main, IDC_SEND) && s.lines() == faulted; }, 10000));
        Sleep(100);
        const std::string after = e2e_format("AFTER%d", round);
        type_and_send(after, "after the fault");
        bool sent = wait_until(
            [&] {
                NetLog l = s.log();
                return l.calls.size() > before && l.all_ended();
            },
            10000);
        NetLog log = s.log();
        if (!CHECK_MSG(sent && log.calls.size() == before + 1, "round %d: %s was sent", round, after.c_str()))
            break;
        CHECK_EQ_STR(log.calls.back().to, after);
        CHECK_EQ_STR(log.calls.back().text, "after the fault");
    }
    CHECK(wait_until([&] { return enabled(s.app.main, IDC_SEND); }, 5000));
}

E2E_TEST(send, thirty_names_then_the_table_again)
{
    Messenger s;
    REQUIRE(s.start("thirty"));
    auto names = [](char letter, int count) {
        std::string text;
        for (int i = 1; i <= count; ++i)
            text += e2e_format("%c%02d ", letter, i);
        return text;
    };
    // 30 names: the first 29 are sent, the 30th gets a failure line that names it.
    CHECK(s.compose(names('N', 30), "text"));
    s.press_send();
    REQUIRE(s.wait_finished(29, 30000));
    NetLog log = s.log();
    CHECK_EQ_INT(log.calls.size(), 29);
    for (int i = 1; i <= 29; ++i)
        CHECK_MSG(log.calls_to(e2e_format("N%02d", i)) == 1, "one call to N%02d", i);
    CHECK_EQ_INT(log.calls_to("N30"), 0);
    auto lines = s.lines();
    CHECK_EQ_INT(lines.size(), 30);
    for (int i = 1; i <= 29; ++i)
        CHECK_MSG(has_line(lines, e2e_format("N%02d - Done", i), 0), "N%02d - Done", i);
    CHECK_MSG(std::any_of(lines.begin(), lines.end(),
                          [](const std::pair<std::string, int> &l) {
                              return l.first.rfind("N30 - Failed", 0) == 0 && l.second == 1;
                          }),
              "a failure line names the 30th");

    // A second Send after the first command's workers ended: the log is emptied and all 29
    // slots of the job table serve again from the first.
    CHECK(s.compose(names('M', 29), "text"));
    s.press_send();
    REQUIRE(s.wait_finished(58, 30000));
    log = s.log();
    CHECK_EQ_INT(log.calls.size(), 58);
    for (int i = 1; i <= 29; ++i)
        CHECK_MSG(log.calls_to(e2e_format("M%02d", i)) == 1, "one call to M%02d", i);
    lines = s.lines();
    CHECK_EQ_INT(lines.size(), 29);
    for (int i = 1; i <= 29; ++i)
        CHECK_MSG(has_line(lines, e2e_format("M%02d - Done", i), 0), "M%02d - Done", i);
}

E2E_TEST(send, overlong_name_is_reported_and_the_rest_sent)
{
    Messenger s;
    REQUIRE(s.start("overlong"));
    const std::string longest(256, 'K'), tooLong(300, 'L');
    std::string recipients = longest + " " + tooLong + " BOB";
    CHECK(s.compose(recipients, "text"));
    CHECK_EQ_INT(item_text(s.app.main, IDC_RECIPIENT).size(), recipients.size());
    s.press_send();
    REQUIRE(s.wait_finished(2));
    NetLog log = s.log();
    CHECK_EQ_INT(log.calls.size(), 2);
    CHECK_MSG(log.calls_to(longest) == 1, "a name of 256 characters is sent whole");
    CHECK_EQ_INT(log.calls_to("BOB"), 1);
    // Each line in its name's place; the refused one names the long name, cut to 256
    // characters and "...". The status says that not everyone got the message.
    auto lines = s.lines();
    if (CHECK_EQ_INT(lines.size(), 3)) {
        CHECK(lines[0] == std::make_pair(longest + " - Done", 0));
        CHECK_MSG(lines[1].first.rfind(std::string(256, 'L') + "... - Failed", 0) == 0 && lines[1].second == 1,
                  "second line: %s", lines[1].first.substr(250).c_str());
        CHECK(lines[2] == std::make_pair(std::string("BOB - Done"), 0));
    }
    CHECK_EQ_STR(s.status(), "Last send incomplete: some names were not sent.");
    CHECK(enabled(s.app.main, IDC_SEND));
}

E2E_TEST(send, the_status_sums_up_and_a_second_send_waits)
{
    Messenger s;
    REQUIRE(s.start("whole_send", "TOLVIK_NETAPI_SLOW_MS=4000"));
    CHECK(s.compose("SLOW E2273", "text"));
    s.press_send();
    REQUIRE(s.wait_ended_beside("E2273", "SLOW"));
    // A Send while SLOW still sends is refused in words; the log keeps the first Send's lines.
    CHECK_MSG(!enabled(s.app.main, IDC_SEND), "Send stays off until the last name has ended");
    CHECK(s.compose("CAROL", "text"));
    s.press_send();
    CHECK_EQ_STR(s.status(), "Still sending: Send works again when every recipient has answered.");
    REQUIRE(s.wait_finished(2));
    CHECK(sync(s.app.main));
    auto lines = s.lines();
    CHECK(lines == (std::vector<std::pair<std::string, int>>{{"SLOW - Done", 0},
                                                              {"E2273 - Failed: The user name could not be found.", 1}}));
    // The status tells of the whole Send, not of the name that ended last.
    CHECK_EQ_STR(s.status(), "Last send incomplete: some names were not sent.");
    CHECK(enabled(s.app.main, IDC_SEND));
    CHECK_EQ_INT(s.log().calls_to("CAROL"), 0);
}

E2E_TEST(send, the_window_answers_while_workers_start)
{
    Messenger s;
    REQUIRE(s.start("spacing"));
    std::string names;
    for (int i = 1; i <= 10; ++i)
        names += e2e_format("P%02d ", i);
    CHECK(s.compose(names, "text"));
    // The Send command returns at once and the workers start 200 ms apart behind it; the first
    // names go out meanwhile: no worker waits for the window.
    s.press_send();
    DWORD answered = GetTickCount();
    REQUIRE(s.wait_finished(10));
    NetLog log = s.log();
    const NetCall *first = log.call_to("P01"), *fifth = log.call_to("P05");
    if (CHECK(first && fifth))
        CHECK_MSG(first->tick < fifth->start, "P01 sent at %lu, P05's worker started at %lu", first->tick,
                  fifth->start);
    auto later = std::count_if(log.calls.begin(), log.calls.end(), [&](const NetCall &c) { return c.start > answered; });
    CHECK_MSG(later >= 5, "%d of 10 workers started after the command returned", static_cast<int>(later));
    CHECK_EQ_STR(s.status(), "Last send successful.");
}

E2E_TEST(send, success_is_stored_in_the_histories)
{
    Messenger s;
    REQUIRE(s.start("history"));
    const char line[] = "ALICE  BOB ";
    CHECK(s.compose(line, "see you at noon"));
    s.press_send();
    REQUIRE(s.wait_finished(2));
    DWORD type = 0;
    std::string data;
    if (CHECK_MSG(reg_get("History", line, type, data), "History holds the whole recipient line")) {
        CHECK_EQ_INT(type, REG_SZ);
        CHECK_EQ_STR(data.c_str(), "see you at noon");
    }
    if (CHECK(reg_get(nullptr, "Last User", type, data)))
        CHECK_EQ_STR(data.c_str(), line);
    // Both saves wrote the same text: one sent message remains.
    std::string sentKey = std::string("History\\") + line;
    std::vector<std::string> names = reg_value_names(sentKey.c_str());
    if (CHECK_EQ_INT(names.size(), 1) && CHECK(reg_get(sentKey.c_str(), names[0].c_str(), type, data)))
        CHECK_EQ_STR(data.c_str(), "see you at noon");
    CHECK_EQ_INT(SendMessageA(s.control(IDC_RECIPIENT), CB_GETCOUNT, 0, 0), 1);
    CHECK_EQ_INT(SendMessageA(s.control(IDC_SENTMESSAGES), CB_GETCOUNT, 0, 0), 1);
}

E2E_TEST(send, a_new_user_types_a_name_and_sends_every_way)
{
    // First run: the recipient box starts empty and Send disabled.
    Messenger s;
    REQUIRE(s.start("new_user"));
    REQUIRE(show_main(s.app.main));
    CHECK(!enabled(s.app.main, IDC_SEND));
    CHECK(make_foreground(s.app.main)); // the focus starts in the recipient box
    CHECK(wait_focus_in(s.recipient()));
    type_keys("alice");
    CHECK(wait_until([&] { return text_of(s.recipient()) == "ALICE"; }, 5000));
    CHECK_MSG(wait_until([&] { return enabled(s.app.main, IDC_SEND); }, 5000), "typing a name enables Send");
    SetWindowTextA(s.message(), "hello");

    // Enter in the recipient box, Ctrl+Enter, the button: each sends.
    const std::function<void()> ways[] = {
        [] { tap(VK_RETURN); },
        [] { chord({VK_CONTROL}, VK_RETURN); },
        [&] { PostMessageA(s.control(IDC_SEND), BM_CLICK, 0, 0); },
    };
    size_t sent = 0;
    for (const auto &way : ways) {
        way();
        ++sent;
        CHECK_MSG(s.wait_finished(sent), "send %zu goes out", sent);
        CHECK(wait_until([&] { return enabled(s.app.main, IDC_SEND); }, 5000));
    }
    CHECK_EQ_INT(s.log().calls_to("ALICE"), 3);
}

E2E_TEST(send, exit_while_a_send_runs)
{
    Messenger s;
    REQUIRE(s.start("exit", "TOLVIK_NETAPI_SLOW_MS=2000"));
    CHECK(s.compose("SLOW", "on its way"));
    s.press_send();
    CHECK(wait_until([&] { return s.log().call_to("SLOW") != nullptr; }, 10000));
    // The worker outlives the window: no crash, no hang, and it stores what it sent. (Whether its
    // thread-detach line reaches the log is a race with the process's end, so it is not checked.)
    post_command(s.app.main, IDM_EXIT);
    CHECK_EQ_INT(app_wait_exit(s.app, 20000), 0);
    DWORD type = 0;
    std::string stored;
    CHECK(reg_get("History", "SLOW", type, stored) && stored == std::string("on its way") + '\0');
}
