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
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

// What one worker is given: the name it sends to, the whole recipient line its history saves
// store, its place among the command's names, and the Send command it belongs to. Made by the
// Send command, owned and freed by the worker.
struct SendJob {
    std::string name;
    std::string line;
    int order;
    LONG generation;
    bool someRefused; // the command refused some of its names
};

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

// Inserts a line where its order puts it among the lines already there; returns its index.
static int log_insert_now(const char *text, int image, int order)
{
    int count = static_cast<int>(SendMessageA(g_main.sendLog, LVM_GETITEMCOUNT, 0, 0));
    LVITEMA item = {};
    item.mask = LVIF_PARAM;
    for (item.iItem = 0; item.iItem < count; ++item.iItem)
        if (SendMessageA(g_main.sendLog, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)) && item.lParam > order)
            break;
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
    item.pszText = const_cast<char *>(text);
    item.iImage = image;
    item.lParam = order;
    return static_cast<int>(SendMessageA(g_main.sendLog, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
}

LRESULT send_log_on_message(const SendLogRequest &request)
{
    // Runs on the main window's thread, where the Send command also runs: a request of an
    // earlier command cannot slip in between the new command's start and its lines.
    if (request.generation != s_generation)
        return -1;
    if (request.insert)
        return log_insert_now(request.text, request.image, request.order);
    LVFINDINFOA find = {};
    find.flags = LVFI_PARAM;
    find.lParam = request.order;
    LVITEMA item = {};
    item.iItem = static_cast<int>(SendMessageA(g_main.sendLog, LVM_FINDITEMA, static_cast<WPARAM>(-1),
                                               reinterpret_cast<LPARAM>(&find)));
    if (item.iItem < 0)
        return -1;
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.pszText = const_cast<char *>(request.text);
    item.iImage = request.image;
    return SendMessageA(g_main.sendLog, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
}

// From a worker: insert or update its line of its own command's log; -1 when the command is
// no longer the latest.
static int log_request(const SendJob &job, bool insert, const std::string &text, int image)
{
    SendLogRequest request = {job.generation, job.order, insert, text.c_str(), image};
    return static_cast<int>(SendMessageA(g_main.window, WM_SENDLOG, 0, reinterpret_cast<LPARAM>(&request)));
}

// A fault raised inside the network call (an unimplemented message service raises one) must
// cost only that one send. Before the call the worker saves a landing point; the vectored
// handler below, for a fault of the system's own kinds raised on that thread while the call
// runs, hands the dispatcher the saved context instead of the faulting one, so the thread
// resumes at the landing point and the call reports kSendFaulted. The dispatcher itself
// restores the context: nothing unwinds across its frames, and the thread is never ended
// from inside the handler.
struct Landing {
    CONTEXT context;
    volatile LONG faulted;
#if defined(__i386__)
    void *frames; // the head of the thread's SEH frame chain (fs:[0]) before the call
#endif
};
static thread_local Landing *t_landing; // set while the network call runs
static PVOID s_faultHandler;

// The capture below returns a second time when a fault lands there.
extern "C" DECLSPEC_IMPORT __attribute__((returns_twice)) VOID NTAPI RtlCaptureContext(PCONTEXT);

// Access violations and the like (error severity, not an application's own code such as a
// C++ exception), and the exception of an unimplemented function.
static bool contained_fault(DWORD code)
{
    constexpr DWORD kUnimplemented = 0x80000100u, kErrorSeverity = 0xC0000000u, kCustomer = 0x20000000u;
    return code == kUnimplemented || ((code & kErrorSeverity) == kErrorSeverity && !(code & kCustomer));
}

static LONG CALLBACK on_fault(EXCEPTION_POINTERS *info)
{
    Landing *landing = t_landing;
    if (!landing || !contained_fault(info->ExceptionRecord->ExceptionCode))
        return EXCEPTION_CONTINUE_SEARCH;
    t_landing = nullptr;
    landing->faulted = 1;
    *info->ContextRecord = landing->context;
    return EXCEPTION_CONTINUE_EXECUTION;
}

// NetMessageBufferSend, looked up once start-up is over (or at the first send): netapi32.dll
// and the libraries it brings along stay off the way to the tray icon. Null when the system has
// none. Workers that race here load the library twice and find the same function.
using MessageSend = NET_API_STATUS(WINAPI *)(LPCWSTR, LPCWSTR, LPCWSTR, LPBYTE, DWORD);
static MessageSend message_send()
{
    static std::atomic<MessageSend> s_send{nullptr};
    MessageSend send = s_send.load();
    if (!send) {
        HMODULE dll = LoadLibraryA("netapi32.dll");
        send = dll ? reinterpret_cast<MessageSend>(reinterpret_cast<void *>(GetProcAddress(dll, "NetMessageBufferSend")))
                   : nullptr;
        s_send.store(send);
    }
    return send;
}

void send_prepare()
{
    message_send();
}

static __attribute__((noinline)) std::uint32_t call_service(const WCHAR *recipient, BYTE *message, DWORD bytes)
{
    Landing landing = {};
#if defined(__i386__)
    __asm__ volatile("movl %%fs:0, %0" : "=r"(landing.frames));
#endif
    RtlCaptureContext(&landing.context);
    if (landing.faulted) {
#if defined(__i386__)
        // Frames the faulting code registered lie on the stack the landing gave up.
        __asm__ volatile("movl %0, %%fs:0" : : "r"(landing.frames) : "memory");
#endif
        return kSendFaulted;
    }
    MessageSend send = message_send();
    if (!send)
        return ERROR_NOT_SUPPORTED;
    t_landing = &landing;
    NET_API_STATUS rc = send(nullptr, recipient, nullptr, message, bytes);
    t_landing = nullptr;
    return rc;
}

// Sends the message edit's text (its first 1023 characters) to the job's recipient; returns
// the platform status code. After a success the histories store the job's recipient line and
// the text as it was sent.
static std::uint32_t network_send(const SendJob &job)
{
    set_status("Sending ...");
    WCHAR message[1024] = L"";
    int length = GetWindowTextW(g_main.message, message, 1024);
    if (length == 0 && !IsWindow(g_main.message))
        return ERROR_INVALID_WINDOW_HANDLE; // the window is gone: nothing to send, nothing to store
    WCHAR recipient[257] = L"";
    MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, job.name.c_str(), -1, recipient, 257);
    std::uint32_t rc = call_service(recipient, reinterpret_cast<BYTE *>(message), 2 * static_cast<DWORD>(length));
    set_status(send_status_text(rc, job.someRefused));
    if (rc == 0) {
        std::string sent(static_cast<size_t>(WideCharToMultiByte(CP_ACP, 0, message, length, nullptr, 0, nullptr,
                                                                 nullptr)),
                         '\0');
        WideCharToMultiByte(CP_ACP, 0, message, length, &sent[0], static_cast<int>(sent.size()), nullptr, nullptr);
        // Workers that succeed together must not both find the line unlisted and list it twice.
        EnterCriticalSection(&g_main.sendLock);
        recipients_history_save(job.line, sent);
        sent_message_save(job.line, sent);
        LeaveCriticalSection(&g_main.sendLock);
    }
    return rc;
}

static DWORD WINAPI send_worker(LPVOID param)
{
    std::unique_ptr<SendJob> job(static_cast<SendJob *>(param));
    EnableWindow(g_main.sendButton, FALSE);
    EnterCriticalSection(&g_main.sendLock);
    bool listed = log_request(*job, true, send_progress_line(job->name), 2) >= 0;
    LeaveCriticalSection(&g_main.sendLock);
    std::uint32_t code = network_send(*job);
    EnterCriticalSection(&g_main.sendLock);
    if (listed)
        log_request(*job, false, send_log_line(job->name, code), code == 0 ? 0 : 1);
    LeaveCriticalSection(&g_main.sendLock);
    EnableWindow(g_main.sendButton, TRUE);
    worker_ended();
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

    std::string line = window_text(g_main.recipient);
    SplitResult split = split_recipients(line, char_equal_ignore_case);
    // Names that cannot be sent are reported in their place, never dropped.
    for (const RejectedName &r : split.rejected)
        log_insert_now(send_refusal_line(r.name, r.reason == RejectReason::TooLong ? SendRefusal::NameTooLong
                                                                                    : SendRefusal::TooManyNames)
                           .c_str(),
                       1, static_cast<int>(r.order));
    if (split.names.empty() && !split.rejected.empty()) {
        set_status("Last send failed.");
        EnableWindow(g_main.sendButton, TRUE);
    }
    for (const RecipientName &n : split.names) {
        SendJob *job = new SendJob{n.name, line, static_cast<int>(n.order), generation, !split.rejected.empty()};
        worker_started();
        HANDLE thread = CreateThread(nullptr, 0, send_worker, job, 0, nullptr);
        if (thread) {
            CloseHandle(thread);
        } else {
            delete job;
            worker_ended();
        }
        if (&n != &split.names.back())
            Sleep(200);
    }
}
