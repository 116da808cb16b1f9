// Whole-file reads and replaces that outlast other programs: a file held for a moment (a virus
// scanner, a sync client) is tried again, and a failed replace never loses both copies.
// Every function returns ERROR_SUCCESS or the Win32 error that stopped it.
#pragma once
#include <windows.h>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// How long a file that another program holds is tried again.
constexpr DWORD DATA_FILE_RETRY_MS = 2000;

// The file calls of a write go through these pointers, so tests can make a disk fill up half-way,
// a flush fail or the final replace fail as the real calls do.
extern BOOL (WINAPI *g_pfnWriteFile)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);
extern BOOL (WINAPI *g_pfnFlushFileBuffers)(HANDLE);
extern BOOL (WINAPI *g_pfnReplaceFileA)(LPCSTR, LPCSTR, LPCSTR, DWORD, LPVOID, LPVOID);

// No such file, or no such folder (a drive that is not there yet).
bool IsNoFileError(DWORD error);

// Runs attempt again every 100 ms while it fails because another program holds the file, for
// DATA_FILE_RETRY_MS at most; its last result.
DWORD RetryWhileHeld(const std::function<DWORD()>& attempt);

// The first limit bytes of the file; cut tells whether it holds more.
DWORD ReadFileOnce(const char* path, size_t limit, std::vector<uint8_t>& bytes, bool& cut);

// An existing file must be ours to replace: read-only or refused to us, it is not.
DWORD CheckReplaceable(const char* path);

// Writes bytes to a temporary file beside path, flushes it and puts it in place of path
// (ReplaceFile where path exists, so its attributes and security stay). The temporary file is
// deleted only while path is in place; where neither the replace nor a move could put it there,
// it stays, holding the new bytes.
DWORD ReplaceFileContents(const char* path, const std::vector<uint8_t>& bytes);

// Copies path beside itself as stem-YYYY-MM-DD-hh-mm-ss.ext (-2, -3 … where that name is taken),
// never over another file. The copy's path goes to keptAs.
DWORD KeepFileAside(const char* path, const SYSTEMTIME& now, std::string& keptAs);
