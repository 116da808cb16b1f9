// The creation time as text, and the note's title built from it.
#include "notes/note_time.h"
#include <gtest/gtest.h>

namespace {

std::string TimeText(NoteTime time, int expectedResult)
{
    char text[NOTE_TIME_TEXT_SIZE];
    EXPECT_EQ(expectedResult, FormatNoteTime(time, text));
    return text;
}

TEST(NoteTimeText, DayMonthYearWithoutZerosAndMinuteWithTwoDigits)
{
    EXPECT_EQ("6.12.2026  14:05", TimeText({ 2026, 12, 6, 14, 5 }, 1));
    EXPECT_EQ("1.3.2003  9:07", TimeText({ 2003, 3, 1, 9, 7 }, 1));
    EXPECT_EQ("31.1.1970  0:00", TimeText({ 1970, 1, 31, 0, 0 }, 1));
    EXPECT_EQ("1.1.2000  23:59", TimeText({ 2000, 1, 1, 23, 59 }, 1));
}

TEST(NoteTimeText, YearBefore1970IsUndetermined)
{
    EXPECT_EQ("Čas neurčen", TimeText({ 1969, 12, 31, 23, 59 }, 0));
    EXPECT_EQ("Čas neurčen", TimeText({ 0, 0, 0, 0, 0 }, 0));
}

TEST(NoteTimeText, FiveDigitFieldsFromADamagedFileFitWhole)
{
    EXPECT_EQ("65535.65535.65535  65535:65535", TimeText({ 65535, 65535, 65535, 65535, 65535 }, 1));
    char title[NOTE_TITLE_SIZE];
    FormatNoteTitle({ 65535, 65535, 65535, 65535, 65535 }, title);
    EXPECT_EQ("Zapsáno: 65535.65535.65535  65535:65535", std::string(title));
    EXPECT_EQ(39u, strlen(title));
}

TEST(NoteTimeText, TitleCarriesThePrefixWhateverTheTime)
{
    char title[NOTE_TITLE_SIZE];
    FormatNoteTitle({ 2026, 12, 6, 14, 5 }, title);
    EXPECT_STREQ("Zapsáno: 6.12.2026  14:05", title);
    FormatNoteTitle({ 1900, 1, 1, 0, 0 }, title);
    EXPECT_STREQ("Zapsáno: Čas neurčen", title);
}

} // namespace
