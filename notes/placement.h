// Where windows go: pure arithmetic, so it can be checked without a screen.
#pragma once
#include <windows.h>

// Top-left corner of a note expanded from a mark at (left, top) on the given monitor: pulled in
// at every edge so that the whole note fits, and never left of or above the monitor.
POINT PlaceExpandedNote(int left, int top, const RECT& monitor, SIZE note);

// Top-left corner of a w × h preview for a mark whose top-left corner is (left, top).
// Beside the mark's lower-right corner; to the left when it would cross the right edge, and
// above when less than twice its height is left below. Where that would cover the mark, it goes
// diagonally to the mark's upper-left instead, inside the screen.
POINT PlacePreview(int left, int top, SIZE mark, SIZE preview, SIZE screen);
