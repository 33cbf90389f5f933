// timers.cpp - timer dispatch, the one-shot hide timer and the new-message animation.
#include "receive/timers.h"

#include "base/ids.h"
#include "base/mainwnd.h"
#include "app/shell.h"
#include "receive/capture.h"
#include "send/send.h"
#include "settings/settings.h"

static int s_animationCounter = 1; // 1..9
static UINT_PTR s_animationTimer;  // what the last start of timer 150 returned; never cleared
static const char kReceiverCaption[] = "&Receiver";

void animation_stop(HWND hwnd)
{
    if (s_animationTimer)
        KillTimer(hwnd, TIMER_ANIMATION);
    SetDlgItemTextA(hwnd, IDC_RECEIVER, kReceiverCaption);
    tray_set_icon(false);
}

void animation_start(HWND hwnd)
{
    s_animationCounter = 1;
    s_animationTimer = SetTimer(hwnd, TIMER_ANIMATION, ANIMATION_PERIOD_MS, nullptr);
}

// Blinks the tray icon (icon 156 on every fourth frame) and spells out the Receiver
// button's caption until the user looks at the incoming list.
static void animation_tick(HWND hwnd)
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

void timer_on_tick(HWND hwnd, UINT_PTR id)
{
    switch (id) {
    case TIMER_MONITOR: capture_step(hwnd); break;
    case TIMER_HIDE:
        // A window the user already brought up (tray icon, second instance) in the first
        // 100 ms has its full frame and stays up.
        if (!tray_full_frame())
            ShowWindow(hwnd, SW_HIDE);
        KillTimer(hwnd, TIMER_HIDE);
        send_prepare(); // start-up is over
        break;
    case TIMER_ANIMATION: animation_tick(hwnd); break;
    case TIMER_TRAY_RETRY: tray_retry_add(hwnd); break;
    case TIMER_SEND_NEXT: send_on_timer(hwnd); break;
    default: break;
    }
}
