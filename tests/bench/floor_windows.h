// The floors the program's start-up is measured against: the same note windows with no other
// logic (no collection, no file), created (a) the way the program creates them today, a full
// note shown and then collapsed into a mark, or (b) hidden and already collapsed, shown once.
#pragma once
#include "storage/note_codec.h"
#include "tests/bench/bench_notes.h"
#include <windows.h>
#include <string>
#include <vector>

#define FLOOR_MAIN_CLASS "BenchFloorMain"
#define FLOOR_NOTE_CLASS "BenchFloorNote"

enum FloorKind { FLOOR_A, FLOOR_B };

struct FloorNote {
    HWND window;
    HMENU menu;     // loaded for every note; attached only while a note is full-size
};

bool RegisterFloorClasses();
void UnregisterFloorClasses();
// Hidden, like the program's main window once start-up is over; owner of every floor note.
HWND CreateFloorMain();
std::vector<FloorNote> CreateFloorNotes(FloorKind kind, const std::vector<StoredNote>& notes,
                                        HWND owner);
void DestroyFloorNotes(std::vector<FloorNote>& notes);

// A child process of the benchmark: creates count notes, then runs until its main window closes.
int RunFloorProgram(FloorKind kind, int count, BenchText text);

// What a user (and the program's own code) can tell about a mark.
struct MarkState {
    RECT rect;
    LONG style, exStyle;
    bool hasMenu;
    bool editVisible;
    RECT editRect;      // in the mark's client coordinates
    std::wstring text;
};
MarkState DescribeMark(HWND window);
// Empty when equal, else the first field that differs.
std::string CompareMarks(const MarkState& expected, const MarkState& seen);
