// send.cpp - the Send command and its workers. The command reads the recipient line and the
// message once, on the window's thread, and starts one worker per name, 200 ms apart, from a
// timer. Each worker sends its own copy of the text with NetMessageBufferSend, stores a
// success in the histories' registry keys, and reports by posted messages only: it never
// reads a window and never waits on the window's thread.
#include "send/send.h"

#include "base/ids.h"
#include "base/mainwnd.h"
#include "base/platform.h"
#include "send/compose.h"
#include "send/recipients.h"
#include "send/send_texts.h"
#include "settings/history.h"
#include "settings/settings.h"

#include <lm.h>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

constexpr std::uint32_t kPending = 0xFFFFFFF0u; // a name whose outcome is not known yet
constexpr int kImageDone = 0, kImageFailed = 1, kImageSending = 2;
constexpr UINT kSpacingMs = 200; // between the starts of two workers

// What one worker sends, and where its outcome goes. Made by the Send command; shared by the
// worker and the window's thread, which reads `code` once the worker has reported its end.
struct SendJob {
    HWND window;              // where the reports go
    LONG generation;          // the Send command it belongs to
    int order;                // its name's place among the names of the recipient line
    std::string name;
    std::string line;         // the whole recipient line, stored with the text
    std::wstring text;        // the message as sent
    std::string stored;       // the same in the ANSI code page, as the histories keep it
    std::atomic<std::uint32_t> code{kPending};
};

// The latest Send command; the window's thread alone reads and writes it.
struct SendRun {
    LONG generation = 0;
    std::vector<std::string> names;                 // every name of the line by place
    std::vector<std::uint32_t> outcomes;            // by place; kPending until known
    std::vector<std::shared_ptr<SendJob>> jobs;     // by place; none for a refused name
    std::vector<int> toStart;                       // places of the names to send, in order
    std::size_t next = 0;                           // into toStart: the next worker to start
    int open = 0;                                   // names sent or to send, outcome unknown
    std::string line, stored;                       // what a success lists in the boxes
};
static SendRun s_run;

// Workers that run, for the wait at exit (any thread).
static volatile LONG s_running;
static HANDLE s_allDone; // signalled while no worker runs

// Holds the successful workers' stores apart, so that two of them never both find a text
// unlisted under the line's sent messages and write it twice. Taken only around registry work.
static CRITICAL_SECTION s_storeLock;
static bool s_storeLockMade;

void send_init()
{
    InitializeCriticalSection(&s_storeLock);
    s_storeLockMade = true;
}

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

// Workers still running hold on to the lock: they are waited for briefly (their window calls
// fail at once now), and a lock one of them may still take is never deleted.
void send_end(DWORD timeoutMs)
{
    bool none = !s_allDone || s_running == 0 || WaitForSingleObject(s_allDone, timeoutMs) == WAIT_OBJECT_0;
    if (s_storeLockMade && none) {
        DeleteCriticalSection(&s_storeLock);
        s_storeLockMade = false;
    }
}

static void set_status(const std::string &text)
{
    SetDlgItemTextA(g_main.window, IDC_STATUS, text.c_str());
}

// Shows the line of the name at `order`: sets it, or inserts it where its place puts it among
// the lines already there.
static void show_line(int order, const std::string &text, int image)
{
    LVFINDINFOA find = {};
    find.flags = LVFI_PARAM;
    find.lParam = order;
    LVITEMA item = {};
    item.iItem = static_cast<int>(SendMessageA(g_main.sendLog, LVM_FINDITEMA, static_cast<WPARAM>(-1),
                                               reinterpret_cast<LPARAM>(&find)));
    item.pszText = const_cast<char *>(text.c_str());
    item.iImage = image;
    if (item.iItem >= 0) {
        item.mask = LVIF_TEXT | LVIF_IMAGE;
        SendMessageA(g_main.sendLog, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
        return;
    }
    int count = static_cast<int>(SendMessageA(g_main.sendLog, LVM_GETITEMCOUNT, 0, 0));
    LVITEMA at = {};
    at.mask = LVIF_PARAM;
    for (item.iItem = 0; item.iItem < count; ++item.iItem) {
        at.iItem = item.iItem;
        if (SendMessageA(g_main.sendLog, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&at)) && at.lParam > order)
            break;
    }
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
    item.lParam = order;
    SendMessageA(g_main.sendLog, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
}

// From a worker: its start or its end, by generation and place. Posted, never sent; a full
// queue is tried again for a while, a window that is gone is not.
static void report(const SendJob &job, bool ended)
{
    for (int tries = 0; tries < 50; ++tries) {
        if (PostMessageA(job.window, WM_SENDREPORT, static_cast<WPARAM>(job.generation), MAKELPARAM(job.order, ended)))
            return;
        if (GetLastError() != ERROR_NOT_ENOUGH_QUOTA)
            return;
        Sleep(100);
    }
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

static void store_success(const SendJob &job)
{
    EnterCriticalSection(&s_storeLock);
    recipients_history_store(job.line, job.stored);
    sent_message_store(job.line, job.stored);
    LeaveCriticalSection(&s_storeLock);
}

static DWORD WINAPI send_worker(LPVOID param)
{
    std::shared_ptr<SendJob> job;
    job.swap(*static_cast<std::shared_ptr<SendJob> *>(param));
    delete static_cast<std::shared_ptr<SendJob> *>(param);
    report(*job, false);
    WCHAR recipient[257] = L"";
    MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, job->name.c_str(), -1, recipient, 257);
    std::uint32_t code = send_outcome(
        call_service(recipient, reinterpret_cast<BYTE *>(&job->text[0]), 2 * static_cast<DWORD>(job->text.size())),
        job->text.size());
    if (code == 0)
        store_success(*job);
    job->code = code;
    report(*job, true);
    worker_ended();
    return 0;
}

// The Send has ended when no name waits for its outcome: the status sums it up, and the result
// says so (Send is the caller's to bring back).
static bool name_ended(int order, std::uint32_t code)
{
    s_run.outcomes[order] = code;
    show_line(order, send_log_line(s_run.names[order], code), code == 0 ? kImageDone : kImageFailed);
    if (code == 0)
        compose_list_sent(s_run.line, s_run.stored);
    if (--s_run.open > 0)
        return false;
    set_status(send_summary_text(s_run.outcomes));
    return true;
}

// Starts the worker of the next name; one that cannot be started gets its failure line.
static bool start_next(HWND hwnd)
{
    if (s_run.next >= s_run.toStart.size())
        return false;
    std::shared_ptr<SendJob> job = s_run.jobs[s_run.toStart[s_run.next++]];
    if (s_run.next == s_run.toStart.size())
        KillTimer(hwnd, TIMER_SEND_NEXT);
    auto *param = new std::shared_ptr<SendJob>(job);
    worker_started();
    HANDLE thread = CreateThread(nullptr, 0, send_worker, param, 0, nullptr);
    if (thread) {
        CloseHandle(thread);
        return false;
    }
    delete param;
    worker_ended();
    return name_ended(job->order, kSendNotStarted);
}

bool send_on_timer(HWND hwnd)
{
    return start_next(hwnd);
}

bool send_on_report(WPARAM generation, LPARAM place)
{
    // Anything may post this message: a report counts only for a name of the latest Send whose
    // outcome is still open, and an end only once its worker has set the code.
    std::size_t order = LOWORD(place);
    if (static_cast<LONG>(generation) != s_run.generation || order >= s_run.jobs.size() || !s_run.jobs[order] ||
        s_run.outcomes[order] != kPending)
        return false;
    if (!HIWORD(place)) {
        show_line(static_cast<int>(order), send_progress_line(s_run.names[order]), kImageSending);
        return false;
    }
    std::uint32_t code = s_run.jobs[order]->code;
    return code != kPending && name_ended(static_cast<int>(order), code);
}

static std::string ansi(const std::wstring &text)
{
    int size = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0)
        WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &out[0], size, nullptr, nullptr);
    return out;
}

bool send_command(HWND hwnd)
{
    if (s_run.open > 0) {
        set_status(send_notice_text(SendNotice::StillSending));
        return false;
    }
    if (!IsWindowEnabled(g_main.sendButton))
        return false;
    // What the boxes hold now is what this Send sends, whatever they hold later.
    std::string line = window_text(g_main.recipient);
    SplitResult split = split_recipients(line, char_equal_ignore_case);
    if (split.names.empty() && split.rejected.empty()) {
        set_status(send_notice_text(SendNotice::NoRecipient));
        SetFocus(g_main.recipient);
        return false;
    }
    WCHAR message[kMaxMessageChars + 1] = L"";
    int length = GetWindowTextW(g_main.message, message, kMaxMessageChars + 1);

    if (g_settings.MinimizeOnSend)
        SendMessageA(hwnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EnableWindow(g_main.sendButton, FALSE);
    SendMessageA(g_main.sendLog, LVM_DELETEALLITEMS, 0, 0);
    if (!s_faultHandler)
        s_faultHandler = AddVectoredExceptionHandler(1, on_fault);

    std::size_t total = split.names.size() + split.rejected.size();
    LONG generation = s_run.generation + 1;
    s_run = SendRun();
    s_run.generation = generation;
    s_run.names.resize(total);
    s_run.outcomes.assign(total, kPending);
    s_run.jobs.resize(total);
    s_run.open = static_cast<int>(split.names.size());
    s_run.line = line;
    s_run.stored = ansi(std::wstring(message, static_cast<std::size_t>(length)));
    // Names that cannot be sent are reported in their place, never dropped.
    for (const RejectedName &r : split.rejected) {
        s_run.names[r.order] = r.name;
        s_run.outcomes[r.order] = kSendNotSent;
        show_line(static_cast<int>(r.order),
                  send_refusal_line(r.name, r.reason == RejectReason::TooLong ? SendRefusal::NameTooLong
                                                                             : SendRefusal::TooManyNames),
                  kImageFailed);
    }
    for (const RecipientName &n : split.names) {
        s_run.names[n.order] = n.name;
        auto job = std::make_shared<SendJob>();
        job->window = hwnd;
        job->generation = s_run.generation;
        job->order = static_cast<int>(n.order);
        job->name = n.name;
        job->line = line;
        job->text.assign(message, static_cast<std::size_t>(length));
        job->stored = s_run.stored;
        s_run.jobs[n.order] = job;
        s_run.toStart.push_back(job->order);
    }
    if (s_run.open == 0) {
        set_status(send_summary_text(s_run.outcomes));
        return true;
    }
    set_status("Sending ...");
    bool ended = start_next(hwnd);
    if (s_run.next < s_run.toStart.size())
        SetTimer(hwnd, TIMER_SEND_NEXT, kSpacingMs, nullptr);
    return ended;
}
