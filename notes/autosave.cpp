#include "notes/autosave.h"
#include "notes/note_collection.h"
#include "notes/note_store.h"

// Typing changes nothing but the edit box, so a note's text is saved at a pause in typing and
// when the user turns from it to another window, and only when the edit box says its text
// changed since the last save (each successful save clears that flag). A note that is being
// hidden, packed or destroyed loses activation too, invisible by then: the command doing that
// saves for itself, or, at the end of the program, must not save at all.
static bool TextWaits(HWND note)
{
    const int index = FindNote(note);
    return index >= 0 && Notes.items[index].state == NOTE_EXPANDED && IsWindowVisible(note)
        && SendMessageA(Notes.items[index].hwndEdit, EM_GETMODIFY, 0, 0);
}

void SaveAfterChange(NoteChange change, HWND note)
{
    if ((change == CHANGE_LEFT || change == CHANGE_TYPED) && !TextWaits(note))
        return;
    // A save's box lets messages through, and a note that loses activation to it asks for a
    // save again: that save waits until the box has closed, and then runs once.
    static bool saving, asked;
    if (saving) {
        asked = true;
        return;
    }
    saving = true;
    do {
        asked = false;
        // Every change is saved at once; an unchanged collection is not written again.
        SaveNotesIfChanged();
    } while (asked);
    saving = false;
}
