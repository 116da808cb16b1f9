// "Nastavení programu": mark size, colours and the data folder.
#pragma once
#include <windows.h>

#define MARK_SIZE_MIN 4
#define MARK_SIZE_MAX 100

// Working state of one opening; committed only by OK.
extern COLORREF WorkMarkColor;
extern COLORREF WorkPopupColor;
extern int PopupColorTouched;

int ShowSettings();
INT_PTR CALLBACK SettingsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
bool IsMarkSizeInRange(UINT value);
