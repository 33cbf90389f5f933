// arrival.cpp - what a filed message sets off, as the settings ask: the switch to Receiver mode,
// a beep, the program to run, the Message View or the window brought forward, and the new-message
// animation, which runs until the user looks at the incoming list.
#include "app/shell.h"

#include "base/ids.h"
#include "base/mainwnd.h"
#include "receive/incoming.h"
#include "settings/settings.h"

#include <shellapi.h>

static int s_animationCounter = 1; // 1..9
static UINT_PTR s_animationTimer;  // what the last start of TIMER_ANIMATION returned; never cleared
static const char kReceiverCaption[] = "&Receiver";

void animation_stop(HWND hwnd)
{
    if (s_animationTimer)
        KillTimer(hwnd, TIMER_ANIMATION);
    SetDlgItemTextA(hwnd, IDC_RECEIVER, kReceiverCaption);
    tray_set_icon(false);
}

// Blinks the tray icon (its second frame on every fourth tick) and spells out the Receiver
// button's caption until the user looks at the incoming list.
void animation_tick(HWND hwnd)
{
    if (receiver_mode() && IsWindowVisible(hwnd) && tray_full_frame()) {
        animation_stop(hwnd);
        return;
    }
    if (g_settings.AnimTrayOnMessage)
        tray_set_icon(s_animationCounter % 4 == 0);
    if (++s_animationCounter == 10)
        s_animationCounter = 1;
    char caption[sizeof kReceiverCaption];
    lstrcpynA(caption, kReceiverCaption, s_animationCounter + 1);
    SetDlgItemTextA(hwnd, IDC_RECEIVER, caption);
}

void message_arrived(HWND hwnd)
{
    if (receiver_mode())
        message_count_update();
    else if (g_settings.SwitchOnMessage && !g_settings.DoNotStealFocus)
        enter_receiver_mode(hwnd);
    if (g_settings.BeepOnMessage)
        Beep(1500, 50);
    if (g_settings.EnableRunOnMessage)
        ShellExecuteA(GetDesktopWindow(), "open", g_settings.ExternalProg, nullptr, nullptr, SW_SHOWNORMAL);
    if (g_settings.InternalMessage)
        main_view(hwnd); // returns when the viewer closes
    else if (g_settings.PopupOnMessage)
        tray_bring_forward(hwnd);
    // The animation starts from its first frame after every filed message.
    s_animationCounter = 1;
    s_animationTimer = SetTimer(hwnd, TIMER_ANIMATION, ANIMATION_PERIOD_MS, nullptr);
}
