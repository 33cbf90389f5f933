// netapi32.cpp - netapi32.dll of the message service: NetMessageBufferSend over the classic messenger protocol.
// It reads msgsvc.ini beside the DLL, resolves the recipient (LMHOSTS file, name servers, broadcast, DNS, in
// that order, each optional), opens a session with NAME<03> and sends the message. One deadline holds for the
// whole call; each wait is also cut at the configured time-out, and nothing a peer sends extends either.
//
// Status codes (base/net_status.h): kSent delivered; kInvalidParameter invalid arguments; kNotSupported a server
// name other than this computer; kNameNotFound the name resolves nowhere or its computer has no such messenger
// name; kNetworkError any connection or protocol failure.
#include "msgsvc/win/config_file.h"
#include "msgsvc/win/log_file.h"
#include "msgsvc/win/socket.h"

#include "base/net_status.h"
#include "msgsvc/core/lmhosts.h"
#include "msgsvc/core/nbns.h"
#include "msgsvc/core/receiver.h"
#include "msgsvc/core/resolve.h"
#include "msgsvc/core/sender.h"

#include <ws2tcpip.h>

#include <algorithm>
#include <cwchar>
#include <optional>
#include <string>

using namespace msgsvc;
using namespace net_status;

namespace {

constexpr std::size_t kMaxRecipient = 255;
constexpr std::size_t kMaxLmhostsFile = 1 << 20;

// Every UTF-16 unit but half a surrogate pair makes at least one OEM byte: a longer text can never fit.
constexpr std::size_t kMaxTextUnits = 2 * kDefaultMaxText;

HMODULE g_module = nullptr;

// n UTF-16 units in the OEM code page; nullopt when the conversion fails (n is at most a few thousand).
std::optional<std::string> wide_to_oem(const wchar_t *w, std::size_t n)
{
    if (n == 0)
        return std::string();
    const int len = WideCharToMultiByte(CP_OEMCP, 0, w, static_cast<int>(n), nullptr, 0, nullptr, nullptr);
    if (len <= 0)
        return std::nullopt;
    std::string out(static_cast<std::size_t>(len), '\0');
    if (WideCharToMultiByte(CP_OEMCP, 0, w, static_cast<int>(n), &out[0], len, nullptr, nullptr) != len)
        return std::nullopt;
    return out;
}

// A recipient's name as it goes on the wire: in the OEM code page, in the form in which the service compares
// names (canonical_name: upper-cased as Windows does, at most 15 bytes).
std::optional<std::string> wire_name(const wchar_t *name, const NameCase &by)
{
    const auto oem = wide_to_oem(name, std::wcslen(name));
    if (!oem)
        return std::nullopt;
    return canonical_name(*oem, by);
}

bool oem_lead_byte(uint8_t b) { return IsDBCSLeadByteEx(CP_OEMCP, b) != 0; }

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

// The LMHOSTS file is text in the ANSI code page (as Notepad writes it); its names are compared in the OEM one.
std::optional<uint32_t> from_lmhosts(const ServiceConfig &cfg, const std::string &name, const NameCase &by)
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
    const auto ip = lmhosts_lookup(parse_lmhosts(ansi_to_oem(text)), name, kSuffixMessenger, by);
    return ip && usable_address(*ip, true) ? ip : std::nullopt;
}

// One name query, unicast or broadcast, answered until `until` (GetTickCount64). Only an answer that
// judge_answer believes counts.
std::optional<uint32_t> query_name(const ServiceConfig &cfg, Endpoint to, const std::string &name, bool broadcast,
                                   ULONGLONG until)
{
    const auto tid = random_id();
    if (!tid)
        return std::nullopt;
    SOCKET s = open_socket(cfg, SOCK_DGRAM);
    if (s == INVALID_SOCKET)
        return std::nullopt;
    if (broadcast) {
        BOOL on = TRUE;
        setsockopt(s, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char *>(&on), sizeof on);
    }
    const NameAsked asked{*tid, NetbiosName{name, kSuffixMessenger}, broadcast, to.ipv4, to.port};
    const std::vector<uint8_t> q = build_name_query(asked.transaction_id, asked.name, broadcast);
    sockaddr_in addr = make_sockaddr(to.ipv4, to.port);
    std::optional<uint32_t> found;
    if (sendto(s, reinterpret_cast<const char *>(q.data()), static_cast<int>(q.size()), 0,
               reinterpret_cast<sockaddr *>(&addr), sizeof addr) == static_cast<int>(q.size())) {
        for (;;) {
            const unsigned left = ms_left(GetTickCount64(), until);
            if (left == 0 || !wait_socket(s, false, left))
                break;
            uint8_t buf[1024];
            sockaddr_in from = {};
            int from_len = sizeof from;
            const int n = recvfrom(s, reinterpret_cast<char *>(buf), sizeof buf, 0,
                                   reinterpret_cast<sockaddr *>(&from), &from_len);
            if (n <= 0)
                continue;
            const Answer a = judge_answer(asked, ByteView(buf, static_cast<std::size_t>(n)),
                                          ntohl(from.sin_addr.s_addr), ntohs(from.sin_port));
            if (a.kind == AnswerKind::Found)
                found = a.ipv4;
            if (a.kind != AnswerKind::Ignore)
                break;
        }
    }
    closesocket(s);
    return found;
}

// A DNS look-up on a thread of its own, so that the send's deadline holds however long the resolver takes. The
// caller and the thread share the request, and whichever lets go last frees it; the thread keeps the DLL loaded
// until it has ended.
struct DnsLookup {
    LONG refs = 2;
    HMODULE module = nullptr;
    std::string name;
    std::optional<uint32_t> ip;
};

void release(DnsLookup *l)
{
    if (InterlockedDecrement(&l->refs) == 0)
        delete l;
}

DWORD WINAPI dns_thread(LPVOID param)
{
    DnsLookup *l = static_cast<DnsLookup *>(param);
    const HMODULE module = l->module;
    WSADATA wsa;
    if (WSAStartup(MAKEWORD(2, 2), &wsa) == 0) {
        addrinfo hints = {}, *list = nullptr;
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        if (getaddrinfo(l->name.c_str(), nullptr, &hints, &list) == 0 && list) {
            l->ip = ntohl(reinterpret_cast<sockaddr_in *>(list->ai_addr)->sin_addr.s_addr);
            freeaddrinfo(list);
        }
        WSACleanup();
    }
    release(l);
    FreeLibraryAndExitThread(module, 0);
}

std::optional<uint32_t> from_dns(const std::string &name, ULONGLONG until)
{
    DnsLookup *l = new DnsLookup;
    l->name = name;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCSTR>(&dns_thread),
                            &l->module)) {
        delete l;
        return std::nullopt;
    }
    HANDLE t = CreateThread(nullptr, 0, dns_thread, l, 0, nullptr);
    if (!t) {
        FreeLibrary(l->module);
        delete l;
        return std::nullopt;
    }
    std::optional<uint32_t> ip;
    if (WaitForSingleObject(t, ms_left(GetTickCount64(), until)) == WAIT_OBJECT_0 && l->ip &&
        usable_address(*l->ip, true))
        ip = l->ip;
    CloseHandle(t);
    release(l);
    return ip;
}

std::optional<uint32_t> resolve(const ServiceConfig &cfg, const SendClock &clock, const std::string &name,
                                const NameCase &by, const char *&how)
{
    if (auto ip = from_lmhosts(cfg, name, by)) {
        how = "lmhosts";
        return ip;
    }
    for (const Endpoint &ns : cfg.name_servers) {
        if (auto ip = query_name(cfg, ns, name, false, step_end(clock, GetTickCount64()))) {
            how = "name server";
            return ip;
        }
    }
    // Owners of the name answer a broadcast at once; a second is plenty.
    if (cfg.broadcast) {
        const ULONGLONG now = GetTickCount64();
        if (auto ip = query_name(cfg, {0xFFFFFFFF, cfg.name_port}, name, true,
                                 std::min(step_end(clock, now), now + 1000))) {
            how = "broadcast";
            return ip;
        }
    }
    if (cfg.dns) {
        if (auto ip = from_dns(name, step_end(clock, GetTickCount64()))) {
            how = "dns";
            return ip;
        }
    }
    return std::nullopt;
}

// Writes all of bytes before `until`.
bool send_bytes(SOCKET s, const std::vector<uint8_t> &bytes, ULONGLONG until)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const unsigned left = ms_left(GetTickCount64(), until);
        if (left == 0 || !wait_socket(s, true, left))
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

enum class Connect : uint8_t { Connected, Refused, Silent };

// Waits until a non-blocking connect on s ends, at most ms: Windows reports a connection that failed in the
// except set, not as writable.
Connect connect_result(SOCKET s, unsigned ms)
{
    switch (socket_readiness(s, true, ms)) {
    case Readiness::TimedOut:
        return Connect::Silent;
    case Readiness::Failed:
        return Connect::Refused;
    case Readiness::Ready:
        break;
    }
    int err = 0, len = sizeof err;
    if (getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char *>(&err), &len) != 0 || err != 0)
        return Connect::Refused;
    return Connect::Connected;
}

// A connected socket to ip's session port, or INVALID_SOCKET with why set. A refusal is tried once more (a clash
// of local ports refuses too); a silent peer is waited for once, at most one step of the clock.
SOCKET connect_to(const ServiceConfig &cfg, const SendClock &clock, uint32_t ip, const char *&why)
{
    why = "cannot open a socket";
    for (int attempt = 0; attempt < 2; ++attempt) {
        SOCKET s = open_socket(cfg, SOCK_STREAM);
        if (s == INVALID_SOCKET)
            return s;
        set_nonblocking(s, true);
        sockaddr_in addr = make_sockaddr(ip, cfg.port);
        connect(s, reinterpret_cast<sockaddr *>(&addr), sizeof addr);
        const ULONGLONG now = GetTickCount64();
        const Connect result = connect_result(s, ms_left(now, step_end(clock, now)));
        if (result == Connect::Connected)
            return s;
        closesocket(s);
        if (result == Connect::Silent) {
            why = "no answer to the connection in time";
            break;
        }
        why = attempt == 0 ? "connection refused" : "connection refused twice";
    }
    return INVALID_SOCKET;
}

// Delivers one message to ip; returns the status code. Each request's reply is waited for one step of the
// clock from when the request went out.
DWORD deliver(const ServiceConfig &cfg, const SendClock &clock, uint32_t ip, const std::string &to,
              const std::string &from, const std::string &text, const char *&why)
{
    SOCKET s = connect_to(cfg, clock, ip, why);
    if (s == INVALID_SOCKET)
        return kNetworkError;
    SendOptions o;
    o.session_request = cfg.port != 445;
    o.lead_byte = oem_lead_byte;
    o.called = NetbiosName{std::string(cut_name(to, oem_lead_byte)), kSuffixMessenger};
    o.calling = NetbiosName{std::string(cut_name(from, oem_lead_byte)), kSuffixWorkstation};
    o.style = cfg.style;
    o.pid = static_cast<uint16_t>(GetCurrentProcessId());
    Sender sender = make_sender(from, to, text, o);
    std::vector<uint8_t> out = sender_begin(sender);
    DWORD status = kNetworkError;
    why = "connection closed";
    ULONGLONG until = 0;
    for (;;) {
        if (!out.empty()) {
            until = step_end(clock, GetTickCount64());
            if (!send_bytes(s, out, until)) {
                why = "write failed";
                break;
            }
        }
        const unsigned left = ms_left(GetTickCount64(), until);
        if (left == 0 || !wait_socket(s, false, left)) {
            why = "no answer in time";
            break;
        }
        uint8_t buf[4096];
        const int n = recv(s, reinterpret_cast<char *>(buf), sizeof buf, 0);
        if (n <= 0 && !(n < 0 && WSAGetLastError() == WSAEWOULDBLOCK))
            break;
        const SenderStep step = sender_feed(sender, ByteView(buf, n > 0 ? static_cast<std::size_t>(n) : 0));
        if (step.done) {
            status = kSent;
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
    if (!msgname || !*msgname || std::wcslen(msgname) > kMaxRecipient || (buflen && !buf) || buflen % 2 ||
        buflen / 2 > kMaxTextUnits || (fromname && std::wcslen(fromname) > kMaxRecipient))
        return kInvalidParameter;
    if (!is_this_computer(server))
        return kNotSupported;
    const ServiceConfig cfg = load_config(module_dir(g_module) + "msgsvc.ini");
    const SendClock clock{GetTickCount64() + cfg.deadline_ms, cfg.timeout_ms};
    static const NameCase name_case = oem_name_case();  // the OEM code page is the process's for its life
    const auto to = wire_name(msgname, name_case);
    // A sending name the caller gives goes out whole or not at all; our own is cut the way its NetBIOS name
    // is, which is the name a reply reaches.
    std::string from = cfg.user.empty() ? cfg.computer : cfg.user;
    if (fromname && *fromname) {
        const auto given = wide_to_oem(fromname, std::wcslen(fromname));
        if (!given || cut_name(*given, oem_lead_byte).size() != given->size())
            return kInvalidParameter;
        from = *given;
    }
    const auto text = wide_to_oem(reinterpret_cast<const wchar_t *>(buf), buflen / 2);
    if (!to || to->empty() || !text || crlf_line_breaks(*text).size() > kDefaultMaxText)
        return kInvalidParameter;

    WSADATA wsa;
    if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0)
        return kNetworkError;
    const char *how = "";
    const auto ip = resolve(cfg, clock, *to, name_case, how);
    DWORD status = kNameNotFound;
    const char *why = "name not found";
    if (ip)
        status = deliver(cfg, clock, *ip, *to, from, *text, why);
    log_line(cfg, "send from %s to %s (%s %s): %lu, %s", from.c_str(), to->c_str(), how,
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
