// Where an expanded note and a preview go on the screen.
#include "notes/placement.h"
#include "tests/support/helpers.h"
#include <gtest/gtest.h>

namespace {

const RECT SCREEN_RECT = { 0, 0, 1024, 768 };
const SIZE NOTE = { 300, 250 };

::testing::AssertionResult At(POINT actual, LONG x, LONG y)
{
    if (actual.x == x && actual.y == y)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "got (" << actual.x << ", " << actual.y << "), want (" << x << ", " << y << ")";
}

TEST(ExpandedNotePlacement, PulledInAtTheRightAndBottom)
{
    EXPECT_TRUE(At(PlaceExpandedNote(1019, 763, SCREEN_RECT, NOTE), 724, 518));
    EXPECT_TRUE(At(PlaceExpandedNote(724, 518, SCREEN_RECT, NOTE), 724, 518)) << "exactly fitting stays";
    EXPECT_TRUE(At(PlaceExpandedNote(725, 100, SCREEN_RECT, NOTE), 724, 100));
    EXPECT_TRUE(At(PlaceExpandedNote(100, 519, SCREEN_RECT, NOTE), 100, 518));
    EXPECT_TRUE(At(PlaceExpandedNote(0, 0, SCREEN_RECT, NOTE), 0, 0));
}

TEST(ExpandedNotePlacement, NeverLeftOfOrAboveItsMonitor)
{
    EXPECT_TRUE(At(PlaceExpandedNote(-50, 20, SCREEN_RECT, NOTE), 0, 20));
    EXPECT_TRUE(At(PlaceExpandedNote(30, -1, SCREEN_RECT, NOTE), 30, 0));
    EXPECT_TRUE(At(PlaceExpandedNote(-5000, -5000, SCREEN_RECT, NOTE), 0, 0));
    // A monitor smaller than the note: its caption stays at the monitor's top-left corner.
    EXPECT_TRUE(At(PlaceExpandedNote(5, 5, RECT{ 0, 0, 200, 100 }, NOTE), 0, 0));
}

TEST(ExpandedNotePlacement, OnTheMonitorGivenWhereverItIs)
{
    const RECT right = { 1024, 0, 2304, 1024 };   // beside the primary
    EXPECT_TRUE(At(PlaceExpandedNote(2000, 500, right, NOTE), 2000, 500)) << "fits: stays put";
    EXPECT_TRUE(At(PlaceExpandedNote(2290, 1010, right, NOTE), 2004, 774));
    const RECT leftAbove = { -1280, -1024, 0, 0 };  // left of and above the primary
    EXPECT_TRUE(At(PlaceExpandedNote(-1279, -1023, leftAbove, NOTE), -1279, -1023));
    EXPECT_TRUE(At(PlaceExpandedNote(-10, -10, leftAbove, NOTE), -300, -250));
    EXPECT_TRUE(At(PlaceExpandedNote(-5000, -5000, leftAbove, NOTE), -1280, -1024));
}

RECT MarkAt(LONG x, LONG y, LONG cx = 16, LONG cy = 16)
{
    return { x, y, x + cx, y + cy };
}

// Monitors of several shapes and places, previews small, wide, tall and as large as a monitor.
// Wherever the usual place is on the monitor and off the mark it is kept (AT); elsewhere the
// preview goes on the given side, whole or clipped. Every preview is on its monitor, off its mark.
TEST(PreviewPlacement, OnTheMarksMonitorAndNeverOverTheMark)
{
    enum Side { AT, BELOW, RIGHT, ABOVE, LEFT };
    const RECT primary = { 0, 0, 1024, 768 };
    const RECT leftAbove = { -1280, -1024, 0, 0 };
    const RECT above = { 0, -600, 800, 0 };
    const RECT shortRight = { 1024, 0, 1824, 600 };
    const RECT portraitLeft = { -768, 0, 0, 1366 };
    struct Case { const char* what; RECT monitor; RECT mark; SIZE preview; Side side; bool whole; POINT at; } cases[] = {
        { "room below and right", primary, MarkAt(100, 100), { 50, 40 }, AT, true, { 118, 118 } },
        { "beside a 40 x 8 mark", primary, MarkAt(100, 100, 40, 8), { 50, 40 }, AT, true, { 142, 110 } },
        { "right edge exactly reached", primary, MarkAt(956, 100), { 50, 40 }, AT, true, { 974, 118 } },
        { "one pixel past it: right edges meet", primary, MarkAt(957, 100), { 50, 40 }, AT, true, { 923, 118 } },
        { "twice its height left below", primary, MarkAt(100, 650), { 50, 50 }, AT, true, { 118, 668 } },
        { "one pixel less: bottom edges meet", primary, MarkAt(100, 651), { 50, 50 }, AT, true, { 118, 617 } },
        { "room once, not twice", primary, MarkAt(100, 700), { 50, 40 }, AT, true, { 118, 676 } },
        { "middle", primary, MarkAt(500, 380), { 60, 30 }, AT, true, { 518, 398 } },
        { "upper left", primary, MarkAt(0, 0), { 60, 30 }, AT, true, { 18, 18 } },
        { "upper right", primary, MarkAt(1008, 0), { 60, 30 }, AT, true, { 964, 18 } },
        { "lower left", primary, MarkAt(0, 752), { 60, 30 }, AT, true, { 18, 738 } },
        { "lower right: diagonally up and left", primary, MarkAt(1008, 752), { 60, 30 }, AT, true, { 946, 720 } },
        { "mark at (1000, 700)", primary, MarkAt(1000, 700), { 60, 30 }, AT, true, { 938, 686 } },
        { "mark at (1000, 740)", primary, MarkAt(1000, 740), { 60, 30 }, AT, true, { 938, 708 } },
        { "half off the left edge", primary, MarkAt(-8, 100), { 60, 30 }, AT, true, { 10, 118 } },
        { "one wide line low on the screen", primary, MarkAt(500, 720), { 800, 16 }, ABOVE, true },
        { "wider than the screen", primary, MarkAt(10, 100), { 1100, 40 }, BELOW, false },
        { "taller than the room above and below", primary, MarkAt(500, 300), { 60, 700 }, RIGHT, true },
        { "as large as the screen", primary, MarkAt(500, 300), { 1024, 768 }, BELOW, false },
        { "mark off its monitor", primary, MarkAt(1100, 100), { 60, 30 }, BELOW, true },
        { "left and above: lower right", leftAbove, MarkAt(-20, -20), { 60, 30 }, ABOVE, true },
        { "left and above: wide line", leftAbove, MarkAt(-640, -30), { 1200, 16 }, ABOVE, true },
        { "above: tall, near its right edge", above, MarkAt(760, -300), { 60, 580 }, LEFT, true },
        { "shorter, right: taller than it", shortRight, MarkAt(1100, 200), { 60, 700 }, RIGHT, false },
        { "portrait, left: as large as it", portraitLeft, MarkAt(-400, 600), { 768, 1366 }, BELOW, false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const RECT got = PlacePreview(c.mark, c.preview, c.monitor);
        const SIZE size = { got.right - got.left, got.bottom - got.top };
        RECT common;
        EXPECT_TRUE(IntersectRect(&common, &got, &c.monitor) && EqualRect(&common, &got))
            << "off its monitor: " << Describe(got);
        EXPECT_FALSE(IntersectRect(&common, &got, &c.mark)) << "over its mark: " << Describe(got);
        EXPECT_TRUE(size.cx > 0 && size.cy > 0 && size.cx <= c.preview.cx && size.cy <= c.preview.cy) << Describe(got);
        EXPECT_EQ(c.whole, size.cx == c.preview.cx && size.cy == c.preview.cy) << "whole or clipped: " << Describe(got);
        switch (c.side) {
        case AT:    EXPECT_TRUE(At(POINT{ got.left, got.top }, c.at.x, c.at.y)); break;
        case BELOW: EXPECT_GE(got.top, c.mark.bottom) << Describe(got); break;
        case RIGHT: EXPECT_GE(got.left, c.mark.right) << Describe(got); break;
        case ABOVE: EXPECT_LE(got.bottom, c.mark.top) << Describe(got); break;
        case LEFT:  EXPECT_LE(got.right, c.mark.left) << Describe(got); break;
        }
    }
}

} // namespace
