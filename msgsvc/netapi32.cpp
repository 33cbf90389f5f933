// netapi32.cpp - netapi32.dll of the message service: NetMessageBufferSend over the classic messenger protocol.
// It reads msgsvc.ini beside the DLL, resolves the recipient (LMHOSTS file, name servers, broadcast, DNS, in
// that order, each optional), opens a session with NAME<03> and sends the message.
//
// Status codes: 0 delivered; 87 invalid arguments; 50 a server name other than this computer; 2273 the name
// resolves nowhere or its computer has no such messenger name; 2136 any connection or protocol failure.
#include "msgsvc/win_config.h"

#include "msgsvc/lmhosts.h"
#include "msgsvc/nbns.h"
#include "msgsvc/receiver.h"
#include "msgsvc/sender.h"

#include <ws2tcpip.h>

#include <cwchar>
#include <optional>
#include <string>

using namespace msgsvc;

namespace {

constexpr DWORD kOk = 0;
constexpr DWORD kNotSupported = 50;       // ERROR_NOT_SUPPORTED
constexpr DWORD kInvalidParameter = 87;   // ERROR_INVALID_PARAMETER
constexpr DWORD kNetworkError = 2136;     // NERR_NetworkError
constexpr DWORD kNameNotFound = 2273;     // NERR_NameNotFound
constexpr std::size_t kMaxRecipient = 255;
constexpr std::size_t kMaxLmhostsFile = 1 << 20;

HMODULE g_module = nullptr;

std::string wide_to_oem(const wchar_t *w, std::size_t n)
{
    if (n == 0)
        return std::string();
    const int len = WideCharToMultiByte(CP_OEMCP, 0, w, static_cast<int>(n), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(len > 0 ? len : 0), '\0');
    if (len > 0)
        WideCharToMultiByte(CP_OEMCP, 0, w, static_cast<int>(n), &out[0], len, nullptr, nullptr);
    return out;
}

// A name as it goes on the wire: upper-cased in Unicode, then in the OEM code page.
std::string wire_name(const wchar_t *name)
{
    std::wstring w(name);
    if (!w.empty())
        CharUpperBuffW(&w[0], static_cast<DWORD>(w.size()));
    return wide_to_oem(w.c_str(), w.size());
}

bool is_this_computer(const wchar_t *server)
{
    if (!server || !*server)
        return true;
    while (*server == L'\\')
        ++server;
    wchar_t me[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD n = MAX_COMPUTERNAME_LENGTH + 1;
    return GetComputerNameW(me, &n) && CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, server, -1, me, -1) ==
                                           CSTR_EQUAL;
}

// A UDP or TCP socket, bound to the service's own address when one is configured so that peers see the
// messages come from it.
SOCKET open_socket(const ServiceConfig &cfg, int type)
{
    SOCKET s = socket(AF_INET, type, type == SOCK_DGRAM ? IPPROTO_UDP : IPPROTO_TCP);
    if (s != INVALID_SOCKET && cfg.address) {
        // A local port still in TIME_WAIT from an earlier message may be picked again.
        BOOL on = TRUE;
        if (type == SOCK_STREAM)
            setsockopt(s, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char *>(&on), sizeof on);
        sockaddr_in local = make_sockaddr(cfg.address, 0);
        bind(s, reinterpret_cast<sockaddr *>(&local), sizeof local);
    }
    return s;
}

std::optional<uint32_t> from_lmhosts(const ServiceConfig &cfg, const std::string &name)
{
    if (cfg.lmhosts_path.empty())
        return std::nullopt;
    HANDLE f = CreateFileA(cfg.lmhosts_path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return std::nullopt;
    std::string text(kMaxLmhostsFile, '\0');
    DWORD got = 0;
    const BOOL ok = ReadFile(f, &text[0], static_cast<DWORD>(text.size()), &got, nullptr);
    CloseHandle(f);
    if (!ok)
        return std::nullopt;
    text.resize(got);
    return lmhosts_lookup(parse_lmhosts(text), name, kSuffixMessenger);
}

enum class Lookup { Found, Negative, Silent };

// One name query, unicast or broadcast; waits at most wait_ms for an answer about this name.
Lookup query_name(const ServiceConfig &cfg, Endpoint to, const std::string &name, bool broadcast, unsigned wait_ms,
                  uint32_t &found)
{
    SOCKET s = open_socket(cfg, SOCK_DGRAM);
    if (s == INVALID_SOCKET)
        return Lookup::Silent;
    if (broadcast) {
        BOOL on = TRUE;
        setsockopt(s, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char *>(&on), sizeof on);
    }
    const uint16_t tid = static_cast<uint16_t>((GetTickCount() ^ GetCurrentThreadId()) & 0x7FFF);
    const NetbiosName wanted{name, kSuffixMessenger};
    const std::vector<uint8_t> q = build_name_query(tid, wanted, broadcast);
    sockaddr_in addr = make_sockaddr(to.ipv4, to.port);
    Lookup result = Lookup::Silent;
    if (sendto(s, reinterpret_cast<const char *>(q.data()), static_cast<int>(q.size()), 0,
               reinterpret_cast<sockaddr *>(&addr), sizeof addr) == static_cast<int>(q.size())) {
        const ULONGLONG deadline = GetTickCount64() + wait_ms;
        for (ULONGLONG now = GetTickCount64(); now < deadline; now = GetTickCount64()) {
            if (!wait_socket(s, false, static_cast<unsigned>(deadline - now)))
                break;
            uint8_t buf[1024];
            const int n = recv(s, reinterpret_cast<char *>(buf), sizeof buf, 0);
            if (n <= 0)
                continue;
            const auto r = parse_name_query_response(ByteView(buf, static_cast<std::size_t>(n)));
            if (!r || r->transaction_id != tid)
                continue;
            if (r->rcode != 0) {
                if (!broadcast) {
                    result = Lookup::Negative;
                    break;
                }
                continue;
            }
            if (r->name.suffix == kSuffixMessenger && same_name(r->name.name, name) && !r->addresses.empty()) {
                found = r->addresses.front().ipv4;
                result = Lookup::Found;
                break;
            }
        }
    }
    closesocket(s);
    return result;
}

std::optional<uint32_t> from_dns(const std::string &name)
{
    addrinfo hints = {}, *list = nullptr;
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    if (getaddrinfo(name.c_str(), nullptr, &hints, &list) != 0 || !list)
        return std::nullopt;
    const uint32_t ip = ntohl(reinterpret_cast<sockaddr_in *>(list->ai_addr)->sin_addr.s_addr);
    freeaddrinfo(list);
    return ip;
}

std::optional<uint32_t> resolve(const ServiceConfig &cfg, const std::string &name, const char *&how)
{
    if (auto ip = from_lmhosts(cfg, name)) {
        how = "lmhosts";
        return ip;
    }
    uint32_t found = 0;
    for (const Endpoint &ns : cfg.name_servers) {
        if (query_name(cfg, ns, name, false, cfg.timeout_ms, found) == Lookup::Found) {
            how = "name server";
            return found;
        }
    }
    if (cfg.broadcast &&
        query_name(cfg, {0xFFFFFFFF, cfg.name_port}, name, true, cfg.timeout_ms < 1000 ? cfg.timeout_ms : 1000,
                   found) == Lookup::Found) {
        how = "broadcast";
        return found;
    }
    if (cfg.dns) {
        if (auto ip = from_dns(name)) {
            how = "dns";
            return ip;
        }
    }
    return std::nullopt;
}

bool send_bytes(SOCKET s, const std::vector<uint8_t> &bytes, unsigned wait_ms)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        if (!wait_socket(s, true, wait_ms))
            return false;
        const int n = send(s, reinterpret_cast<const char *>(bytes.data() + done),
                           static_cast<int>(bytes.size() - done), 0);
        if (n <= 0 && WSAGetLastError() != WSAEWOULDBLOCK)
            return false;
        if (n > 0)
            done += static_cast<std::size_t>(n);
    }
    return true;
}

// A connected socket to ip's session port, or INVALID_SOCKET. A refusal that comes at once is tried once more
// (a clash of local ports); a silent peer is waited for once, at most the configured time.
SOCKET connect_to(const ServiceConfig &cfg, uint32_t ip)
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        SOCKET s = open_socket(cfg, SOCK_STREAM);
        if (s == INVALID_SOCKET)
            return s;
        set_nonblocking(s, true);
        sockaddr_in addr = make_sockaddr(ip, cfg.port);
        connect(s, reinterpret_cast<sockaddr *>(&addr), sizeof addr);
        int err = 0, len = sizeof err;
        const bool ready = wait_socket(s, true, cfg.timeout_ms);
        if (ready && getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char *>(&err), &len) == 0 && err == 0)
            return s;
        closesocket(s);
        if (!ready)
            break;
    }
    return INVALID_SOCKET;
}

// Delivers one message to ip; returns the status code.
DWORD deliver(const ServiceConfig &cfg, uint32_t ip, const std::string &to, const std::string &from,
              const std::string &text, const char *&why)
{
    SOCKET s = connect_to(cfg, ip);
    if (s == INVALID_SOCKET) {
        why = "cannot connect";
        return kNetworkError;
    }
    SendOptions o;
    o.session_request = cfg.port != 445;
    o.called = NetbiosName{to, kSuffixMessenger};
    o.calling = NetbiosName{from, kSuffixWorkstation};
    o.style = cfg.style;
    o.pid = static_cast<uint16_t>(GetCurrentProcessId());
    Sender sender = make_sender(from, to, text, o);
    std::vector<uint8_t> out = sender_begin(sender);
    DWORD status = kNetworkError;
    why = "connection closed";
    for (;;) {
        if (!out.empty() && !send_bytes(s, out, cfg.timeout_ms)) {
            why = "write failed";
            break;
        }
        if (!wait_socket(s, false, cfg.timeout_ms)) {
            why = "no answer in time";
            break;
        }
        uint8_t buf[4096];
        const int n = recv(s, reinterpret_cast<char *>(buf), sizeof buf, 0);
        if (n <= 0 && !(n < 0 && WSAGetLastError() == WSAEWOULDBLOCK))
            break;
        const SenderStep step = sender_feed(sender, ByteView(buf, n > 0 ? static_cast<std::size_t>(n) : 0));
        if (step.done) {
            status = kOk;
            why = "delivered";
            break;
        }
        if (step.failed) {
            if (sender.failure == SendFailure::SessionRefused && sender.session_error == kSessionCalledNotPresent) {
                status = kNameNotFound;
                why = "called name not present";
            } else {
                why = sender.failure == SendFailure::Refused ? "message refused" : "bad reply";
            }
            break;
        }
        out = step.send;
    }
    closesocket(s);
    return status;
}

DWORD send_message(const wchar_t *server, const wchar_t *msgname, const wchar_t *fromname, const BYTE *buf,
                   DWORD buflen)
{
    if (!msgname || !*msgname || std::wcslen(msgname) > kMaxRecipient || (buflen && !buf) || buflen % 2)
        return kInvalidParameter;
    if (!is_this_computer(server))
        return kNotSupported;
    const ServiceConfig cfg = load_config(module_dir(g_module) + "msgsvc.ini");
    const std::string to = wire_name(msgname);
    std::string from = fromname && *fromname ? wide_to_oem(fromname, std::wcslen(fromname)) : cfg.user;
    if (from.empty())
        from = cfg.computer;
    std::wstring wide(reinterpret_cast<const wchar_t *>(buf), buflen / 2);
    const std::string text = wide_to_oem(wide.c_str(), wide.size());
    if (outgoing_text(text).size() > kDefaultMaxText || to.empty())
        return kInvalidParameter;

    WSADATA wsa;
    if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0)
        return kNetworkError;
    const char *how = "";
    const auto ip = resolve(cfg, to, how);
    DWORD status = kNameNotFound;
    const char *why = "name not found";
    if (ip)
        status = deliver(cfg, *ip, to, from, text, why);
    log_line(cfg, "send from %s to %s (%s %s): %lu, %s", from.c_str(), to.c_str(), how,
             ip ? ip_text(*ip).c_str() : "-", status, why);
    WSACleanup();
    return status;
}

} // namespace

extern "C" DWORD WINAPI NetMessageBufferSend(LPCWSTR servername, LPCWSTR msgname, LPCWSTR fromname, LPBYTE buf,
                                             DWORD buflen)
{
    return send_message(servername, msgname, fromname, buf, buflen);
}

BOOL WINAPI DllMain(HINSTANCE inst, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = inst;
        DisableThreadLibraryCalls(inst);
    }
    return TRUE;
}
