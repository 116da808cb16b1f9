// The notes and notes.bin: the collection read out of its windows and written (at exit, at
// log-off, on "&Uložit memovky" and after each completed change, notes/autosave.h), and the
// windows made again from what was read. What a write may replace is storage/data_file.h's rule.
#pragma once
#include <windows.h>

// Writes every note; on failure shows "Nelze vytvořit datový soubor" and returns 0. Always writes.
int SaveNotes();
// The automatic save (its one caller is SaveAfterChange): writes only when the notes differ from
// what the file was last written or read with. A failure shows "Nelze vytvořit datový soubor"
// once; further failures stay silent until a save succeeds. 1 written or nothing to write, 0 failed.
int SaveNotesIfChanged();
// A new run: automatic saves write again, and their first failure is shown.
void BeginAutomaticSaves();
// From here on SaveNotesIfChanged writes nothing: the program is ending and its windows go.
void EndAutomaticSaves();
// 1 when the file was read, 0 when there is none (silent) or it cannot be read. A file that exists
// but cannot be read is reported once ("Nelze načíst datový soubor"); the first save that can
// replace it keeps it aside. What unfinished saves left is dealt with first, and the first file it
// keeps aside is named in a box. Called once, while the collection is empty.
int LoadNotes();
