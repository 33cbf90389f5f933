// tooltips.cpp - one tooltip control explaining eleven controls of the main window.
#include "app/shell.h"

#include "base/ids.h"
#include "base/mainwnd.h"

struct Tool {
    int id;
    const char *text;
};

// Registration order.
static constexpr Tool kTools[] = {
    {IDC_SEND, "Send (Ctrl+Enter)"},
    {IDC_HIST_DELETE, "Delete current message from history"},
    {IDC_HIST_CLEAR, "Clear history for current user"},
    {IDC_RECIPIENT, "Users history"},
    {IDC_SENTMESSAGES, "Messages history for current user"},
    {IDC_SENDER, "Switch to Sender Mode"},
    {IDC_RECEIVER, "Switch to Receiver Mode"},
    {IDC_REPLY, "Reply to selected message"},
    {IDC_VIEW, "View selected message"},
    {IDC_DELETE, "Delete selected message"},
    {IDC_DELETEALL, "Delete all messages"},
};

// Client rectangles of the controls at the window's start size. The tools are registered
// after the window has collapsed to nothing, when several controls are laid out empty, so
// the rectangles are taken before the collapse.
static RECT s_startRects[sizeof kTools / sizeof kTools[0]];

void tooltips_record_rects(HWND hwnd)
{
    for (size_t i = 0; i < sizeof kTools / sizeof kTools[0]; ++i)
        GetClientRect(GetDlgItem(hwnd, kTools[i].id), &s_startRects[i]);
}

// Tools keep the rectangles their controls had at the start size, also after resizing.
void tooltips_create(HWND hwnd)
{
    INITCOMMONCONTROLSEX icc = {8, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
    HWND tip = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd, nullptr,
                               g_instance, nullptr);
    SetWindowPos(tip, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    for (size_t i = 0; i < sizeof kTools / sizeof kTools[0]; ++i) {
        const Tool &tool = kTools[i];
        HWND control = GetDlgItem(hwnd, tool.id);
        TOOLINFOA info = {};
        info.cbSize = TTTOOLINFOA_V2_SIZE; // 44 bytes on 32-bit Windows: the record up to lParam
        info.uFlags = TTF_SUBCLASS;
        info.hwnd = control;
        info.uId = 0;
        info.rect = s_startRects[i];
        info.hinst = g_instance;
        info.lpszText = const_cast<char *>(tool.text);
        SendMessageA(tip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&info));
    }
}
