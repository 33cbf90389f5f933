// timers.cpp - the main window's timer dispatch, the monitor timer's rule and the one-shot hide
// timer that ends start-up.
#include "app/shell.h"

#include "base/ids.h"
#include "base/mainwnd.h"
#include "receive/capture.h"
#include "send/send.h"
#include "settings/settings.h"

static UINT_PTR s_monitorTimer; // result of the last start of TIMER_MONITOR; 0 if never started

// The one rule for the monitor timer: it runs exactly while Monitor is on. The marker keeps
// the last start's result, so the exit stops only a timer that was ever started.
void monitor_timer_update()
{
    if (g_settings.Monitor)
        s_monitorTimer = SetTimer(g_main.window, TIMER_MONITOR, MONITOR_PERIOD_MS, nullptr);
    else
        KillTimer(g_main.window, TIMER_MONITOR);
}

void monitor_timer_end()
{
    if (s_monitorTimer)
        KillTimer(g_main.window, TIMER_MONITOR);
}

void hide_timer_start()
{
    SetTimer(g_main.window, TIMER_HIDE, HIDE_PERIOD_MS, nullptr);
}

// A window the user already brought up (tray icon, second instance) in the first 100 ms has its
// full frame and stays up.
static void on_hide_timer(HWND hwnd)
{
    if (!tray_full_frame())
        ShowWindow(hwnd, SW_HIDE);
    KillTimer(hwnd, TIMER_HIDE);
    send_prepare(); // start-up is over
}

void timer_on_tick(HWND hwnd, UINT_PTR id)
{
    switch (id) {
    case TIMER_MONITOR:
        if (capture_step())
            message_arrived(hwnd);
        break;
    case TIMER_HIDE: on_hide_timer(hwnd); break;
    case TIMER_ANIMATION: animation_tick(hwnd); break;
    case TIMER_TRAY_RETRY: tray_retry_add(hwnd); break;
    case TIMER_SEND_NEXT:
        if (send_on_timer(hwnd))
            send_ended();
        break;
    default: break;
    }
}
