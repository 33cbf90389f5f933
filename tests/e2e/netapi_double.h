// netapi_double.h - a tolvik.exe whose message service is the recording netapi32.dll test
// double: starting it, composing and sending, and reading back the calls the double logged,
// the send log list and the status line. Shared by the send, history and keys suites.
#ifndef TOLVIK_E2E_NETAPI_DOUBLE_H
#define TOLVIK_E2E_NETAPI_DOUBLE_H

#include "base/ids.h"
#include "tests/e2e/helpers.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

// One NetMessageBufferSend call as the double recorded it.
struct NetCall {
    unsigned long tid = 0, start = 0, tick = 0; // start: GetTickCount of the thread's start; tick: of the call
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
    // (recipient, text) of every call, sorted: workers of one command call in either order.
    std::vector<std::pair<std::string, std::string>> sent() const
    {
        std::vector<std::pair<std::string, std::string>> out;
        for (const NetCall &c : calls)
            out.emplace_back(c.to, c.text);
        std::sort(out.begin(), out.end());
        return out;
    }
};

inline std::string netlog_field(const std::string &line, const char *key)
{
    std::string k = std::string(" ") + key + "=";
    size_t at = (" " + line).find(k);
    if (at == std::string::npos)
        return std::string();
    at += k.size() - 1;
    size_t end = line.find(' ', at);
    return line.substr(at, end == std::string::npos ? std::string::npos : end - at);
}

inline std::string netlog_unhex(const std::string &hex)
{
    std::string out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out += static_cast<char>(std::strtoul(hex.substr(i, 2).c_str(), nullptr, 16));
    return out;
}

inline NetLog read_netlog(const std::string &path)
{
    NetLog log;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        auto number = [&](const char *key) { return std::strtoul(netlog_field(line, key).c_str(), nullptr, 10); };
        if (line.rfind("call ", 0) == 0) {
            NetCall c;
            c.tid = number("tid");
            c.start = number("start");
            c.tick = number("tick");
            c.shown = std::atoi(netlog_field(line, "shown").c_str());
            c.serverNull = netlog_field(line, "server") == "null";
            c.senderNull = netlog_field(line, "from") == "null";
            c.to = netlog_unhex(netlog_field(line, "to"));
            c.bytes = number("bytes");
            c.text = netlog_unhex(netlog_field(line, "text"));
            log.calls.push_back(c);
        } else if (line.rfind("exit ", 0) == 0) {
            log.exited.push_back(number("tid"));
        }
    }
    return log;
}

// A tolvik.exe with the recording double, writing to a log of its own (emptied at each start).
// The double stays selected for tolvik.exe in this prefix until the Messenger goes.
struct Messenger {
    App app;
    std::string logPath;

    Messenger() = default;
    Messenger(const Messenger &) = delete;
    Messenger &operator=(const Messenger &) = delete;
    ~Messenger() { netapi_double_enable(false); }

    // Starts tolvik and waits until the start-up hide has hidden its window.
    bool start(const char *name = "calls", const char *moreEnv = nullptr)
    {
        logPath = program_dir() + "netapi-" + name + ".txt";
        DeleteFileA(logPath.c_str());
        if (!netapi_double_enable(true))
            return false;
        std::string env = std::string(kNetapiDoubleEnv) + "\nTOLVIK_NETAPI_LOG=" + logPath;
        if (moreEnv)
            env += std::string("\n") + moreEnv;
        return start_in_tray(app, env.c_str());
    }
    NetLog log() const { return read_netlog(logPath); }
    HWND control(int id) const { return GetDlgItem(app.main, id); }
    HWND recipient() const { return control(IDC_RECIPIENT); }
    HWND message() const { return control(IDC_MESSAGE); }
    HWND sent() const { return control(IDC_SENTMESSAGES); }

    // Puts a recipient line into the box as a choice from its list does (which enables Send),
    // then the message; true when Send is enabled afterwards.
    bool compose(const std::string &line, const std::string &text) const
    {
        SendMessageA(recipient(), CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
        SetWindowTextA(recipient(), line.c_str());
        send_command(app.main, IDC_RECIPIENT, CBN_SELCHANGE, recipient());
        SetWindowTextA(message(), text.c_str());
        return enabled(app.main, IDC_SEND);
    }
    // The Send command (1001) as the button or Ctrl+Enter issues it; returns when it has
    // started its workers.
    void press_send() const
    {
        DWORD_PTR result = 0;
        SendMessageTimeoutA(app.main, WM_COMMAND, MAKEWPARAM(IDC_SEND, 0), 0, SMTO_NORMAL, 60000, &result);
    }
    // Waits until `count` calls were made in all and every calling thread has ended (a worker
    // ends after its history saves).
    bool wait_finished(size_t count, DWORD timeoutMs = 20000) const
    {
        return wait_until(
            [&] {
                NetLog l = log();
                return l.calls.size() >= count && l.all_ended();
            },
            timeoutMs);
    }
    // Waits until the call to `ended` has ended and the one to `called` was made.
    bool wait_ended_beside(const char *ended, const char *called) const
    {
        return wait_until(
            [&] {
                NetLog l = log();
                const NetCall *c = l.call_to(ended);
                return c && l.ended(*c) && l.call_to(called);
            },
            10000);
    }
    // Send to `names` names and wait until each of them was called and every worker has ended.
    bool send(size_t names)
    {
        size_t before = log().calls.size();
        press_send();
        return wait_finished(before + names);
    }
    bool send(const std::string &line, const std::string &text, size_t names = 1)
    {
        compose(line, text);
        return send(names);
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
    // Chooses the recipient list's item `index` as the drop-down list does.
    void choose(int index) const
    {
        SendMessageA(recipient(), CB_SETCURSEL, index, 0);
        send_command(app.main, IDC_RECIPIENT, CBN_SELCHANGE, recipient());
    }
};

#endif
