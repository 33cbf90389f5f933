// store_reader.cpp - the message store read on a worker thread, handed to the window's thread in
// batches.
#include "receive/store_reader.h"

#include "settings/regkey.h"

#include <windows.h>
#include <utility>

const char kMessagesKey[] = "Messages";

namespace {

constexpr std::size_t kBatch = 256; // values handed over at a time

// Everything the reader shares with the window's thread is under `lock`; `more` is set whenever
// values were added or the reading ended.
struct Reader {
    CRITICAL_SECTION lock;
    HANDLE more = nullptr;
    HANDLE thread = nullptr;
    bool started = false;
    std::vector<StoredText> ready;
    std::size_t expected = 0;
    bool done = false, opened = false, whole = false;
    volatile LONG stop = 0;
};

// First used by the start-up's thread, before any reader runs.
Reader &reader()
{
    static Reader r;
    if (!r.more) {
        InitializeCriticalSection(&r.lock);
        r.more = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    }
    return r;
}

void hand_over(std::vector<StoredText> &batch, bool done, bool whole)
{
    Reader &r = reader();
    EnterCriticalSection(&r.lock);
    if (r.ready.empty())
        r.ready.swap(batch);
    else
        for (StoredText &v : batch)
            r.ready.push_back(std::move(v));
    batch.clear();
    if (done) {
        r.done = true;
        r.whole = whole;
    }
    LeaveCriticalSection(&r.lock);
    SetEvent(r.more);
}

DWORD WINAPI read_store(LPVOID)
{
    Reader &r = reader();
    RegKey key;
    bool opened = key.open(kMessagesKey) == ERROR_SUCCESS;
    EnterCriticalSection(&r.lock);
    r.opened = opened;
    r.expected = opened ? key.value_count() : 0;
    LeaveCriticalSection(&r.lock);
    std::vector<StoredText> batch;
    // Values that are not text, or longer than 1023 characters, are skipped (the store is then
    // not read whole).
    bool whole = opened && key.each_text(10, [&](const char *name, const char *data) {
        if (r.stop)
            return false;
        batch.push_back({name, data});
        if (batch.size() == kBatch)
            hand_over(batch, false, false);
        return true;
    });
    hand_over(batch, true, whole);
    return 0;
}

} // namespace

void store_reader_start()
{
    Reader &r = reader();
    if (r.started)
        return;
    r.started = true;
    r.thread = CreateThread(nullptr, 0, read_store, nullptr, 0, nullptr);
    if (!r.thread) // no thread: read here and now
        read_store(nullptr);
}

bool store_reader_take(std::vector<StoredText> &values, std::size_t &expected)
{
    store_reader_start();
    Reader &r = reader();
    values.clear();
    for (;;) {
        EnterCriticalSection(&r.lock);
        expected = r.expected;
        bool done = r.done;
        if (!r.ready.empty())
            values.swap(r.ready);
        LeaveCriticalSection(&r.lock);
        if (!values.empty())
            return true;
        if (done)
            return false;
        WaitForSingleObject(r.more, INFINITE);
    }
}

StoreReadEnd store_reader_end()
{
    Reader &r = reader();
    InterlockedExchange(&r.stop, 1);
    if (r.thread) {
        WaitForSingleObject(r.thread, INFINITE);
        CloseHandle(r.thread);
        r.thread = nullptr;
    }
    StoreReadEnd end = {r.started && r.opened, r.started && r.whole};
    r.ready.clear();
    r.started = r.done = r.opened = r.whole = false;
    r.expected = 0;
    InterlockedExchange(&r.stop, 0);
    return end;
}
