// send.cpp - the Send command and its workers: one thread per recipient name, each sending
// the message edit's text with NetMessageBufferSend and reporting in its send log line.
#include "send/send.h"

#include "app/ids.h"
#include "app/mainwnd.h"
#include "app/platform.h"
#include "app/shell.h"
#include "send/recipients.h"
#include "send/send_texts.h"
#include "settings/history.h"
#include "settings/settings.h"

#include <lm.h>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

// One slot per name of a Send command, reused from the first slot by the next command.
struct SendJob {
    char name[514];
    LONG generation; // the Send command that filled the slot
};
static SendJob s_jobs[kMaxSendJobs];

// Workers of an earlier Send command must not touch the lines of a later one: each command
// has a generation, and a worker updates its line only while its generation is current.
static volatile LONG s_generation;
static volatile LONG s_running;      // workers started and not yet ended
static HANDLE s_allDone;             // signalled while no worker runs

static void worker_started()
{
    if (!s_allDone)
        s_allDone = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    if (InterlockedIncrement(&s_running) == 1)
        ResetEvent(s_allDone);
}

static void worker_ended()
{
    if (InterlockedDecrement(&s_running) == 0)
        SetEvent(s_allDone);
}

bool send_wait_for_workers(DWORD timeoutMs)
{
    return !s_allDone || s_running == 0 || WaitForSingleObject(s_allDone, timeoutMs) == WAIT_OBJECT_0;
}

static void set_status(const char *text)
{
    SetDlgItemTextA(g_main.window, IDC_STATUS, text);
}

static int log_insert_now(const char *text, int image)
{
    LVITEMA item = {};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = static_cast<int>(SendMessageA(g_main.sendLog, LVM_GETITEMCOUNT, 0, 0)) + 1;
    item.pszText = const_cast<char *>(text);
    item.iImage = image;
    return static_cast<int>(SendMessageA(g_main.sendLog, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
}

LRESULT send_log_on_message(const SendLogRequest &request)
{
    // Runs on the main window's thread, where the Send command also runs: a request of an
    // earlier command cannot slip in between the new command's start and its lines.
    if (request.generation != s_generation)
        return -1;
    if (request.index < 0)
        return log_insert_now(request.text, request.image);
    LVITEMA item = {};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = request.index;
    item.pszText = const_cast<char *>(request.text);
    item.iImage = request.image;
    return SendMessageA(g_main.sendLog, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
}

// From a worker: insert (index -1) or update a line of its own command's log; -1 when the
// command is no longer the latest.
static int log_request(LONG generation, int index, const std::string &text, int image)
{
    SendLogRequest request = {generation, index, text.c_str(), image};
    return static_cast<int>(SendMessageA(g_main.window, WM_SENDLOG, 0, reinterpret_cast<LPARAM>(&request)));
}


// The worker's own copy of its job, taken before anything else.
struct Worker {
    char name[kMaxNameChars + 1];
    LONG generation;
    int line;
};

static thread_local Worker *t_worker; // set while the network send runs
static PVOID s_faultHandler;

static void worker_finish(Worker &w, std::uint32_t code)
{
    EnterCriticalSection(&g_main.sendLock);
    if (w.line >= 0)
        log_request(w.generation, w.line, send_log_line(w.name, code), code == 0 ? 0 : 1);
    LeaveCriticalSection(&g_main.sendLock);
    EnableWindow(g_main.sendButton, TRUE);
    worker_ended();
}

// A fault inside the network send (an unimplemented message service raises one) ends only
// the worker that met it: its line and the status line say so, Send is enabled again, and
// nothing is stored in the histories.
static LONG CALLBACK on_fault(EXCEPTION_POINTERS *info)
{
    DWORD code = info->ExceptionRecord->ExceptionCode;
    bool fault = (code & 0xC0000000u) == 0xC0000000u || code == 0x80000100u /* unimplemented stub */ ||
                 (info->ExceptionRecord->ExceptionFlags & EXCEPTION_NONCONTINUABLE);
    Worker *w = t_worker;
    if (!fault || !w)
        return EXCEPTION_CONTINUE_SEARCH;
    t_worker = nullptr;
    set_status(send_status_text(kSendFaulted));
    worker_finish(*w, kSendFaulted);
    ExitThread(0);
}

// Sends the message edit's text to one recipient; returns the platform status code.
static std::uint32_t network_send(Worker &w)
{
    set_status("Sending ...");
    WCHAR message[1024] = L"";
    GetWindowTextW(g_main.message, message, 1024);
    DWORD length = static_cast<DWORD>(lstrlenW(message));
    WCHAR recipient[257] = L"";
    MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, w.name, -1, recipient, 257);
    t_worker = &w;
    NET_API_STATUS rc = NetMessageBufferSend(nullptr, recipient, nullptr, reinterpret_cast<BYTE *>(message),
                                             2 * length);
    t_worker = nullptr;
    set_status(send_status_text(rc));
    if (rc == 0) {
        // Workers that succeed together must not both find the line unlisted and list it twice.
        EnterCriticalSection(&g_main.sendLock);
        recipients_history_save();
        sent_message_save();
        LeaveCriticalSection(&g_main.sendLock);
    }
    return rc;
}

static DWORD WINAPI send_worker(LPVOID param)
{
    const SendJob *job = static_cast<const SendJob *>(param);
    Worker w;
    lstrcpynA(w.name, job->name, sizeof w.name);
    w.generation = job->generation;
    EnableWindow(g_main.sendButton, FALSE);
    EnterCriticalSection(&g_main.sendLock);
    w.line = log_request(w.generation, -1, send_progress_line(w.name), 2);
    LeaveCriticalSection(&g_main.sendLock);
    std::uint32_t code = network_send(w);
    worker_finish(w, code);
    return 0;
}

void send_command(HWND hwnd)
{
    if (receiver_mode() || !IsWindowEnabled(g_main.sendButton))
        return;
    if (g_settings.MinimizeOnSend)
        SendMessageA(hwnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EnableWindow(g_main.sendButton, FALSE);
    LONG generation = InterlockedIncrement(&s_generation);
    SendMessageA(g_main.sendLog, LVM_DELETEALLITEMS, 0, 0);
    if (!s_faultHandler)
        s_faultHandler = AddVectoredExceptionHandler(1, on_fault);

    std::string text = window_text(g_main.recipient);
    SplitResult split = split_recipients(text, char_equal_ignore_case);
    // Names that cannot be sent are reported, never dropped.
    for (const RejectedName &r : split.rejected)
        log_insert_now(send_refusal_line(r.name, r.reason == RejectReason::TooLong ? SendRefusal::NameTooLong
                                                                                    : SendRefusal::TooManyNames)
                           .c_str(),
                       1);
    if (split.names.empty() && !split.rejected.empty()) {
        set_status("Last send failed.");
        EnableWindow(g_main.sendButton, TRUE);
    }
    size_t slot = 0;
    for (const RecipientName &n : split.names) {
        SendJob &job = s_jobs[slot++];
        lstrcpynA(job.name, n.name.c_str(), sizeof job.name);
        job.generation = generation;
        worker_started();
        HANDLE thread = CreateThread(nullptr, 0, send_worker, &job, 0, nullptr);
        if (thread)
            CloseHandle(thread);
        else
            worker_ended();
        if (&n != &split.names.back())
            Sleep(200);
    }
}
