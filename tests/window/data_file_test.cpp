// notes.bin as the program writes and reads it: exact bytes, positions taken from the windows,
// saves that fail without harming the old file, locked, damaged and foreign files.
#include "app/app.h"
#include "notes/note_window.h"
#include "res/resource.h"
#include "tests/window/data_file_fixture.h"
#include "tests/support/poll.h"
#include <memory>

namespace {

TEST_F(DataFileTest, OnePackedNoteIsSavedAsTheThirtyEightByteExample)
{
    StartWindowsOnly();
    HWND note = AddPackedNote(100, 50, "abc");
    SetNoteColor(note, 255);
    SetNoteTime(note, { 2026, 12, 6, 14, 5 });
    EXPECT_EQ(1, SaveNotes());
    EXPECT_EQ(EXAMPLE_BYTES, Saved());
    EXPECT_EQ(std::vector<std::string>{ "notes.bin" }, FolderEntries(folder.Path())) << "temporary file left";

    // The save command of the main window writes the same file.
    DeleteFileA(DataPath().c_str());
    SendMessageA(g_hMainWnd, WM_COMMAND, IDM_SAVE, 0);
    EXPECT_EQ(EXAMPLE_BYTES, Saved());
    EXPECT_EQ(0u, boxes.Count()) << boxes.Summary();
}

TEST_F(DataFileTest, EmptyCollectionIsFourZeroBytesAndLoadsNothing)
{
    StartWindowsOnly();
    // An older, longer file must be replaced, not overwritten in place.
    ReadAtStart(EXAMPLE_BYTES);
    EXPECT_EQ(1, SaveNotes());
    EXPECT_EQ((std::vector<uint8_t>{ 0, 0, 0, 0 }), Saved());
    EXPECT_EQ(1, LoadNotes());
    EXPECT_EQ(0, Notes.count);
    EXPECT_EQ(0u, NoteWindowCount());
    EXPECT_EQ(0u, boxes.Count()) << boxes.Summary();
}

TEST_F(DataFileTest, NoFileLoadsNothingQuietly)
{
    StartWindowsOnly();
    EXPECT_EQ(0, LoadNotes());
    EXPECT_EQ(0, Notes.count);
    EXPECT_EQ(0u, boxes.Count()) << boxes.Summary();
}

// What the file holds comes back: positions (0 meaning "none", negatives), colour, time, text,
// always as a mark, with the name dropped, in file order.
TEST_F(DataFileTest, StoredRecordsComeBackAsMarksWithTheirOwnColourTimeAndText)
{
    StartWindowsOnly();
    std::vector<StoredNote> file = {
        Stored(0, 0, "obě nuly"),
        Stored(0, 77, "x nula", RGB(1, 2, 3)),
        Stored(55, 0, "y nula", RGB(255, 255, 160)),
        Stored(-40, -30, "vlevo nahoře"),
        Stored(321, 123, "byla rozbalená", RGB(0, 208, 0), NOTE_EXPANDED),
        Stored(200, 300, ""),
        Stored(250, 260, "dva\r\nřádky"),
    };
    file[1].year = 1999;
    file[1].minute = 59;
    file[5].name = "jméno";
    ASSERT_EQ(1, LoadBytes(EncodeNotes(file)));
    ASSERT_EQ(7, Notes.count);
    EXPECT_EQ(7u, NoteWindowCount());
    EXPECT_EQ(0u, boxes.Count()) << boxes.Summary();

    const POINT expected[] = { { 10, 10 }, { 10, 77 }, { 55, 10 }, { -40, -30 }, { 321, 123 }, { 200, 300 }, { 250, 260 } };
    for (int i = 0; i < 7; ++i) {
        SCOPED_TRACE(i);
        const NoteRecord& note = Notes.items[i];
        ExpectMarkAt(note.hwnd, expected[i].x, expected[i].y);
        EXPECT_TRUE(IsWindowVisible(note.hwnd));
        EXPECT_EQ(file[i].color, note.markColor);
        EXPECT_TRUE(SameTime({ file[i].year, file[i].month, file[i].day, file[i].hour, file[i].minute }, note.created));
        EXPECT_EQ(file[i].text, WindowText(note.hwndEdit));
        EXPECT_STREQ("", note.name);
    }

    // Saved again, the file says the same, only without the name and with the state of now.
    for (StoredNote& note : file) {
        note.name.clear();
        note.state = NOTE_PACKED;
        note.x = note.x ? note.x : 10;
        note.y = note.y ? note.y : 10;
    }
    EXPECT_EQ(1, SaveNotes());
    EXPECT_EQ(EncodeNotes(file), Saved());
}

TEST_F(DataFileTest, EmptyTextAndNegativeCoordinatesAreStoredAsSuch)
{
    StartWindowsOnly();
    HWND empty = AddPackedNote(30, 40, "");
    HWND offScreen = AddPackedNote(-1000, -5, "mimo");
    ASSERT_TRUE(empty && offScreen);
    ASSERT_EQ(1, SaveNotes());
    DecodedNotes decoded = DecodeNotes(Saved().data(), Saved().size());
    ASSERT_TRUE(decoded.complete);
    ASSERT_EQ(2u, decoded.notes.size());
    EXPECT_EQ("", decoded.notes[0].text);
    EXPECT_EQ(4u + 31 + 31 + 4, Saved().size()) << "an empty text has no bytes";
    EXPECT_EQ(-1000, decoded.notes[1].x);
    EXPECT_EQ(-5, decoded.notes[1].y);
    const std::vector<uint8_t> bytes = Saved();
    EXPECT_EQ((std::vector<uint8_t>{ 0x18, 0xFC, 0xFF, 0xFF }), std::vector<uint8_t>(bytes.begin() + 35, bytes.begin() + 39));

    DestroyAllNotes();
    ASSERT_EQ(1, LoadNotes());
    ASSERT_EQ(2, Notes.count);
    EXPECT_EQ("", WindowText(Notes.items[0].hwndEdit));
    ExpectMarkAt(Notes.items[1].hwnd, -1000, -5);
}

// The place written is where the window stands, not what the record remembers.
TEST_F(DataFileTest, ExpandedNotesAndDraggedMarksAreSavedWhereTheirWindowsStand)
{
    StartWindowsOnly();
    HWND expanded = AddExpandedNote("rozbalená");
    SetWindowPos(expanded, nullptr, 123, 87, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    SetNoteColor(expanded, RGB(0, 0, 255));
    SetNoteTime(expanded, { 2001, 2, 3, 4, 5 });
    HWND dragged = AddPackedNote(40, 40, "tažená");
    SetWindowPos(dragged, nullptr, 300, 200, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ASSERT_EQ(10, Notes.items[0].x) << "the record must still hold the old place for this test";
    ASSERT_EQ(40, Notes.items[1].x);

    ASSERT_EQ(1, SaveNotes());
    DecodedNotes decoded = DecodeNotes(Saved().data(), Saved().size());
    ASSERT_EQ(2u, decoded.notes.size());
    EXPECT_EQ(123, decoded.notes[0].x);
    EXPECT_EQ(87, decoded.notes[0].y);
    EXPECT_EQ(NOTE_EXPANDED, decoded.notes[0].state);
    EXPECT_EQ(300, decoded.notes[1].x);
    EXPECT_EQ(200, decoded.notes[1].y);
    EXPECT_EQ(NOTE_PACKED, decoded.notes[1].state);

    // A new run: the expanded note is a mark at its window's old corner, in the file's colour and time.
    DestroyAllNotes();
    Settings.MarkColor = RGB(255, 0, 0);
    ASSERT_EQ(1, LoadNotes());
    ASSERT_EQ(2, Notes.count);
    ExpectMarkAt(Notes.items[0].hwnd, 123, 87);
    EXPECT_EQ(RGB(0, 0, 255), Notes.items[0].markColor);
    EXPECT_TRUE(SameTime({ 2001, 2, 3, 4, 5 }, Notes.items[0].created));
    EXPECT_EQ("rozbalená", WindowText(Notes.items[0].hwndEdit));
    ExpectMarkAt(Notes.items[1].hwnd, 300, 200);
}

TEST_F(DataFileTest, HiddenNotesAreSavedAndComeBackShown)
{
    StartWindowsOnly();
    AddPackedNote(50, 60, "první");
    AddExpandedNote("druhá");
    SendMessageA(g_hMainWnd, WM_COMMAND, IDM_HIDEALL, 0);
    ASSERT_FALSE(IsWindowVisible(Notes.items[0].hwnd));
    ASSERT_FALSE(IsWindowVisible(Notes.items[1].hwnd));
    ASSERT_EQ(1, SaveNotes());
    DecodedNotes decoded = DecodeNotes(Saved().data(), Saved().size());
    ASSERT_EQ(2u, decoded.notes.size());
    EXPECT_EQ("první", decoded.notes[0].text);
    EXPECT_EQ("druhá", decoded.notes[1].text);

    DestroyAllNotes();
    ASSERT_EQ(1, LoadNotes());
    ASSERT_EQ(2, Notes.count);
    for (int i = 0; i < 2; ++i) {
        EXPECT_TRUE(IsWindowVisible(Notes.items[i].hwnd)) << i;
        EXPECT_TRUE(IsNotePacked(Notes.items[i].hwnd)) << i;
    }
}

TEST_F(DataFileTest, SavingTwiceGivesIdenticalBytes)
{
    StartWindowsOnly();
    AddPackedNote(70, 80, "řádek\r\ndruhý řádek");
    AddExpandedNote("");
    AddPackedNote(-3, 500, "Žluťoučký kůň");
    // Longer than the buffer the texts are read into at one go.
    const std::string longText = std::string(20000, 'x') + "konec";
    AddPackedNote(40, 50, longText.c_str());
    ASSERT_EQ(1, SaveNotes());
    const std::vector<uint8_t> first = Saved();
    ASSERT_EQ(1, SaveNotes());
    EXPECT_EQ(first, Saved());
    DecodedNotes decoded = DecodeNotes(first.data(), first.size());
    ASSERT_EQ(4u, decoded.notes.size());
    EXPECT_EQ("řádek\r\ndruhý řádek", decoded.notes[0].text) << "text must be the edit box's, CR LF included";
    EXPECT_EQ("Žluťoučký kůň", decoded.notes[2].text);
    EXPECT_EQ(longText, decoded.notes[3].text);
}

TEST_F(DataFileTest, MissingDataFolderShowsTheErrorAndCreatesNothing)
{
    StartWindowsOnly();
    AddPackedNote(100, 50, "abc");
    ASSERT_TRUE(WriteFileBytes(DataPath(), EXAMPLE_BYTES));
    const std::string missing = folder.File("chybí");
    lstrcpyA(Settings.DataFolder, missing.c_str());
    ComposeDataFile();
    ExpectFailedSave(EXAMPLE_BYTES);
    EXPECT_FALSE(FileExists(missing)) << "the missing folder was created";
}

// A stand-in for WriteFile that writes a part of the first request, then finds the disk full.
int WritesBeforeFull;
BOOL WINAPI WriteUntilDiskFull(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED overlapped)
{
    if (WritesBeforeFull-- <= 0) {
        *written = 0;
        SetLastError(ERROR_DISK_FULL);
        return FALSE;
    }
    return WriteFile(file, data, size > 10 ? 10 : size, written, overlapped);
}

// Reports success but writes nothing: a loop that waits for the bytes to go must give up.
BOOL WINAPI WriteNothing(HANDLE, LPCVOID, DWORD, LPDWORD written, LPOVERLAPPED)
{
    *written = 0;
    return TRUE;
}

class WriteFailureTest : public DataFileTest, public ::testing::WithParamInterface<int> {
protected:
    void TearDown() override
    {
        g_pfnWriteFile = WriteFile;
        DataFileTest::TearDown();
    }
};

TEST_P(WriteFailureTest, FailedWriteKeepsTheOldFileAndLeavesNoTemporaryFile)
{
    StartWindowsOnly();
    AddPackedNote(10, 20, "nová memovka s delším textem, než je deset bajtů");
    const std::vector<uint8_t> old = EncodeNotes({ Stored(5, 6, "stará") });
    ReadAtStart(old);
    WritesBeforeFull = GetParam();
    g_pfnWriteFile = GetParam() < 0 ? WriteNothing : WriteUntilDiskFull;
    ExpectFailedSave(old);
}

// -1: writes report nothing written; 0: the first write fails; 1, 3: the disk fills part-way.
INSTANTIATE_TEST_SUITE_P(DiskFull, WriteFailureTest, ::testing::Values(-1, 0, 1, 3));

BOOL WINAPI FlushFails(HANDLE)
{
    SetLastError(ERROR_IO_DEVICE);
    return FALSE;
}

// ReplaceFile when it could not remove the old file: both files keep their names.
BOOL WINAPI ReplaceFails(LPCSTR, LPCSTR, LPCSTR, DWORD, LPVOID, LPVOID)
{
    SetLastError(ERROR_UNABLE_TO_REMOVE_REPLACED);
    return FALSE;
}

class FlushOrReplaceFailureTest : public DataFileTest, public ::testing::WithParamInterface<const char*> {
protected:
    void TearDown() override
    {
        g_pfnFlushFileBuffers = FlushFileBuffers;
        g_pfnReplaceFileA = ReplaceFileA;
        DataFileTest::TearDown();
    }
};

TEST_P(FlushOrReplaceFailureTest, FailsTheSaveKeepsTheOldFileAndLeavesNoTemporaryFile)
{
    StartWindowsOnly();
    AddPackedNote(10, 20, "nová");
    const std::vector<uint8_t> old = EncodeNotes({ Stored(5, 6, "stará") });
    ReadAtStart(old);
    if (std::string(GetParam()) == "flush")
        g_pfnFlushFileBuffers = FlushFails;
    else
        g_pfnReplaceFileA = ReplaceFails;
    ExpectFailedSave(old);
}

INSTANTIATE_TEST_SUITE_P(Fails, FlushOrReplaceFailureTest, ::testing::Values("flush", "replace"));

const char KEPT_TEXT[] = "Datový soubor se mezitím změnil mimo Memovky nebo jej nebylo možné načíst celý.\n"
                         "Jeho dosavadní obsah je uschován v souboru:\n";

class KeptFileTest : public DataFileTest {
protected:
    void TearDown() override
    {
        g_maxDataFileSize = MAX_DATA_FILE_SIZE;
        DataFileTest::TearDown();
    }
    // A new run in an empty data folder.
    void StartRun()
    {
        DestroyAllNotes();
        for (const std::string& name : FolderEntries(folder.Path()))
            DeleteFileA(folder.File(name).c_str());
        ComposeDataFile();
        BeginAutomaticSaves();
        boxes.Clear();
    }
    // Files beside notes.bin, as full paths.
    std::vector<std::string> KeptFiles() const
    {
        std::vector<std::string> kept;
        for (const std::string& name : FolderEntries(folder.Path()))
            if (name != "notes.bin")
                kept.push_back(folder.File(name));
        return kept;
    }
};

// A save replaces notes.bin only when it holds what this run last read or wrote, or when there
// was none and still is none. Any other file is first kept beside it, and the first file kept in
// a run is announced by name; the notes of the run are then written as always.
TEST_F(KeptFileTest, FileThisRunDoesNotKnowIsKeptAsideBeforeTheSave)
{
    StartWindowsOnly();
    const std::vector<uint8_t> mine = EncodeNotes({ Stored(20, 30, "moje"), Stored(40, 50, "druhá") });
    const std::vector<uint8_t> theirs = EncodeNotes({ Stored(60, 70, "z jiného počítače") });
    std::vector<uint8_t> trailing = mine;
    trailing.push_back(0xEE);
    std::vector<uint8_t> longer = mine;
    longer.insert(longer.end(), theirs.begin(), theirs.end());
    struct Case {
        const char* what;
        std::vector<uint8_t> atStart;   // notes.bin when the run starts (empty: none)
        std::vector<uint8_t> before;    // notes.bin just before the save, as another program left it
        std::function<void()> meanwhile;
        bool kept;
    };
    const Case cases[] = {
        { "unchanged", mine, {}, nullptr, false },
        { "no file, and still none", {}, {}, nullptr, false },
        { "appeared after a start without a file", {}, theirs, nullptr, true },
        { "damaged", std::vector<uint8_t>(mine.begin(), mine.end() - 3), {}, nullptr, true },
        { "bytes after the last record", trailing, {}, nullptr, true },
        { "cut at the size limit", longer, {}, [&] { g_maxDataFileSize = mine.size(); }, true },
        { "changed by another program", mine, theirs, nullptr, true },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        StartRun();
        if (!c.atStart.empty())
            ASSERT_TRUE(WriteFileBytes(DataPath(), c.atStart));
        if (c.meanwhile)
            c.meanwhile();
        LoadNotes();
        g_maxDataFileSize = MAX_DATA_FILE_SIZE;
        if (!Notes.count)
            AddPackedNote(80, 90, "nová");
        if (!c.before.empty())
            ASSERT_TRUE(WriteFileBytes(DataPath(), c.before));
        const std::vector<uint8_t> onDisk = ReadFileBytes(DataPath());

        SendMessageA(Notes.items[0].hwnd, WM_COMMAND, IDM_GREEN, 0);
        const std::vector<StoredNote> saved = DecodeNotes(Saved().data(), Saved().size()).notes;
        ASSERT_EQ(static_cast<size_t>(Notes.count), saved.size()) << "the run's notes were not written";
        EXPECT_EQ(RGB(0, 208, 0), saved[0].color);
        if (!c.kept) {
            EXPECT_TRUE(KeptFiles().empty());
            EXPECT_EQ(0u, boxes.Count()) << boxes.Summary();
            continue;
        }
        ASSERT_EQ(1u, KeptFiles().size()) << "nothing kept, or more than once";
        const std::string kept = KeptFiles()[0];
        EXPECT_EQ(0u, kept.find(folder.File("notes-"))) << kept;
        EXPECT_EQ(onDisk, ReadFileBytes(kept)) << "the kept file is not the one that was on disk";
        ASSERT_EQ(1u, boxes.Count()) << boxes.Summary();
        EXPECT_EQ(KEPT_TEXT + kept, boxes.Boxes()[0].text);
        EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONWARNING), boxes.Boxes()[0].flags & (MB_TYPEMASK | MB_ICONMASK));
    }

    // Changed elsewhere again in the run of the last case: kept again, under another name,
    // without a box.
    const std::vector<std::string> first = KeptFiles();
    ASSERT_TRUE(WriteFileBytes(DataPath(), mine));
    boxes.Clear();
    SendMessageA(Notes.items[0].hwnd, WM_COMMAND, IDM_BLUE, 0);
    EXPECT_EQ(0u, boxes.Count()) << boxes.Summary();
    ASSERT_EQ(first.size() + 1, KeptFiles().size());
    SendMessageA(Notes.items[0].hwnd, WM_COMMAND, IDM_RED, 0);
    EXPECT_EQ(first.size() + 1, KeptFiles().size()) << "a file this run wrote was kept";

    // Kept files in one second never replace one another.
    const SYSTEMTIME now = { 2026, 12, 2, 8, 9, 5, 7, 0 };
    std::string names[3];
    for (std::string& name : names)
        ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS), KeepFileAside(DataPath().c_str(), now, name));
    EXPECT_EQ(folder.File("notes-2026-12-08-09-05-07.bin"), names[0]);
    EXPECT_EQ(folder.File("notes-2026-12-08-09-05-07-2.bin"), names[1]);
    EXPECT_EQ(folder.File("notes-2026-12-08-09-05-07-3.bin"), names[2]);
}

// ReplaceFile when a scanner opens the new file the moment it is closed: the old file is already
// gone, the new one cannot be renamed (1176), and the scanner lets go after ScannerMs.
DWORD ScannerMs;
std::unique_ptr<FileHolder> Scanner;
BOOL WINAPI ReplaceLosesTheOldFile(LPCSTR replaced, LPCSTR replacement, LPCSTR, DWORD, LPVOID, LPVOID)
{
    Scanner.reset(new FileHolder(replacement, ScannerMs));
    DeleteFileA(replaced);
    SetLastError(ERROR_UNABLE_TO_MOVE_REPLACEMENT);
    return FALSE;
}

class ReplaceLosesTheOldFileTest : public DataFileTest {
protected:
    void SetUp() override
    {
        DataFileTest::SetUp();
        g_pfnReplaceFileA = ReplaceLosesTheOldFile;
    }
    void TearDown() override
    {
        Scanner.reset();
        g_pfnReplaceFileA = ReplaceFileA;
        DataFileTest::TearDown();
    }
};

// The new bytes, then only in the temporary file, are moved into place once the scanner lets go;
// while it holds them past the retry the save fails and the temporary file is kept, never deleted.
TEST_F(ReplaceLosesTheOldFileTest, NewFileIsMovedIntoPlaceAndNeverDeletedWhileItIsTheOnlyCopy)
{
    StartWindowsOnly();
    ReadAtStart(EXAMPLE_BYTES);
    HWND note = AddPackedNote(10, 20, "nová");
    ScannerMs = 500;
    ASSERT_EQ(1, SaveNotes()) << boxes.Summary();
    ASSERT_TRUE(Scanner && Scanner->Holds()) << "ReplaceFile was not called";
    const std::vector<uint8_t> first = Saved();
    ASSERT_EQ(1u, DecodeNotes(first.data(), first.size()).notes.size());
    EXPECT_EQ("nová", DecodeNotes(first.data(), first.size()).notes[0].text);
    EXPECT_EQ(std::vector<std::string>{ "notes.bin" }, FolderEntries(folder.Path()));
    EXPECT_EQ(0u, boxes.Count()) << boxes.Summary();

    ScannerMs = DATA_FILE_RETRY_MS + 1000;
    SetNoteColor(note, RGB(0, 208, 0));
    EXPECT_EQ(0, SaveNotes());
    ASSERT_EQ(1u, boxes.Count()) << boxes.Summary();
    EXPECT_EQ(SAVE_ERROR, boxes.Boxes()[0].text);
    Scanner.reset();
    EXPECT_FALSE(FileExists(DataPath()));
    const std::vector<uint8_t> kept = ReadFileBytes(folder.File("notes.tmp"));
    ASSERT_EQ(1u, DecodeNotes(kept.data(), kept.size()).notes.size()) << "the only copy was deleted";
    EXPECT_EQ(RGB(0, 208, 0), DecodeNotes(kept.data(), kept.size()).notes[0].color);

    // The next save puts it in place.
    boxes.Clear();
    EXPECT_EQ(1, SaveNotes()) << boxes.Summary();
    EXPECT_EQ(kept, Saved());
    EXPECT_EQ(std::vector<std::string>{ "notes.bin" }, FolderEntries(folder.Path()));
}

TEST_F(DataFileTest, ReadOnlyFileIsNeitherReplacedNorChanged)
{
    StartWindowsOnly();
    AddPackedNote(10, 20, "nová");
    ASSERT_TRUE(WriteFileBytes(DataPath(), EXAMPLE_BYTES));
    ASSERT_TRUE(SetFileAttributesA(DataPath().c_str(), FILE_ATTRIBUTE_READONLY));
    ExpectFailedSave(EXAMPLE_BYTES);
    EXPECT_TRUE(GetFileAttributesA(DataPath().c_str()) & FILE_ATTRIBUTE_READONLY);
    SetFileAttributesA(DataPath().c_str(), FILE_ATTRIBUTE_NORMAL);
}

// Another program holds notes.bin open at start-up (share mode 0) for longer than the retry:
// one box, no notes, and no save of this run replaces the file, not even after it is let go.
TEST_F(DataFileTest, FileLockedLongerThanTheRetryIsReportedAndNeverReplaced)
{
    StartWindowsOnly();
    ASSERT_TRUE(WriteFileBytes(DataPath(), EXAMPLE_BYTES));
    {
        FileHolder holder(DataPath(), DATA_FILE_RETRY_MS + 500);
        ASSERT_TRUE(holder.Holds());
        const DWORD start = GetTickCount();
        EXPECT_EQ(0, LoadNotes());
        EXPECT_GE(GetTickCount() - start, DATA_FILE_RETRY_MS - 100) << "gave up before the retry time";
    }
    EXPECT_EQ(0, Notes.count);
    ASSERT_EQ(1u, boxes.Count()) << boxes.Summary();
    EXPECT_EQ(LOAD_ERROR, boxes.Boxes()[0].text);
    EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONERROR), boxes.Boxes()[0].flags & (MB_TYPEMASK | MB_ICONMASK));

    AddPackedNote(10, 20, "nová");
    ExpectFailedSave(EXAMPLE_BYTES);
    boxes.Clear();
    SendMessageA(g_hMainWnd, WM_COMMAND, IDM_PACKALL, 0);
    SendMessageA(g_hMainWnd, WM_COMMAND, IDM_ADD, 0);
    EXPECT_EQ(1u, boxes.Count()) << "automatic saves: " << boxes.Summary();
    EXPECT_EQ(EXAMPLE_BYTES, Saved());
    EXPECT_EQ(std::vector<std::string>{ "notes.bin" }, FolderEntries(folder.Path()));
}

// A lock let go within the retry only delays the start or a save; a reader that shares does not
// even that. Held longer, a save fails as any other and leaves the file as it was.
TEST_F(DataFileTest, FileHeldForAMomentOnlyDelaysLoadsAndSaves)
{
    StartWindowsOnly();
    ASSERT_TRUE(WriteFileBytes(DataPath(), EXAMPLE_BYTES));
    {
        FileHolder holder(DataPath(), 600);
        ASSERT_TRUE(holder.Holds());
        const DWORD start = GetTickCount();
        EXPECT_EQ(1, LoadNotes());
        EXPECT_GE(GetTickCount() - start, 500u) << "the lock was not met";
    }
    ASSERT_EQ(1, Notes.count);
    ExpectMarkAt(Notes.items[0].hwnd, 100, 50);
    EXPECT_EQ(0u, boxes.Count()) << boxes.Summary();
    DestroyAllNotes();

    HANDLE reader = CreateFileA(DataPath().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, reader);
    const DWORD again = GetTickCount();
    EXPECT_EQ(1, LoadNotes());
    EXPECT_LT(GetTickCount() - again, 500u) << "waited for a reader that shares";
    CloseHandle(reader);
    EXPECT_EQ(1, Notes.count);
    EXPECT_EQ(0u, boxes.Count()) << boxes.Summary();

    // With the file loaded, saves replace it as usual, also one that meets a lock.
    SendMessageA(g_hMainWnd, WM_COMMAND, IDM_SAVE, 0);
    EXPECT_EQ(EXAMPLE_BYTES, Saved());
    EXPECT_EQ(0u, boxes.Count()) << boxes.Summary();
    SetNoteColor(Notes.items[0].hwnd, RGB(0, 0, 255));
    {
        FileHolder holder(DataPath(), 600);
        ASSERT_TRUE(holder.Holds());
        const DWORD start = GetTickCount();
        EXPECT_EQ(1, SaveNotes()) << boxes.Summary();
        EXPECT_GE(GetTickCount() - start, 500u) << "the lock was not met";
    }
    ASSERT_EQ(1u, DecodeNotes(Saved().data(), Saved().size()).notes.size());
    EXPECT_EQ(RGB(0, 0, 255), DecodeNotes(Saved().data(), Saved().size()).notes[0].color);
    EXPECT_EQ(0u, boxes.Count()) << boxes.Summary();

    const std::vector<uint8_t> before = Saved();
    SetNoteColor(Notes.items[0].hwnd, RGB(0, 208, 0));
    {
        FileHolder holder(DataPath(), DATA_FILE_RETRY_MS + 500);
        ASSERT_TRUE(holder.Holds());
        EXPECT_EQ(0, SaveNotes());
    }
    ASSERT_EQ(1u, boxes.Count()) << boxes.Summary();
    EXPECT_EQ(SAVE_ERROR, boxes.Boxes()[0].text);
    EXPECT_EQ(before, Saved()) << "the held file was changed";
    EXPECT_EQ(std::vector<std::string>{ "notes.bin" }, FolderEntries(folder.Path()));
}

// Saving keeps what the user set on the file (ReplaceFile), here its hidden attribute.
TEST_F(DataFileTest, HiddenFileStaysHiddenAfterASave)
{
    StartWindowsOnly();
    AddPackedNote(100, 50, "abc");
    SetNoteColor(Notes.items[0].hwnd, 255);
    SetNoteTime(Notes.items[0].hwnd, { 2026, 12, 6, 14, 5 });
    ReadAtStart({ 0, 0, 0, 0 });
    ASSERT_TRUE(SetFileAttributesA(DataPath().c_str(), FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(GetFileAttributesA(DataPath().c_str()) & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(1, SaveNotes()) << boxes.Summary();
    EXPECT_EQ(EXAMPLE_BYTES, Saved());
    EXPECT_TRUE(GetFileAttributesA(DataPath().c_str()) & FILE_ATTRIBUTE_HIDDEN) << "the save made notes.bin visible";
    EXPECT_EQ(std::vector<std::string>{ "notes.bin" }, FolderEntries(folder.Path()));
}

// Windows parks a minimized note far off the screen; it is stored where it will come back.
TEST_F(DataFileTest, MinimizedNoteIsStoredAtItsNormalPlace)
{
    StartWindowsOnly();
    HWND note = AddExpandedNote("zmenšená");
    SetWindowPos(note, nullptr, 123, 87, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageA(note, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_TRUE(IsIconic(note));
    ASSERT_EQ(1, SaveNotes());
    DecodedNotes decoded = DecodeNotes(Saved().data(), Saved().size());
    ASSERT_EQ(1u, decoded.notes.size());
    EXPECT_EQ(123, decoded.notes[0].x);
    EXPECT_EQ(87, decoded.notes[0].y);
    EXPECT_EQ("zmenšená", decoded.notes[0].text);

    // Packed from its minimized state it is a mark like any other, at its stored place.
    SendMessageA(note, WM_COMMAND, IDM_PACK, 0);
    EXPECT_FALSE(IsIconic(note));
    EXPECT_TRUE(IsWindowVisible(note));
    ExpectMarkAt(note, 10, 10);
    decoded = DecodeNotes(Saved().data(), Saved().size());
    ASSERT_EQ(1u, decoded.notes.size());
    EXPECT_EQ(10, decoded.notes[0].x);
    EXPECT_EQ(10, decoded.notes[0].y);
    EXPECT_EQ(NOTE_PACKED, decoded.notes[0].state);

    // Expanded, minimized and packed by "Sbalit vše": the same.
    SendMessageA(note, WM_COMMAND, IDM_UNPACK, 0);
    ASSERT_TRUE(SameRect(RECT{ 10, 10, 310, 260 }, WindowRect(note))) << Describe(WindowRect(note));
    ShowWindow(note, SW_MINIMIZE);
    ASSERT_TRUE(IsIconic(note));
    SendMessageA(g_hMainWnd, WM_COMMAND, IDM_PACKALL, 0);
    EXPECT_FALSE(IsIconic(note));
    ExpectMarkAt(note, 10, 10);
    EXPECT_EQ(0u, boxes.Count()) << boxes.Summary();
}

// A file cut at any byte gives exactly the records that are whole before the cut, and no box.
TEST_F(DataFileTest, EveryTruncationLoadsOnlyCompleteRecords)
{
    StartWindowsOnly();
    std::vector<StoredNote> file = { Stored(20, 30, "první"), Stored(40, 50, ""), Stored(60, 70, "třetí\r\n") };
    file[1].name = "ab";
    const std::vector<uint8_t> bytes = EncodeNotes(file);
    size_t ends[3];
    for (size_t i = 0, end = 4; i < 3; ++i) {
        end += 31 + file[i].name.size() + file[i].text.size();
        ends[i] = end;
    }
    ASSERT_EQ(bytes.size(), ends[2]);

    for (size_t length = 0; length <= bytes.size(); ++length) {
        SCOPED_TRACE("file cut to " + std::to_string(length) + " bytes");
        const int whole = (length >= ends[0]) + (length >= ends[1]) + (length >= ends[2]);
        EXPECT_EQ(1, LoadBytes(std::vector<uint8_t>(bytes.begin(), bytes.begin() + length)));
        ASSERT_EQ(whole, Notes.count);
        ASSERT_EQ(static_cast<size_t>(whole), NoteWindowCount());
        for (int i = 0; i < whole; ++i) {
            ExpectMarkAt(Notes.items[i].hwnd, file[i].x, file[i].y);
            EXPECT_EQ(file[i].text, WindowText(Notes.items[i].hwndEdit));
        }
        DestroyAllNotes();
    }
    EXPECT_EQ(0u, boxes.Count()) << boxes.Summary();
}

TEST_F(DataFileTest, ImpossibleLengthsAndCountsLoadOnlyWhatIsThere)
{
    StartWindowsOnly();
    // Two records claimed; the second claims a text of 4 GiB - 1 and holds three bytes.
    std::vector<uint8_t> bytes = EncodeNotes({ Stored(20, 30, "celá"), Stored(40, 50, "abc") });
    std::fill(bytes.end() - 7, bytes.end() - 3, 0xFF);
    EXPECT_EQ(1, LoadBytes(bytes));
    ASSERT_EQ(1, Notes.count);
    EXPECT_EQ("celá", WindowText(Notes.items[0].hwndEdit));
    DestroyAllNotes();

    // A name of 4 GiB - 1.
    bytes = EncodeNotes({ Stored(40, 50, "abc") });
    std::fill(bytes.begin() + 4 + 23, bytes.begin() + 4 + 27, 0xFF);
    EXPECT_EQ(1, LoadBytes(bytes));
    EXPECT_EQ(0, Notes.count);

    // Four billion records claimed, one there.
    bytes = EXAMPLE_BYTES;
    std::fill(bytes.begin(), bytes.begin() + 4, 0xFF);
    EXPECT_EQ(1, LoadBytes(bytes));
    ASSERT_EQ(1, Notes.count);
    ExpectMarkAt(Notes.items[0].hwnd, 100, 50);
    EXPECT_EQ(0u, boxes.Count()) << boxes.Summary();

    // The next save writes the file whole again.
    EXPECT_EQ(1, SaveNotes());
    EXPECT_EQ(EXAMPLE_BYTES, Saved());
}

// Windows folds repeated backslashes, so a long run of them still names the test folder: a
// path that was cut short instead of refused would write "notes.bi" there.
TEST_F(DataFileTest, FolderTooLongForTheFileNameSavesNothingAndLoadsNothing)
{
    StartWindowsOnly();
    AddPackedNote(100, 50, "abc");
    SetNoteColor(Notes.items[0].hwnd, 255);
    SetNoteTime(Notes.items[0].hwnd, { 2026, 12, 6, 14, 5 });
    auto padded = [&](size_t length) { return folder.Path() + std::string(length - folder.Path().size(), '\\'); };
    ASSERT_LT(folder.Path().size() + 2, 249u);

    lstrcpyA(Settings.DataFolder, padded(249).c_str());
    ComposeDataFile();
    EXPECT_EQ(padded(249) + "\\notes.bin", Settings.DataFile);
    EXPECT_EQ(1, SaveNotes()) << boxes.Summary();
    EXPECT_EQ(EXAMPLE_BYTES, Saved()) << "a 249-character folder still has room";

    lstrcpyA(Settings.DataFolder, padded(250).c_str());
    ComposeDataFile();
    EXPECT_STREQ("", Settings.DataFile);
    AddPackedNote(1, 2, "nová");
    ExpectFailedSave(EXAMPLE_BYTES);
    DestroyAllNotes();
    EXPECT_EQ(0, LoadNotes());
    EXPECT_EQ(0, Notes.count);

    lstrcpyA(Settings.DataFolder, padded(259).c_str());
    ComposeDataFile();
    EXPECT_STREQ("", Settings.DataFile);
}

} // namespace
