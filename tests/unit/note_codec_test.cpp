// The notes.bin format, encoded and decoded without any window.
#include "storage/note_codec.h"
#include "storage/note_text.h"
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
    EXPECT_EQ(expected.extras.utf8, actual.extras.utf8);
}

std::string U32(size_t value)
{
    const uint32_t v = static_cast<uint32_t>(value);
    return { static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16), static_cast<char>(v >> 24) };
}

std::string Chunk(const std::string& tag, const std::string& value)
{
    return tag + U32(value.size()) + value;
}

const std::string MARKER(NAME_MARKER, NAME_MARKER_SIZE);

// A file of one record with an empty name field, given that name field by hand.
std::vector<uint8_t> WithName(std::vector<uint8_t> bytes, const std::string& name)
{
    const std::string length = U32(name.size());
    std::copy(length.begin(), length.end(), bytes.begin() + 27);
    bytes.insert(bytes.begin() + 31, name.begin(), name.end());
    return bytes;
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
    b.text = std::string("řádek\r\n\x01\xFF\0konec", 15);
    b.year = 65535;
    std::vector<uint8_t> bytes = EncodeNotes({ a, b });
    EXPECT_EQ(4u + 31 + 5 + 0 + 31 + 0 + 15, bytes.size());
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

// Texts through the text module, the encoder, the decoder and back: a text the code page holds
// is stored byte for byte as before; any other rides in the name field as UTF-8.
TEST(NoteCodec, TextsComeBackExactlyAndCodePageTextsAreStoredAsBefore)
{
    std::wstring long64k;
    std::string long64kUtf8;
    while (long64k.size() < 65536) {
        long64k += L"Жук ž\r\n";
        long64kUtf8 += u8"Жук ž\r\n";
    }
    const struct {
        std::wstring text;
        std::string codePage;   // the record as it has always been; empty where the text is carried
        std::string utf8;       // what the name field carries
    } cases[] = {
        { L"Příliš žluťoučký kůň úpěl ďábelské ódy", "Příliš žluťoučký kůň úpěl ďábelské ódy", "" },
        { L"řádek\r\ndruhý „v uvozovkách“ – 100 € • konec\r\n", "řádek\r\ndruhý „v uvozovkách“ – 100 € • konec\r\n", "" },
        { L"", "", "" },
        { L"Привет, Київ", "", u8"Привет, Київ" },
        { L"úsměv 😀 a 𝄞", "", u8"úsměv 😀 a 𝄞" },
        { L"šipka →\r\n✓ hotovo\r\n", "", u8"šipka →\r\n✓ hotovo\r\n" },
        { long64k, "", long64kUtf8 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.utf8.substr(0, 40));
        StoredNote note = ExampleNote();
        PutNoteText(c.text, note);
        const std::vector<uint8_t> bytes = EncodeNotes({ note });
        StoredNote before = ExampleNote();
        before.text = c.utf8.empty() ? c.codePage : note.text;
        EXPECT_EQ(WithName(EncodeNotes({ before }), c.utf8.empty() ? "" : MARKER + Chunk("UTF8", c.utf8)), bytes);
        const DecodedNotes decoded = DecodeNotes(bytes.data(), bytes.size());
        EXPECT_TRUE(decoded.whole);
        ASSERT_EQ(1u, decoded.notes.size());
        EXPECT_EQ("", decoded.notes[0].name);
        EXPECT_TRUE(NoteTextOf(decoded.notes[0]) == c.text) << "the text did not come back exactly";
    }
}

// A name field is this program's only with the whole marker; its chunks are read by their tags,
// and one that runs past the field's end spoils the field, not the record.
TEST(NoteCodec, NameFieldsWithTheMarkerAreReadChunkByChunkAndOthersAreNames)
{
    const std::string cut = MARKER + Chunk("UTF8", "abc");
    const struct {
        const char* what;
        std::string name;
        std::string utf8, keptName;
        bool whole;
    } cases[] = {
        { "someone else's name", "xy", "", "xy", true },
        { "no NUL", "Memovky" + Chunk("UTF8", "a"), "", "Memovky" + Chunk("UTF8", "a"), true },
        { "shorter than the marker", MARKER.substr(0, 7), "", MARKER.substr(0, 7), true },
        { "a NUL, then another word", std::string("\0Memovka", 8) + Chunk("UTF8", "a"), "",
          std::string("\0Memovka", 8) + Chunk("UTF8", "a"), true },
        { "the marker alone", MARKER, "", "", true },
        { "the exact text", MARKER + Chunk("UTF8", u8"Жж"), u8"Жж", "", true },
        { "an unknown tag before it", MARKER + Chunk("IDNT", std::string(16, '\x7F')) + Chunk("UTF8", "x"), "x", "", true },
        { "an unknown tag after it", MARKER + Chunk("UTF8", "x") + Chunk("NEXT", ""), "x", "", true },
        { "a length past the field's end", cut.substr(0, cut.size() - 1), "", "", false },
        { "a tag cut off", MARKER + Chunk("UTF8", "x") + "UTF", "", "", false },
        { "a length cut off", MARKER + "UTF8" + "\x01", "", "", false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<uint8_t> bytes = WithName(EXAMPLE_BYTES, c.name);
        const DecodedNotes decoded = DecodeNotes(bytes.data(), bytes.size());
        EXPECT_TRUE(decoded.complete);
        EXPECT_EQ(c.whole, decoded.whole);
        ASSERT_EQ(1u, decoded.notes.size());
        EXPECT_EQ(c.keptName, decoded.notes[0].name);
        EXPECT_EQ(c.utf8, decoded.notes[0].extras.utf8);
        EXPECT_EQ("abc", decoded.notes[0].text);
    }
}

} // namespace
