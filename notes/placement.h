// Where windows go: pure arithmetic, so it can be checked without a screen.
#pragma once
#include <windows.h>

// Top-left corner of a note expanded from a mark at (left, top): pulled in at the right and
// bottom edges so that the whole note fits; no lower bound.
POINT PlaceExpandedNote(int left, int top, SIZE screen, SIZE note);

// Top-left corner of a w × h preview for a mark whose top-left corner is (left, top).
// Beside the mark's lower-right corner; to the left when it would cross the right edge, and
// above when less than twice its height is left below.
POINT PlacePreview(int left, int top, SIZE mark, SIZE preview, SIZE screen);
