#include "storage/file_io.h"
#include "app/system_calls.h"
#include <algorithm>
#include <cstdio>

DWORD g_dataFileRetryMs = DATA_FILE_RETRY_MS;

static DWORD LastErrorUnless(BOOL done)
{
    return done ? ERROR_SUCCESS : GetLastError();
}

bool FileIsThere(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

static bool IsTakenError(DWORD error)
{
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
}

bool IsNoFileError(DWORD error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// ReplaceFile says 1175 when it could not remove the old file and 1176 when it could not rename
// the new one; with a backup name both keep their names, most often because one of them is open.
static bool IsHeldError(DWORD error)
{
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION
        || error == ERROR_UNABLE_TO_REMOVE_REPLACED || error == ERROR_UNABLE_TO_MOVE_REPLACEMENT;
}

static DWORD RetryWhile(const std::function<DWORD()>& step, bool (*held)(DWORD))
{
    const DWORD start = GetTickCount();
    for (;;) {
        const DWORD error = step();
        const DWORD waited = GetTickCount() - start;
        if (!held(error) || waited >= g_dataFileRetryMs)
            return error;
        Sleep(std::min<DWORD>(100, g_dataFileRetryMs - waited));
    }
}

DWORD RetryWhileHeld(const std::function<DWORD()>& step)
{
    return RetryWhile(step, IsHeldError);
}

DWORD RetryOwnFile(const std::function<DWORD()>& step)
{
    return RetryWhile(step, [](DWORD error) { return IsHeldError(error) || error == ERROR_ACCESS_DENIED; });
}

DWORD DeleteOwnFile(const std::string& path)
{
    const DWORD error = RetryOwnFile([&] { return LastErrorUnless(g_sys.DeleteFileA(path.c_str())); });
    return error == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : error;
}

bool SameIdentity(const FileIdentity& a, const FileIdentity& b)
{
    return a.volume == b.volume && a.indexHigh == b.indexHigh && a.indexLow == b.indexLow && a.size == b.size
        && CompareFileTime(&a.written, &b.written) == 0;
}

static DWORD IdentityOfHandle(HANDLE file, FileIdentity& identity)
{
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(file, &info))
        return GetLastError();
    identity.volume = info.dwVolumeSerialNumber;
    identity.indexHigh = info.nFileIndexHigh;
    identity.indexLow = info.nFileIndexLow;
    identity.size = (static_cast<ULONGLONG>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    identity.written = info.ftLastWriteTime;
    return ERROR_SUCCESS;
}

DWORD IdentityOf(const std::string& path, FileIdentity& identity)
{
    HANDLE file = CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return GetLastError();
    const DWORD error = IdentityOfHandle(file, identity);
    CloseHandle(file);
    return error;
}

DWORD ReadFileOnce(const std::string& path, size_t limit, std::vector<uint8_t>& bytes, bool& cut,
                   FileIdentity* identity)
{
    bytes.clear();
    cut = false;
    // Other readers (a virus scanner, a backup) may look at it meanwhile.
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return GetLastError();
    LARGE_INTEGER size = {};
    bool ok = GetFileSizeEx(file, &size) != 0 && (!identity || IdentityOfHandle(file, *identity) == ERROR_SUCCESS);
    if (ok) {
        cut = static_cast<ULONGLONG>(size.QuadPart) > limit;
        bytes.resize(static_cast<size_t>(std::min<ULONGLONG>(size.QuadPart, limit)));
        DWORD read = 0;
        ok = bytes.empty() || ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
        bytes.resize(ok ? read : 0);
    }
    const DWORD error = ok ? ERROR_SUCCESS : GetLastError();
    CloseHandle(file);
    return error;
}

// A rename gets past a read-only attribute (and so does an administrator's open), so both are
// asked the way a plain save would meet them. Other readers may keep it open meanwhile.
DWORD CheckReplaceable(const char* path)
{
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        return ERROR_ACCESS_DENIED;
    HANDLE file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : GetLastError();
    CloseHandle(file);
    return ERROR_SUCCESS;
}

std::string FolderPartOf(const std::string& path)
{
    const size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool PathFits(const std::string& path)
{
    return path.size() < MAX_PATH;
}

// "notes~XXXX.tmp" beside the data file; in a folder too long for it, "~XXXX.tmp", which fits
// wherever "notes.bin" fits.
static std::string TemporaryPath(const std::string& folder, unsigned number)
{
    char name[32];
    snprintf(name, sizeof name, "notes~%04X.tmp", number & 0xFFFF);
    return PathFits(folder + name) ? folder + name : folder + (name + 5);
}

// The first name tried differs from process to process and from save to save.
unsigned NextTemporaryNumber()
{
    static unsigned next = GetCurrentProcessId() * 7919u + GetTickCount();
    return next++;
}

static DWORD CreateNewTemporary(const char* path, std::string& name, HANDLE& file)
{
    const std::string folder = FolderPartOf(path);
    DWORD error = ERROR_FILE_EXISTS;
    for (int tries = 0; tries < 256 && IsTakenError(error); ++tries) {
        name = TemporaryPath(folder, g_sys.TemporaryNumber());
        file = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        error = file == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
    }
    return error;
}

DWORD CreateTemporaryFile(const char* path, std::string& name)
{
    HANDLE file = INVALID_HANDLE_VALUE;
    const DWORD error = CreateNewTemporary(path, name, file);
    if (!error)
        CloseHandle(file);
    return error;
}

static bool WriteAll(HANDLE file, const std::vector<uint8_t>& bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
        if (!g_sys.WriteFile(file, bytes.data() + done, chunk, &written, nullptr))
            return false;
        if (written == 0) {
            SetLastError(ERROR_WRITE_FAULT);
            return false;
        }
        done += written;
    }
    return true;
}

DWORD WriteTemporaryFile(const char* path, const std::vector<uint8_t>& bytes, std::string& name,
                         FileIdentity& identity)
{
    HANDLE file = INVALID_HANDLE_VALUE;
    DWORD error = CreateNewTemporary(path, name, file);
    if (error)
        return error;
    error = LastErrorUnless(WriteAll(file, bytes) && g_sys.FlushFileBuffers(file));
    const DWORD closeError = LastErrorUnless(CloseHandle(file));
    error = error ? error : closeError;
    if (!error)
        error = IdentityOf(name, identity);
    if (error)
        DeleteOwnFile(name);
    return error;
}

std::vector<WIN32_FIND_DATAA> FindEntries(const std::string& pattern)
{
    std::vector<WIN32_FIND_DATAA> entries;
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA(pattern.c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE)
        return entries;
    do
        if (lstrcmpA(entry.cFileName, ".") != 0 && lstrcmpA(entry.cFileName, "..") != 0)
            entries.push_back(entry);
    while (FindNextFileA(search, &entry));
    FindClose(search);
    return entries;
}

std::vector<std::string> FindTemporaryFiles(const char* path)
{
    const std::string folder = FolderPartOf(path);
    std::vector<std::string> found;
    for (const WIN32_FIND_DATAA& entry : FindEntries(folder + "*.tmp")) {
        // Exactly the names a save gives (the pattern also meets short 8.3 names of others).
        unsigned number = 0;
        char tail = 0;
        const std::string name = folder + entry.cFileName;
        const bool ours = (sscanf(entry.cFileName, "notes~%4X.tm%c", &number, &tail) == 2
                           || sscanf(entry.cFileName, "~%4X.tm%c", &number, &tail) == 2)
                       && name == TemporaryPath(folder, number);
        if ((ours || lstrcmpiA(entry.cFileName, "notes.tmp") == 0) && !(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            found.push_back(name);
    }
    return found;
}

DWORD MoveToFreeName(const std::string& from, const std::string& to)
{
    return RetryOwnFile([&] { return LastErrorUnless(g_sys.MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH)); });
}

static DWORD Replace(const char* path, const std::string& temporary, const std::string& backup)
{
    return RetryWhileHeld([&] {
        return LastErrorUnless(g_sys.ReplaceFileA(path, temporary.c_str(), backup.c_str(),
                                                  REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr));
    });
}

// The reserved backup name still holds nothing: the replace did not get as far as moving the old
// file there.
static bool ReservedAndEmpty(const std::string& backup)
{
    FileIdentity identity;
    return IdentityOf(backup, identity) == ERROR_SUCCESS && identity.size == 0;
}

DWORD PutInPlace(const std::string& temporary, const char* path, std::string& backup)
{
    const DWORD attributes = GetFileAttributesA(path);
    const bool existed = attributes != INVALID_FILE_ATTRIBUTES;
    DWORD error = ERROR_FILE_NOT_FOUND;
    // A few rounds at most: a name refused, or a notes.bin that comes or goes under the save.
    for (int round = 0; round < 4; ++round) {
        if (FileIsThere(path)) {
            if (backup.empty() && (error = CreateTemporaryFile(path, backup)) != ERROR_SUCCESS)
                return error;
            error = Replace(path, temporary, backup);
            // The reserved name refused (another program opened it, or the backup may not be
            // replaced): it makes way for another, while the old file is still in place.
            if ((error == ERROR_ACCESS_DENIED || IsTakenError(error)) && FileIsThere(path) && ReservedAndEmpty(backup)) {
                DeleteOwnFile(backup);
                backup.clear();
                continue;
            }
        }
        // None there, or the replace lost it on the way (1177: the old file is the backup already):
        // the new file goes into the empty place, never over a file that appeared meanwhile,
        // which is then replaced as any other.
        if (error && !FileIsThere(path)) {
            error = MoveToFreeName(temporary, path);
            if (IsTakenError(error) && (backup.empty() || ReservedAndEmpty(backup)))
                continue;
        }
        break;
    }
    // Windows carries the attributes over; Wine's ReplaceFile and a move do not.
    const DWORD kept = existed ? attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM) : 0;
    if (!error && kept && (GetFileAttributesA(path) & kept) != kept)
        SetFileAttributesA(path, GetFileAttributesA(path) | kept);
    return error;
}

// The kept name for counter (1, 2, …) with its time stamp; where that does not fit the path
// limit, "notes-N.bin", and in the longest folders "N.bin".
static std::string KeptPath(const std::string& folder, const SYSTEMTIME& now, int counter)
{
    char stamp[40];
    snprintf(stamp, sizeof stamp, "notes-%04u-%02u-%02u-%02u-%02u-%02u", now.wYear, now.wMonth, now.wDay,
             now.wHour, now.wMinute, now.wSecond);
    const std::string suffix = counter > 1 ? "-" + std::to_string(counter) : "";
    for (const std::string& name : { stamp + suffix + ".bin", "notes-" + std::to_string(counter) + ".bin" })
        if (PathFits(folder + name))
            return folder + name;
    return folder + std::to_string(counter) + ".bin";
}

DWORD KeepFileAside(const std::string& file, const char* path, std::string& keptAs)
{
    const std::string folder = FolderPartOf(path);
    SYSTEMTIME now;
    g_sys.GetLocalTime(&now);
    DWORD error = ERROR_FILE_EXISTS;
    for (int counter = 1; counter < 1000 && IsTakenError(error); ++counter) {
        const std::string name = KeptPath(folder, now, counter);
        error = MoveToFreeName(file, name);
        if (!error)
            keptAs = name;
    }
    // The user is told its name: hidden, it could not be found.
    const DWORD attributes = error ? INVALID_FILE_ATTRIBUTES : GetFileAttributesA(keptAs.c_str());
    const DWORD shown = attributes & ~(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    if (attributes != INVALID_FILE_ATTRIBUTES && shown != attributes)
        SetFileAttributesA(keptAs.c_str(), shown ? shown : FILE_ATTRIBUTE_NORMAL);
    return error;
}
