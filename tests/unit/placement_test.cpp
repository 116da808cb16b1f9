// Where an expanded note and a preview go on the screen.
#include "notes/placement.h"
#include <gtest/gtest.h>

namespace {

const SIZE SCREEN = { 1024, 768 };
const RECT SCREEN_RECT = { 0, 0, 1024, 768 };
const SIZE NOTE = { 300, 250 };
const SIZE MARK = { 16, 16 };

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

TEST(PreviewPlacement, BelowRightOfTheMarkWhenThereIsRoom)
{
    EXPECT_TRUE(At(PlacePreview(100, 100, MARK, SIZE{ 50, 40 }, SCREEN), 118, 118));
    // The anchor is the mark size from the settings, not the mark's real rectangle.
    EXPECT_TRUE(At(PlacePreview(100, 100, SIZE{ 40, 8 }, SIZE{ 50, 40 }, SCREEN), 142, 110));
}

TEST(PreviewPlacement, LeftOfTheMarkEdgeAtTheRightOfTheScreen)
{
    // x + w exactly at the screen edge still fits.
    EXPECT_TRUE(At(PlacePreview(956, 100, MARK, SIZE{ 50, 40 }, SCREEN), 974, 118));
    // One pixel more: the preview's right edge goes to the mark's right edge.
    EXPECT_TRUE(At(PlacePreview(957, 100, MARK, SIZE{ 50, 40 }, SCREEN), 957 + 16 - 50, 118));
}

TEST(PreviewPlacement, AboveWhenLessThanTwiceItsHeightIsLeftBelow)
{
    EXPECT_TRUE(At(PlacePreview(100, 650, MARK, SIZE{ 50, 50 }, SCREEN), 118, 668)) << "y + 2h == screen stays";
    EXPECT_TRUE(At(PlacePreview(100, 651, MARK, SIZE{ 50, 50 }, SCREEN), 118, 651 + 16 - 50));
    // Room for the preview once, but not twice: still above.
    EXPECT_TRUE(At(PlacePreview(100, 700, MARK, SIZE{ 50, 40 }, SCREEN), 118, 676));
}

// Corners and middle of the screen: the preview never covers the mark it belongs to.
TEST(PreviewPlacement, NeverOverItsOwnMark)
{
    const SIZE preview = { 60, 30 };
    struct Case { const char* where; int left, top; LONG x, y; } cases[] = {
        { "middle", 500, 380, 518, 398 },
        { "upper left", 0, 0, 18, 18 },
        { "upper right", 1008, 0, 1008 + 16 - 60, 18 },
        { "lower left", 0, 752, 18, 752 + 16 - 30 },
        // Both edges: diagonally up and left, its lower-right corner 2 pixels off the mark's.
        { "lower right", 1008, 752, 1008 - 2 - 60, 752 - 2 - 30 },
        { "mark at (1000, 700)", 1000, 700, 1000 - 2 - 60, 700 + 16 - 30 },
        { "mark at (1000, 740)", 1000, 740, 938, 708 },
    };
    for (const Case& c : cases) {
        const POINT at = PlacePreview(c.left, c.top, MARK, preview, SCREEN);
        EXPECT_TRUE(At(at, c.x, c.y)) << c.where;
        const RECT mark = { c.left, c.top, c.left + MARK.cx, c.top + MARK.cy };
        const RECT shown = { at.x, at.y, at.x + preview.cx, at.y + preview.cy };
        RECT common;
        EXPECT_FALSE(IntersectRect(&common, &mark, &shown)) << c.where << ": the preview covers its mark";
        EXPECT_TRUE(shown.left >= 0 && shown.top >= 0 && shown.right <= SCREEN.cx && shown.bottom <= SCREEN.cy)
            << c.where << ": off the screen";
    }
}

TEST(PreviewPlacement, TooWideGoesPastTheLeftEdgeUnclamped)
{
    EXPECT_TRUE(At(PlacePreview(10, 100, MARK, SIZE{ 1100, 40 }, SCREEN), 10 + 16 - 1100, 118));
}

} // namespace
