// The message boxes every part of the program speaks through, and RedrawNow.
#pragma once
#include <windows.h>

using MessageBoxFn = int (WINAPI *)(HWND owner, LPCSTR text, LPCSTR caption, UINT flags);

// Every box goes through this pointer, so tests can see and answer boxes without a person.
extern MessageBoxFn g_pfnMessageBox;

int ErrorBox(const char* text);
// OK with a warning sign: something the user should know of, though nothing failed.
int WarningBox(const char* text);
void FatalBox(const char* text);
int AskYesNo(const char* text);
BOOL RedrawNow(HWND window);

// The fixed text that FatalBox shows for a null text.
extern const char FATAL_TEXT[];
