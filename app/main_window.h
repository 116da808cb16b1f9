// The hidden main window: owner of every note, target of every program-wide command.
#pragma once
#include <windows.h>

#define MAIN_CLASS_NAME "DAVududMainClass"

int RegisterMainClass();
HWND CreateMainWindow();
LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void PaintMainWindow();
