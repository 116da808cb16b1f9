// The note window: a full note with its own menu bar, or a small coloured mark.
#pragma once
#include <windows.h>

#define NOTE_CLASS_NAME "DAVududNoteClass"

int RegisterNoteClass();
LRESULT CALLBACK NoteWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void PackNote(HWND window);
void UnpackNote(HWND window);
void UpdateNoteTitle(HWND window);
void OnNotePaint(HWND window);
void OnNoteSize(HWND window, WPARAM wParam, LPARAM lParam);
