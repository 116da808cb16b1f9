// Every note's record, in order of addition; a note is always found by its window.
#pragma once
#include "storage/note_codec.h"
#include <windows.h>
#include <cstdint>
#include <string>

// Local time of a note's creation, to the minute; stored as these ten bytes.
struct NoteTime {
    WORD year, month, day, hour, minute;
};

struct NoteRecord {
    HWND hwnd;              // the note window: the key
    HWND hwndEdit;          // its edit box, which alone holds the text
    int32_t reserved;
    int32_t tracking;       // a leave report has been asked for
    int32_t armed;          // the next mouse move may open the preview
    int32_t hover;
    COLORREF markColor;
    NoteTime created;
    BYTE state;             // NOTE_PACKED or NOTE_EXPANDED
    HMENU hmenu;            // the note's own menu bar, owned by the record
    char name[32];
    int32_t x;              // where the mark goes whenever the note is packed
    int32_t y;
    char id[NOTE_ID_SIZE];  // the note's identity on every computer, given at its creation or
                            // kept from the file
};

struct NoteCollection {
    NoteRecord* items;      // exactly count records; null when empty
    int count;
};

extern NoteCollection Notes;

int FindNote(HWND window);

int GetNoteTracking(HWND window);
int SetNoteTracking(HWND window, int value);
int GetNoteArmed(HWND window);
int SetNoteArmed(HWND window, int value);
int SetNoteHover(HWND window, int value);
int IsNotePacked(HWND window);
COLORREF GetNoteColor(HWND window);
int SetNoteColor(HWND window, COLORREF color);
int SetNoteTime(HWND window, NoteTime time);

int AddNote(int32_t x, int32_t y, const char* text, BYTE state);   // text in the code page
int AddNoteW(int32_t x, int32_t y, const wchar_t* text, BYTE state);
int RemoveNote(HWND window);
// A note made of a stored one takes its identity, where no other note has it.
int SetNoteId(HWND window, const std::string& id);
void DestroyAllNotes();

void PackAll();
void UnpackAll();
void HideAll();
void ShowAll();
