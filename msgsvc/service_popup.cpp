// service_popup.cpp - the popup side of msgsvc.exe, on the user-interface thread: the message-only window that
// takes the texts from the network thread (and WM_CLOSE from --stop), and one Messenger popup per message (first
// child an OK button, second a static with the header, a blank line and the text).
#include "msgsvc/service.h"

#include "msgsvc/policy.h"

#include <set>
#include <string>

namespace msgsvc {

namespace {

constexpr UINT kShowMessage = WM_APP + 1;  // lParam: std::string * text, owned by the receiver of the message
constexpr char kWindowClass[] = "TolvikMsgsvc";
constexpr UINT_PTR kShowTimer = 1;  // a popup that Tolvik was told of is shown when this fires
constexpr UINT kShowGraceMs = 200;

// The user-interface thread's state, owned by popups_run; the window and every popup point to it.
struct PopupSide {
    ServiceShared *shared = nullptr;
    std::set<HWND> open;
    unsigned shown = 0;  // popups shown so far (not those Tolvik took first), for their cascade position
};

struct PopupInit {
    PopupSide *side;
    const std::string *text;
    bool hinted;  // a Tolvik was told of the popup
};

void layout_popup(const PopupSide &side, HWND dlg, HWND ok, HWND text)
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
    const int offset = static_cast<int>(side.shown % 12) * 24;
    SetWindowPos(dlg, HWND_TOP, 60 + offset, 40 + offset, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOACTIVATE);
}

void on_popup_init(HWND dlg, PopupInit &init)
{
    SetWindowLongPtrA(dlg, DWLP_USER, reinterpret_cast<LONG_PTR>(init.side));
    const bool russian = GetACP() == 1251;
    SetWindowTextA(dlg, std::string(russian ? kPopupTitleRussian : kPopupTitle).c_str());
    const HINSTANCE inst = GetModuleHandleA(nullptr);
    // The order of creation is the order of the children: the OK button first, the text second.
    CreateWindowExA(0, "Button", "OK", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 0, 80, 24, dlg,
                    reinterpret_cast<HMENU>(IDOK), inst, nullptr);
    CreateWindowExA(0, "Static", init.text->c_str(), WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 0, 0, 200, 40, dlg,
                    reinterpret_cast<HMENU>(0xFFFF), inst, nullptr);
    init.hinted = popup_hint(dlg);  // ready: title, OK button first, then the text
}

// Fonts, size, place and focus, then on the screen: what a popup needs only once it is shown.
void present_popup(PopupSide &side, HWND dlg)
{
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
    if (side && side->open.erase(dlg))
        InterlockedDecrement(&side->shared->popups);
}

INT_PTR CALLBACK popup_proc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_INITDIALOG:
        on_popup_init(dlg, *reinterpret_cast<PopupInit *>(lParam));
        return FALSE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)
            DestroyWindow(dlg);
        return TRUE;
    case WM_CLOSE:
        DestroyWindow(dlg);
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

// Makes one popup and shows it, or has it shown later. The network thread counted it in shared->popups before it
// answered the sender: a popup that cannot be made is logged and taken out of the count.
void show_popup(PopupSide &side, const std::string &text)
{
    struct {
        DLGTEMPLATE t;
        WORD menu, cls, title;
    } tpl = {};
    tpl.t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFOREGROUND;
    tpl.t.cx = 200;
    tpl.t.cy = 80;
    PopupInit init{&side, &text, false};
    HWND dlg = CreateDialogIndirectParamA(GetModuleHandleA(nullptr), &tpl.t, nullptr, popup_proc,
                                          reinterpret_cast<LPARAM>(&init));
    if (!dlg) {
        InterlockedDecrement(&side.shared->popups);
        log_line(side.shared->cfg, "could not show a popup: error %lu", GetLastError());
        return;
    }
    side.open.insert(dlg);
    // A Tolvik told of the popup takes it within moments, before it is worth drawing; a popup it has not taken
    // when the grace is over is shown (a timer: while messages wait to be shown, later still).
    if (init.hinted)
        SetTimer(dlg, kShowTimer, kShowGraceMs, nullptr);
    else
        present_popup(side, dlg);
}

LRESULT CALLBACK window_proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    PopupSide *side = reinterpret_cast<PopupSide *>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (msg == kShowMessage && side) {
        // Popups already taken are closed first: their room is what the next messages need.
        MSG close;
        while (PeekMessageA(&close, nullptr, WM_CLOSE, WM_CLOSE, PM_REMOVE))
            DispatchMessageA(&close);
        std::string *text = reinterpret_cast<std::string *>(lParam);
        show_popup(*side, *text);
        delete text;
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
    WNDCLASSA wc = {};
    wc.lpfnWndProc = window_proc;
    wc.hInstance = inst;
    wc.lpszClassName = kWindowClass;
    RegisterClassA(&wc);
    s.window = CreateWindowExA(0, kWindowClass, kWindowClass, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, inst, nullptr);
    return s.window != nullptr;
}

bool popup_post(ServiceShared &s, const std::string &text)
{
    std::string *copy = new std::string(text);
    if (PostMessageA(s.window, kShowMessage, 0, reinterpret_cast<LPARAM>(copy)))
        return true;
    delete copy;
    return false;
}

void popups_run(ServiceShared &s)
{
    PopupSide side;
    side.shared = &s;
    SetWindowLongPtrA(s.window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&side));
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
        if (root && side.open.count(root) && IsDialogMessageA(root, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    // Popups still open outlive `side` until the process ends.
    for (HWND dlg : side.open)
        SetWindowLongPtrA(dlg, DWLP_USER, 0);
    SetWindowLongPtrA(s.window, GWLP_USERDATA, 0);
}

} // namespace msgsvc
