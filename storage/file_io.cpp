#include "storage/file_io.h"
#include <algorithm>
#include <cstdio>

BOOL (WINAPI *g_pfnWriteFile)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED) = WriteFile;
BOOL (WINAPI *g_pfnFlushFileBuffers)(HANDLE) = FlushFileBuffers;
BOOL (WINAPI *g_pfnReplaceFileA)(LPCSTR, LPCSTR, LPCSTR, DWORD, LPVOID, LPVOID) = ReplaceFileA;

static DWORD LastErrorUnless(BOOL done)
{
    return done ? ERROR_SUCCESS : GetLastError();
}

static bool FileIsThere(const char* path)
{
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

bool IsNoFileError(DWORD error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// ReplaceFile says 1175 when it could not remove the old file, most often because it is open.
static bool IsHeldError(DWORD error)
{
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION
        || error == ERROR_UNABLE_TO_REMOVE_REPLACED;
}

DWORD RetryWhileHeld(const std::function<DWORD()>& attempt)
{
    const DWORD start = GetTickCount();
    for (;;) {
        const DWORD error = attempt();
        if (!IsHeldError(error) || GetTickCount() - start >= DATA_FILE_RETRY_MS)
            return error;
        Sleep(100);
    }
}

DWORD ReadFileOnce(const char* path, size_t limit, std::vector<uint8_t>& bytes, bool& cut)
{
    bytes.clear();
    cut = false;
    // Other readers (a virus scanner, a backup) may look at it meanwhile.
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return GetLastError();
    LARGE_INTEGER size = {};
    bool ok = GetFileSizeEx(file, &size) != 0;
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

// Same length as the data file's path, so it fits wherever that fits.
static std::string TemporaryPathFor(const char* path)
{
    std::string temporary(path);
    const std::string extension = ".bin";
    if (temporary.size() >= extension.size()
        && temporary.compare(temporary.size() - extension.size(), extension.size(), extension) == 0)
        temporary.replace(temporary.size() - 3, 3, "tmp");
    else
        temporary += ".tmp";
    return temporary;
}

static bool WriteAll(HANDLE file, const std::vector<uint8_t>& bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
        if (!g_pfnWriteFile(file, bytes.data() + done, chunk, &written, nullptr))
            return false;
        if (written == 0) {
            SetLastError(ERROR_WRITE_FAULT);
            return false;
        }
        done += written;
    }
    return true;
}

// The whole of bytes, flushed, in a file of that name. A file that could not be opened is left
// as it was (it may hold the notes of a save that could not be put in place); one that was
// written in part is deleted.
static DWORD WriteFlushed(const std::string& path, const std::vector<uint8_t>& bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return GetLastError();
    DWORD error = LastErrorUnless(WriteAll(file, bytes) && g_pfnFlushFileBuffers(file));
    const DWORD closeError = LastErrorUnless(CloseHandle(file));
    error = error ? error : closeError;
    if (error)
        DeleteFileA(path.c_str());
    return error;
}

// An existing file is replaced with ReplaceFile, which keeps its attributes (hidden, say) and its
// security. Where there was none, or ReplaceFile lost it (1176: it removed the old file and then
// could not rename the new one, say because a scanner had just opened it), the new file is moved
// into its place.
static DWORD PutInPlace(const std::string& temporary, const char* path)
{
    const DWORD attributes = GetFileAttributesA(path);
    const bool existed = attributes != INVALID_FILE_ATTRIBUTES;
    DWORD error = existed ? LastErrorUnless(g_pfnReplaceFileA(path, temporary.c_str(), nullptr,
                                                              REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr))
                          : LastErrorUnless(MoveFileExA(temporary.c_str(), path, MOVEFILE_WRITE_THROUGH));
    if (error && existed && !FileIsThere(path))
        error = LastErrorUnless(MoveFileExA(temporary.c_str(), path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
    // Windows carries the attributes over; Wine's ReplaceFile and a move do not.
    const DWORD kept = existed ? attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM) : 0;
    if (!error && kept && (GetFileAttributesA(path) & kept) != kept)
        SetFileAttributesA(path, GetFileAttributesA(path) | kept);
    return error;
}

DWORD ReplaceFileContents(const char* path, const std::vector<uint8_t>& bytes)
{
    if (!path || !*path)
        return ERROR_PATH_NOT_FOUND;
    const std::string temporary = TemporaryPathFor(path);
    DWORD error = WriteFlushed(temporary, bytes);
    if (error)
        return error;
    error = PutInPlace(temporary, path);
    // Without the file in place the temporary file is the only copy of the notes on disk.
    if (error && FileIsThere(path))
        DeleteFileA(temporary.c_str());
    return error;
}

DWORD KeepFileAside(const char* path, const SYSTEMTIME& now, std::string& keptAs)
{
    const std::string whole(path);
    const size_t slash = whole.find_last_of("\\/");
    size_t dot = whole.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        dot = whole.size();
    char stamp[32];
    snprintf(stamp, sizeof stamp, "-%04u-%02u-%02u-%02u-%02u-%02u", now.wYear, now.wMonth, now.wDay, now.wHour,
             now.wMinute, now.wSecond);
    DWORD error = ERROR_FILE_EXISTS;
    for (int counter = 1; counter < 1000 && (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS); ++counter) {
        const std::string name = whole.substr(0, dot) + stamp + (counter > 1 ? "-" + std::to_string(counter) : "")
                               + whole.substr(dot);
        error = LastErrorUnless(CopyFileA(path, name.c_str(), TRUE));
        if (!error) {
            // The user is told its name: hidden, it could not be found.
            const DWORD attributes = GetFileAttributesA(name.c_str());
            const DWORD shown = attributes & ~(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
            if (attributes != INVALID_FILE_ATTRIBUTES && shown != attributes)
                SetFileAttributesA(name.c_str(), shown ? shown : FILE_ATTRIBUTE_NORMAL);
            keptAs = name;
        }
    }
    return error;
}
