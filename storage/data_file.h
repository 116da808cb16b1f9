// notes.bin in the data folder: read at start-up; written at exit, at log-off, on request, and
// after each completed change of the user's (storage/autosave.h decides when).
#pragma once
#include <windows.h>
#include <cstdint>
#include <vector>

#define DATA_FILE_NAME "\\notes.bin"

// How long a notes.bin that another program holds open is tried again at start-up.
constexpr DWORD DATA_FILE_RETRY_MS = 2000;

// The file calls of a save go through these pointers, so tests can make a disk fill up half-way,
// a flush fail or the final replace fail.
extern BOOL (WINAPI *g_pfnWriteFile)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);
extern BOOL (WINAPI *g_pfnFlushFileBuffers)(HANDLE);
extern BOOL (WINAPI *g_pfnReplaceFileA)(LPCSTR, LPCSTR, LPCSTR, DWORD, LPVOID, LPVOID);

// DataFile from DataFolder; left empty when the folder leaves no room for the file name.
// Starts a new run of the file: nothing is known to be written, nothing refused.
void ComposeDataFile();
// Writes every note; on failure shows "Nelze vytvořit datový soubor" and returns 0. Always writes.
int SaveNotes();
// The automatic save (its one caller is SaveAfterChange, storage/autosave.h): writes only when
// the notes differ from what the file was last written or read with. A failure shows
// "Nelze vytvořit datový soubor" once; further failures stay silent until a save succeeds.
// 1 written or nothing to write, 0 failed.
int SaveNotesIfChanged();
// From here on SaveNotesIfChanged writes nothing: the program is ending and its windows go.
void EndAutomaticSaves();
// 1 when the file was read, 0 when there is none (silent) or it cannot be read. A file that exists
// but cannot be read is reported once ("Nelze načíst datový soubor"), and no save of this run
// replaces it.
int LoadNotes();

// Writes bytes to a temporary file beside path, flushes it, then puts it in place of path
// (ReplaceFile where path exists, so its attributes and security stay). On any failure path
// keeps its old contents and the temporary file is gone.
bool ReplaceFileContents(const char* path, const std::vector<uint8_t>& bytes);
