// mainwnd.h - what every layer knows of the main window: its handles, the program's instance, the
// count of dialogs open over it, and the window helpers all of them use.
#ifndef TOLVIK_BASE_MAINWND_H
#define TOLVIK_BASE_MAINWND_H

#include <windows.h>
#include <commctrl.h>
#include <string>

// Handles of the one main window and of the controls several subsystems work on; set by the
// window's initialisation (main_handles_set), read everywhere on the window's thread.
struct MainState {
    HWND window;       // the dialog itself
    HWND recipient;    // recipient box (IDC_RECIPIENT)
    HWND sentMessages; // sent-messages box (IDC_SENTMESSAGES)
    HWND message;      // message edit (IDC_MESSAGE)
    HWND sendButton;   // IDC_SEND
    HWND sendLog;      // send log list (IDC_SENDLOG)
    HWND incoming;     // incoming list (IDC_INCOMING)
};

extern MainState g_main;
extern HINSTANCE g_instance;

void main_handles_set(HWND window);

// Dialogs over the main window: About boxes and Message Views (viewers nest), and the
// configuration dialog. While any is open the tray menu is greyed and Ctrl+Tab does nothing.
void main_dialog_opened();            // an About box or Message View opens
void main_dialog_closed();            // one of them closes (once per opening)
void main_config_open(bool open);     // the configuration dialog opens or closes
bool main_dialog_open();

// The whole text of a window (any thread: a call to another thread's window waits for it).
std::string window_text(HWND hwnd);

// Shows a message box captioned "Tolvik".
int tolvik_message_box(HWND owner, const char *text, UINT flags);

// The screen's dots per inch (the process is aware of the system dpi, which stays the same while
// it runs), and a length in pixels at 96 dpi at that dpi.
int screen_dpi();
int screen_px(int px);

#endif
