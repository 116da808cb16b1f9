#include "storage/data_file.h"
#include "storage/note_codec.h"
#include "storage/settings.h"
#include <algorithm>

static void BeginRunOfSaves();
static void RememberRead(const std::vector<uint8_t>& bytes, bool holds);

// What this run knows of DataFile.
enum class Known {
    NOTHING,    // there was no file when this run last looked, and it has put none there since
    BYTES,      // the file holds Run.bytes: read whole, or written (Run.identity as it was then)
    PART,       // the file was read, but not all of it became notes
    UNKNOWN,    // the file exists but could not be read
};

size_t g_maxDataFileSize = MAX_DATA_FILE_SIZE;

// The run's file; ComposeDataFile starts it afresh.
static struct {
    Known known = Known::NOTHING;
    std::vector<uint8_t> bytes;
    FileIdentity identity;
    int kept = 0;                       // files kept aside in this run
    std::string waiting;                // the run's newest notes, in a file not yet put in place
    std::vector<std::string> replaced;  // files this run wrote and then replaced, not yet deleted
} Run;

void ComposeDataFile()
{
    BeginRunOfSaves();
    Run = {};
    Settings.DataFile[0] = '\0';
    if (lstrlenA(Settings.DataFolder) + lstrlenA(DATA_FILE_NAME) < SETTINGS_TEXT_SIZE) {
        lstrcpyA(Settings.DataFile, Settings.DataFolder);
        lstrcatA(Settings.DataFile, DATA_FILE_NAME);
    }
}

// Only the run's first kept file is announced: two copies of the program on one synced folder
// make copies, not boxes.
static void KeepAside(const std::string& file, std::string& announce)
{
    std::string keptAs;
    if (KeepFileAside(file, Settings.DataFile, keptAs) == ERROR_SUCCESS && ++Run.kept == 1)
        announce = keptAs;
}

// What unfinished saves left beside the data file (a power cut, a crash, a kill, or a scanner that
// held the new file until the end): where notes.bin is missing, the newest that decodes whole
// takes its place; every other is kept aside. An empty one holds nothing; one that cannot be
// opened is being written by another copy of the program.
static void SettleLeftovers(std::string& announce)
{
    struct Leftover {
        std::string path;
        FileIdentity identity;
        bool whole;
    };
    std::vector<Leftover> leftovers;
    for (const std::string& path : FindTemporaryFiles(Settings.DataFile)) {
        Leftover leftover = { path, {}, false };
        std::vector<uint8_t> bytes;
        bool cut = false;
        if (ReadFileOnce(path, g_maxDataFileSize, bytes, cut, &leftover.identity) != ERROR_SUCCESS)
            continue;
        if (leftover.identity.size == 0) {
            DeleteFileA(path.c_str());
            continue;
        }
        leftover.whole = !cut && DecodeNotes(bytes.data(), bytes.size()).whole;
        leftovers.push_back(leftover);
    }
    std::sort(leftovers.begin(), leftovers.end(), [](const Leftover& a, const Leftover& b) {
        return CompareFileTime(&a.identity.written, &b.identity.written) > 0;
    });
    if (!FileIsThere(Settings.DataFile)) {
        auto newest = std::find_if(leftovers.begin(), leftovers.end(), [](const Leftover& l) { return l.whole; });
        if (newest != leftovers.end() && MoveToFreeName(newest->path, Settings.DataFile) == ERROR_SUCCESS)
            leftovers.erase(newest);
    }
    for (const Leftover& leftover : leftovers)
        KeepAside(leftover.path, announce);
}

DataFileRead ReadDataFile(std::vector<uint8_t>& bytes, std::string& announce)
{
    WaitForSaves();
    RememberRead({}, false);
    bytes.clear();
    Run.known = Known::NOTHING;
    if (!Settings.DataFile[0])
        return DataFileRead::NO_FILE;
    SettleLeftovers(announce);
    bool cut = false;
    FileIdentity identity;
    const DWORD error = RetryWhileHeld([&] { return ReadFileOnce(Settings.DataFile, g_maxDataFileSize, bytes, cut, &identity); });
    if (IsNoFileError(error))
        return DataFileRead::NO_FILE;
    if (error) {
        Run.known = Known::UNKNOWN;
        bytes.clear();
        return DataFileRead::FAILED;
    }
    Run.known = cut ? Known::PART : Known::BYTES;
    Run.bytes = bytes;
    Run.identity = identity;
    RememberRead(bytes, !cut);
    return DataFileRead::READ;
}

void DataFileReadInPart()
{
    WaitForSaves();
    if (Run.known == Known::BYTES)
        Run.known = Known::PART;
    RememberRead({}, false);
}

// notes.bin is in place, and holds exactly these bytes as far as this run knows, and nothing of
// an earlier save of this run waits beside it. Writer thread (or before it starts) only.
static bool DataFileHolds(const std::vector<uint8_t>& bytes)
{
    return Run.known == Known::BYTES && Run.bytes == bytes && Run.waiting.empty() && Run.replaced.empty();
}

// The file is what this run last read whole or wrote: the same file unchanged, or the same bytes.
static bool IsKnown(const std::string& file)
{
    if (Run.known != Known::BYTES)
        return false;
    FileIdentity identity;
    if (IdentityOf(file, identity) == ERROR_SUCCESS && SameIdentity(identity, Run.identity))
        return true;
    std::vector<uint8_t> bytes;
    bool cut = false;
    return ReadFileOnce(file, g_maxDataFileSize, bytes, cut) == ERROR_SUCCESS && !cut && bytes == Run.bytes;
}

// backup holds what notes.bin held before the save, or nothing where there was none (or where
// the replace did not get that far). A file this run knows goes once the new one is in place;
// any other is kept aside.
static void SettleBackup(const std::string& backup, std::string& announce)
{
    FileIdentity identity;
    if (IdentityOf(backup, identity) != ERROR_SUCCESS)
        return;
    if (identity.size == 0)
        DeleteFileA(backup.c_str());
    else if (IsKnown(backup))
        Run.replaced.push_back(backup);
    else
        KeepAside(backup, announce);
}

// The run's files that the new notes.bin makes needless: older notes of this run, or nothing.
static void DeleteReplaced()
{
    std::vector<std::string> held;
    for (const std::string& file : Run.replaced)
        if (RetryWhileHeld([&] { return DeleteFileA(file.c_str()) ? ERROR_SUCCESS : GetLastError(); }) != ERROR_SUCCESS
            && FileIsThere(file))
            held.push_back(file);
    Run.replaced = held;
}

DataFileWrite WriteDataFile(const std::vector<uint8_t>& bytes)
{
    DataFileWrite outcome;
    const char* path = Settings.DataFile;
    if (!*path) {
        outcome.error = ERROR_PATH_NOT_FOUND;
        return outcome;
    }
    // A file that will not be replaced is not touched at all.
    std::string temporary, backup;
    FileIdentity identity;
    if ((outcome.error = RetryWhileHeld([&] { return CheckReplaceable(path); })) != ERROR_SUCCESS
        || (outcome.error = WriteTemporaryFile(path, bytes, temporary, identity)) != ERROR_SUCCESS)
        return outcome;
    // A newer copy of the run's notes is whole on disk: the older one that waited is needless.
    if (!Run.waiting.empty())
        DeleteFileA(Run.waiting.c_str());
    Run.waiting = temporary;
    if ((outcome.error = CreateTemporaryFile(path, backup)) != ERROR_SUCCESS)
        return outcome;
    outcome.error = PutInPlace(temporary, path, backup);
    SettleBackup(backup, outcome.announce);
    if (outcome.error) {
        // Where the replace lost notes.bin on the way, the run's notes are nowhere in its place.
        if (!FileIsThere(path))
            Run.known = Known::NOTHING;
        if (!FileIsThere(temporary))
            Run.waiting.clear();
        return outcome;
    }
    Run.known = Known::BYTES;
    Run.bytes = bytes;
    Run.identity = identity;
    Run.waiting.clear();
    DeleteReplaced();
    return outcome;
}

// The writer thread and what passes between it and the window thread, under Writer.lock.
static struct {
    SRWLOCK lock = SRWLOCK_INIT;
    CONDITION_VARIABLE work = CONDITION_VARIABLE_INIT;  // to the writer: bytes wait, or stop
    CONDITION_VARIABLE done = CONDITION_VARIABLE_INIT;  // to the window thread: a save ended
    HANDLE thread = nullptr;
    bool stopping = false;
    HWND window = nullptr;
    UINT message = 0;
    std::vector<uint8_t> bytes;         // handed over, not yet begun
    SaveKind kind = SaveKind::AUTOMATIC;
    unsigned waiting = 0;               // their number; 0: nothing waits
    unsigned handed = 0, ended = 0, written = 0;    // numbers of the newest such saves: the writer
                                                    // is idle when ended == handed
    std::vector<uint8_t> newest;        // the newest bytes handed over, or read at the start
    unsigned newestNumber = 0;          // ... their save's number, 0 for those read
    bool holds = false;                 // ... and they are on disk, or on their way
    bool failureTold = false;           // a failure was told; no save has succeeded since
    SaveNews news;
} Writer;

// Window thread only.
static struct {
    bool boxOpen = false;
    bool ended = false;
} Telling;

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

// What the user is told of a save that ended: the run's first kept file, except at the end of
// the session, where nobody should have to answer a box; a failure always when asked for, and
// once for a run of automatic saves that fail.
static void NoteNews(const DataFileWrite& outcome, SaveKind kind)
{
    if (!outcome.announce.empty() && kind != SaveKind::SESSION_END)
        Writer.news.kept = outcome.announce;
    if (!outcome.error) {
        Writer.failureTold = false;
    } else if (kind != SaveKind::AUTOMATIC || !Writer.failureTold) {
        Writer.news.failed = true;
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
    const DataFileWrite outcome = WriteDataFile(bytes);
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
    if (Telling.ended)
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

void ReportSavesTo(HWND window, UINT message)
{
    WriterLock lock;
    Writer.window = window;
    Writer.message = message;
}

void EndSaves()
{
    Telling.ended = true;
}

bool SavingEnded()
{
    return Telling.ended;
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

SaveNews TakeSaveNews()
{
    WriterLock lock;
    SaveNews news;
    std::swap(news, Writer.news);
    return news;
}

bool BeginSaveBox()
{
    if (Telling.boxOpen)
        return false;
    Telling.boxOpen = true;
    return true;
}

void EndSaveBox()
{
    Telling.boxOpen = false;
}

// The file work of the run so far is over; nothing of it is told any more.
static void BeginRunOfSaves()
{
    WaitForSaves();
    WriterLock lock;
    Writer.newest.clear();
    Writer.holds = false;
    Writer.failureTold = false;
    Writer.news = {};
    Telling = {};
}

void WaitForSaves()
{
    WriterLock lock;
    WaitUntil([] { return Writer.ended == Writer.handed; });
}

static void RememberRead(const std::vector<uint8_t>& bytes, bool holds)
{
    WriterLock lock;
    Writer.newest = bytes;
    Writer.newestNumber = 0;
    Writer.holds = holds;
}
