#include "storage/data_file.h"
#include "storage/settings.h"

// What this run knows of DataFile; ComposeDataFile starts it afresh.
enum class Known {
    NOTHING,    // there was no file when this run looked, or it has not looked yet
    BYTES,      // the file holds FileBytes: read whole, or written
    PART,       // the file was read, but not all of it became notes
    REFUSED,    // the file exists but could not be read: never replaced
};

size_t g_maxDataFileSize = MAX_DATA_FILE_SIZE;

static Known FileKnown;
static std::vector<uint8_t> FileBytes;
static int KeptThisRun;

void ComposeDataFile()
{
    FileKnown = Known::NOTHING;
    FileBytes.clear();
    KeptThisRun = 0;
    Settings.DataFile[0] = '\0';
    if (lstrlenA(Settings.DataFolder) + lstrlenA(DATA_FILE_NAME) < SETTINGS_TEXT_SIZE) {
        lstrcpyA(Settings.DataFile, Settings.DataFolder);
        lstrcatA(Settings.DataFile, DATA_FILE_NAME);
    }
}

DataFileRead ReadDataFile(std::vector<uint8_t>& bytes)
{
    bool cut = false;
    const DWORD error = Settings.DataFile[0]
        ? RetryWhileHeld([&] { return ReadFileOnce(Settings.DataFile, g_maxDataFileSize, bytes, cut); })
        : ERROR_PATH_NOT_FOUND;
    if (IsNoFileError(error)) {
        FileKnown = Known::NOTHING;
        return DataFileRead::NO_FILE;
    }
    if (error) {
        FileKnown = Known::REFUSED;
        bytes.clear();
        return DataFileRead::FAILED;
    }
    FileKnown = cut ? Known::PART : Known::BYTES;
    FileBytes = bytes;
    return DataFileRead::READ;
}

void DataFileReadInPart()
{
    if (FileKnown == Known::BYTES)
        FileKnown = Known::PART;
}

bool DataFileHolds(const std::vector<uint8_t>& bytes)
{
    return FileKnown == Known::BYTES && FileBytes == bytes;
}

// One try at the rule. The file on disk is read for the comparison every time: a file changed
// by another computer, another session or a restored backup looks like any other.
static DWORD TryWrite(const std::vector<uint8_t>& bytes, DataFileWrite& outcome)
{
    const char* path = Settings.DataFile;
    std::vector<uint8_t> onDisk;
    bool cut = false;
    DWORD error = ReadFileOnce(path, g_maxDataFileSize, onDisk, cut);
    const bool there = error == ERROR_SUCCESS;
    if (!there && !IsNoFileError(error))
        return error;
    // A file that will not be replaced is not copied either.
    if (there && (error = CheckReplaceable(path)) != ERROR_SUCCESS)
        return error;
    if (there && !(FileKnown == Known::BYTES && onDisk == FileBytes)) {
        SYSTEMTIME now;
        GetLocalTime(&now);
        if ((error = KeepFileAside(path, now, outcome.keptAs)) != ERROR_SUCCESS)
            return error;
        outcome.firstKept = ++KeptThisRun == 1;
        // Kept: what is there may now be replaced, and is not kept twice should the write fail.
        FileKnown = Known::BYTES;
        FileBytes = onDisk;
    }
    if ((error = ReplaceFileContents(path, bytes)) != ERROR_SUCCESS)
        return error;
    FileKnown = Known::BYTES;
    FileBytes = bytes;
    outcome.written = true;
    return ERROR_SUCCESS;
}

DataFileWrite WriteDataFile(const std::vector<uint8_t>& bytes)
{
    DataFileWrite outcome;
    // Its notes are not known, so nothing this run holds may take their place.
    if (FileKnown == Known::REFUSED || !Settings.DataFile[0])
        return outcome;
    RetryWhileHeld([&] { return TryWrite(bytes, outcome); });
    return outcome;
}
