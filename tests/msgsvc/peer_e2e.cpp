// peer_e2e.cpp - the cases that tests/msgsvc/run-interop.sh runs in each "computer" (Wine prefix) of the
// messenger interop test, driving the real tolvik.exe against real peers. Parameters come from the
// environment, texts with the escapes \n (a line break, CR LF) and \\:
//   send:    PEER_TO (recipient line), PEER_TEXT, PEER_EXPECT ("Done" or a failure text without "%s - ")
//            - Tolvik sends PEER_TEXT to PEER_TO, the send log line reads "PEER_TO - PEER_EXPECT".
//   receive: PEER_EXPECT_FILE (lines "FROM<TAB>TO<TAB>TEXT"; empty or missing: no message), PEER_WAIT (s),
//            PEER_RUSSIAN=1 on a Windows-1251 system
//            - Tolvik files exactly those messages, each with its From and To columns and its text after the
//              header (the Russian header with PEER_RUSSIAN), and no Messenger popup is left open.
//   poke:    - another program posts the service's window every application message with junk parameters.
//   popup:   PEER_WAIT (s), PEER_UNTAKEN (a text) - the one Messenger popup open lies, OK button included, within
//              the work area; it is answered with OK. With PEER_UNTAKEN, a Tolvik that does not monitor runs and
//              sends that text to PEER_TO first: the service tells it of the popup, and shows the popup itself when
//              it is not taken.
#include "tests/e2e/check.h"
#include "tests/e2e/harness.h"

#include "base/ids.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

std::string env(const char *name, const char *fallback = "")
{
    const char *v = std::getenv(name);
    return v ? v : fallback;
}

std::string unescape(const std::string &s)
{
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size() && s[i + 1] == 'n') {
            out += "\r\n";
            ++i;
        } else if (s[i] == '\\' && i + 1 < s.size() && s[i + 1] == '\\') {
            out += '\\';
            ++i;
        } else {
            out += s[i];
        }
    }
    return out;
}

struct Expected {
    std::string from, to, text;
};

std::vector<Expected> read_expected(const std::string &path)
{
    std::vector<Expected> out;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const std::size_t a = line.find('\t'), b = a == std::string::npos ? a : line.find('\t', a + 1);
        if (b == std::string::npos)
            continue;
        out.push_back({line.substr(0, a), line.substr(a + 1, b - a - 1), unescape(line.substr(b + 1))});
    }
    return out;
}

// Full texts that Tolvik keeps for the filed messages (KeepIncoming is on by default), in list order.
std::vector<std::string> stored_full_texts()
{
    std::vector<std::string> out;
    for (const std::string &name : reg_value_names("Messages")) {
        DWORD type = 0;
        std::string data;
        if (reg_get("Messages", name.c_str(), type, data)) {
            while (!data.empty() && data.back() == '\0')
                data.pop_back();
            out.push_back(data);
        }
    }
    return out;
}

// The Messenger popups open now.
std::vector<HWND> popups()
{
    std::vector<HWND> found;
    EnumWindows(
        [](HWND w, LPARAM lp) -> BOOL {
            char title[80] = "";
            GetWindowTextA(w, title, sizeof title);
            const std::string t = title;
            if (t == "Messenger service " || t == "\xD1\xEB\xF3\xE6\xE1\xE0 \xF1\xEE\xEE\xE1\xF9\xE5\xED\xE8\xE9 ")
                reinterpret_cast<std::vector<HWND> *>(lp)->push_back(w);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

int open_popups() { return static_cast<int>(popups().size()); }

bool inside(const RECT &inner, const RECT &outer)
{
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

} // namespace

// Tolvik sends text to `to`; its send log must say `expect`.
static void send_with(App &app, const std::string &to, const std::string &text, const std::string &expect)
{
    HWND recipient = GetDlgItem(app.main, IDC_RECIPIENT);
    SetWindowTextA(recipient, to.c_str());
    send_command(app.main, IDC_RECIPIENT, CBN_SELCHANGE, recipient);
    SetWindowTextA(GetDlgItem(app.main, IDC_MESSAGE), text.c_str());
    CHECK(enabled(app.main, IDC_SEND));
    send_command(app.main, IDC_SEND);
    HWND log = GetDlgItem(app.main, IDC_SENDLOG);
    const std::string sending = "Sending to " + to + " ...";
    CHECK(wait_until([&] { return lv_count(log) == 1 && lv_text(log, 0, 0) != sending && enabled(app.main, IDC_SEND); },
                     30000));
    CHECK_EQ_STR(lv_text(log, 0, 0), to + " - " + expect);
    CHECK_EQ_INT(lv_image(log, 0), expect == "Done" ? 0 : 1);
    CHECK_EQ_STR(item_text(app.main, IDC_STATUS), expect == "Done" ? "Last send successful." : expect);
}

E2E_TEST(peer, send)
{
    const std::string to = env("PEER_TO"), text = unescape(env("PEER_TEXT")), expect = env("PEER_EXPECT", "Done");
    REQUIRE_MSG(!to.empty(), "PEER_TO is not set");
    App app;
    REQUIRE(app_start_main(app));
    send_with(app, to, text, expect);
}

E2E_TEST(peer, receive)
{
    const std::vector<Expected> expected = read_expected(env("PEER_EXPECT_FILE"));
    const DWORD waitMs = static_cast<DWORD>(std::atoi(env("PEER_WAIT", "20").c_str())) * 1000;
    const bool russian = env("PEER_RUSSIAN") == "1";
    if (russian)
        CHECK_EQ_INT(GetACP(), 1251);
    App app;
    REQUIRE(app_start_main(app));
    HWND list = GetDlgItem(app.main, IDC_INCOMING);
    CHECK_MSG(wait_until([&] { return lv_count(list) >= static_cast<int>(expected.size()) && open_popups() == 0; },
                         waitMs),
              "%d of %d messages filed, %d popups open", lv_count(list), static_cast<int>(expected.size()),
              open_popups());
    // Nothing beyond what was sent arrives later either.
    CHECK_MSG(!wait_until([&] { return lv_count(list) > static_cast<int>(expected.size()) || open_popups() > 0; }, 1500),
              "%d messages filed, %d popups open", lv_count(list), open_popups());
    CHECK_EQ_INT(lv_count(list), expected.size());
    std::vector<std::string> columns;  // "FROM|TO" of each filed message, as the list shows them
    for (int i = 0, n = lv_count(list); i < n; ++i)
        columns.push_back(lv_text(list, i, 1) + "|" + lv_text(list, i, 2));
    CHECK_EQ_INT(app_exit(app), 0); // the store read below is what Exit saved
    for (const Expected &e : expected) {
        auto at = std::find(columns.begin(), columns.end(), e.from + "|" + e.to);
        CHECK_MSG(at != columns.end(), "no list line with From %s and To %s", e.from.c_str(), e.to.c_str());
        if (at != columns.end())
            columns.erase(at);
    }

    const std::vector<std::string> stored = stored_full_texts();
    CHECK_EQ_INT(stored.size(), expected.size());
    std::vector<bool> used(stored.size(), false);
    for (const Expected &e : expected) {
        const std::string head = russian ? "\xD1\xEE\xEE\xE1\xF9\xE5\xED\xE8\xE5 \xEE\xF2 " + e.from + " \xE4\xEB\xFF " +
                                               e.to + " \xED\xE0 "
                                         : "Message from " + e.from + " to " + e.to + " on ";
        bool found = false;
        for (std::size_t i = 0; i < stored.size() && !found; ++i) {
            const std::string &s = stored[i];
            const std::size_t body = s.find("\r\n\r\n");
            if (!used[i] && s.rfind(head, 0) == 0 && body != std::string::npos && s.substr(body + 4) == e.text)
                used[i] = found = true;
        }
        CHECK_MSG(found, "no message from %s to %s with text \"%s\"", e.from.c_str(), e.to.c_str(), e.text.c_str());
    }
}

E2E_TEST(peer, poke)
{
    HWND service = FindWindowExA(HWND_MESSAGE, nullptr, "TolvikMsgsvc", nullptr);
    REQUIRE_MSG(service != nullptr, "the message service's window is not there");
    const LPARAM junk[] = {0, 1, 0x1234, -1, reinterpret_cast<LPARAM>(service)};
    for (UINT msg = WM_APP; msg < WM_APP + 16; ++msg)
        for (LPARAM l : junk)
            CHECK(PostMessageA(service, msg, static_cast<WPARAM>(l), l));
    // Whatever the window does with them, it has done once a message sent after them comes back.
    DWORD_PTR result = 0;
    CHECK_MSG(SendMessageTimeoutA(service, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 10000, &result) != 0,
              "the service's window does not answer any more");
}

E2E_TEST(peer, popup)
{
    const DWORD waitMs = static_cast<DWORD>(std::atoi(env("PEER_WAIT", "20").c_str())) * 1000;
    App app;
    if (!env("PEER_UNTAKEN").empty()) {
        reg_set_dword(nullptr, "Monitor", 0);
        REQUIRE(app_start_main(app));
        send_with(app, env("PEER_TO"), env("PEER_UNTAKEN"), "Done");
    }
    // The service lists a popup a moment before it shows it (placing it first): wait until it is on the screen.
    REQUIRE_MSG(wait_until([] { return open_popups() == 1 && IsWindowVisible(popups()[0]); }, waitMs),
                "%d popups open, none of them shown", open_popups());
    HWND popup = popups()[0];
    HWND ok = GetWindow(popup, GW_CHILD);
    RECT work, box, button;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    GetWindowRect(popup, &box);
    GetWindowRect(ok, &button);
    CHECK_MSG(inside(box, work), "the popup (%ld,%ld)-(%ld,%ld) leaves the work area (%ld,%ld)-(%ld,%ld)", box.left,
              box.top, box.right, box.bottom, work.left, work.top, work.right, work.bottom);
    CHECK_MSG(inside(button, box) && inside(button, work), "its OK button (%ld,%ld)-(%ld,%ld) is not on screen",
              button.left, button.top, button.right, button.bottom);
    PostMessageA(popup, WM_COMMAND, IDOK, 0);
    CHECK(wait_until([] { return open_popups() == 0; }, 10000));
}
