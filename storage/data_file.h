// notes.bin in the data folder: written at exit, at log-off and on request; read at start-up.
#pragma once
#include <windows.h>
#include <cstdint>
#include <vector>

#define DATA_FILE_NAME "\\notes.bin"

// Writes through this pointer, so tests can make a disk fill up half-way.
extern BOOL (WINAPI *g_pfnWriteFile)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);

// DataFile from DataFolder; left empty when the folder leaves no room for the file name.
void ComposeDataFile();
int SaveNotes();
int LoadNotes();

// Writes bytes to a temporary file beside path, flushes it, then puts it in place of path.
// On any failure path keeps its old contents and the temporary file is gone.
bool ReplaceFileContents(const char* path, const std::vector<uint8_t>& bytes);
