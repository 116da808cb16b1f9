// notes.bin changed by the program on another computer while this one runs: the folder says so,
// and the notes here become what the two have together, without a box or a kept copy.
#include "app/app.h"
#include "app/system_calls.h"
#include "notes/note_window.h"
#include "res/resource.h"
#include "storage/folder_watch.h"
#include "storage/versions.h"
#include "tests/window/data_file_fixture.h"
#include <algorithm>

namespace {

// The data folder's change notification, given when the test says so.
HANDLE FolderChanged;
HANDLE WINAPI NotifyWhenTold(LPCSTR, BOOL, DWORD)
{
    HANDLE copy = nullptr;
    DuplicateHandle(GetCurrentProcess(), FolderChanged, GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS);
    return copy;
}
BOOL WINAPI RearmNotification(HANDLE change)
{
    return ResetEvent(change);
}

class NotesFromElsewhereTest : public DataFileTest {
protected:
    void SetUp() override
    {
        DataFileTest::SetUp();
        FolderChanged = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        g_sys.FindFirstChangeNotificationA = NotifyWhenTold;
        g_sys.FindNextChangeNotification = RearmNotification;
        // Only the notification makes the program look.
        g_folderLookMs = 60000;
    }
    void TearDown() override
    {
        DataFileTest::TearDown();
        g_folderLookMs = FOLDER_LOOK_MS;
        CloseHandle(FolderChanged);
    }

    // The program on the other computer writes notes.bin: this one's notes as it last saved them,
    // changed, in a version of its own.
    std::vector<uint8_t> WriteElsewhere(const std::function<void(std::vector<StoredNote>&)>& change)
    {
        std::vector<StoredNote> notes = DecodeNotes(Saved().data(), Saved().size()).notes;
        const std::string versions = notes.empty() ? std::string() : notes[0].extras.versions;
        change(notes);
        for (StoredNote& note : notes)
            note.extras.versions.clear();
        if (!notes.empty())
            notes[0].extras.versions = NewUniqueId() + versions;
        const std::vector<uint8_t> bytes = EncodeNotes(notes);
        EXPECT_TRUE(WriteFileBytes(DataPath(), bytes));
        SetEvent(FolderChanged);
        return bytes;
    }
    std::vector<std::string> Texts() const
    {
        std::vector<std::string> texts;
        for (int i = 0; i < Notes.count; ++i)
            texts.push_back(WindowText(Notes.items[i].hwndEdit));
        return texts;
    }
};

using TextList = std::vector<std::string>;

// Nothing unsaved here: the other computer's notes are shown as they are, and the file is left
// as it wrote it.
TEST_F(NotesFromElsewhereTest, WithNothingUnsavedHereTheOtherComputersNotesAreShown)
{
    ASSERT_TRUE(WriteFileBytes(DataPath(), EncodeNotes({ Stored(20, 30, "první"), Stored(40, 50, "druhá"),
                                                         Stored(60, 70, "třetí") })));
    StartProgram();
    SendMessageA(Notes.items[0].hwnd, WM_COMMAND, IDM_GREEN, 0);
    SettleSaves();
    const std::vector<uint8_t> theirs = WriteElsewhere([](std::vector<StoredNote>& notes) {
        notes[0].text = "první, dopsaná";
        notes[1].x = 300;
        notes.erase(notes.begin() + 2);
        notes.push_back(Stored(500, 80, "nová z jiného počítače", RGB(255, 0, 0)));
        notes.back().extras.id = NewUniqueId();
    });
    ASSERT_TRUE(PumpUntil([&] { return Texts() == TextList{ "první, dopsaná", "druhá", "nová z jiného počítače" }; }))
        << Texts().size() << " notes";
    ExpectMarkAt(Notes.items[1].hwnd, 300, 50);
    ExpectMarkAt(Notes.items[2].hwnd, 500, 80);
    EXPECT_EQ(RGB(255, 0, 0), Notes.items[2].markColor);
    SettleSaves();
    EXPECT_EQ(theirs, Saved()) << "written again, though it says what is shown";
    EXPECT_TRUE(FilesBeside().empty());
    EXPECT_EQ(0u, boxes.Count()) << boxes.Summary();
    EXPECT_TRUE(tray.Balloons().empty()) << tray.Summary();
}

// Typing here not saved yet, a colour changed there: both are kept, and the merged notes are
// saved. A text changed on both sides keeps both, the other's beside it, and says so.
TEST_F(NotesFromElsewhereTest, WithSomethingUnsavedHereBothSidesAreKept)
{
    ASSERT_TRUE(WriteFileBytes(DataPath(), EncodeNotes({ Stored(20, 30, "první"), Stored(40, 50, "druhá") })));
    StartProgram();
    UnpackNote(Notes.items[0].hwnd);
    HWND edit = Notes.items[0].hwndEdit;
    SendMessageA(g_hMainWnd, WM_COMMAND, IDM_SAVE, 0);
    SendMessageA(edit, EM_SETSEL, 0, -1);
    SendMessageW(edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(L"moje, rozepsaná"));
    WriteElsewhere([](std::vector<StoredNote>& notes) {
        notes[0].text = "jejich";
        notes[1].color = RGB(0, 208, 0);
    });
    ASSERT_TRUE(PumpUntil([&] { return Notes.count == 3 && Notes.items[1].markColor == RGB(0, 208, 0); }))
        << Texts().size() << " notes";
    EXPECT_EQ((TextList{ "moje, rozepsaná", "druhá", "jejich" }), Texts());
    EXPECT_EQ(edit, Notes.items[0].hwndEdit) << "the open note was made anew";
    EXPECT_FALSE(IsNotePacked(Notes.items[0].hwnd)) << "the open note was closed";
    SettleSaves();
    const std::vector<StoredNote> saved = DecodeNotes(Saved().data(), Saved().size()).notes;
    ASSERT_EQ(3u, saved.size());
    EXPECT_EQ("moje, rozepsaná", saved[0].text);
    EXPECT_EQ(RGB(0, 208, 0), saved[1].color);
    EXPECT_EQ("jejich", saved[2].text);
    EXPECT_TRUE(FilesBeside().empty());
    EXPECT_EQ(0u, boxes.Count()) << boxes.Summary();
    ASSERT_EQ(1u, tray.Balloons().size()) << tray.Summary();
    EXPECT_EQ(static_cast<DWORD>(NIIF_INFO), tray.Balloons()[0].icon);
}

// A sync engine's conflict copies beside notes.bin: one that holds a note found nowhere else gives
// it back and is kept under a name of the program's own; one that holds nothing new goes.
TEST_F(NotesFromElsewhereTest, ConflictCopiesAreMergedOnce)
{
    ASSERT_TRUE(WriteFileBytes(DataPath(), EncodeNotes({ Stored(20, 30, "první") })));
    StartProgram();
    SendMessageA(Notes.items[0].hwnd, WM_COMMAND, IDM_GREEN, 0);
    SettleSaves();
    const std::vector<uint8_t> mine = Saved();
    std::vector<StoredNote> withLost = DecodeNotes(mine.data(), mine.size()).notes;
    withLost.push_back(Stored(90, 30, "jen v kopii"));
    const std::string stale = folder.File("notes.sync-conflict-20261209-101500-ABCDEFG.bin");
    const std::string lost = folder.File("notes (Jana's conflicted copy 2026-12-09).bin");
    ASSERT_TRUE(WriteFileBytes(stale, mine));
    ASSERT_TRUE(WriteFileBytes(lost, EncodeNotes(withLost)));
    SetEvent(FolderChanged);
    ASSERT_TRUE(PumpUntil([&] { return Notes.count == 2 && !FileExists(stale) && !FileExists(lost); }))
        << Notes.count << " notes, " << FilesBeside().size() << " files beside";
    EXPECT_EQ("jen v kopii", WindowText(Notes.items[1].hwndEdit));
    SettleSaves();
    ASSERT_EQ(1u, FilesBeside().size()) << "the copy that gave a note back is not kept, or the other is";
    EXPECT_EQ(EncodeNotes(withLost), ReadFileBytes(FilesBeside()[0]));
    EXPECT_EQ(2u, DecodeNotes(Saved().data(), Saved().size()).notes.size());
    SetEvent(FolderChanged);
    EXPECT_FALSE(PumpUntil([&] { return Notes.count != 2; }, 1500)) << "the kept copy was merged again";
    EXPECT_EQ(0u, boxes.Count()) << boxes.Summary();
}

} // namespace
