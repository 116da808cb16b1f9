// How the user hears of saves (storage/save_writer.h says what happened):
//
//   a save asked for ("&Uložit memovky", exit): a box, as it ends, naming the run's first file
//       kept aside and any failure;
//   an automatic save: a balloon from the tray icon, which takes neither the activation nor the
//       keys, and only once no box, dialog, menu or drag loop of the program is open;
//   the end of the session: nothing shown; a file kept then, or one nothing has named yet, is
//       named by the next start's box;
//   the start: what reading the file has to say, in boxes, once the notes are made.
//
// The newest file kept aside stays named in the icon's tip until the program ends. One box of a
// save at a time, never one inside another.
#pragma once
#include <string>

// What automatic saves have to say; on WM_SAVE_DONE, which the writer posts after each save and
// the end of the last modal loop posts too. Waits while a modal loop is open or the program ends.
void TellSaves();
// What a save asked for by a command has to say, once it has ended.
void TellCommandSave();
// Texts changed on both computers: the other's is kept in a new note beside its note.
void TellKeptBeside();
// At the end of the session: every file kept aside that nothing has named yet is left for the
// next start to name.
void LeaveSaveNewsForTheNextStart();
// At the start, once the notes are made: the run's first kept file where an unfinished save's
// file was kept aside, the files the last session kept without naming them, and a data file that
// could not be read.
void TellStartUp(const std::string& keptLeftover, bool unreadable);
