// win_config.cpp - msgsvc.ini reading, the service log and small Winsock helpers.
#include "msgsvc/win_config.h"

#include "msgsvc/lmhosts.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace msgsvc {

namespace {

CRITICAL_SECTION g_log_lock;

BOOL CALLBACK init_log_lock(PINIT_ONCE, PVOID, PVOID *)
{
    InitializeCriticalSection(&g_log_lock);
    return TRUE;
}

CRITICAL_SECTION *log_lock()
{
    static INIT_ONCE once = INIT_ONCE_STATIC_INIT;
    InitOnceExecuteOnce(&once, init_log_lock, nullptr, nullptr);
    return &g_log_lock;
}

std::string read_string(const std::string &ini, const char *section, const char *key, const char *fallback)
{
    char buf[2048];
    GetPrivateProfileStringA(section, key, fallback, buf, sizeof buf, ini.c_str());
    std::string s = buf;
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.pop_back();
    std::size_t b = 0;
    while (b < s.size() && (s[b] == ' ' || s[b] == '\t'))
        ++b;
    return s.substr(b);
}

unsigned read_number(const std::string &ini, const char *section, const char *key, unsigned fallback,
                     unsigned low, unsigned high)
{
    const std::string s = read_string(ini, section, key, "");
    if (s.empty())
        return fallback;
    char *end = nullptr;
    const unsigned long v = std::strtoul(s.c_str(), &end, 10);
    if (*end || v < low || v > high)
        return fallback;
    return static_cast<unsigned>(v);
}

bool read_flag(const std::string &ini, const char *section, const char *key, bool fallback)
{
    const std::string s = read_string(ini, section, key, "");
    if (s.empty())
        return fallback;
    const char c = s[0];
    if (c == '1' || c == 'y' || c == 'Y' || c == 't' || c == 'T' || s == "on" || s == "ON")
        return true;
    if (c == '0' || c == 'n' || c == 'N' || c == 'f' || c == 'F' || s == "off" || s == "OFF")
        return false;
    return fallback;
}

std::vector<std::string> split_list(const std::string &s)
{
    std::vector<std::string> out;
    std::string cur;
    for (char c : s + ",") {
        if (c == ',' || c == ';' || c == ' ' || c == '\t') {
            if (!cur.empty())
                out.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    return out;
}

bool absolute(const std::string &p)
{
    return (p.size() > 1 && p[1] == ':') || (!p.empty() && (p[0] == '\\' || p[0] == '/'));
}

} // namespace

std::vector<std::string> ServiceConfig::names() const
{
    std::vector<std::string> out;
    for (const std::string *n : {&user, &computer})
        if (!n->empty())
            out.push_back(*n);
    for (const std::string &a : aliases)
        if (!a.empty())
            out.push_back(a);
    return out;
}

std::string module_dir(HMODULE module)
{
    char path[MAX_PATH] = "";
    const DWORD n = GetModuleFileNameA(module, path, MAX_PATH);
    std::string s(path, n < MAX_PATH ? n : 0);
    const std::size_t slash = s.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".\\") : s.substr(0, slash + 1);
}

std::string ansi_to_oem(const std::string &s)
{
    std::string out = s;
    if (!out.empty())
        CharToOemBuffA(s.c_str(), &out[0], static_cast<DWORD>(out.size()));
    return out;
}

std::string oem_to_ansi(const std::string &s)
{
    std::string out = s;
    if (!out.empty())
        OemToCharBuffA(s.c_str(), &out[0], static_cast<DWORD>(out.size()));
    return out;
}

ServiceConfig load_config(const std::string &ini_path)
{
    ServiceConfig c;
    c.ini_path = ini_path;
    const std::size_t slash = ini_path.find_last_of("\\/");
    c.dir = slash == std::string::npos ? std::string(".\\") : ini_path.substr(0, slash + 1);
    const std::string &ini = ini_path;

    const std::string address = read_string(ini, "service", "address", "");
    if (!address.empty() && address != "*" && address != "0.0.0.0") {
        const auto a = parse_ipv4(address);
        c.address = a ? *a : 0x7F000001;  // an unreadable address keeps the service on loopback
    }
    c.port = static_cast<uint16_t>(read_number(ini, "service", "port", 139, 1, 65535));

    char buf[256];
    DWORD n = sizeof buf;
    c.user = read_string(ini, "service", "user", "");
    if (c.user.empty() && GetUserNameA(buf, &n))
        c.user = buf;
    n = sizeof buf;
    c.computer = read_string(ini, "service", "computer", "");
    if (c.computer.empty() && GetComputerNameA(buf, &n))
        c.computer = buf;
    c.user = ansi_to_oem(c.user);
    c.computer = ansi_to_oem(c.computer);
    for (const std::string &a : split_list(read_string(ini, "service", "names", "")))
        c.aliases.push_back(ansi_to_oem(a));

    const std::string allow = read_string(ini, "service", "allow", "");
    if (allow.empty()) {
        c.allow = default_networks();
    } else if (auto nets = parse_networks(allow)) {
        c.allow = *nets;
    } else {
        c.allow_valid = false;
    }
    c.rate = read_number(ini, "service", "rate", 10, 0, 100000);
    c.connections = read_number(ini, "service", "connections", 32, 1, 200);
    c.idle_ms = read_number(ini, "service", "idle", 5, 1, 3600) * 1000;
    c.session_ms = read_number(ini, "service", "session", 30, 1, 3600) * 1000;
    c.popups = read_number(ini, "service", "popups", 64, 1, 1000);
    c.name_service = read_flag(ini, "service", "nameservice", true);
    c.name_port = static_cast<uint16_t>(read_number(ini, "service", "nameport", 137, 1, 65535));
    std::string log = read_string(ini, "service", "log", "msgsvc.log");
    if (!log.empty() && log != "-")
        c.log_path = absolute(log) ? log : c.dir + log;

    std::string lm = read_string(ini, "resolve", "lmhosts", "lmhosts");
    if (!lm.empty())
        c.lmhosts_path = absolute(lm) ? lm : c.dir + lm;
    for (const std::string &item : split_list(read_string(ini, "resolve", "nameservers", ""))) {
        const std::size_t colon = item.find(':');
        const auto ip = parse_ipv4(item.substr(0, colon));
        if (!ip)
            continue;
        Endpoint e{*ip, c.name_port};
        if (colon != std::string::npos) {
            const unsigned long p = std::strtoul(item.c_str() + colon + 1, nullptr, 10);
            if (p == 0 || p > 65535)
                continue;
            e.port = static_cast<uint16_t>(p);
        }
        c.name_servers.push_back(e);
    }
    c.broadcast = read_flag(ini, "resolve", "broadcast", true);
    c.dns = read_flag(ini, "resolve", "dns", true);
    c.timeout_ms = read_number(ini, "resolve", "timeout", 3000, 50, 30000);
    c.deadline_ms = std::max(read_number(ini, "resolve", "deadline", 5000, 100, 120000), c.timeout_ms);
    const std::string style = read_string(ini, "resolve", "style", "multi");
    c.style = style == "single" ? SendStyle::SingleWhenShort : SendStyle::MultiBlock;
    return c;
}

void log_line(const ServiceConfig &cfg, const char *fmt, ...)
{
    char text[1024];
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(text, sizeof text, fmt, args);
    va_end(args);
    SYSTEMTIME t;
    GetLocalTime(&t);
    char line[1100];
    std::snprintf(line, sizeof line, "%04u-%02u-%02u %02u:%02u:%02u.%03u [%lu] %s\r\n", t.wYear, t.wMonth, t.wDay,
                  t.wHour, t.wMinute, t.wSecond, t.wMilliseconds, GetCurrentProcessId(), text);
    OutputDebugStringA(line);
    if (cfg.log_path.empty())
        return;
    EnterCriticalSection(log_lock());
    HANDLE f = CreateFileA(cfg.log_path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(f, line, static_cast<DWORD>(std::strlen(line)), &written, nullptr);
        CloseHandle(f);
    }
    LeaveCriticalSection(log_lock());
}

std::string ip_text(uint32_t ipv4)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%u.%u.%u.%u", ipv4 >> 24, (ipv4 >> 16) & 255, (ipv4 >> 8) & 255, ipv4 & 255);
    return buf;
}

sockaddr_in make_sockaddr(uint32_t ipv4, uint16_t port)
{
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(ipv4);
    a.sin_port = htons(port);
    return a;
}

void set_nonblocking(SOCKET s, bool on)
{
    u_long v = on ? 1 : 0;
    ioctlsocket(s, FIONBIO, &v);
}

bool wait_socket(SOCKET s, bool write, unsigned ms)
{
    fd_set set, err;
    FD_ZERO(&set);
    FD_ZERO(&err);
    FD_SET(s, &set);
    FD_SET(s, &err);
    timeval tv;
    tv.tv_sec = static_cast<long>(ms / 1000);
    tv.tv_usec = static_cast<long>((ms % 1000) * 1000);
    const int r = select(0, write ? nullptr : &set, write ? &set : nullptr, &err, &tv);
    return r > 0 && FD_ISSET(s, &set);
}

} // namespace msgsvc
