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

// Pixels between a preview and its mark.
static const LONG PREVIEW_GAP = 2;

static bool Overlap(const RECT& a, const RECT& b)
{
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

static bool Inside(const RECT& inner, const RECT& outer)
{
    return inner.left >= outer.left && inner.top >= outer.top
        && inner.right <= outer.right && inner.bottom <= outer.bottom;
}

static LONG Clamp(LONG value, LONG low, LONG high)
{
    return std::max(low, std::min(value, high));
}

RECT PlacePreview(const RECT& mark, SIZE preview, const RECT& monitor)
{
    // The place previews have always had: below-right, flipped at the right and bottom edges.
    const bool right = mark.right + PREVIEW_GAP + preview.cx <= monitor.right;
    const bool below = mark.bottom + PREVIEW_GAP + 2 * preview.cy <= monitor.bottom;
    POINT at = { right ? mark.right + PREVIEW_GAP : mark.right - preview.cx,
                 below ? mark.bottom + PREVIEW_GAP : mark.bottom - preview.cy };
    RECT usual = { at.x, at.y, at.x + preview.cx, at.y + preview.cy };
    if (Overlap(usual, mark)) {
        if (!right)
            at.x = std::max<LONG>(mark.left - PREVIEW_GAP - preview.cx, monitor.left);
        if (mark.bottom + PREVIEW_GAP + preview.cy > monitor.bottom)
            at.y = std::max<LONG>(mark.top - PREVIEW_GAP - preview.cy, monitor.top);
        usual = { at.x, at.y, at.x + preview.cx, at.y + preview.cy };
    }
    if (Inside(usual, monitor) && !Overlap(usual, mark))
        return usual;

    // Off the monitor or over the mark: into the part of the monitor on one side of the mark,
    // where any place is clear of both. The sides the usual place chose come first.
    enum { BELOW, RIGHT, ABOVE, LEFT };
    const RECT rooms[] = {
        { monitor.left, std::max(mark.bottom + PREVIEW_GAP, monitor.top), monitor.right, monitor.bottom },
        { std::max(mark.right + PREVIEW_GAP, monitor.left), monitor.top, monitor.right, monitor.bottom },
        { monitor.left, monitor.top, monitor.right, std::min(mark.top - PREVIEW_GAP, monitor.bottom) },
        { monitor.left, monitor.top, std::min(mark.left - PREVIEW_GAP, monitor.right), monitor.bottom },
    };
    const int order[] = { below ? BELOW : ABOVE, right ? RIGHT : LEFT, below ? ABOVE : BELOW, right ? LEFT : RIGHT };
    RECT best = { usual.left, usual.top, usual.left, usual.top };
    LONGLONG bestArea = 0;
    for (int side : order) {
        // The side whose room shows most of the preview; where several show all of it, the first.
        const RECT& room = rooms[side];
        const LONG cx = std::min(preview.cx, room.right - room.left);
        const LONG cy = std::min(preview.cy, room.bottom - room.top);
        if (cx <= 0 || cy <= 0 || static_cast<LONGLONG>(cx) * cy <= bestArea)
            continue;
        bestArea = static_cast<LONGLONG>(cx) * cy;
        // Next to the mark; along it, as near the usual place as the room allows.
        const LONG x = side == RIGHT ? room.left : side == LEFT ? room.right - cx
                                                               : Clamp(usual.left, room.left, room.right - cx);
        const LONG y = side == BELOW ? room.top : side == ABOVE ? room.bottom - cy
                                                               : Clamp(usual.top, room.top, room.bottom - cy);
        best = { x, y, x + cx, y + cy };
    }
    return best;
}

RECT MonitorAreaNear(const RECT& area)
{
    MONITORINFO info = { sizeof info };
    if (!GetMonitorInfoA(MonitorFromRect(&area, MONITOR_DEFAULTTONEAREST), &info))
        return RECT{ 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN) };
    return info.rcMonitor;
}
