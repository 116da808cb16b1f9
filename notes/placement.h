// Where windows go: pure arithmetic, so it can be checked without a screen, and the one
// question to the system it needs.
#pragma once
#include <windows.h>

// Top-left corner of a note expanded from a mark at (left, top) on the given monitor: pulled in
// at every edge so that the whole note fits, and never left of or above the monitor.
POINT PlaceExpandedNote(int left, int top, const RECT& monitor, SIZE note);

// Where a preview of the given size goes beside a mark, on the mark's monitor (its whole
// rectangle, which may lie at negative coordinates): wholly on that monitor, never over the mark.
// The usual place is beside the mark's lower-right corner; to the left when it would cross the
// right edge, above when less than twice its height is left below, diagonally up and left where
// both would cover the mark. Where that place is off the monitor or over the mark, the preview
// goes on the side of the mark whose room shows most of it, clipped to that room: the result may
// be smaller than the preview, and the window is sized to it.
RECT PlacePreview(const RECT& mark, SIZE preview, const RECT& monitor);

// The whole of the monitor nearest to an area: a mark left on a monitor that is gone comes back
// on the one nearest to where it was.
RECT MonitorAreaNear(const RECT& area);
