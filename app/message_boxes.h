// The message boxes every part of the program speaks through, and RedrawNow.
#pragma once
#include <windows.h>

int ErrorBox(const char* text);
// OK with a warning sign: something the user should know of, though nothing failed.
int WarningBox(const char* text);
void FatalBox(const char* text);
// The fixed fatal box once for each of count failures.
void FatalBoxes(int count);
int AskYesNo(const char* text);
BOOL RedrawNow(HWND window);

// The fixed text that FatalBox shows for a null text.
extern const char FATAL_TEXT[];
