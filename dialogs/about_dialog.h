// The About box, owned by the main window whoever asks for it.
#pragma once
#include <windows.h>

int ShowAbout();
INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
