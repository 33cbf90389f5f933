// service_popup.cpp - the popup side of msgsvc.exe, on the user-interface thread: the message-only window that
// takes the texts from the network thread (and WM_CLOSE from --stop), and one Messenger popup per message (first
// child an OK button, second a static with the header, a blank line and the text: base/popup_format.h).
#include "msgsvc/service/service.h"

#include "base/popup_format.h"
#include "msgsvc/core/admission.h"

#include <algorithm>
#include <deque>
#include <map>
#include <set>
#include <string>

namespace msgsvc {

namespace {

// Tells the window that texts wait in the hand-off queue. It carries nothing: any program can post to the
// window, so whatever arrives through its queue is at most a reason to look at the hand-off queue.
constexpr UINT kShowMessage = WM_APP + 1;
constexpr char kWindowClass[] = "TolvikMsgsvc";
constexpr UINT_PTR kShowTimer = 1;  // a popup that Tolvik was told of is shown when this fires
constexpr UINT kShowGraceMs = 200;

struct Handed {
    uint32_t source;
    std::string text;
};

// What the two threads share, under g_lock: the texts handed over and not yet shown, and the popup room,
// which counts them with the popups open.
CRITICAL_SECTION g_lock;
std::deque<Handed> g_handed;
PopupRoom g_room;

struct Locked {
    Locked() { EnterCriticalSection(&g_lock); }
    ~Locked() { LeaveCriticalSection(&g_lock); }
    Locked(const Locked &) = delete;
    Locked &operator=(const Locked &) = delete;
};

void release_place(uint32_t source)
{
    Locked lock;
    popup_release(g_room, source);
}

// The user-interface thread's state, owned by popups_run; the window and every popup point to it.
struct PopupSide {
    ServiceShared *shared = nullptr;
    std::map<HWND, uint32_t> open;  // each popup and the source of its message
    std::set<HWND> spent;           // popups taken before they were shown, to be destroyed when there is time
    unsigned shown = 0;             // popups shown so far (not those Tolvik took first), for their cascade position
};

struct PopupInit {
    PopupSide *side;
    const std::string *text;
    HWND tolvik;  // the Tolvik to tell of the popup, or nullptr
    bool hinted;  // that Tolvik was told of it
};

// Sizes the popup to its text, at most 420 pixels wide with long words broken (as the static draws them, with
// SS_EDITCONTROL) and at most 480 high, and keeps it, OK button included, within the work area.
void layout_popup(const PopupSide &side, HWND dlg, HWND ok, HWND text)
{
    RECT work;
    if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0))
        SetRect(&work, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    const DWORD style = static_cast<DWORD>(GetWindowLongPtrA(dlg, GWL_STYLE));
    const DWORD ex_style = static_cast<DWORD>(GetWindowLongPtrA(dlg, GWL_EXSTYLE));
    RECT frame = {0, 0, 24, 60};  // the margins around the text and the button's row
    AdjustWindowRectEx(&frame, style, FALSE, ex_style);
    const int extra_w = frame.right - frame.left, extra_h = frame.bottom - frame.top;
    const int max_w = std::max(80, std::min<int>(420, work.right - work.left - extra_w));
    const int max_h = std::max(16, std::min<int>(480, work.bottom - work.top - extra_h));

    HDC dc = GetDC(text);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(text, WM_GETFONT, 0, 0)));
    RECT r = {0, 0, max_w, 0};
    const int len = GetWindowTextLengthA(text);
    std::string s(static_cast<std::size_t>(len) + 1, '\0');
    GetWindowTextA(text, &s[0], len + 1);
    DrawTextA(dc, s.c_str(), len, &r, DT_CALCRECT | DT_WORDBREAK | DT_EDITCONTROL | DT_NOPREFIX | DT_EXPANDTABS);
    SelectObject(dc, old);
    ReleaseDC(text, dc);
    const int w = std::min(max_w, std::max<int>(std::min(200, max_w), r.right));
    const int h = std::min<int>(max_h, r.bottom);
    MoveWindow(text, 12, 12, w, h, FALSE);
    MoveWindow(ok, 12 + (w - 80) / 2, 24 + h, 80, 24, FALSE);
    const int offset = static_cast<int>(side.shown % 12) * 24;
    const int x = std::max<int>(work.left, std::min<int>(work.left + 60 + offset, work.right - (w + extra_w)));
    const int y = std::max<int>(work.top, std::min<int>(work.top + 40 + offset, work.bottom - (h + extra_h)));
    SetWindowPos(dlg, HWND_TOP, x, y, w + extra_w, h + extra_h, SWP_NOACTIVATE);
}

void on_popup_init(HWND dlg, PopupInit &init)
{
    SetWindowLongPtrA(dlg, DWLP_USER, reinterpret_cast<LONG_PTR>(init.side));
    const bool russian = GetACP() == 1251;
    SetWindowTextA(dlg, (russian ? kPopupTitleRussian : kPopupTitle).data());
    const HINSTANCE inst = GetModuleHandleA(nullptr);
    // The order of creation is the order of the children: the OK button first, the text second.
    CreateWindowExA(0, kPopupButtonClass.data(), "OK", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 0,
                    80, 24, dlg, reinterpret_cast<HMENU>(IDOK), inst, nullptr);
    CreateWindowExA(0, "Static", init.text->c_str(), WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX | SS_EDITCONTROL, 0,
                    0, 200, 40, dlg, reinterpret_cast<HMENU>(0xFFFF), inst, nullptr);
    init.hinted = popup_hint(init.tolvik, dlg);  // ready: title, OK button first, then the text
}

// Fonts, size, place and focus, then on the screen: what a popup needs only once it is shown. A popup made
// for a Tolvik to take is a message-only window until then; here it joins the desktop's windows.
void present_popup(PopupSide &side, HWND dlg)
{
    if (GetAncestor(dlg, GA_PARENT) != GetDesktopWindow())
        SetParent(dlg, nullptr);
    HWND ok = GetDlgItem(dlg, IDOK), text = GetDlgItem(dlg, 0xFFFF);
    const HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    SendMessageA(ok, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    SendMessageA(text, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    layout_popup(side, dlg, ok, text);
    ++side.shown;
    SetFocus(ok);
    ShowWindow(dlg, SW_SHOW);
    SetForegroundWindow(dlg);
}

void on_popup_destroy(HWND dlg)
{
    PopupSide *side = reinterpret_cast<PopupSide *>(GetWindowLongPtrA(dlg, DWLP_USER));
    if (!side)
        return;
    const auto it = side->open.find(dlg);
    if (it == side->open.end())
        return;
    release_place(it->second);
    side->open.erase(it);
}

// A popup closed before it was shown has only ever been a window holding a text: its place goes back at once,
// and the window is destroyed when no message waits for the thread. Destroying is a good part of what a popup
// costs, and in a burst of messages the places are what counts.
void close_popup(HWND dlg)
{
    PopupSide *side = reinterpret_cast<PopupSide *>(GetWindowLongPtrA(dlg, DWLP_USER));
    if (side && side->spent.count(dlg))
        return;
    if (!side || IsWindowVisible(dlg) || !side->open.count(dlg)) {
        DestroyWindow(dlg);
        return;
    }
    KillTimer(dlg, kShowTimer);
    on_popup_destroy(dlg);
    side->spent.insert(dlg);
}

INT_PTR CALLBACK popup_proc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_INITDIALOG:
        on_popup_init(dlg, *reinterpret_cast<PopupInit *>(lParam));
        return FALSE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)
            close_popup(dlg);
        return TRUE;
    case WM_CLOSE:
        close_popup(dlg);
        return TRUE;
    case WM_TIMER:
        if (wParam == kShowTimer) {
            KillTimer(dlg, kShowTimer);
            if (PopupSide *side = reinterpret_cast<PopupSide *>(GetWindowLongPtrA(dlg, DWLP_USER)))
                present_popup(*side, dlg);
        }
        return TRUE;
    case WM_DESTROY:
        on_popup_destroy(dlg);
        return TRUE;
    default:
        return FALSE;
    }
}

// Makes one popup and shows it, or has it shown later. The network thread took its place in the room before it
// answered the sender: a popup that cannot be made is logged and gives its place back.
void show_popup(PopupSide &side, const Handed &handed)
{
    const std::string &text = handed.text;
    struct {
        DLGTEMPLATE t;
        WORD menu, cls, title;
    } tpl = {};
    tpl.t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFOREGROUND;
    tpl.t.cx = 200;
    tpl.t.cy = 80;
    // A popup that a Tolvik will most likely take before it is drawn is made message-only: a top-level window
    // costs the window system (and a desktop's taskbar) far more to make and destroy, and in a burst that cost
    // is what limits how many messages the service can take. Tolvik finds it by the handle it is told.
    PopupInit init{&side, &text, hint_target(), false};
    HWND dlg = CreateDialogIndirectParamA(GetModuleHandleA(nullptr), &tpl.t, init.tolvik ? HWND_MESSAGE : nullptr,
                                          popup_proc, reinterpret_cast<LPARAM>(&init));
    if (!dlg) {
        log_line(side.shared->cfg, "could not show a popup: error %lu", GetLastError());
        release_place(handed.source);
        return;
    }
    side.open[dlg] = handed.source;
    // A Tolvik told of the popup takes it within moments, before it is worth drawing; a popup it has not taken
    // when the grace is over is shown (a timer: while messages wait to be shown, later still).
    if (init.hinted)
        SetTimer(dlg, kShowTimer, kShowGraceMs, nullptr);
    else
        present_popup(side, dlg);
}

// Shows every text waiting in the hand-off queue. Popups already taken are closed before each: their places
// are what the next messages need.
void show_handed(PopupSide &side)
{
    for (;;) {
        MSG close;
        while (PeekMessageA(&close, nullptr, WM_CLOSE, WM_CLOSE, PM_REMOVE))
            DispatchMessageA(&close);
        Handed next;
        {
            Locked lock;
            if (g_handed.empty())
                return;
            next = std::move(g_handed.front());
            g_handed.pop_front();
        }
        show_popup(side, next);
    }
}

LRESULT CALLBACK window_proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    PopupSide *side = reinterpret_cast<PopupSide *>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (msg == kShowMessage && side) {
        show_handed(*side);
        return 0;
    }
    if (msg == WM_CLOSE) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

} // namespace

HWND popups_find_running() { return FindWindowExA(HWND_MESSAGE, nullptr, kWindowClass, nullptr); }

bool popups_open(ServiceShared &s, HINSTANCE inst)
{
    InitializeCriticalSection(&g_lock);
    g_room = make_popup_room(s.cfg.popups);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = window_proc;
    wc.hInstance = inst;
    wc.lpszClassName = kWindowClass;
    RegisterClassA(&wc);
    s.window = CreateWindowExA(0, kWindowClass, kWindowClass, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, inst, nullptr);
    // A hidden top-level window that lives as long as the thread: when a thread's last top-level window goes,
    // Wine tears down the thread's default IME window and builds it again with the next one, which more than
    // doubled what each popup cost.
    CreateWindowExA(WS_EX_TOOLWINDOW, "Static", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, inst, nullptr);
    return s.window != nullptr;
}

RoomVerdict popup_post(ServiceShared &s, uint32_t source, const std::string &text)
{
    {
        Locked lock;
        const RoomVerdict v = popup_take(g_room, source);
        if (v != RoomVerdict::Taken)
            return v;
        g_handed.push_back(Handed{source, text});
    }
    if (PostMessageA(s.window, kShowMessage, 0, 0))
        return RoomVerdict::Taken;
    // This thread alone hands texts over: when the queue is not empty, its last text is this one.
    Locked lock;
    if (g_handed.empty())
        return RoomVerdict::Taken;  // the window took it all the same
    g_handed.pop_back();
    popup_release(g_room, source);
    return RoomVerdict::Full;
}

void popups_run(ServiceShared &s)
{
    PopupSide side;
    side.shared = &s;
    SetWindowLongPtrA(s.window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&side));
    MSG msg;
    for (;;) {
        if (!side.spent.empty() && !PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            HWND dlg = *side.spent.begin();
            side.spent.erase(side.spent.begin());
            DestroyWindow(dlg);
            continue;
        }
        if (GetMessageA(&msg, nullptr, 0, 0) <= 0)
            break;
        HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
        if (root && side.open.count(root) && IsDialogMessageA(root, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    // Popups still open outlive `side` until the process ends.
    for (const auto &popup : side.open)
        SetWindowLongPtrA(popup.first, DWLP_USER, 0);
    for (HWND popup : side.spent)
        SetWindowLongPtrA(popup, DWLP_USER, 0);
    SetWindowLongPtrA(s.window, GWLP_USERDATA, 0);
}

} // namespace msgsvc
