// harness.h - driving tolvik.exe from another process: start and stop it, find its windows
// and message boxes, read controls and list views across processes, the registry, and
// screenshots.
#ifndef TOLVIK_E2E_HARNESS_H
#define TOLVIK_E2E_HARNESS_H

#include <windows.h>
#include <commctrl.h>
#include <functional>
#include <string>
#include <vector>

extern std::string g_tolvikExe;

// One running program of a case. At the case's end harness_after_case asks each tolvik.exe
// that the case neither waited for nor killed to Exit, fails the case unless it ends with 0,
// and terminates whatever still runs.
struct App {
    PROCESS_INFORMATION pi = {};
    HWND main = nullptr;
    bool running() const;
};

// Starts tolvik.exe; returns false when the process cannot be created. extraEnv holds
// NAME=VALUE entries separated by '\n' that are set for the new process only.
bool app_start(App &app, const char *extraEnv = nullptr);
// Starts tolvik.exe and waits until its main window has initialised (up to timeoutMs).
bool app_start_main(App &app, DWORD timeoutMs = 15000, const char *extraEnv = nullptr);
// Starts any program (a test double, for example); ended by harness_after_case too.
bool app_start_program(App &app, const std::string &exe, const std::string &args, const char *extraEnv = nullptr);
// The DLL override for the netapi32.dll test double. Wine's loader does not take it from the
// environment a program is started with; netapi_double_enable() is what switches the double
// on. Passing this too keeps the intent visible in the cases and is harmless.
constexpr char kNetapiDoubleEnv[] = "WINEDLLOVERRIDES=netapi32=n,b;mscoree,mshtml=";
// Directory of the driver (and of tolvik.exe and the test doubles), with a trailing '\\'.
std::string program_dir();
// Waits for the process to end; returns its exit code, or -1 on time-out. Its end is then
// the case's to check, also with app_exit.
long app_wait_exit(App &app, DWORD timeoutMs);
// Sends Exit (667) and waits for the process to end; returns the exit code, -1 on time-out.
// For a case that looks at what the exit left; otherwise the case's end exits Tolvik.
long app_exit(App &app, DWORD timeoutMs = 10000);
// Ends the process at once, as a crash would (no Exit, nothing saved); true once it has ended.
bool app_kill(App &app);
// Gives the case an empty Tolvik key: whatever the case stores before it starts Tolvik is all
// Tolvik finds. Nothing of the last case runs any more by then (harness_after_case).
void harness_before_case();
// Ends every program the case started: each tolvik.exe left running exits cleanly or the case
// fails (unless it has failed already), then the rest is terminated.
void harness_after_case();

HWND find_main_window(DWORD pid);
// A top-level dialog-class window of process pid other than the main window, whose
// caption equals title (when given) and whose text has been set. Waits up to timeoutMs.
HWND wait_dialog(DWORD pid, const char *title, DWORD timeoutMs, HWND exclude = nullptr);
// The text of a message box (its static 0xFFFF).
std::string msgbox_text(HWND box);

bool wait_until(const std::function<bool()> &cond, DWORD timeoutMs, DWORD stepMs = 20);
std::string text_of(HWND hwnd);
std::string item_text(HWND dlg, int id);
bool enabled(HWND dlg, int id);
void post_command(HWND hwnd, int id, int code = 0, HWND control = nullptr);
void send_command(HWND hwnd, int id, int code = 0, HWND control = nullptr);

// List views of another process.
int lv_count(HWND list);
std::string lv_text(HWND list, int item, int sub);
int lv_image(HWND list, int item);
UINT lv_state(HWND list, int item, UINT mask);
bool lv_column(HWND list, int index, std::string &caption, int &width);
bool lv_set_state(HWND list, int item, UINT state, UINT mask);

// Notification-area icons as Wine's desktop shows them: the tip text and the icon's
// rectangle on the screen (read from the tray's tooltip tools).
struct TrayIcon {
    std::string tip;
    RECT screen;
};
std::vector<TrayIcon> tray_icons();
bool tray_has(const char *tip);

// Real mouse input at a screen point (SendInput). Under Wine a window that appears or goes
// under the pointer sends its thread a pointer event with the pointer's old position, taken
// whenever that thread gets to it, which moves the cursor there: let the thread of the window
// clicked take its window events first (make_foreground, settle_window_events).
void mouse_click(POINT p, bool right = false, bool doubleClick = false);

// Registry under HKEY_CURRENT_USER\Software\Morvane\Tolvik.
extern const char kTolvikKey[];
void reg_reset();                   // deletes the whole key
bool reg_get(const char *subkey, const char *name, DWORD &type, std::string &data);
bool reg_set_dword(const char *subkey, const char *name, DWORD value);
bool reg_set_raw(const char *subkey, const char *name, DWORD type, const void *data, DWORD size);
bool reg_key_exists(const char *subkey);
std::vector<std::string> reg_value_names(const char *subkey);

// The network provider registration that makes Wine report a network.
bool network_provider_enable(bool on);

// Saves the screen as a BMP; false on failure.
bool save_screenshot(const char *path);

// Makes tolvik.exe in this prefix load the recording netapi32.dll beside it (on) or the
// system's (off), through the per-program DllOverrides key of the prefix's registry. Wine
// reads WINEDLLOVERRIDES from the environment its loader was started with, not from the block
// CreateProcess hands over, so kNetapiDoubleEnv alone does not reach a tolvik.exe that the
// driver starts.
bool netapi_double_enable(bool on);

#endif
