// mainwnd.h - the main window's process-wide state and the operations other subsystems call on it.
#ifndef TOLVIK_MAINWND_H
#define TOLVIK_MAINWND_H

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <cstdint>
#include <string>

// Handles and flags of the one main window; created by its WM_INITDIALOG, read everywhere.
struct MainState {
    HWND window;            // the dialog itself
    HWND recipient;         // recipient box 1012
    HWND sentMessages;      // sent-messages box 1042
    HWND message;           // message edit 1005
    HWND sendButton;        // Send button 1001
    HWND sendLog;           // send log list 1022
    HWND incoming;          // incoming list 1023
    HICON trayIcon;         // icon 134 at the small icon size: tray icon at rest, small window icon
    HICON trayIconAlt;      // icon 156 at the small icon size: second frame of the new-message animation
    HIMAGELIST sendImages;  // send log images: 0 done, 1 failed, 2 sending
    HMENU trayMenu;
    HMENU incomingMenu;     // first popup of menu 148
    CRITICAL_SECTION sendLock;
    CRITICAL_SECTION captureLock;
    bool locksCreated;
    NOTIFYICONDATAA trayRecord;
    HHOOK keyboardHook;
    UINT_PTR monitorTimer;   // result of the last start of timer 50; 0 if never started
    UINT_PTR hideTimer;
    RECT startRect;          // window rectangle before collapsing (screen coordinates)
    int startWidth, startHeight;
    bool fullFrame;          // set by the first showing, never cleared
    int dialogsOpen;         // About boxes and Message Views open (viewers nest)
    bool configOpen;         // configuration dialog open
    bool contextMenuOpen;    // incoming context menu being tracked
};

extern MainState g_main;
extern HINSTANCE g_instance;

// Single-instance memory (named "fmMorvaneTolvik"); both may be null.
extern HANDLE g_mapping;
extern volatile std::uint32_t *g_sharedView;

INT_PTR CALLBACK MainDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// The writes other subsystems make to the main window's state.
void main_dialog_opened();            // an About box or Message View opens
void main_dialog_closed();            // one of them closes (once per opening)
void main_config_open(bool open);     // the configuration dialog opens or closes
bool main_dialog_open();              // any of them open: tray menu greyed, no Ctrl+Tab
void main_monitor_timer_update();     // timer 50 (re)started when Monitor is on, else stopped
void main_context_menu_open(bool open);

// Exit sequence: tray icon removed, histories and mode saved, dialog ended.
void main_exit(HWND hwnd);

// The whole text of a window (any thread: a call to another thread's window waits for it).
std::string window_text(HWND hwnd);

// Shows a message box captioned "Tolvik".
int tolvik_message_box(HWND owner, const char *text, UINT flags);

#endif
