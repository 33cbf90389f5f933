// mainwnd.cpp - the main window's shared handles, the count of dialogs over it, and window helpers.
#include "base/mainwnd.h"

#include "base/dpi.h"
#include "base/ids.h"

#include <vector>

MainState g_main;
HINSTANCE g_instance;

static int s_dialogsOpen; // About boxes and Message Views open
static bool s_configOpen;

void main_handles_set(HWND window)
{
    g_main.window = window;
    g_main.recipient = GetDlgItem(window, IDC_RECIPIENT);
    g_main.sentMessages = GetDlgItem(window, IDC_SENTMESSAGES);
    g_main.message = GetDlgItem(window, IDC_MESSAGE);
    g_main.sendButton = GetDlgItem(window, IDC_SEND);
    g_main.sendLog = GetDlgItem(window, IDC_SENDLOG);
    g_main.incoming = GetDlgItem(window, IDC_INCOMING);
}

void main_dialog_opened()
{
    ++s_dialogsOpen;
}

void main_dialog_closed()
{
    if (s_dialogsOpen > 0)
        --s_dialogsOpen;
}

void main_config_open(bool open)
{
    s_configOpen = open;
}

bool main_dialog_open()
{
    return s_dialogsOpen > 0 || s_configOpen;
}

std::string window_text(HWND hwnd)
{
    int length = GetWindowTextLengthA(hwnd);
    if (length <= 0)
        return std::string();
    std::vector<char> buffer(static_cast<size_t>(length) + 1);
    int got = GetWindowTextA(hwnd, buffer.data(), length + 1);
    return std::string(buffer.data(), got > 0 ? static_cast<size_t>(got) : 0);
}

int tolvik_message_box(HWND owner, const char *text, UINT flags)
{
    return MessageBoxA(owner, text, "Tolvik", flags);
}

int screen_dpi()
{
    static int dpi = 0;
    if (!dpi) {
        HDC screen = GetDC(nullptr);
        dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
        if (screen)
            ReleaseDC(nullptr, screen);
        if (dpi <= 0)
            dpi = 96;
    }
    return dpi;
}

int screen_px(int px)
{
    return scale_px(px, screen_dpi());
}
