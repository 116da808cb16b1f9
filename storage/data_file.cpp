// What this run knows of DataFile (Run.known), and how it changes:
//
//   start:  NOTHING (none there)    BYTES (read whole)    PART (read in part)    UNKNOWN (unreadable)
//              |                       |                     |                      |
//              +-----------------------+---- a write --------+----------------------+
//                                      v
//                           BYTES: Run.bytes, as written, Run.identity as closed
//
// A write replaces the file; what it replaced is deleted when it is what BYTES says (the same
// identity, or else the same bytes), and kept aside under a new name otherwise. A write whose
// replace lost notes.bin on the way leaves NOTHING. Run.waiting is the run's newest notes in a
// file not yet put in place; Run.replaced, files this run wrote and has replaced since.
#include "storage/data_file.h"
#include "storage/note_codec.h"
#include "storage/save_writer.h"
#include "storage/settings.h"
#include <algorithm>

enum class Known { NOTHING, BYTES, PART, UNKNOWN };

size_t g_maxDataFileSize = MAX_DATA_FILE_SIZE;

// The run's file; ComposeDataFile starts it afresh.
static struct {
    Known known = Known::NOTHING;
    std::vector<uint8_t> bytes;
    FileIdentity identity;
    int kept = 0;                       // files kept aside in this run
    std::string waiting;
    std::vector<std::string> replaced;
    // The file as the last look found it: a change is read once it has stayed so for a look. One
    // found not whole is not read again until it changes.
    FileIdentity lastLook, notWhole;
} Run;

void ComposeDataFile()
{
    ResetSaves();
    Run = {};
    Settings.DataFile[0] = '\0';
    if (lstrlenA(Settings.DataFolder) + lstrlenA(DATA_FILE_NAME) < SETTINGS_TEXT_SIZE) {
        lstrcpyA(Settings.DataFile, Settings.DataFolder);
        lstrcatA(Settings.DataFile, DATA_FILE_NAME);
    }
}

// Only the run's first kept file is announced: two copies of the program on one synced folder
// make copies, not a stream of news.
static bool KeepAside(const std::string& file, std::string& keptAs)
{
    return KeepFileAside(file, Settings.DataFile, keptAs) == ERROR_SUCCESS && ++Run.kept == 1;
}

// What unfinished saves left beside the data file (a power cut, a crash, a kill, a scanner that
// held the new file until the end, a log-off whose save could not replace the file): where
// notes.bin is missing, the newest that decodes whole takes its place; every other is kept
// aside. An empty one holds nothing; one that cannot be opened is being written by another copy
// of the program, and is left alone.
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
            DeleteOwnFile(path);
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
    for (const Leftover& leftover : leftovers) {
        std::string keptAs;
        if (KeepAside(leftover.path, keptAs))
            announce = keptAs;
    }
}

DataFileRead ReadDataFile(std::vector<uint8_t>& bytes, std::string& announce)
{
    WaitForSaves();
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
    return DataFileRead::READ;
}

void DataFileReadInPart()
{
    WaitForSaves();
    if (Run.known == Known::BYTES)
        Run.known = Known::PART;
}

bool DataFileHolds(const std::vector<uint8_t>& bytes)
{
    return Run.known == Known::BYTES && Run.bytes == bytes && Run.waiting.empty() && Run.replaced.empty();
}

// The file is what this run last read whole or wrote: the same file unchanged, or else the same
// bytes (Windows may have stamped a new time on it). The bytes are read again while another
// program holds the file, as every other step is.
static bool IsKnown(const std::string& file)
{
    if (Run.known != Known::BYTES)
        return false;
    FileIdentity identity;
    if (IdentityOf(file, identity) == ERROR_SUCCESS && SameIdentity(identity, Run.identity))
        return true;
    if (identity.size != Run.bytes.size())
        return false;
    std::vector<uint8_t> bytes;
    bool cut = false;
    return RetryWhileHeld([&] { return ReadFileOnce(file, g_maxDataFileSize, bytes, cut); }) == ERROR_SUCCESS
        && !cut && bytes == Run.bytes;
}

// backup holds what notes.bin held before the save, or nothing where there was none (or where
// the replace did not get that far). A file this run knows goes once the new one is in place;
// any other is kept aside.
static void SettleBackup(const std::string& backup, DataFileWrite& outcome)
{
    FileIdentity identity;
    if (backup.empty() || IdentityOf(backup, identity) != ERROR_SUCCESS)
        return;
    if (identity.size == 0)
        DeleteOwnFile(backup);
    else if (IsKnown(backup))
        Run.replaced.push_back(backup);
    else
        outcome.first = KeepAside(backup, outcome.kept);
}

// Names that sync engines give the file while they write it (".syncthing.notes.bin.tmp",
// "~syncthing~notes.bin.tmp", "notes.bin.~tmp" …): while one is there, the file is not whole yet.
static bool SyncEngineWrites()
{
    for (const WIN32_FIND_DATAA& entry : FindEntries(FolderPartOf(Settings.DataFile) + "*notes.bin*"))
        if (lstrcmpiA(entry.cFileName, DATA_FILE_NAME + 1) != 0)
            return true;
    return false;
}

// The names KeepFileAside gives: notes-YYYY-MM-DD-hh-mm-ss[-N], notes-N (the stem after "notes-").
static bool IsKeptStem(const std::string& stem)
{
    std::string shape;
    for (char c : stem)
        shape += isdigit(static_cast<unsigned char>(c)) ? 'd' : c;
    const std::string dated = "dddd-dd-dd-dd-dd-dd";
    return shape.find_first_not_of('d') == std::string::npos
        || (shape.compare(0, dated.size(), dated) == 0
            && (shape.size() == dated.size() || shape.find_first_not_of('d', dated.size() + 1) == std::string::npos));
}

std::vector<std::string> FindConflictCopies()
{
    std::vector<std::string> copies;
    if (!Settings.DataFile[0])
        return copies;
    const std::string folder = FolderPartOf(Settings.DataFile);
    for (const WIN32_FIND_DATAA& entry : FindEntries(folder + "notes*.bin")) {
        std::string name = entry.cFileName;
        CharLowerBuffA(&name[0], static_cast<DWORD>(name.size()));
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || name.size() < 10 || name.compare(name.size() - 4, 4, ".bin"))
            continue;
        const std::string stem = name.substr(0, name.size() - 4);
        if (stem.compare(0, 20, "notes.sync-conflict-") == 0 || stem.find("conflicted copy") != std::string::npos
            || (stem.compare(0, 6, "notes-") == 0 && !IsKeptStem(stem.substr(6))))
            copies.push_back(folder + entry.cFileName);
    }
    return copies;
}

bool LookForChange(ChangedFile& changed, bool settle)
{
    FileIdentity identity;
    if (!Settings.DataFile[0] || IdentityOf(Settings.DataFile, identity) != ERROR_SUCCESS
        || (Run.known != Known::NOTHING && Run.known != Known::UNKNOWN && SameIdentity(identity, Run.identity))
        || SameIdentity(identity, Run.notWhole))
        return false;
    const bool settled = SameIdentity(identity, Run.lastLook);
    Run.lastLook = identity;
    if ((settle && !settled) || SyncEngineWrites())
        return false;
    bool cut = false;
    if (RetryWhileHeld([&] { return ReadFileOnce(Settings.DataFile, g_maxDataFileSize, changed.bytes, cut, &changed.identity); })
        != ERROR_SUCCESS || cut)
        return false;
    // The file this run wrote, with a time Windows stamped on it afterwards.
    if (Run.known == Known::BYTES && changed.bytes == Run.bytes) {
        Run.identity = changed.identity;
        return false;
    }
    if (DecodeNotes(changed.bytes.data(), changed.bytes.size()).whole)
        return true;
    Run.notWhole = changed.identity;
    return false;
}

void TakeOverFile(const ChangedFile& taken)
{
    Run.known = Known::BYTES;
    Run.bytes = taken.bytes;
    Run.identity = taken.identity;
}

// The run's files that the new notes.bin makes needless: older notes of this run, or nothing.
static void DeleteReplaced()
{
    std::vector<std::string> held;
    for (const std::string& file : Run.replaced)
        if (DeleteOwnFile(file) != ERROR_SUCCESS && FileIsThere(file))
            held.push_back(file);
    Run.replaced = held;
}

// The newest notes of the run are whole in temporary: the older ones that waited are needless.
static void Wait(const std::string& temporary)
{
    if (!Run.waiting.empty())
        DeleteOwnFile(Run.waiting);
    Run.waiting = temporary;
}

DataFileWrite WriteDataFile(const std::vector<uint8_t>& bytes, bool leaveNew)
{
    DataFileWrite outcome;
    const char* path = Settings.DataFile;
    if (!*path) {
        outcome.error = ERROR_PATH_NOT_FOUND;
        return outcome;
    }
    // A file that will not be replaced is not touched at all; the new notes are written first
    // only where they are to stay beside it.
    std::string temporary, backup;
    FileIdentity identity;
    auto check = [&] { return outcome.error = RetryWhileHeld([&] { return CheckReplaceable(path); }); };
    auto write = [&] { return outcome.error = WriteTemporaryFile(path, bytes, temporary, identity); };
    if (leaveNew) {
        if (write())
            return outcome;
        Wait(temporary);
        if (check())
            return outcome;
    } else {
        if (check() || write())
            return outcome;
        Wait(temporary);
    }
    outcome.error = PutInPlace(temporary, path, backup);
    SettleBackup(backup, outcome);
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
