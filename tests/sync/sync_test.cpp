// Two computers on one folder that a real sync engine carries: side B, a second session with
// its own Memovky.exe driven by sync_peer.exe, and side A, this test session. What B's program
// saves reaches A's data folder, and A's program shows it.
#include "storage/note_codec.h"
#include "tests/e2e/program.h"
#include "tests/support/helpers.h"
#include "tests/support/poll.h"
#include "tests/sync/peer_lines.h"
#include "tests/sync/sync_harness.h"
#include <gtest/gtest.h>

namespace {

// The driver's lines carry any text of a note on one line, and back unchanged.
TEST(PeerLines, ANoteIsOneLineWhateverItsTextAndReadsBackUnchanged)
{
    PeerNote note;
    note.rect = { 600, 400, 616, 416 };
    note.packed = true;
    note.colour = RGB(0, 208, 64);
    for (const char* text : { "", "Nová memovka: žluťoučký kůň\r\ndruhý řádek", "tab\tlomítko \\ a \\n psané",
                              "  mezery  ", "\x01\x7F" }) {
        SCOPED_TRACE(text);
        note.text = text;
        const std::string line = FormatPeerNote(note);
        EXPECT_EQ(std::string::npos, line.find_first_of("\r\n\t"));
        PeerNote back;
        ASSERT_TRUE(ParsePeerNote(line, &back)) << line;
        EXPECT_TRUE(SameRect(note.rect, back.rect)) << Describe(back.rect);
        EXPECT_TRUE(back.packed);
        EXPECT_EQ(note.colour, back.colour);
        EXPECT_EQ(note.text, back.text);
        EXPECT_EQ(note.text, UnescapeControls(EscapeControls(note.text)));
    }
    note.text = "kůň";
    EXPECT_EQ("note 600 400 616 416 packed 00D040 k\xC5\xAF\xC5\x88", FormatPeerNote(note)) << "not UTF-8";

    note.packed = false;
    note.colour = CLR_INVALID;
    PeerNote back;
    ASSERT_TRUE(ParsePeerNote(FormatPeerNote(note), &back));
    EXPECT_FALSE(back.packed);
    EXPECT_EQ(CLR_INVALID, back.colour);
    EXPECT_EQ(1u, ParsePeerNotes({ "ready 42", FormatPeerNote(note), "note 1 2 3", "ok" }).size());
}

// The notes that notes.bin in the folder holds, when it decodes whole.
std::vector<StoredNote> StoredIn(const std::string& folder)
{
    const std::vector<uint8_t> bytes = ReadFileBytes(folder + "\\notes.bin");
    const DecodedNotes decoded = DecodeNotes(bytes.data(), bytes.size());
    return decoded.whole ? decoded.notes : std::vector<StoredNote>();
}

class SyncTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        DeleteSettingsKey();
        MoveTo(1000, 60);
        StopSyncHarness();
        ASSERT_TRUE(StartSyncPair()) << "the Syncthing devices did not connect (sync-test/harness.log)";
        ASSERT_TRUE(StartPeerSession()) << "the second session did not start (sync-test/harness.log)";
    }
    void TearDown() override
    {
        StopSyncHarness();
        DeleteSettingsKey();
    }
};

TEST_F(SyncTest, ANoteMadeOnTheOtherComputerReachesThisOneAndShowsHereAsAMark)
{
    const std::string text = "Z druhého počítače: žluťoučký kůň\r\ndruhý řádek";
    const RECT dropped = { 600, 400, 616, 416 };
    ASSERT_TRUE(StartPeerProgram());
    PeerNote note;
    ASSERT_TRUE(PeerAdd(text, &note));
    EXPECT_FALSE(note.packed);
    EXPECT_EQ(text, note.text);
    ASSERT_TRUE(PeerPack(text, &note));
    EXPECT_TRUE(note.packed);
    ASSERT_TRUE(PeerDrag(text, dropped.left, dropped.top, &note));
    std::vector<PeerNote> listed;
    ASSERT_TRUE(PeerList(&listed));
    ASSERT_EQ(1u, listed.size());
    EXPECT_TRUE(SameRect(dropped, listed[0].rect)) << Describe(listed[0].rect);
    EXPECT_TRUE(listed[0].packed);
    EXPECT_EQ(text, listed[0].text);

    // Through the sync engine: A's folder holds what B's program saved last.
    std::vector<StoredNote> arrived;
    ASSERT_TRUE(PumpUntil([&] {
        arrived = StoredIn(DataFolder(SIDE_A));
        return arrived.size() == 1 && arrived[0].x == dropped.left && arrived[0].y == dropped.top;
    }, 30000)) << "side A's notes.bin holds " << arrived.size() << " notes";
    EXPECT_EQ(text, arrived[0].text);
    EXPECT_EQ(NOTE_PACKED, arrived[0].state);
    EXPECT_EQ(ReadFileBytes(DataFolder(SIDE_B) + "\\notes.bin"), ReadFileBytes(DataFolder(SIDE_A) + "\\notes.bin"));

    // The program here, started on A's folder, shows it as B's program did.
    WriteSettingsText("DataFolder", DataFolder(SIDE_A));
    RunningProgram program;
    ASSERT_TRUE(program.Start());
    ASSERT_TRUE(program.WaitReady()) << "start-up did not finish";
    const std::vector<HWND> marks = program.NoteWindows();
    ASSERT_EQ(1u, marks.size());
    EXPECT_TRUE(SameRect(dropped, WindowRect(marks[0]))) << Describe(WindowRect(marks[0]));
    EXPECT_EQ(text, EditText(marks[0]));
    EXPECT_TRUE(PumpUntil([&] { return ScreenPixel(608, 408) == listed[0].colour; }, 3000))
        << "the mark is not in the colour side B shows";
    DWORD code = 1;
    EXPECT_TRUE(EndFromTray(program, &code)) << "\"Konec\" did not end the program";
    EXPECT_TRUE(EndPeerProgram());
}

} // namespace
