// keyboard.cpp - the thread keyboard hook that turns Ctrl+Enter, Ctrl+Tab, Ctrl+A and Enter
// into the commands of the buttons and menus.
#include "app/shell.h"

#include "base/ids.h"
#include "base/mainwnd.h"
#include "receive/message_view.h"
#include "receive/incoming.h"

static HHOOK s_hook;

static bool ctrl_down()
{
    return (GetKeyState(VK_CONTROL) & 0x8000) != 0;
}

static LRESULT on_tab()
{
    if (!ctrl_down() || main_dialog_open())
        return 0;
    if (receiver_mode())
        enter_sender_mode(g_main.window);
    else
        enter_receiver_mode(g_main.window);
    return 1;
}

static LRESULT on_enter()
{
    if (ctrl_down()) {
        HWND foreground = GetForegroundWindow();
        if (foreground == g_main.window)
            main_send(g_main.window);
        else
            view_reply(foreground);
        return 1;
    }
    if (GetAsyncKeyState(VK_CONTROL) || GetAsyncKeyState(VK_SHIFT) || GetAsyncKeyState(VK_MENU))
        return 0;
    if (!receiver_mode() || incoming_menu_open() || GetFocus() != g_main.incoming)
        return 0;
    if (SendMessageA(g_main.incoming, LVM_GETSELECTEDCOUNT, 0, 0) <= 0)
        return 0;
    main_view(g_main.window);
    return 1;
}

static void set_item_state(int index, UINT state)
{
    LVITEMA item = {};
    item.stateMask = state;
    item.state = state;
    SendMessageA(g_main.incoming, LVM_SETITEMSTATE, index, reinterpret_cast<LPARAM>(&item));
}

static LRESULT on_select_all()
{
    if (!ctrl_down())
        return 0;
    if (!receiver_mode()) {
        SetFocus(g_main.message);
        SendMessageA(g_main.message, EM_SETSEL, 0, GetWindowTextLengthA(g_main.message));
        return 1;
    }
    SetFocus(g_main.incoming);
    set_item_state(0, LVIS_FOCUSED);
    int count = incoming_count();
    for (int i = 0; i < count; ++i)
        set_item_state(i, LVIS_SELECTED);
    return 1;
}

// Returns 1 to swallow the keystroke, 0 to let it through. Only a key-down with repeat
// count exactly 1 is a shortcut, so a held Ctrl+Tab switches again on every repeat.
static LRESULT CALLBACK keyboard_proc(int code, WPARAM key, LPARAM flags)
{
    if (code < 0)
        return CallNextHookEx(s_hook, code, key, flags);
    if ((flags & 0x80000000) || (flags & 0xFFFF) != 1)
        return 0;
    switch (key) {
    case VK_TAB: return on_tab();
    case VK_RETURN: return on_enter();
    case 'A': return on_select_all();
    default: return 0;
    }
}

void keyboard_install()
{
    s_hook = SetWindowsHookExA(WH_KEYBOARD, keyboard_proc, nullptr, GetCurrentThreadId());
}
