// service_main.cpp - msgsvc.exe: the receiving message service. Accepts messenger sessions for its own names on
// the session service port, reassembles messages, answers name queries for its names, and shows every message
// in a Messenger popup (first child an OK button, second a static with the header, a blank line and the text).
//
// Usage: msgsvc.exe [--ini PATH]   (default: msgsvc.ini beside the program; every key is optional)
//        msgsvc.exe --stop         ends the running service of this Wine prefix or Windows session
// Exit code: 0 when ended by WM_CLOSE/WM_QUIT, 1 when the session port cannot be opened.
#include "msgsvc/win_config.h"

#include "msgsvc/nbns.h"
#include "msgsvc/policy.h"
#include "msgsvc/receiver.h"

#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

using namespace msgsvc;

namespace {

constexpr UINT kShowMessage = WM_APP + 1;  // lParam: std::string * full text, owned by the receiver
constexpr char kWindowClass[] = "TolvikMsgsvc";
constexpr uint32_t kNameTtl = 300;

ServiceConfig g_cfg;
HWND g_window = nullptr;
std::set<HWND> g_popups;
unsigned g_shown = 0;  // popups shown so far, for their cascade position

uint64_t now_ms() { return GetTickCount64(); }

// ---- Popups (user-interface thread) ----------------------------------------------------------------------

void layout_popup(HWND dlg, HWND ok, HWND text)
{
    HDC dc = GetDC(text);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(text, WM_GETFONT, 0, 0)));
    RECT r = {0, 0, 420, 0};
    const int len = GetWindowTextLengthA(text);
    std::string s(static_cast<std::size_t>(len) + 1, '\0');
    GetWindowTextA(text, &s[0], len + 1);
    DrawTextA(dc, s.c_str(), len, &r, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
    SelectObject(dc, old);
    ReleaseDC(text, dc);
    const int w = r.right < 200 ? 200 : r.right;
    const int h = r.bottom > 480 ? 480 : r.bottom;
    MoveWindow(text, 12, 12, w, h, FALSE);
    MoveWindow(ok, 12 + (w - 80) / 2, 24 + h, 80, 24, FALSE);
    RECT frame = {0, 0, w + 24, h + 60};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrA(dlg, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrA(dlg, GWL_EXSTYLE)));
    const int offset = static_cast<int>(g_shown % 12) * 24;
    SetWindowPos(dlg, HWND_TOP, 60 + offset, 40 + offset, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOACTIVATE);
}

INT_PTR CALLBACK popup_proc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_INITDIALOG: {
        const std::string *full = reinterpret_cast<const std::string *>(lParam);
        const bool russian = GetACP() == 1251;
        SetWindowTextA(dlg, std::string(russian ? kPopupTitleRussian : kPopupTitle).c_str());
        const HINSTANCE inst = GetModuleHandleA(nullptr);
        const HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
        // The order of creation is the order of the children: the OK button first, the text second.
        HWND ok = CreateWindowExA(0, "Button", "OK", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 0, 80,
                                  24, dlg, reinterpret_cast<HMENU>(IDOK), inst, nullptr);
        HWND text = CreateWindowExA(0, "Static", full->c_str(), WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 0, 0,
                                    200, 40, dlg, reinterpret_cast<HMENU>(0xFFFF), inst, nullptr);
        SendMessageA(ok, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        SendMessageA(text, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        layout_popup(dlg, ok, text);
        SetFocus(ok);
        return FALSE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)
            DestroyWindow(dlg);
        return TRUE;
    case WM_CLOSE:
        DestroyWindow(dlg);
        return TRUE;
    case WM_DESTROY:
        g_popups.erase(dlg);
        return TRUE;
    default:
        return FALSE;
    }
}

void show_popup(const std::string &full)
{
    if (g_popups.size() >= g_cfg.popups) {
        log_line(g_cfg, "dropped a message: %u popups are open", static_cast<unsigned>(g_popups.size()));
        return;
    }
    struct {
        DLGTEMPLATE t;
        WORD menu, cls, title;
    } tpl = {};
    tpl.t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFOREGROUND | WS_VISIBLE;
    tpl.t.cx = 200;
    tpl.t.cy = 80;
    HWND dlg = CreateDialogIndirectParamA(GetModuleHandleA(nullptr), &tpl.t, nullptr, popup_proc,
                                          reinterpret_cast<LPARAM>(&full));
    if (!dlg) {
        log_line(g_cfg, "could not show a popup: error %lu", GetLastError());
        return;
    }
    ++g_shown;
    g_popups.insert(dlg);
}

LRESULT CALLBACK window_proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == kShowMessage) {
        std::string *full = reinterpret_cast<std::string *>(lParam);
        show_popup(*full);
        delete full;
        return 0;
    }
    if (msg == WM_CLOSE) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// ---- Network (its own thread) ----------------------------------------------------------------------------

struct Client {
    SOCKET socket = INVALID_SOCKET;
    uint32_t ip = 0;
    uint16_t port = 0;
    bool gated = false;             // the session gate has decided
    std::vector<uint8_t> head;      // bytes held until it has
    ReceiverConn conn = make_receiver();
    uint64_t opened = 0, last = 0;
};

struct Service {
    SOCKET listener = INVALID_SOCKET;
    SOCKET names = INVALID_SOCKET;  // UDP name service, when it could be bound
    std::vector<Client> clients;
    RateLimiter rate;
};

std::string when_text()
{
    char date[64] = "", time[64] = "";
    GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, date, sizeof date);
    GetTimeFormatA(LOCALE_USER_DEFAULT, 0, nullptr, nullptr, time, sizeof time);
    return std::string(date) + " " + time;
}

void close_client(Client &c, const char *why)
{
    if (why)
        log_line(g_cfg, "closed %s:%u: %s", ip_text(c.ip).c_str(), c.port, why);
    closesocket(c.socket);
    c.socket = INVALID_SOCKET;
}

bool send_all(SOCKET s, const std::vector<uint8_t> &bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const int n = send(s, reinterpret_cast<const char *>(bytes.data() + done),
                           static_cast<int>(bytes.size() - done), 0);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (WSAGetLastError() == WSAEWOULDBLOCK) {
            if (!wait_socket(s, true, 1000))
                return false;
        } else {
            return false;
        }
    }
    return true;
}

// Takes one completed message; false when the connection is to be dropped without a reply.
bool deliver(Service &net, Client &c, const ReceivedMessage &m)
{
    const std::vector<std::string> names = g_cfg.names();
    if (!is_our_name(names, m.to)) {
        log_line(g_cfg, "refused a message from %s for \"%s\": not one of our names", ip_text(c.ip).c_str(),
                 m.to.c_str());
        return false;
    }
    if (!rate_admit(net.rate, c.ip, now_ms())) {
        log_line(g_cfg, "refused a message from %s: more than %u a minute", ip_text(c.ip).c_str(), g_cfg.rate);
        return false;
    }
    const std::string text = oem_to_ansi(normalize_message_text(m.text));
    std::string *full = new std::string(popup_text(GetACP() == 1251, oem_to_ansi(m.from), oem_to_ansi(m.to),
                                                   when_text(), text));
    log_line(g_cfg, "message from %s (%s) to %s, %u bytes", ip_text(c.ip).c_str(), m.from.c_str(), m.to.c_str(),
             static_cast<unsigned>(m.text.size()));
    if (!PostMessageA(g_window, kShowMessage, 0, reinterpret_cast<LPARAM>(full)))
        delete full;
    return true;
}

void feed(Service &net, Client &c, ByteView bytes)
{
    ReceiverOutput out = receiver_feed(c.conn, bytes);
    for (const ReceivedMessage &m : out.messages) {
        if (!deliver(net, c, m)) {
            close_client(c, nullptr);
            return;
        }
    }
    if (!out.send.empty() && !send_all(c.socket, out.send)) {
        close_client(c, "write failed");
        return;
    }
    if (out.close)
        close_client(c, c.conn.assembler.phase == AssemblyPhase::Collecting ? "protocol error" : nullptr);
}

void on_readable(Service &net, Client &c)
{
    uint8_t buf[4096];
    const int n = recv(c.socket, reinterpret_cast<char *>(buf), sizeof buf, 0);
    if (n == 0) {
        close_client(c, nullptr);
        return;
    }
    if (n < 0) {
        if (WSAGetLastError() != WSAEWOULDBLOCK)
            close_client(c, nullptr);
        return;
    }
    c.last = now_ms();
    if (c.gated) {
        feed(net, c, ByteView(buf, static_cast<std::size_t>(n)));
        return;
    }
    c.head.insert(c.head.end(), buf, buf + n);
    const Gate g = session_gate(c.head, g_cfg.names());
    switch (g.verdict) {
    case GateVerdict::NeedMore:
        return;
    case GateVerdict::Refuse: {
        log_line(g_cfg, "refused %s: called name %s<%02X> not present", ip_text(c.ip).c_str(), g.called.name.c_str(),
                 g.called.suffix);
        send_all(c.socket, build_negative_response(kSessionCalledNotPresent));
        close_client(c, nullptr);
        return;
    }
    case GateVerdict::Accept:
    case GateVerdict::Pass: {
        c.gated = true;
        const std::vector<uint8_t> head = std::move(c.head);
        c.head.clear();
        feed(net, c, head);
        return;
    }
    }
}

void on_accept(Service &net)
{
    for (;;) {
        sockaddr_in from = {};
        int len = sizeof from;
        SOCKET s = accept(net.listener, reinterpret_cast<sockaddr *>(&from), &len);
        if (s == INVALID_SOCKET)
            return;
        const uint32_t ip = ntohl(from.sin_addr.s_addr);
        const uint16_t port = ntohs(from.sin_port);
        const char *why = nullptr;
        if (!g_cfg.allow_valid || !network_allows(g_cfg.allow, ip))
            why = "source not allowed";
        else if (net.clients.size() >= g_cfg.connections)
            why = "too many connections";
        else if (rate_exhausted(net.rate, ip, now_ms()))
            why = "over its message rate";
        if (why) {
            // A flood must not fill the disk: at most 50 refusals a minute are logged one by one.
            static uint64_t window = 0;
            static unsigned logged = 0, quiet = 0;
            const uint64_t minute = now_ms() / 60000;
            if (minute != window) {
                if (quiet)
                    log_line(g_cfg, "%u more connections refused in the last minute", quiet);
                window = minute;
                logged = quiet = 0;
            }
            if (logged++ < 50)
                log_line(g_cfg, "refused %s:%u: %s", ip_text(ip).c_str(), port, why);
            else
                ++quiet;
            closesocket(s);
            continue;
        }
        set_nonblocking(s, true);
        Client c;
        c.socket = s;
        c.ip = ip;
        c.port = port;
        c.opened = c.last = now_ms();
        net.clients.push_back(std::move(c));
    }
}

// Negative name query response (RCODE 3) for a unicast query about a name that is not ours.
std::vector<uint8_t> negative_name_response(const NameQuery &q)
{
    std::vector<uint8_t> out;
    put_be16(out, q.transaction_id);
    put_be16(out, 0x8503);
    put_be16(out, 0);
    put_be16(out, 1);
    put_be32(out, 0);
    const EncodedName e = encode_name(q.name.name, q.name.suffix);
    out.insert(out.end(), e.begin(), e.end());
    put_be16(out, 0x0020);
    put_be16(out, 0x0001);
    put_be32(out, 0);
    put_be16(out, 0);
    return out;
}

// The local address that reaches `peer`: the listening address, or the route's source when listening on all.
uint32_t address_towards(uint32_t peer)
{
    if (g_cfg.address)
        return g_cfg.address;
    SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    uint32_t out = 0x7F000001;
    sockaddr_in to = make_sockaddr(peer, 137), local = {};
    int len = sizeof local;
    if (s != INVALID_SOCKET && connect(s, reinterpret_cast<sockaddr *>(&to), sizeof to) == 0 &&
        getsockname(s, reinterpret_cast<sockaddr *>(&local), &len) == 0 && local.sin_addr.s_addr)
        out = ntohl(local.sin_addr.s_addr);
    if (s != INVALID_SOCKET)
        closesocket(s);
    return out;
}

void on_name_query(Service &net)
{
    uint8_t buf[1024];
    sockaddr_in from = {};
    int len = sizeof from;
    const int n = recvfrom(net.names, reinterpret_cast<char *>(buf), sizeof buf, 0,
                           reinterpret_cast<sockaddr *>(&from), &len);
    if (n <= 0)
        return;
    const uint32_t peer = ntohl(from.sin_addr.s_addr);
    if (!g_cfg.allow_valid || !network_allows(g_cfg.allow, peer))
        return;
    const auto q = parse_name_query(ByteView(buf, static_cast<std::size_t>(n)));
    if (!q)
        return;
    std::vector<uint8_t> reply;
    if (q->name.suffix == kSuffixMessenger && is_our_name(g_cfg.names(), q->name.name))
        reply = build_name_query_response(q->transaction_id, q->name, kNameTtl, {{0, address_towards(peer)}});
    else if (!q->broadcast())
        reply = negative_name_response(*q);
    if (!reply.empty())
        sendto(net.names, reinterpret_cast<const char *>(reply.data()), static_cast<int>(reply.size()), 0,
               reinterpret_cast<sockaddr *>(&from), sizeof from);
}

DWORD WINAPI network_thread(LPVOID param)
{
    Service &net = *static_cast<Service *>(param);
    net.rate.per_minute = g_cfg.rate;
    for (;;) {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(net.listener, &readable);
        if (net.names != INVALID_SOCKET)
            FD_SET(net.names, &readable);
        for (const Client &c : net.clients)
            FD_SET(c.socket, &readable);
        timeval tv = {0, 250000};
        if (select(0, &readable, nullptr, nullptr, &tv) == SOCKET_ERROR) {
            Sleep(50);
            continue;
        }
        if (net.names != INVALID_SOCKET && FD_ISSET(net.names, &readable))
            on_name_query(net);
        for (Client &c : net.clients)
            if (FD_ISSET(c.socket, &readable))
                on_readable(net, c);
        const uint64_t now = now_ms();
        for (Client &c : net.clients) {
            if (c.socket == INVALID_SOCKET)
                continue;
            if (now - c.last > g_cfg.idle_ms)
                close_client(c, "idle time-out");
            else if (now - c.opened > g_cfg.session_ms)
                close_client(c, "session time limit");
        }
        std::vector<Client> alive;
        for (Client &c : net.clients)
            if (c.socket != INVALID_SOCKET)
                alive.push_back(std::move(c));
        net.clients.swap(alive);
        if (FD_ISSET(net.listener, &readable))
            on_accept(net);
    }
}

std::string ini_from_command_line()
{
    for (int i = 1; i + 1 < __argc; ++i)
        if (!std::strcmp(__argv[i], "--ini"))
            return __argv[i + 1];
    return module_dir(nullptr) + "msgsvc.ini";
}

std::string joined_names()
{
    std::string s;
    for (const std::string &n : g_cfg.names())
        s += (s.empty() ? "" : ", ") + n;
    return s;
}

} // namespace

int WINAPI WinMain(HINSTANCE inst, HINSTANCE, LPSTR, int)
{
    if (__argc > 1 && !std::strcmp(__argv[1], "--stop")) {
        HWND running = FindWindowExA(HWND_MESSAGE, nullptr, kWindowClass, nullptr);
        if (running)
            PostMessageA(running, WM_CLOSE, 0, 0);
        return running ? 0 : 1;
    }
    g_cfg = load_config(ini_from_command_line());
    WSADATA wsa;
    if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0)
        return 1;
    if (!g_cfg.allow_valid)
        log_line(g_cfg, "allow= in %s does not parse: every session is refused", g_cfg.ini_path.c_str());

    static Service net;
    net.listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in at = make_sockaddr(g_cfg.address, g_cfg.port);
    if (net.listener == INVALID_SOCKET || bind(net.listener, reinterpret_cast<sockaddr *>(&at), sizeof at) != 0 ||
        listen(net.listener, 64) != 0) {
        log_line(g_cfg, "cannot listen on %s:%u: error %d", ip_text(g_cfg.address).c_str(), g_cfg.port,
                 WSAGetLastError());
        return 1;
    }
    set_nonblocking(net.listener, true);
    if (g_cfg.name_service) {
        net.names = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
        sockaddr_in ns = make_sockaddr(g_cfg.address, g_cfg.name_port);
        if (net.names != INVALID_SOCKET && bind(net.names, reinterpret_cast<sockaddr *>(&ns), sizeof ns) != 0) {
            log_line(g_cfg, "name service off: cannot bind UDP %s:%u (error %d)", ip_text(g_cfg.address).c_str(),
                     g_cfg.name_port, WSAGetLastError());
            closesocket(net.names);
            net.names = INVALID_SOCKET;
        }
    }

    WNDCLASSA wc = {};
    wc.lpfnWndProc = window_proc;
    wc.hInstance = inst;
    wc.lpszClassName = kWindowClass;
    RegisterClassA(&wc);
    g_window = CreateWindowExA(0, kWindowClass, kWindowClass, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, inst, nullptr);
    if (!g_window)
        return 1;

    log_line(g_cfg, "listening on %s:%u for %s%s", ip_text(g_cfg.address).c_str(), g_cfg.port,
             joined_names().c_str(), net.names != INVALID_SOCKET ? " (name service on)" : "");
    HANDLE thread = CreateThread(nullptr, 0, network_thread, &net, 0, nullptr);
    if (!thread)
        return 1;
    CloseHandle(thread);

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
        if (root && g_popups.count(root) && IsDialogMessageA(root, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    log_line(g_cfg, "stopped");
    return 0;
}
