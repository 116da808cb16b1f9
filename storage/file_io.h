// File steps that outlast other programs and power cuts: a file held for a moment (a virus
// scanner, a sync client) is tried again, new files never take an existing name, and nothing
// is replaced without the old file staying somewhere under a name of its own.
// Every function returns ERROR_SUCCESS or the Win32 error that stopped it.
#pragma once
#include <windows.h>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// How long a file that another program holds is tried again.
constexpr DWORD DATA_FILE_RETRY_MS = 2000;
// The time in force: DATA_FILE_RETRY_MS, lowered by tests so they need not wait seconds.
extern DWORD g_dataFileRetryMs;

// No such file, or no such folder (a drive that is not there yet).
bool IsNoFileError(DWORD error);
bool FileIsThere(const std::string& path);

// Runs step again every 100 ms while it fails because another program holds a file, for
// g_dataFileRetryMs at most; its last result.
DWORD RetryWhileHeld(const std::function<DWORD()>& step);
// The same for a rename or deletion of a file of the program's own (a temporary file, the old
// notes kept under a temporary name): there Windows answers ERROR_ACCESS_DENIED to a file that
// another program has open (a scanner, a sync client) or that is on its way out, so that is a
// hold too. Never for notes.bin's own permissions: those are asked by CheckReplaceable.
DWORD RetryOwnFile(const std::function<DWORD()>& step);
// Deletes a file of the program's own, tried again while held; one that is gone already counts
// as deleted.
DWORD DeleteOwnFile(const std::string& path);

// What tells a file from another without reading it: a file replaced, rewritten or restored
// elsewhere differs in at least one of these.
struct FileIdentity {
    DWORD volume = 0, indexHigh = 0, indexLow = 0;
    ULONGLONG size = 0;
    FILETIME written = {};
};
bool SameIdentity(const FileIdentity& a, const FileIdentity& b);
DWORD IdentityOf(const std::string& path, FileIdentity& identity);

// The first limit bytes of the file; cut tells whether it holds more.
DWORD ReadFileOnce(const std::string& path, size_t limit, std::vector<uint8_t>& bytes, bool& cut,
                   FileIdentity* identity = nullptr);

// An existing file must be ours to replace: read-only or refused to us, it is not.
DWORD CheckReplaceable(const char* path);

// Names beside path: the folder's path with a backslash, and whether a name there fits MAX_PATH.
std::string FolderPartOf(const std::string& path);
bool PathFits(const std::string& path);

// A new, empty temporary file beside path ("notes~XXXX.tmp", or "~XXXX.tmp" where that would not
// fit), made with CREATE_NEW, so that it never is another writer's.
DWORD CreateTemporaryFile(const char* path, std::string& name);
// Writes bytes to a new temporary file beside path and flushes it. identity is the file's once
// closed (Windows may stamp its time at the close; the name is this save's alone until then); a
// file that could not be written whole is deleted, one written whole is not.
DWORD WriteTemporaryFile(const char* path, const std::vector<uint8_t>& bytes, std::string& name,
                         FileIdentity& identity);
// What a search of pattern ("folder\\*.tmp") finds, "." and ".." not among it.
std::vector<WIN32_FIND_DATAA> FindEntries(const std::string& pattern);
// Temporary files of a save of this program beside path, the old fixed "notes.tmp" included.
std::vector<std::string> FindTemporaryFiles(const char* path);

// Renames a file of the program's own from as to, written through, never over a file that is
// there; tried again while held.
DWORD MoveToFreeName(const std::string& from, const std::string& to);

// Puts temporary in place of path. An existing path is replaced with ReplaceFile, which keeps its
// attributes and security, and moved to backup, a temporary name that this call reserves (another
// where the reserved one is refused; empty where none was needed). Where path is gone, the new
// file goes into its place, and where one appears just then, that one is replaced instead: never
// is a file overwritten.
DWORD PutInPlace(const std::string& temporary, const char* path, std::string& backup);

// Renames file beside path as stem-YYYY-MM-DD-hh-mm-ss.ext (-2, -3 … where that name is taken; a
// shorter name where that would not fit), never over another file, and unhides it: the user is
// told its name. The new path goes to keptAs.
DWORD KeepFileAside(const std::string& file, const char* path, std::string& keptAs);
