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
};

// The one place that decides whether a change is saved now. note: the note concerned, where
// the change has one (needed for CHANGE_LEFT).
void SaveAfterChange(NoteChange change, HWND note = nullptr);
