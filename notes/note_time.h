// The creation time of a note as the text of its title.
#pragma once
#include "notes/note_collection.h"

// Five five-digit fields need 30 characters; the title adds "Zapsáno: ".
#define NOTE_TIME_TEXT_SIZE 32
#define NOTE_TITLE_SIZE     48

// "6.12.2026  14:05"; "Čas neurčen" (and 0) for a year before 1970.
int FormatNoteTime(NoteTime time, char (&text)[NOTE_TIME_TEXT_SIZE]);
void FormatNoteTitle(NoteTime time, char (&title)[NOTE_TITLE_SIZE]);
