// The notes and notes.bin: the collection read out of its windows and written (at exit, at
// log-off, on "&Uložit memovky" and after each completed change, notes/autosave.h), and the
// windows made again from what was read. What a write may replace is storage/data_file.h's rule.
#pragma once
#include "storage/data_file.h"
#include <windows.h>

// Writes every note and waits until they are on disk, or the save failed: COMMAND
// ("&Uložit memovky", exit) says what there is to say at once; SESSION_END (log-off) says nothing
// inside the message that asked, and a failure after it. 1 written (or the program has ended and
// writes no more), 0 failed.
int SaveNotes(SaveKind kind = SaveKind::COMMAND);
// The automatic save (its one caller is SaveAfterChange): hands the notes to the writer when they
// differ from what was last handed over or read, and returns at once. Nothing is written once the
// program has begun to end (EndSaves).
void SaveNotesIfChanged();
// Says what ended saves have to say: the run's first file kept aside, a failure. One box at a
// time, never one inside another; the window active before it is active again afterwards. Called
// when the writer reports (WM_SAVE_DONE) and after a save asked for by a command.
void TellSaves();
// 1 when the file was read, 0 when there is none (silent) or it cannot be read. A file that exists
// but cannot be read is reported once ("Nelze načíst datový soubor"); the first save that can
// replace it keeps it aside. What unfinished saves left is dealt with first, and the first file it
// keeps aside is named in a box. Called once, while the collection is empty.
int LoadNotes();
