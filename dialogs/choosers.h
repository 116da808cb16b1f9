// One-call wrappers around the system's colour chooser and folder browser.
#pragma once
#include <windows.h>
#include <commdlg.h>
#include <shlobj.h>

extern COLORREF CustomColours[16];      // kept for the whole run, offered by every chooser
extern char BrowseStartFolder[MAX_PATH];

// The colour the user confirmed, or initial when the chooser was cancelled.
COLORREF ChooseColour(COLORREF initial, HWND owner);
// 1 when a file-system folder was chosen and written to path (MAX_PATH characters).
// start "current" means the current directory; null keeps the previous starting folder.
int BrowseForFolder(char* path, const char* start, const char* title);
int CALLBACK BrowseCallback(HWND browser, UINT notification, LPARAM parameter, LPARAM data);
