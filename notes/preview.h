// The one hover preview: a note's text beside its mark.
#pragma once
#include <windows.h>

#define POPUP_CLASS_NAME "DAVududPopupClass"

extern HWND PreviewWindow;      // null when no preview is shown
extern wchar_t* PreviewText;    // the preview's own copy of the text, exact as the note holds it

int RegisterPopupClass();
void ReregisterPopupClass();
int ShowPopup(HWND mark);
int HidePopup();
void PaintPreview(HWND window);
// Black on a light background, white on a dark one.
COLORREF ReadableTextColour(COLORREF background);
LRESULT CALLBACK PopupWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
