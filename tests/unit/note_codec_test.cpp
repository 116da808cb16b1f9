// The notes.bin format, encoded and decoded without any window.
#include "storage/note_codec.h"
#include <gtest/gtest.h>

namespace {

StoredNote ExampleNote()
{
    StoredNote note;
    note.x = 100;
    note.y = 50;
    note.color = 255;
    note.state = 1;
    note.year = 2026;
    note.month = 12;
    note.day = 6;
    note.hour = 14;
    note.minute = 5;
    note.text = "abc";
    return note;
}

const std::vector<uint8_t> EXAMPLE_BYTES = {
    0x01, 0x00, 0x00, 0x00, 0x64, 0x00, 0x00, 0x00, 0x32, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0x01,
    0xEA, 0x07, 0x0C, 0x00, 0x06, 0x00, 0x0E, 0x00, 0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00,
    0x61, 0x62, 0x63,
};

void ExpectSameNote(const StoredNote& expected, const StoredNote& actual)
{
    EXPECT_EQ(expected.x, actual.x);
    EXPECT_EQ(expected.y, actual.y);
    EXPECT_EQ(expected.color, actual.color);
    EXPECT_EQ(expected.state, actual.state);
    EXPECT_EQ(expected.year, actual.year);
    EXPECT_EQ(expected.month, actual.month);
    EXPECT_EQ(expected.day, actual.day);
    EXPECT_EQ(expected.hour, actual.hour);
    EXPECT_EQ(expected.minute, actual.minute);
    EXPECT_EQ(expected.name, actual.name);
    EXPECT_EQ(expected.text, actual.text);
}

TEST(NoteCodec, OnePackedNoteIsTheThirtyEightByteExample)
{
    EXPECT_EQ(EXAMPLE_BYTES, EncodeNotes({ ExampleNote() }));
    DecodedNotes decoded = DecodeNotes(EXAMPLE_BYTES.data(), EXAMPLE_BYTES.size());
    EXPECT_TRUE(decoded.complete);
    EXPECT_TRUE(decoded.whole);
    ASSERT_EQ(1u, decoded.notes.size());
    ExpectSameNote(ExampleNote(), decoded.notes[0]);
}

TEST(NoteCodec, EmptyCollectionIsFourZeroBytes)
{
    std::vector<uint8_t> bytes = EncodeNotes({});
    EXPECT_EQ((std::vector<uint8_t>{ 0, 0, 0, 0 }), bytes);
    DecodedNotes decoded = DecodeNotes(bytes.data(), bytes.size());
    EXPECT_TRUE(decoded.complete);
    EXPECT_TRUE(decoded.notes.empty());
}

TEST(NoteCodec, SignedCoordinatesNamesEmptyTextsAndHighBytesRoundTrip)
{
    StoredNote a = ExampleNote();
    a.x = -40;
    a.y = -2147483647 - 1;
    a.color = 0x00A0FFFF;
    a.state = 16;
    a.name = "jméno";
    a.text = "";
    StoredNote b = ExampleNote();
    b.text = std::string("řádek\r\n\x01\xFF\0konec", 17);
    b.year = 65535;
    std::vector<uint8_t> bytes = EncodeNotes({ a, b });
    EXPECT_EQ(4u + 31 + 5 + 0 + 31 + 0 + 17, bytes.size());
    // x of the first record, little-endian two's complement.
    EXPECT_EQ((std::vector<uint8_t>{ 0xD8, 0xFF, 0xFF, 0xFF }), std::vector<uint8_t>(bytes.begin() + 4, bytes.begin() + 8));
    DecodedNotes decoded = DecodeNotes(bytes.data(), bytes.size());
    ASSERT_TRUE(decoded.complete);
    ASSERT_EQ(2u, decoded.notes.size());
    ExpectSameNote(a, decoded.notes[0]);
    ExpectSameNote(b, decoded.notes[1]);
}

// Cutting a valid two-record file at every length keeps exactly the records that fit.
TEST(NoteCodec, EveryTruncationKeepsOnlyCompleteRecords)
{
    StoredNote second = ExampleNote();
    second.text = "druhá";
    std::vector<uint8_t> bytes = EncodeNotes({ ExampleNote(), second });
    const size_t firstEnd = 4 + 31 + 3;
    for (size_t length = 0; length <= bytes.size(); ++length) {
        SCOPED_TRACE(length);
        DecodedNotes decoded = DecodeNotes(bytes.data(), length);
        size_t expected = length >= bytes.size() ? 2 : length >= firstEnd ? 1 : 0;
        ASSERT_EQ(expected, decoded.notes.size());
        EXPECT_EQ(length == bytes.size(), decoded.complete);
        EXPECT_EQ(length == bytes.size(), decoded.whole);
        if (expected >= 1)
            ExpectSameNote(ExampleNote(), decoded.notes[0]);
    }
}

TEST(NoteCodec, LengthsAndCountsPastTheEndAreCutOffNotAllocated)
{
    // A text length of 4 GiB - 1 in a 38-byte file.
    std::vector<uint8_t> hugeText = EXAMPLE_BYTES;
    hugeText[31] = hugeText[32] = hugeText[33] = hugeText[34] = 0xFF;
    DecodedNotes decoded = DecodeNotes(hugeText.data(), hugeText.size());
    EXPECT_FALSE(decoded.complete);
    EXPECT_TRUE(decoded.notes.empty());

    // The same for the name.
    std::vector<uint8_t> hugeName = EXAMPLE_BYTES;
    hugeName[27] = hugeName[28] = hugeName[29] = hugeName[30] = 0xFF;
    decoded = DecodeNotes(hugeName.data(), hugeName.size());
    EXPECT_FALSE(decoded.complete);
    EXPECT_TRUE(decoded.notes.empty());

    // A count of four billion records followed by one record.
    std::vector<uint8_t> hugeCount = EXAMPLE_BYTES;
    hugeCount[0] = hugeCount[1] = hugeCount[2] = hugeCount[3] = 0xFF;
    decoded = DecodeNotes(hugeCount.data(), hugeCount.size());
    EXPECT_FALSE(decoded.complete);
    ASSERT_EQ(1u, decoded.notes.size());
    ExpectSameNote(ExampleNote(), decoded.notes[0]);
}

TEST(NoteCodec, NameBytesAreSkippedAndTrailingBytesIgnored)
{
    std::vector<uint8_t> bytes = EXAMPLE_BYTES;
    // Name length 2 with "xy" before the text length.
    bytes[27] = 2;
    bytes.insert(bytes.begin() + 31, { 'x', 'y' });
    DecodedNotes decoded = DecodeNotes(bytes.data(), bytes.size());
    EXPECT_TRUE(decoded.whole);
    // A byte after the last record is no note, but not all of the file either.
    bytes.push_back(0xEE);
    decoded = DecodeNotes(bytes.data(), bytes.size());
    EXPECT_TRUE(decoded.complete);
    EXPECT_FALSE(decoded.whole);
    ASSERT_EQ(1u, decoded.notes.size());
    EXPECT_EQ("xy", decoded.notes[0].name);
    EXPECT_EQ("abc", decoded.notes[0].text);
}

} // namespace
