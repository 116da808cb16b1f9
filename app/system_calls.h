// The calls tests stand in for: a disk that fills up half-way, a flush or a replace that fails,
// a scanner holding a file, a folder that announces a change, a clock standing still, an
// allocation refused, a box or a system chooser answered without a person, a notification area
// that refuses icons. One table with the real calls as defaults, put back in one place; a new one
// is one line here.
#pragma once
#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>
#include <cstdlib>

using MessageBoxFn = int (WINAPI *)(HWND owner, LPCSTR text, LPCSTR caption, UINT flags);
using ShellNotifyIconFn = BOOL (WINAPI *)(DWORD message, PNOTIFYICONDATAA data);
using NoteReallocFn = void* (*)(void* block, size_t bytes);

// The first number tried for a temporary file's name, and the next on every call.
unsigned NextTemporaryNumber();

struct SystemCalls {
    // The file work of saves (storage/).
    BOOL (WINAPI *WriteFile)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED) = ::WriteFile;
    BOOL (WINAPI *FlushFileBuffers)(HANDLE) = ::FlushFileBuffers;
    BOOL (WINAPI *ReplaceFileA)(LPCSTR, LPCSTR, LPCSTR, DWORD, LPVOID, LPVOID) = ::ReplaceFileA;
    BOOL (WINAPI *MoveFileExA)(LPCSTR, LPCSTR, DWORD) = ::MoveFileExA;
    BOOL (WINAPI *DeleteFileA)(LPCSTR) = ::DeleteFileA;
    void (WINAPI *GetLocalTime)(LPSYSTEMTIME) = ::GetLocalTime;
    unsigned (*TemporaryNumber)() = NextTemporaryNumber;
    HANDLE (WINAPI *FindFirstChangeNotificationA)(LPCSTR, BOOL, DWORD) = ::FindFirstChangeNotificationA;
    BOOL (WINAPI *FindNextChangeNotification)(HANDLE) = ::FindNextChangeNotification;
    // The shell (app/).
    MessageBoxFn MessageBoxA = ::MessageBoxA;
    ShellNotifyIconFn Shell_NotifyIconA = ::Shell_NotifyIconA;
    // The note collection's array (notes/).
    NoteReallocFn Realloc = std::realloc;
    // The system's choosers and the shell's allocator (dialogs/).
    BOOL (WINAPI *ChooseColorA)(LPCHOOSECOLORA) = ::ChooseColorA;
    PIDLIST_ABSOLUTE (WINAPI *SHBrowseForFolderA)(LPBROWSEINFOA) = ::SHBrowseForFolderA;
    HRESULT (WINAPI *SHGetMalloc)(IMalloc**) = ::SHGetMalloc;
};

extern SystemCalls g_sys;

// Every call is the real one again.
void ResetSystemCalls();
