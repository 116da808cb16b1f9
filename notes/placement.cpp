#include "notes/placement.h"
#include <algorithm>

POINT PlaceExpandedNote(int left, int top, const RECT& monitor, SIZE note)
{
    // The top-left bound wins over the bottom-right one: a note larger than the monitor still
    // shows its caption.
    POINT at;
    at.x = std::max<LONG>(std::min<LONG>(left, monitor.right - note.cx), monitor.left);
    at.y = std::max<LONG>(std::min<LONG>(top, monitor.bottom - note.cy), monitor.top);
    return at;
}

static bool Overlap(POINT at, SIZE size, const RECT& area)
{
    return at.x < area.right && area.left < at.x + size.cx && at.y < area.bottom && area.top < at.y + size.cy;
}

POINT PlacePreview(int left, int top, SIZE mark, SIZE preview, SIZE screen)
{
    POINT at = { left + mark.cx + 2, top + mark.cy + 2 };
    if (at.x + preview.cx > screen.cx)
        at.x = at.x - preview.cx - 2;
    if (at.y + 2 * preview.cy > screen.cy)
        at.y = at.y - preview.cy - 2;
    // Over its own mark the preview would take the mark's clicks (and its leave report).
    const RECT markArea = { left, top, left + mark.cx, top + mark.cy };
    if (Overlap(at, preview, markArea)) {
        if (left + mark.cx + 2 + preview.cx > screen.cx)
            at.x = std::max<LONG>(left - 2 - preview.cx, 0);
        if (top + mark.cy + 2 + preview.cy > screen.cy)
            at.y = std::max<LONG>(top - 2 - preview.cy, 0);
    }
    return at;
}
