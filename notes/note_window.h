// The note window: a full note with its own menu bar, or a small coloured mark.
#pragma once
#include <windows.h>

#define NOTE_CLASS_NAME "DAVududNoteClass"

// The two looks of a note window.
constexpr DWORD NOTE_EXPANDED_EX_STYLE = WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
constexpr DWORD NOTE_EXPANDED_STYLE = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE;
constexpr DWORD NOTE_PACKED_EX_STYLE = WS_EX_TOPMOST;
constexpr DWORD NOTE_PACKED_STYLE = WS_POPUP;

int RegisterNoteClass();
LRESULT CALLBACK NoteWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void PackNote(HWND window);
void UnpackNote(HWND window);
void UpdateNoteTitle(HWND window);
void OnNotePaint(HWND window);
void OnNoteSize(HWND window, WPARAM wParam, LPARAM lParam);
