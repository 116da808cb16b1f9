// The walk that sizes a preview: which lines are measured and how they add up.
#include "notes/text_measure.h"
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

// Every character 7 pixels wide, every line 10 high; remembers what it was asked (the cases are
// ASCII, kept as such).
struct FakeFont {
    std::vector<std::string> lines;
    LineMeasure Measure()
    {
        return [this](const wchar_t* line, int length) {
            lines.emplace_back(line, line + length);
            return SIZE{ 7 * length, 10 };
        };
    }
};

struct Measured {
    SIZE size;
    std::vector<std::string> lines;
};

Measured MeasureWithFake(const std::string& text)
{
    FakeFont font;
    SIZE size = MeasureTextLines(std::wstring(text.begin(), text.end()).c_str(), font.Measure());
    return { size, font.lines };
}

using Lines = std::vector<std::string>;

TEST(TextMeasure, EmptyTextFallsBackToTheWholeTextPlusFiveAndTen)
{
    Measured m = MeasureWithFake("");
    EXPECT_EQ(5, m.size.cx);
    EXPECT_EQ(20, m.size.cy);
}

TEST(TextMeasure, TwoLinesAreWidestPlusFiveBySumPlusEight)
{
    Measured m = MeasureWithFake("a\r\nbcd");
    EXPECT_EQ((Lines{ "a", "bcd" }), m.lines);
    EXPECT_EQ(7 * 3 + 5, m.size.cx);
    EXPECT_EQ(20 + 8, m.size.cy);
}

TEST(TextMeasure, TrailingLineBreakMeasuresTheLastLineAgain)
{
    Measured m = MeasureWithFake("abc\r\nde\r\n");
    EXPECT_EQ((Lines{ "abc", "de", "de" }), m.lines);
    EXPECT_EQ(21 + 5, m.size.cx);
    EXPECT_EQ(30 + 8, m.size.cy);
}

TEST(TextMeasure, LoneTrailingCrEndsTheLastLine)
{
    Measured m = MeasureWithFake("ab\r");
    EXPECT_EQ((Lines{ "ab" }), m.lines);
    EXPECT_EQ(14 + 5, m.size.cx);
    EXPECT_EQ(10 + 8, m.size.cy);
    m = MeasureWithFake("\r");
    EXPECT_EQ((Lines{ "", "\r" }), m.lines) << "zero width: the whole text is measured";
}

TEST(TextMeasure, OnlyCrEndsALineAndTheCharacterAfterItIsSkipped)
{
    EXPECT_EQ((Lines{ "a\nb" }), MeasureWithFake("a\nb").lines);
    EXPECT_EQ((Lines{ "a", "c" }), MeasureWithFake("a\rbc").lines);
}

TEST(TextMeasure, OnlyEmptyLinesFallBackToTheWholeText)
{
    Measured m = MeasureWithFake("\r\n\r\n");
    EXPECT_EQ((Lines{ "", "", "", "\r\n\r\n" }), m.lines);
    EXPECT_EQ(28 + 5, m.size.cx);
    EXPECT_EQ(10 + 10, m.size.cy);
}

} // namespace
