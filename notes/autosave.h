// When the notes are saved as the user works: every save point besides exit, log-off and
// "&Uložit memovky" is a call of SaveAfterChange, and nothing else saves.
// Saves follow the user's completed commands on the GUI thread, never the destruction of windows.
#pragma once
#include <windows.h>

enum NoteChange {
    CHANGE_ADDED,       // "&Přidat" (main window, IDM_ADD)
    CHANGE_PACKED,      // a note closed or packed (IDM_PACK, SC_CLOSE)
    CHANGE_DELETED,     // IDM_DELETE answered Yes, after DestroyWindow has returned
    CHANGE_COLOUR,      // one of the colour commands
    CHANGE_MOVED,       // a mark dropped after a drag, a note moved (WM_EXITSIZEMOVE)
    CHANGE_ALL_NOTES,   // pack, expand, hide or show all
    CHANGE_SETTINGS,    // the settings dialog confirmed (its re-pack of every note is one change)
    CHANGE_LEFT,        // a note lost activation: saved when it is expanded and its text changed
    CHANGE_TYPED,       // a pause in typing (TYPING_PAUSE_MS after the last change of the text)
};

// Typed text is on disk this long after the last keystroke, however long the note stays active.
constexpr UINT TYPING_PAUSE_MS = 1000;

// The one place that decides whether a change is saved now. note: the note concerned, where
// the change has one (needed for CHANGE_LEFT and CHANGE_TYPED).
void SaveAfterChange(NoteChange change, HWND note = nullptr);
