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
//
// Between saves the writer looks for changes made elsewhere (storage/file_sync.h), when asked:
//
//   look ──► found: merged with newest ──► merging (posted; automatic saves wait) ──► concluding
//                                            ▲   │ the notes changed meanwhile           │
//                                            └───┘ (made again)                          ▼
//                                                                         on disk; shown bytes
//                                                                         written where needed
#include "storage/save_writer.h"
#include "storage/data_file.h"
#include "storage/versions.h"
#include <functional>

static struct {
    SRWLOCK lock = SRWLOCK_INIT;
    CONDITION_VARIABLE work = CONDITION_VARIABLE_INIT;  // to the writer: something to do, or stop
    CONDITION_VARIABLE done = CONDITION_VARIABLE_INIT;  // to the window thread: a save ended
    HANDLE thread = nullptr;
    bool stopping = false;
    HWND window = nullptr;
    UINT message = 0, mergedMessage = 0;
    std::vector<uint8_t> bytes;
    SaveKind kind = SaveKind::AUTOMATIC;
    unsigned waiting = 0;               // the number of the bytes that wait; 0: none
    unsigned handed = 0, ended = 0, written = 0;
    std::vector<uint8_t> newest;
    unsigned newestNumber = 0;
    bool holds = false;
    bool failureTold = false;           // a failure was told; no save has succeeded since
    SaveNews news[3];                   // by SaveKind
    bool lookWanted = false, looking = false;
    bool merging = false, remerge = false, concluding = false;
    MergeJob job;
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

// The file work of f, with Writer.lock let go meanwhile.
template <typename F>
static void Unlocked(F f)
{
    ReleaseSRWLockExclusive(&Writer.lock);
    f();
    AcquireSRWLockExclusive(&Writer.lock);
}

// The newest notes: handed over as save number (0: made at the start, or shown by a merge), and
// whether they are on disk or on their way.
static void SetNewest(std::vector<uint8_t> bytes, unsigned number, bool holds)
{
    Writer.newest = std::move(bytes);
    Writer.newestNumber = number;
    Writer.holds = holds;
}

// Every save handed over has ended.
static bool Idle()
{
    return Writer.ended == Writer.handed;
}

static void WaitUntil(const std::function<bool()>& done)
{
    while (!done())
        SleepConditionVariableSRW(&Writer.done, &Writer.lock, INFINITE, 0);
}

static void Post(UINT message)
{
    if (Writer.window && message)
        PostMessageA(Writer.window, message, 0, 0);
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

// The notes with the versions of a new file (storage/versions.h) written by the rule.
static DataFileWrite WriteVersion(const std::vector<uint8_t>& bytes, SaveKind kind, bool& holds)
{
    std::vector<StoredNote> notes = DecodeNotes(bytes.data(), bytes.size()).notes;
    const std::string versions = StampNewVersion(notes);
    const std::vector<uint8_t> stamped = EncodeNotes(notes);
    const DataFileWrite outcome = WriteDataFile(stamped, kind == SaveKind::SESSION_END);
    holds = !outcome.error && DataFileHolds(stamped);
    if (!outcome.error)
        WroteVersion(notes, versions);
    return outcome;
}

// Writes what waits.
static void WriteWaiting()
{
    const unsigned number = Writer.waiting;
    const SaveKind kind = Writer.kind;
    std::vector<uint8_t> bytes;
    bytes.swap(Writer.bytes);
    Writer.waiting = 0;
    DataFileWrite outcome;
    bool holds = false;
    Unlocked([&] { outcome = WriteVersion(bytes, kind, holds); });
    Writer.ended = number;
    if (!outcome.error)
        Writer.written = number;
    if (number == Writer.handed)
        Writer.holds = holds;
    NoteNews(outcome, kind);
    WakeAllConditionVariable(&Writer.done);
    Post(Writer.message);
}

// A merge for the window thread to show, unless there is nothing to show or write.
static void OfferMerge(MergeJob& job)
{
    if (!job.changesMine && !job.changesFile) {
        Unlocked([&] { ConcludeOnDisk(job); });
        return;
    }
    Writer.job = std::move(job);
    Writer.merging = true;
    WakeAllConditionVariable(&Writer.done);
    Post(Writer.mergedMessage);
}

// settle: a change is read once it has stayed so from one look to the next (the folder watch's
// looks); without, only notes.bin is looked at (the look before an automatic save).
static void Look(bool settle)
{
    // Nobody would show what it found.
    if (!Writer.mergedMessage)
        return;
    MergeJob job;
    bool found = false;
    const std::vector<uint8_t> mine = Writer.newest;
    Writer.looking = true;
    Unlocked([&] {
        if ((found = FindChange(job, settle)))
            MakeMerge(job, mine);
    });
    Writer.looking = false;
    if (found)
        OfferMerge(job);
    WakeAllConditionVariable(&Writer.done);
}

static void Remerge()
{
    Writer.remerge = false;
    MergeJob job = std::move(Writer.job);
    const std::vector<uint8_t> mine = Writer.newest;
    Writer.looking = true;
    Unlocked([&] { MakeMerge(job, mine); });
    Writer.looking = false;
    // Dropped meanwhile: nothing is offered.
    if (Writer.merging) {
        Writer.merging = false;
        OfferMerge(job);
    }
    WakeAllConditionVariable(&Writer.done);
}

static void Conclude()
{
    Writer.concluding = false;
    MergeJob job = std::move(Writer.job);
    Unlocked([&] { ConcludeOnDisk(job); });
}

// An automatic save waits while a merge is out: the file it would replace holds the other
// computer's notes. One asked for does not wait (the rule keeps that file aside).
static bool SaveMayBegin()
{
    return Writer.waiting && (!Writer.merging || Writer.kind != SaveKind::AUTOMATIC);
}

static bool WorkWaits()
{
    return Writer.concluding || Writer.remerge || SaveMayBegin() || (Writer.lookWanted && !Writer.merging);
}

static DWORD WINAPI RunWriter(void*)
{
    WriterLock lock;
    for (;;) {
        while (!WorkWaits() && !Writer.stopping)
            SleepConditionVariableSRW(&Writer.work, &Writer.lock, INFINITE, 0);
        if (Writer.concluding) {
            Conclude();
        } else if (Writer.remerge) {
            Remerge();
        } else if (SaveMayBegin()) {
            // An automatic save looks first: a change made elsewhere is merged, not kept aside.
            if (Writer.kind == SaveKind::AUTOMATIC && Writer.mergedMessage) {
                Look(false);
                if (Writer.merging)
                    continue;
            }
            WriteWaiting();
        } else if (Writer.lookWanted && !Writer.merging) {
            Writer.lookWanted = false;
            Look(true);
        } else {
            return 0;
        }
    }
}

static void StartWriter()
{
    if (!Writer.thread)
        Writer.thread = CreateThread(nullptr, 0, RunWriter, nullptr, 0, nullptr);
}

unsigned SaveBytes(std::vector<uint8_t> bytes, SaveKind kind)
{
    if (Ended)
        return 0;
    WriterLock lock;
    StartWriter();
    const unsigned number = Writer.waiting = ++Writer.handed;
    SetNewest(bytes, number, true);
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

void RememberUntouched(const std::vector<uint8_t>& bytes, const std::string& versions)
{
    WriterLock lock;
    WaitUntil(Idle);
    StartVersions(DecodeNotes(bytes.data(), bytes.size()).notes, versions);
    SetNewest(bytes, 0, true);
}

void ReportSavesTo(HWND window, UINT message, UINT merged)
{
    WriterLock lock;
    Writer.window = window;
    Writer.message = message;
    Writer.mergedMessage = merged;
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
    WaitUntil(Idle);
}

bool WaitForSavesOrMerge()
{
    WriterLock lock;
    WaitUntil([] {
        return Idle() || (Writer.merging && !Writer.remerge && !Writer.looking);
    });
    return !Idle();
}

void DropMerge()
{
    WriterLock lock;
    Writer.merging = Writer.remerge = false;
    Writer.job = MergeJob();
    WakeConditionVariable(&Writer.work);
}

void StopSaveWriter()
{
    HANDLE thread;
    {
        WriterLock lock;
        Writer.stopping = true;
        Writer.lookWanted = false;
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
    // A merge out is forgotten with the run; the saves that waited for it go on.
    Writer.lookWanted = false;
    do {
        Writer.merging = Writer.remerge = false;
        Writer.job = MergeJob();
        WakeConditionVariable(&Writer.work);
        WaitUntil([] { return !Writer.looking && (Idle() || Writer.merging); });
    } while (!Idle() || Writer.merging);
    SetNewest({}, 0, false);
    Writer.failureTold = false;
    for (SaveNews& news : Writer.news)
        news = {};
    Writer.lookWanted = Writer.concluding = false;
    Writer.job = MergeJob();
    Ended = false;
}

SaveNews TakeSaveNews(SaveKind kind)
{
    WriterLock lock;
    SaveNews news;
    std::swap(news, Writer.news[static_cast<int>(kind)]);
    return news;
}

void LookAtDataFile()
{
    WriterLock lock;
    if (Writer.stopping || Ended)
        return;
    StartWriter();
    Writer.lookWanted = true;
    WakeConditionVariable(&Writer.work);
}

void WaitForLooks()
{
    WriterLock lock;
    WaitUntil([] { return !Writer.lookWanted && !Writer.looking; });
}

bool TakeMerge(MergeJob& job)
{
    WriterLock lock;
    if (!Writer.merging || Writer.remerge || Writer.looking || Writer.concluding)
        return false;
    job = Writer.job;
    return true;
}

void RemergeWith(std::vector<uint8_t> mine)
{
    WriterLock lock;
    SetNewest(std::move(mine), 0, false);
    Writer.remerge = true;
    WakeConditionVariable(&Writer.work);
}

void ConcludeMerge(std::vector<uint8_t> shown)
{
    bool write;
    {
        WriterLock lock;
        write = Writer.job.changesFile;
        Writer.merging = false;
        Writer.concluding = true;
        if (!write)
            SetNewest(shown, 0, true);
        WakeConditionVariable(&Writer.work);
    }
    // Written after the conclusion, which the writer does first: the file it replaces is known.
    if (write)
        SaveBytes(std::move(shown), SaveKind::AUTOMATIC);
}
