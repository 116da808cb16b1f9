#include "storage/data_file.h"
#include "storage/note_codec.h"
#include "storage/settings.h"
#include <algorithm>

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

static bool FileIsThere(const char* path)
{
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

void ComposeDataFile()
{
    Run = {};
    Settings.DataFile[0] = '\0';
    if (lstrlenA(Settings.DataFolder) + lstrlenA(DATA_FILE_NAME) < SETTINGS_TEXT_SIZE) {
        lstrcpyA(Settings.DataFile, Settings.DataFolder);
        lstrcatA(Settings.DataFile, DATA_FILE_NAME);
    }
}

static void KeepAside(const std::string& file, KeptFiles& kept)
{
    std::string keptAs;
    if (KeepFileAside(file, Settings.DataFile, keptAs) != ERROR_SUCCESS)
        return;
    kept.paths.push_back(keptAs);
    if (++Run.kept == 1)
        kept.announce = keptAs;
}

// What unfinished saves left beside the data file (a power cut, a crash, a kill, or a scanner that
// held the new file until the end) is all whole notes or nothing: where notes.bin is missing, the
// newest that decodes whole takes its place; every other is kept aside. An empty one holds
// nothing; one that cannot be opened is being written by another copy of the program.
static void SettleLeftovers(KeptFiles& kept)
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
        if (newest != leftovers.end()
            && RetryWhileHeld([&] { return g_pfnMoveFileExA(newest->path.c_str(), Settings.DataFile, MOVEFILE_WRITE_THROUGH)
                                               ? ERROR_SUCCESS : GetLastError(); }) == ERROR_SUCCESS)
            leftovers.erase(newest);
    }
    for (const Leftover& leftover : leftovers)
        KeepAside(leftover.path, kept);
}

DataFileRead ReadDataFile(std::vector<uint8_t>& bytes, KeptFiles& kept)
{
    bytes.clear();
    Run.known = Known::NOTHING;
    if (!Settings.DataFile[0])
        return DataFileRead::NO_FILE;
    SettleLeftovers(kept);
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
    if (Run.known == Known::BYTES)
        Run.known = Known::PART;
}

bool DataFileHolds(const std::vector<uint8_t>& bytes)
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
static void SettleBackup(const std::string& backup, KeptFiles& kept)
{
    FileIdentity identity;
    if (IdentityOf(backup, identity) != ERROR_SUCCESS)
        return;
    if (identity.size == 0)
        DeleteFileA(backup.c_str());
    else if (IsKnown(backup))
        Run.replaced.push_back(backup);
    else
        KeepAside(backup, kept);
}

// The run's files that the new notes.bin makes needless: older notes of this run, or nothing.
static void DeleteReplaced()
{
    std::vector<std::string> held;
    for (const std::string& file : Run.replaced)
        if (RetryWhileHeld([&] { return DeleteFileA(file.c_str()) ? ERROR_SUCCESS : GetLastError(); }) != ERROR_SUCCESS
            && FileIsThere(file.c_str()))
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
    SettleBackup(backup, outcome.kept);
    if (outcome.error) {
        // Where the replace lost notes.bin on the way, the run's notes are nowhere in its place.
        if (!FileIsThere(path))
            Run.known = Known::NOTHING;
        if (!FileIsThere(temporary.c_str()))
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
