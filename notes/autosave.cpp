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
        && SendMessageW(Notes.items[index].hwndEdit, EM_GETMODIFY, 0, 0);
}

void SaveAfterChange(NoteChange change, HWND note)
{
    if ((change == CHANGE_LEFT || change == CHANGE_TYPED) && !TextWaits(note))
        return;
    // Every change is handed to the writer at once; an unchanged collection is not written again.
    // Nothing here waits for a disk or opens a box.
    SaveNotesIfChanged();
}
