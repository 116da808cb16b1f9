#include "notes/placement.h"

POINT PlaceExpandedNote(int left, int top, SIZE screen, SIZE note)
{
    POINT at = { left, top };
    if (at.x > screen.cx - note.cx)
        at.x = screen.cx - note.cx;
    if (at.y > screen.cy - note.cy)
        at.y = screen.cy - note.cy;
    return at;
}

POINT PlacePreview(int left, int top, SIZE mark, SIZE preview, SIZE screen)
{
    POINT at = { left + mark.cx + 2, top + mark.cy + 2 };
    if (at.x + preview.cx > screen.cx)
        at.x = at.x - preview.cx - 2;
    if (at.y + 2 * preview.cy > screen.cy)
        at.y = at.y - preview.cy - 2;
    return at;
}
