// Program-wide handles, private messages and the start-up / shutdown sequence.
#pragma once
#include <windows.h>

// Private messages, all addressed to the main window.
#define WM_NOTE_DESTROYED   (WM_APP + 1)    // wParam, lParam: the note window being destroyed
#define WM_POPUP_DESTROYED  (WM_APP + 2)    // wParam, lParam: the preview window being destroyed
#define WM_TRAY_NOTIFY      (WM_APP + 3)    // lParam: the mouse message over the tray icon
#define WM_SAVE_DONE        (WM_APP + 4)    // posted by the writer thread: a save has ended
#define WM_DATE_THREAD      (WM_APP + 5)    // to the window thread itself, taken at once: dates what follows
#define WM_NOTES_MERGED     (WM_APP + 6)    // posted by the writer thread: notes changed elsewhere, merged

extern const char APP_TITLE[];

// The command of WM_SYSCOMMAND: the system uses the low four bits of wParam for itself (a drag
// on the caption, for one, comes as SC_MOVE + HTCAPTION).
inline WPARAM SystemCommandOf(WPARAM wParam)
{
    return wParam & 0xFFF0;
}

extern HINSTANCE g_hInst;
extern HWND g_hMainWnd;
extern HMENU g_hMarkMenu;
extern HMENU g_hTrayMenu;

// Start-up in its fixed order; 1 when the message loop may run.
int InitApplication();
// The one message loop; returns the wParam of WM_QUIT.
int RunMessageLoop();
// The ordered end, run on WM_CLOSE of the main window. 0 when the user chose to keep the
// program running after the notes could not be saved; the window must then stay.
int Shutdown();
