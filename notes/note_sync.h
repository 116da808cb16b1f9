// Notes from another computer shown here: the writer thread has merged a change made elsewhere
// with this run's notes (storage/file_sync.h), and the window thread makes the windows say the
// same. Notes added there appear as marks, deleted ones go, changed text, colour and place are
// taken over; a note open here stays open. No box and no kept copy.
#pragma once

// On WM_NOTES_MERGED, and once no box, dialog, menu or drag loop is open any more. False where
// no merge could be shown now.
bool ShowMergedNotes();
// Waits until every save handed over has ended; a merge that saves wait for is shown meanwhile,
// or, where it cannot be (a modal loop, the end of the program), dropped.
void WaitForSavesShowingMerges();
