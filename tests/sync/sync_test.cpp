// Two computers on one folder that a real sync engine carries: side B, a second session with
// its own Memovky.exe driven by sync_peer.exe, and side A, this test session with its own. Each
// shows what the other does while both run.
#include "storage/note_codec.h"
#include "tests/e2e/program.h"
#include "tests/support/helpers.h"
#include "tests/support/poll.h"
#include "tests/sync/peer_lines.h"
#include "tests/sync/sync_harness.h"
#include <gtest/gtest.h>
#include <functional>

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

// The note of this program with that text, and its place.
HWND NoteWithText(const RunningProgram& program, const std::string& text)
{
    for (HWND note : program.NoteWindows())
        if (EditText(note) == text)
            return note;
    return nullptr;
}

bool MarkAt(HWND note, int x, int y)
{
    const RECT rect = WindowRect(note);
    return note && rect.left == x && rect.top == y;
}

// Side B's notes, asked until they hold what is wanted or the time is up.
bool PeerShows(const std::function<bool(const std::vector<PeerNote>&)>& wanted, std::vector<PeerNote>* seen)
{
    const DWORD start = GetTickCount();
    do {
        if (PeerList(seen) && wanted(*seen))
            return true;
    } while (GetTickCount() - start < 40000);
    return false;
}

bool HasMark(const std::vector<PeerNote>& notes, const std::string& text, int x, int y)
{
    for (const PeerNote& note : notes)
        if (note.text == text && note.packed && note.rect.left == x && note.rect.top == y)
            return true;
    return false;
}

// Both computers run. What one does shows on the other while both run; changes to different notes
// made on both at once are on both, merged, and neither folder holds anything but notes.bin.
TEST_F(SyncTest, EachComputerShowsTheOthersChangesWhileBothRun)
{
    WriteSettingsText("DataFolder", DataFolder(SIDE_A));
    RunningProgram program;
    ASSERT_TRUE(program.Start());
    ASSERT_TRUE(program.WaitReady()) << "start-up did not finish";
    ASSERT_TRUE(StartPeerProgram());

    // Made, typed and moved on B: shown here, where B put it.
    const std::string fromB = "Z druhého počítače: žluťoučký kůň\r\ndruhý řádek";
    PeerNote peer;
    ASSERT_TRUE(PeerAdd(fromB, &peer));
    ASSERT_TRUE(PeerPack(fromB, &peer));
    ASSERT_TRUE(PeerDrag(fromB, 600, 400, &peer));
    HWND shown = nullptr;
    ASSERT_TRUE(PumpUntil([&] { return MarkAt(shown = NoteWithText(program, fromB), 600, 400); }, 30000))
        << "B's note is not shown here at its place";

    // Made and typed here, then closed: shown on B as a mark.
    const std::string fromA = "Z tohoto počítače";
    HWND mine = AddNoteAndClickIn(program);
    ASSERT_NE(nullptr, mine);
    TypeText(fromA);
    ASSERT_TRUE(PumpUntil([&] { return EditText(mine) == fromA; }, 5000));
    POINT close;
    ASSERT_TRUE(FindHitPoint(mine, HTCLOSE, &close));
    ClickAt(close.x, close.y);
    std::vector<PeerNote> seen;
    ASSERT_TRUE(PeerShows([&](const std::vector<PeerNote>& notes) { return HasMark(notes, fromA, 10, 10); }, &seen))
        << "this note is not shown on B";

    // At once: here B's note moves, there this one.
    ::testing::AssertionResult draggedThere = ::testing::AssertionFailure();
    HANDLE there = CreateThread(nullptr, 0, [](void* result) -> DWORD {
        PeerNote dropped;
        *static_cast<::testing::AssertionResult*>(result) = PeerDrag("Z tohoto počítače", 700, 200, &dropped);
        return 0;
    }, &draggedThere, 0, nullptr);
    ASSERT_NE(nullptr, there);
    EXPECT_TRUE(DragMarkTo(shown, 300, 500));
    while (WaitForSingleObject(there, 0) == WAIT_TIMEOUT)
        PumpUntil([] { return false; }, 50);
    CloseHandle(there);
    ASSERT_TRUE(draggedThere);

    EXPECT_TRUE(PumpUntil([&] {
        return MarkAt(NoteWithText(program, fromB), 300, 500) && MarkAt(NoteWithText(program, fromA), 700, 200);
    }, 40000)) << "here both changes are not shown";
    EXPECT_TRUE(PeerShows([&](const std::vector<PeerNote>& notes) {
        return notes.size() == 2 && HasMark(notes, fromB, 300, 500) && HasMark(notes, fromA, 700, 200);
    }, &seen)) << "on B both changes are not shown";
    EXPECT_TRUE(PumpUntil([&] {
        return FolderEntries(DataFolder(SIDE_A)) == std::vector<std::string>{ "notes.bin" }
            && FolderEntries(DataFolder(SIDE_B)) == std::vector<std::string>{ "notes.bin" };
    }, 30000)) << "beside notes.bin: " << FolderEntries(DataFolder(SIDE_A)).size() << " here, "
               << FolderEntries(DataFolder(SIDE_B)).size() << " on B";
    EXPECT_EQ(Unversioned(ReadFileBytes(DataFolder(SIDE_A) + "\\notes.bin")),
              Unversioned(ReadFileBytes(DataFolder(SIDE_B) + "\\notes.bin")));

    DWORD code = 1;
    EXPECT_TRUE(EndFromTray(program, &code)) << "\"Konec\" did not end the program";
    EXPECT_TRUE(EndPeerProgram());
}

} // namespace
