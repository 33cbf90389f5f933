// send_e2e.cpp - the Send command and its workers against the recording netapi32.dll: the
// split of the recipient text, the calls handed to the message service, the send log lines,
// the status line, the Send button, MinimizeOnSend, faults, limits and the histories.
#include "tests/e2e/check.h"
#include "tests/e2e/harness.h"

#include "app/ids.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

// One NetMessageBufferSend call as the double recorded it.
struct NetCall {
    unsigned long tid = 0, start = 0, tick = 0;
    int shown = -1;            // visible dialogs of tolvik when the calling thread started
    bool serverNull = false, senderNull = false;
    std::string to, text;      // UTF-8
    unsigned long bytes = 0;
};

struct NetLog {
    std::vector<NetCall> calls;
    std::vector<unsigned long> exited; // threads that called and have ended

    const NetCall *call_to(const std::string &name) const
    {
        for (const NetCall &c : calls)
            if (c.to == name)
                return &c;
        return nullptr;
    }
    int calls_to(const std::string &name) const
    {
        return static_cast<int>(std::count_if(calls.begin(), calls.end(), [&](const NetCall &c) { return c.to == name; }));
    }
    bool ended(const NetCall &c) const { return std::find(exited.begin(), exited.end(), c.tid) != exited.end(); }
    bool all_ended() const
    {
        return std::all_of(calls.begin(), calls.end(), [&](const NetCall &c) { return ended(c); });
    }
};

std::string field(const std::string &line, const char *key)
{
    std::string k = std::string(" ") + key + "=";
    size_t at = (" " + line).find(k);
    if (at == std::string::npos)
        return std::string();
    at += k.size() - 1;
    return line.substr(at, line.find(' ', at) == std::string::npos ? std::string::npos : line.find(' ', at) - at);
}

std::string from_hex(const std::string &hex)
{
    std::string out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out += static_cast<char>(std::strtoul(hex.substr(i, 2).c_str(), nullptr, 16));
    return out;
}

NetLog read_netlog(const std::string &path)
{
    NetLog log;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        auto number = [&](const char *key) { return std::strtoul(field(line, key).c_str(), nullptr, 10); };
        if (line.rfind("call ", 0) == 0) {
            NetCall c;
            c.tid = number("tid");
            c.start = number("start");
            c.shown = std::atoi(field(line, "shown").c_str());
            c.tick = number("tick");
            c.serverNull = field(line, "server") == "null";
            c.senderNull = field(line, "from") == "null";
            c.to = from_hex(field(line, "to"));
            c.bytes = number("bytes");
            c.text = from_hex(field(line, "text"));
            log.calls.push_back(c);
        } else if (line.rfind("exit ", 0) == 0) {
            log.exited.push_back(number("tid"));
        }
    }
    return log;
}

std::string utf8(const wchar_t *text)
{
    int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], size, nullptr, nullptr);
    out.resize(out.empty() ? 0 : out.size() - 1);
    return out;
}

// A tolvik.exe with the recording double, writing to a log of its own (emptied first).
// The double stays selected for tolvik.exe in this prefix until the Sender goes.
struct Sender {
    App app;
    std::string logPath;

    Sender() = default;
    Sender(const Sender &) = delete;
    Sender &operator=(const Sender &) = delete;
    ~Sender() { netapi_double_enable(false); }

    bool start(const char *name, const char *moreEnv = nullptr)
    {
        logPath = program_dir() + "netapi-" + name + ".txt";
        DeleteFileA(logPath.c_str());
        if (!netapi_double_enable(true))
            return false;
        std::string env = std::string(kNetapiDoubleEnv) + "\nTOLVIK_NETAPI_LOG=" + logPath;
        if (moreEnv)
            env += std::string("\n") + moreEnv;
        return app_start_main(app, 15000, env.c_str());
    }
    NetLog log() const { return read_netlog(logPath); }
    HWND control(int id) const { return GetDlgItem(app.main, id); }

    // Types the recipient line the way the box reports a choice (which enables Send), then the
    // message; true when Send is enabled afterwards.
    bool compose(const std::string &recipients, const std::string &message)
    {
        SetWindowTextA(control(IDC_RECIPIENT), recipients.c_str());
        send_command(app.main, IDC_RECIPIENT, CBN_SELCHANGE, control(IDC_RECIPIENT));
        SetWindowTextA(control(IDC_MESSAGE), message.c_str());
        return enabled(app.main, IDC_SEND);
    }
    // The Send command (1001) as the button or Ctrl+Enter issues it; returns when it has
    // started its workers.
    void press_send() const
    {
        DWORD_PTR result = 0;
        SendMessageTimeoutA(app.main, WM_COMMAND, MAKEWPARAM(IDC_SEND, 0), 0, SMTO_NORMAL, 60000, &result);
    }
    // Waits until `count` calls were made and every calling thread has ended.
    bool wait_finished(size_t count, DWORD timeoutMs = 20000) const
    {
        return wait_until(
            [&] {
                NetLog l = log();
                return l.calls.size() >= count && l.all_ended();
            },
            timeoutMs);
    }
    // Lines of the send log with their images.
    std::vector<std::pair<std::string, int>> lines() const
    {
        std::vector<std::pair<std::string, int>> out;
        HWND list = control(IDC_SENDLOG);
        for (int i = 0, n = lv_count(list); i < n; ++i)
            out.emplace_back(lv_text(list, i, 0), lv_image(list, i));
        return out;
    }
    std::string status() const { return item_text(app.main, IDC_STATUS); }
};

// Brings the window forward (message 1690) and makes sure it stays: the start-up hide timer
// (once, 100 ms after the initialisation) may still hide a window shown right after start.
bool show_window(const App &app)
{
    for (int attempt = 0; attempt < 3; ++attempt) {
        PostMessageA(app.main, WM_ACTIVATEINSTANCE, 0, 0);
        if (!wait_until([&] { return IsWindowVisible(app.main) != FALSE; }, 5000))
            continue;
        Sleep(400);
        if (IsWindowVisible(app.main))
            return true;
    }
    return false;
}

bool has_line(const std::vector<std::pair<std::string, int>> &lines, const std::string &text, int image)
{
    return std::find(lines.begin(), lines.end(), std::make_pair(text, image)) != lines.end();
}

// Nothing reaches the message service within a second after a Send command that must do nothing.
bool no_call_follows(const Sender &s, size_t before)
{
    return !wait_until([&] { return s.log().calls.size() > before; }, 1000);
}

} // namespace

E2E_TEST(send, two_names_one_worker_each_200ms_apart)
{
    reg_reset();
    Sender s;
    if (!CHECK(s.start("two_names", "TOLVIK_NETAPI_SLOW_MS=3000")))
        return;
    CHECK(show_window(s.app));
    CHECK(s.compose("SLOW1  SLOW2 ", "hello"));
    s.press_send();

    // While both sends run: one "Sending to" line per name, in order, with the sending image.
    if (!CHECK(wait_until([&] { return s.log().calls.size() >= 2; }, 10000)))
        return;
    auto lines = s.lines();
    if (CHECK_EQ_INT(lines.size(), 2)) {
        CHECK_EQ_STR(lines[0].first, "Sending to SLOW1 ...");
        CHECK_EQ_INT(lines[0].second, 2);
        CHECK_EQ_STR(lines[1].first, "Sending to SLOW2 ...");
        CHECK_EQ_INT(lines[1].second, 2);
    }
    CHECK_EQ_STR(s.status(), "Sending ...");
    CHECK_MSG(!enabled(s.app.main, IDC_SEND), "Send is disabled while the workers send");

    if (!CHECK(s.wait_finished(2)))
        return;
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
    CHECK_EQ_INT(app_exit(s.app), 0);
}

E2E_TEST(send, each_failure_code_has_its_texts)
{
    reg_reset();
    Sender s;
    if (!CHECK(s.start("codes")))
        return;
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
        if (!CHECK(s.wait_finished(++made)))
            return;
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
    if (!CHECK(s.wait_finished(++made)))
        return;
    CHECK_EQ_STR(s.status(), "Last send failed.");
    auto lines = s.lines();
    if (CHECK_EQ_INT(lines.size(), 1)) {
        const std::string &line = lines[0].first;
        CHECK_MSG(line.rfind("E1234 - Failed", 0) == 0 && line.find("1234", 5) != std::string::npos,
                  "line names the recipient and the code: \"%s\"", line.c_str());
        CHECK_EQ_INT(lines[0].second, 1);
    }
    CHECK_EQ_INT(s.log().calls.size(), made);
    CHECK_MSG(!reg_key_exists("History"), "failures store nothing in the history");
    DWORD type = 0;
    std::string data;
    CHECK_MSG(!reg_get(nullptr, "Last User", type, data), "failures set no Last User");
    CHECK_EQ_INT(app_exit(s.app), 0);
}

E2E_TEST(send, message_and_name_as_handed_to_the_service)
{
    reg_reset();
    Sender s;
    if (!CHECK(s.start("arguments")))
        return;
    // An empty message is sent with length 0.
    CHECK(s.compose("ALICE", ""));
    s.press_send();
    if (!CHECK(s.wait_finished(1)))
        return;
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
    if (!CHECK(s.wait_finished(2)))
        return;
    log = s.log();
    if (CHECK_EQ_INT(log.calls.size(), 2)) {
        CHECK_EQ_INT(log.calls[1].bytes, 2046);
        CHECK_MSG(log.calls[1].text == longText.substr(0, 1023), "the first 1023 characters, got %u",
                  static_cast<unsigned>(log.calls[1].text.size()));
    }

    // Text beyond ASCII and line breaks reach the service as UTF-16; the recipient name is
    // converted from the ANSI code page.
    const wchar_t *text = L"Gr\u00fc\u00dfe, \u20ac5\r\nsecond line";
    CHECK(s.compose("ALICE", ""));
    SetWindowTextW(s.control(IDC_RECIPIENT), L"M\u00dcLLER");
    SetWindowTextW(s.control(IDC_MESSAGE), text);
    s.press_send();
    if (!CHECK(s.wait_finished(3)))
        return;
    log = s.log();
    if (CHECK_EQ_INT(log.calls.size(), 3)) {
        CHECK_EQ_STR(log.calls[2].to, utf8(L"M\u00dcLLER"));
        CHECK_EQ_STR(log.calls[2].text, utf8(text));
        CHECK_EQ_INT(log.calls[2].bytes, 2 * wcslen(text));
    }
    CHECK_EQ_INT(app_exit(s.app), 0);
}

E2E_TEST(send, refused_in_receiver_mode_and_while_disabled)
{
    reg_reset();
    Sender s;
    if (!CHECK(s.start("refused")))
        return;
    // Send starts disabled (empty recipient box); a text set without a box notification
    // leaves it so, and the command does nothing.
    SetWindowTextA(s.control(IDC_RECIPIENT), "ALICE");
    SetWindowTextA(s.control(IDC_MESSAGE), "text");
    CHECK(!enabled(s.app.main, IDC_SEND));
    s.press_send();
    CHECK_MSG(no_call_follows(s, 0), "no send while the button is disabled");
    CHECK_EQ_INT(s.lines().size(), 0);
    CHECK_EQ_STR(s.status(), "Ready");

    // A line of spaces names nobody: no worker, and Send stays disabled.
    CHECK(s.compose("   ", "text"));
    s.press_send();
    CHECK_MSG(no_call_follows(s, 0), "no send for a line of spaces");
    CHECK_MSG(!enabled(s.app.main, IDC_SEND), "Send stays disabled");
    CHECK_EQ_INT(s.lines().size(), 0);

    // One real send, so that the log has a line to keep.
    CHECK(s.compose("ALICE", "text"));
    s.press_send();
    if (!CHECK(s.wait_finished(1)))
        return;

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
    CHECK_EQ_INT(app_exit(s.app), 0);
}

E2E_TEST(send, minimize_on_send_hides_before_the_first_worker)
{
    reg_reset();
    CHECK(reg_set_dword(nullptr, "MinimizeOnSend", 1));
    Sender s;
    if (!CHECK(s.start("minimize")))
        return;
    if (!CHECK(show_window(s.app)))
        return;
    CHECK(s.compose("ALICE BOB", "text"));
    s.press_send();
    CHECK_MSG(!IsWindowVisible(s.app.main), "hidden when the Send command has done its work");
    if (!CHECK(s.wait_finished(2)))
        return;
    for (const NetCall &c : s.log().calls)
        CHECK_MSG(c.shown == 0, "the window was hidden when the worker for %s started (shown=%d)", c.to.c_str(),
                  c.shown);
    CHECK_MSG(tray_has("Tolvik"), "the tray icon remains");

    // Already hidden: it stays hidden and the send goes out.
    CHECK(s.compose("CAROL", "text"));
    s.press_send();
    if (!CHECK(s.wait_finished(3)))
        return;
    CHECK(!IsWindowVisible(s.app.main));
    CHECK(has_line(s.lines(), "CAROL - Done", 0));
    CHECK_EQ_INT(app_exit(s.app), 0);
}

E2E_TEST(send, fault_in_the_service_is_survived)
{
    reg_reset();
    Sender s;
    if (!CHECK(s.start("fault")))
        return;
    CHECK(s.compose("FAULT", "text"));
    s.press_send();
    if (!CHECK(s.wait_finished(1)))
        return;
    CHECK_MSG(s.app.running(), "the program keeps running");
    auto lines = s.lines();
    if (CHECK_EQ_INT(lines.size(), 1)) {
        CHECK_EQ_STR(lines[0].first, "FAULT - Failed: The network message service is unavailable.");
        CHECK_EQ_INT(lines[0].second, 1);
    }
    CHECK_EQ_STR(s.status(), "Last send failed.");
    CHECK_MSG(enabled(s.app.main, IDC_SEND), "Send is enabled again");
    CHECK_MSG(!reg_key_exists("History"), "nothing stored in the histories");

    // A fault ends only its own worker: the next name of the same command is sent.
    CHECK(s.compose("FAULT BOB", "text"));
    s.press_send();
    if (!CHECK(s.wait_finished(3)))
        return;
    lines = s.lines();
    CHECK_EQ_INT(lines.size(), 2);
    CHECK(has_line(lines, "FAULT - Failed: The network message service is unavailable.", 1));
    CHECK(has_line(lines, "BOB - Done", 0));
    CHECK(enabled(s.app.main, IDC_SEND));
    CHECK_EQ_INT(app_exit(s.app), 0);
}

E2E_TEST(send, thirty_names_then_the_table_again)
{
    reg_reset();
    Sender s;
    if (!CHECK(s.start("thirty")))
        return;
    auto names = [](char letter, int count) {
        std::string text;
        for (int i = 1; i <= count; ++i)
            text += e2e_format("%c%02d ", letter, i);
        return text;
    };
    // 30 names: the first 29 are sent, the 30th gets a failure line that names it.
    CHECK(s.compose(names('N', 30), "text"));
    s.press_send();
    if (!CHECK(s.wait_finished(29, 30000)))
        return;
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
    if (!CHECK(s.wait_finished(58, 30000)))
        return;
    log = s.log();
    CHECK_EQ_INT(log.calls.size(), 58);
    for (int i = 1; i <= 29; ++i)
        CHECK_MSG(log.calls_to(e2e_format("M%02d", i)) == 1, "one call to M%02d", i);
    lines = s.lines();
    CHECK_EQ_INT(lines.size(), 29);
    for (int i = 1; i <= 29; ++i)
        CHECK_MSG(has_line(lines, e2e_format("M%02d - Done", i), 0), "M%02d - Done", i);
    CHECK_EQ_INT(app_exit(s.app), 0);
}

E2E_TEST(send, overlong_name_is_reported_and_the_rest_sent)
{
    reg_reset();
    Sender s;
    if (!CHECK(s.start("overlong")))
        return;
    const std::string longest(256, 'K'), tooLong(300, 'L');
    std::string recipients = tooLong + " " + longest + " BOB";
    CHECK(s.compose(recipients, "text"));
    CHECK_EQ_INT(item_text(s.app.main, IDC_RECIPIENT).size(), recipients.size());
    s.press_send();
    if (!CHECK(s.wait_finished(2)))
        return;
    NetLog log = s.log();
    CHECK_EQ_INT(log.calls.size(), 2);
    CHECK_MSG(log.calls_to(longest) == 1, "a name of 256 characters is sent whole");
    CHECK_EQ_INT(log.calls_to("BOB"), 1);
    auto lines = s.lines();
    CHECK_EQ_INT(lines.size(), 3);
    CHECK(has_line(lines, longest + " - Done", 0));
    CHECK(has_line(lines, "BOB - Done", 0));
    const std::string shown = std::string(256, 'L') + "... - Failed";
    CHECK_MSG(std::any_of(lines.begin(), lines.end(),
                          [&](const std::pair<std::string, int> &l) {
                              return l.first.rfind(shown, 0) == 0 && l.second == 1;
                          }),
              "a failure line names the long name, cut to 256 characters and \"...\"");
    CHECK(enabled(s.app.main, IDC_SEND));
    CHECK_EQ_INT(app_exit(s.app), 0);
}

E2E_TEST(send, earlier_worker_leaves_the_new_log_alone)
{
    reg_reset();
    Sender s;
    if (!CHECK(s.start("generations", "TOLVIK_NETAPI_SLOW_MS=4000")))
        return;
    CHECK(s.compose("SLOW BOB", "text"));
    s.press_send();
    // BOB's worker ends first and enables Send while SLOW's still sends.
    if (!CHECK(wait_until(
            [&] {
                NetLog l = s.log();
                const NetCall *bob = l.call_to("BOB");
                return bob && l.ended(*bob) && l.call_to("SLOW");
            },
            10000)))
        return;
    CHECK(wait_until([&] { return enabled(s.app.main, IDC_SEND); }, 5000));
    auto lines = s.lines();
    CHECK(has_line(lines, "Sending to SLOW ...", 2));
    CHECK(has_line(lines, "BOB - Done", 0));

    CHECK(s.compose("CAROL", "text"));
    s.press_send();
    if (!CHECK(wait_until(
            [&] {
                NetLog l = s.log();
                const NetCall *carol = l.call_to("CAROL");
                return carol && l.ended(*carol);
            },
            10000)))
        return;
    NetLog log = s.log();
    const NetCall *slow = log.call_to("SLOW");
    CHECK_MSG(slow && !log.ended(*slow), "SLOW still sends when the second command's line is done");
    if (!CHECK(s.wait_finished(3)))
        return;
    lines = s.lines();
    if (CHECK_EQ_INT(lines.size(), 1)) {
        CHECK_EQ_STR(lines[0].first, "CAROL - Done");
        CHECK_EQ_INT(lines[0].second, 0);
    }
    CHECK(enabled(s.app.main, IDC_SEND));
    CHECK_EQ_INT(app_exit(s.app), 0);
}

E2E_TEST(send, success_is_stored_in_the_histories)
{
    reg_reset();
    Sender s;
    if (!CHECK(s.start("history")))
        return;
    const char line[] = "ALICE  BOB ";
    CHECK(s.compose(line, "see you at noon"));
    s.press_send();
    if (!CHECK(s.wait_finished(2)))
        return;
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
    CHECK_EQ_INT(app_exit(s.app), 0);
}
