// Where an expanded note and a preview go on the screen.
#include "notes/placement.h"
#include <gtest/gtest.h>

namespace {

const SIZE SCREEN = { 1024, 768 };
const SIZE NOTE = { 300, 250 };
const SIZE MARK = { 16, 16 };

::testing::AssertionResult At(POINT actual, LONG x, LONG y)
{
    if (actual.x == x && actual.y == y)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "got (" << actual.x << ", " << actual.y << "), want (" << x << ", " << y << ")";
}

TEST(ExpandedNotePlacement, PulledInAtTheRightAndBottomOnly)
{
    EXPECT_TRUE(At(PlaceExpandedNote(1019, 763, SCREEN, NOTE), 724, 518));
    EXPECT_TRUE(At(PlaceExpandedNote(-50, 20, SCREEN, NOTE), -50, 20));
    EXPECT_TRUE(At(PlaceExpandedNote(724, 518, SCREEN, NOTE), 724, 518)) << "exactly fitting stays";
    EXPECT_TRUE(At(PlaceExpandedNote(725, 100, SCREEN, NOTE), 724, 100));
    EXPECT_TRUE(At(PlaceExpandedNote(100, 519, SCREEN, NOTE), 100, 518));
    EXPECT_TRUE(At(PlaceExpandedNote(5, 5, SIZE{ 200, 100 }, NOTE), -100, -150)) << "no lower bound";
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

TEST(PreviewPlacement, BothEdgesPutItsLowerRightCornerOnTheMarks)
{
    EXPECT_TRUE(At(PlacePreview(1000, 740, MARK, SIZE{ 60, 30 }, SCREEN), 1000 + 16 - 60, 740 + 16 - 30));
}

TEST(PreviewPlacement, TooWideGoesPastTheLeftEdgeUnclamped)
{
    EXPECT_TRUE(At(PlacePreview(10, 100, MARK, SIZE{ 1100, 40 }, SCREEN), 10 + 16 - 1100, 118));
}

} // namespace
