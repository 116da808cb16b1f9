// The notes and notes.bin: the collection read out of its windows and written (at exit, at
// log-off, on "&Uložit memovky" and after each completed change, notes/autosave.h), and the
// windows made again from what was read. What a write may replace is storage/data_file.h's rule;
// how the user hears of saves, notes/save_telling.h.
#pragma once
#include "storage/data_file.h"
#include "storage/save_writer.h"
#include <windows.h>

// Writes every note where they differ from the newest notes handed over or made at the start
// (untouchedToo: also where they do not, as "&Uložit memovky" does), and waits until they are on
// disk, or the save failed: COMMAND ("&Uložit memovky", exit) tells what there is to tell at
// once; SESSION_END (log-off) tells nothing, and leaves the new notes on disk where they cannot
// replace the file. 1 written or nothing to write (also while the stored notes are made, and once
// the program has begun to end), 0 failed.
int SaveNotes(SaveKind kind = SaveKind::COMMAND, bool untouchedToo = false);
// The automatic save (its one caller is SaveAfterChange): hands the notes to the writer when they
// differ from what was last handed over or made at the start, and returns at once. Nothing is
// written while the stored notes are made, nor once the program has begun to end (EndSaves).
void SaveNotesIfChanged();
// The collection as a save would write it, read out of the windows.
std::vector<uint8_t> CollectionBytes();
// Clears the modify flags of the texts that the newest save has put on disk; on WM_SAVE_DONE.
void MarkTextsSaved();
// A mark made of a stored note, with its text, colour, time and identity, its text unchanged; null
// when it could not be made (after a box).
HWND AddStoredNote(const StoredNote& stored);
// 1 when the file was read, 0 when there is none (silent) or it cannot be read. A file that exists
// but cannot be read is reported once ("Nelze načíst datový soubor"); the first save that can
// replace it keeps it aside. What unfinished saves left is dealt with first, and the first file it
// keeps aside is named in a box; the boxes open once the notes are made. Nothing is saved until
// then. Called once, while the collection is empty.
int LoadNotes();
