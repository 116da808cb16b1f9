// The saves, by number, under Writer.lock:
//
//   SaveBytes ──► handed ──► waiting: the newest bytes not yet begun (a newer hand-over replaces
//                               │      them, so only the newest are written)
//                               ▼ the writer takes them, lets go of the lock for the file work
//                 ended ◄── the save is over; written, where it succeeded
//
//   written <= ended <= handed; the writer is idle when ended == handed.
//   newest / holds: the bytes of the newest hand-over (or the collection as the start made it),
//   and whether they are on disk or on their way: a collection that equals them is not handed over.
#include "storage/save_writer.h"
#include "storage/data_file.h"
#include <functional>

static struct {
    SRWLOCK lock = SRWLOCK_INIT;
    CONDITION_VARIABLE work = CONDITION_VARIABLE_INIT;  // to the writer: bytes wait, or stop
    CONDITION_VARIABLE done = CONDITION_VARIABLE_INIT;  // to the window thread: a save ended
    HANDLE thread = nullptr;
    bool stopping = false;
    HWND window = nullptr;
    UINT message = 0;
    std::vector<uint8_t> bytes;
    SaveKind kind = SaveKind::AUTOMATIC;
    unsigned waiting = 0;               // the number of the bytes that wait; 0: none
    unsigned handed = 0, ended = 0, written = 0;
    std::vector<uint8_t> newest;
    unsigned newestNumber = 0;
    bool holds = false;
    bool failureTold = false;           // a failure was told; no save has succeeded since
    SaveNews news[3];                   // by SaveKind
} Writer;

// Window thread only: the program has begun to end.
static bool Ended;

class WriterLock {
public:
    WriterLock() { AcquireSRWLockExclusive(&Writer.lock); }
    ~WriterLock() { ReleaseSRWLockExclusive(&Writer.lock); }
    WriterLock(const WriterLock&) = delete;
    WriterLock& operator=(const WriterLock&) = delete;
};

static void WaitUntil(const std::function<bool()>& done)
{
    while (!done())
        SleepConditionVariableSRW(&Writer.done, &Writer.lock, INFINITE, 0);
}

static void NoteNews(const DataFileWrite& outcome, SaveKind kind)
{
    SaveNews& news = Writer.news[static_cast<int>(kind)];
    if (!outcome.kept.empty()) {
        news.kept.push_back(outcome.kept);
        if (outcome.first)
            news.announce = outcome.kept;
    }
    if (!outcome.error) {
        Writer.failureTold = false;
    } else if (kind != SaveKind::AUTOMATIC || !Writer.failureTold) {
        news.failed = true;
        Writer.failureTold = true;
    }
}

// Writes what waits, with Writer.lock held, which is let go during the file work.
static void WriteWaiting()
{
    const unsigned number = Writer.waiting;
    const SaveKind kind = Writer.kind;
    std::vector<uint8_t> bytes;
    bytes.swap(Writer.bytes);
    Writer.waiting = 0;
    ReleaseSRWLockExclusive(&Writer.lock);
    const DataFileWrite outcome = WriteDataFile(bytes, kind == SaveKind::SESSION_END);
    const bool holds = !outcome.error && DataFileHolds(bytes);
    AcquireSRWLockExclusive(&Writer.lock);
    Writer.ended = number;
    if (!outcome.error)
        Writer.written = number;
    if (number == Writer.handed)
        Writer.holds = holds;
    NoteNews(outcome, kind);
    WakeAllConditionVariable(&Writer.done);
    if (Writer.window)
        PostMessageA(Writer.window, Writer.message, 0, 0);
}

static DWORD WINAPI RunWriter(void*)
{
    WriterLock lock;
    for (;;) {
        while (!Writer.waiting && !Writer.stopping)
            SleepConditionVariableSRW(&Writer.work, &Writer.lock, INFINITE, 0);
        if (!Writer.waiting)
            return 0;
        WriteWaiting();
    }
}

unsigned SaveBytes(std::vector<uint8_t> bytes, SaveKind kind)
{
    if (Ended)
        return 0;
    WriterLock lock;
    if (!Writer.thread)
        Writer.thread = CreateThread(nullptr, 0, RunWriter, nullptr, 0, nullptr);
    const unsigned number = Writer.waiting = ++Writer.handed;
    Writer.newest = bytes;
    Writer.newestNumber = number;
    Writer.holds = true;
    Writer.bytes = std::move(bytes);
    Writer.kind = kind;
    // Without a writer the window thread does the file work itself, as it waits anyway.
    if (!Writer.thread)
        WriteWaiting();
    WakeConditionVariable(&Writer.work);
    if (kind != SaveKind::AUTOMATIC)
        WaitUntil([number] { return Writer.ended >= number; });
    return number;
}

bool SaveHolds(const std::vector<uint8_t>& bytes, unsigned& number)
{
    WriterLock lock;
    number = Writer.newestNumber;
    return Writer.holds && Writer.newest == bytes;
}

bool SaveWritten(unsigned number)
{
    WriterLock lock;
    return number && Writer.written >= number;
}

void RememberUntouched(const std::vector<uint8_t>& bytes)
{
    WriterLock lock;
    WaitUntil([] { return Writer.ended == Writer.handed; });
    Writer.newest = bytes;
    Writer.newestNumber = 0;
    Writer.holds = true;
}

void ReportSavesTo(HWND window, UINT message)
{
    WriterLock lock;
    Writer.window = window;
    Writer.message = message;
}

void EndSaves()
{
    Ended = true;
}

bool SavingEnded()
{
    return Ended;
}

void WaitForSaves()
{
    WriterLock lock;
    WaitUntil([] { return Writer.ended == Writer.handed; });
}

void StopSaveWriter()
{
    HANDLE thread;
    {
        WriterLock lock;
        Writer.stopping = true;
        WakeConditionVariable(&Writer.work);
        thread = Writer.thread;
    }
    if (thread) {
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    }
    WriterLock lock;
    Writer.thread = nullptr;
    Writer.stopping = false;
}

void ResetSaves()
{
    WriterLock lock;
    WaitUntil([] { return Writer.ended == Writer.handed; });
    Writer.newest.clear();
    Writer.holds = false;
    Writer.failureTold = false;
    for (SaveNews& news : Writer.news)
        news = {};
    Ended = false;
}

SaveNews TakeSaveNews(SaveKind kind)
{
    WriterLock lock;
    SaveNews news;
    std::swap(news, Writer.news[static_cast<int>(kind)]);
    return news;
}
