// notes.bin as the program writes and reads it: exact bytes, positions taken from the windows,
// saves that fail without harming the old file, locked and damaged files, saving as the user
// works, and the end of the program.
#include "app/app.h"
#include "app/tray.h"
#include "notes/note_collection.h"
#include "notes/note_window.h"
#include "res/resource.h"
#include "storage/data_file.h"
#include "storage/note_codec.h"
#include "storage/settings.h"
#include "tests/support/app_fixture.h"
#include "tests/support/poll.h"

namespace {

const std::vector<uint8_t> EXAMPLE_BYTES = {
    0x01, 0x00, 0x00, 0x00, 0x64, 0x00, 0x00, 0x00, 0x32, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0x01,
    0xEA, 0x07, 0x0C, 0x00, 0x06, 0x00, 0x0E, 0x00, 0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00,
    0x61, 0x62, 0x63,
};

const char SAVE_ERROR[] = "Nelze vytvořit datový soubor";
const char LOAD_ERROR[] = "Nelze načíst datový soubor";

StoredNote Stored(int32_t x, int32_t y, const std::string& text, COLORREF color = RGB(0, 0, 255),
                  uint8_t state = NOTE_PACKED)
{
    return MakeStoredNote(x, y, color, text, state, { 2025, 3, 17, 8, 9 });
}

bool SameTime(const NoteTime& a, const NoteTime& b)
{
    return a.year == b.year && a.month == b.month && a.day == b.day && a.hour == b.hour && a.minute == b.minute;
}

std::vector<std::string> FolderEntries(const std::string& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        std::string name = found.cFileName;
        if (name != "." && name != "..")
            names.push_back(name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

class DataFileTest : public AppTest {
protected:
    std::string DataPath() const { return folder.File("notes.bin"); }
    std::vector<uint8_t> Saved() const { return ReadFileBytes(DataPath()); }

    // Writes bytes as notes.bin and loads them into an empty collection.
    int LoadBytes(const std::vector<uint8_t>& bytes)
    {
        EXPECT_TRUE(WriteFileBytes(DataPath(), bytes));
        return LoadNotes();
    }

    size_t NoteWindowCount() const { return TopWindows(0, NOTE_CLASS_NAME, false).size(); }

    // A mark of the default size with its top-left corner at (x, y).
    void ExpectMarkAt(HWND note, int x, int y)
    {
        const RECT expected = { x, y, x + Settings.PackedNoteSize.cx, y + Settings.PackedNoteSize.cy };
        EXPECT_TRUE(IsNotePacked(note));
        EXPECT_TRUE(SameRect(expected, WindowRect(note)))
            << "expected " << Describe(expected) << ", got " << Describe(WindowRect(note));
    }

    // The failed save shows exactly the one error box and changes nothing on disk.
    void ExpectFailedSave(const std::vector<uint8_t>& oldBytes)
    {
        boxes.Clear();
        EXPECT_EQ(0, SaveNotes());
        ASSERT_EQ(1u, boxes.Count()) << boxes.Summary();
        EXPECT_EQ(SAVE_ERROR, boxes.Boxes()[0].text);
        EXPECT_EQ("Memovky 1.5", boxes.Boxes()[0].caption);
        EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONERROR), boxes.Boxes()[0].flags & (MB_TYPEMASK | MB_ICONMASK));
        EXPECT_EQ(oldBytes, Saved()) << "the old notes.bin was changed";
        EXPECT_EQ(std::vector<std::string>{ "notes.bin" }, FolderEntries(folder.Path()))
            << "something was left beside notes.bin";
    }
};

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
    ASSERT_TRUE(WriteFileBytes(DataPath(), EXAMPLE_BYTES));
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
    ASSERT_TRUE(WriteFileBytes(DataPath(), old));
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

// As ReplaceFile reports when it could not put the new file in place: both files keep their names.
BOOL WINAPI ReplaceFails(LPCSTR, LPCSTR, LPCSTR, DWORD, LPVOID, LPVOID)
{
    SetLastError(ERROR_UNABLE_TO_MOVE_REPLACEMENT);
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
    ASSERT_TRUE(WriteFileBytes(DataPath(), old));
    if (std::string(GetParam()) == "flush")
        g_pfnFlushFileBuffers = FlushFails;
    else
        g_pfnReplaceFileA = ReplaceFails;
    ExpectFailedSave(old);
}

INSTANTIATE_TEST_SUITE_P(Fails, FlushOrReplaceFailureTest, ::testing::Values("flush", "replace"));

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
    HANDLE held = CreateFileA(DataPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    const DWORD start = GetTickCount();
    EXPECT_EQ(0, LoadNotes());
    EXPECT_GE(GetTickCount() - start, DATA_FILE_RETRY_MS - 100) << "gave up before the retry time";
    EXPECT_EQ(0, Notes.count);
    ASSERT_EQ(1u, boxes.Count()) << boxes.Summary();
    EXPECT_EQ(LOAD_ERROR, boxes.Boxes()[0].text);
    EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONERROR), boxes.Boxes()[0].flags & (MB_TYPEMASK | MB_ICONMASK));
    CloseHandle(held);

    AddPackedNote(10, 20, "nová");
    ExpectFailedSave(EXAMPLE_BYTES);
    boxes.Clear();
    SendMessageA(g_hMainWnd, WM_COMMAND, IDM_PACKALL, 0);
    SendMessageA(g_hMainWnd, WM_COMMAND, IDM_ADD, 0);
    EXPECT_EQ(1u, boxes.Count()) << "automatic saves: " << boxes.Summary();
    EXPECT_EQ(EXAMPLE_BYTES, Saved());
    EXPECT_EQ(std::vector<std::string>{ "notes.bin" }, FolderEntries(folder.Path()));
}

DWORD WINAPI CloseSoon(void* file)
{
    Sleep(600);
    CloseHandle(static_cast<HANDLE>(file));
    return 0;
}

// A lock let go within the retry only delays the start; a reader that shares does not even that.
TEST_F(DataFileTest, FileLockedForAMomentOrReadBesideUsLoads)
{
    StartWindowsOnly();
    ASSERT_TRUE(WriteFileBytes(DataPath(), EXAMPLE_BYTES));
    HANDLE held = CreateFileA(DataPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    HANDLE release = CreateThread(nullptr, 0, CloseSoon, held, 0, nullptr);
    const DWORD start = GetTickCount();
    EXPECT_EQ(1, LoadNotes());
    EXPECT_GE(GetTickCount() - start, 500u) << "the lock was not met";
    WaitForSingleObject(release, INFINITE);
    CloseHandle(release);
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

    // With the file loaded, saves replace it as usual.
    SendMessageA(g_hMainWnd, WM_COMMAND, IDM_SAVE, 0);
    EXPECT_EQ(EXAMPLE_BYTES, Saved());
    EXPECT_EQ(0u, boxes.Count()) << boxes.Summary();
}

// Saving keeps what the user set on the file (ReplaceFile), here its hidden attribute.
TEST_F(DataFileTest, HiddenFileStaysHiddenAfterASave)
{
    StartWindowsOnly();
    AddPackedNote(100, 50, "abc");
    SetNoteColor(Notes.items[0].hwnd, 255);
    SetNoteTime(Notes.items[0].hwnd, { 2026, 12, 6, 14, 5 });
    ASSERT_TRUE(WriteFileBytes(DataPath(), { 0, 0, 0, 0 }));
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

// Counts the saves that reach the disk: each writes its bytes with one WriteFile.
int WritesSeen;
BOOL WINAPI CountingWriteFile(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED overlapped)
{
    ++WritesSeen;
    return WriteFile(file, data, size, written, overlapped);
}

class AutomaticSaveTest : public DataFileTest {
protected:
    void SetUp() override
    {
        DataFileTest::SetUp();
        WritesSeen = 0;
        g_pfnWriteFile = CountingWriteFile;
    }
    void TearDown() override
    {
        if (other)
            DestroyWindow(other);
        g_pfnWriteFile = WriteFile;
        DataFileTest::TearDown();
    }

    // How many saves the action wrote.
    static int SavesBy(const std::function<void()>& action)
    {
        const int before = WritesSeen;
        action();
        PumpPending();
        return WritesSeen - before;
    }
    static void Command(HWND target, int id) { SendMessageA(target, WM_COMMAND, MAKEWPARAM(id, 0), 0); }
    std::vector<StoredNote> File() const
    {
        const std::vector<uint8_t> bytes = Saved();
        return DecodeNotes(bytes.data(), bytes.size()).notes;
    }
    // Keys reaching the note's edit box at the end of its text, as typing gives them.
    static void Type(HWND note, const char* text)
    {
        HWND edit = Notes.items[FindNote(note)].hwndEdit;
        SendMessageA(edit, EM_SETSEL, GetWindowTextLengthA(edit), GetWindowTextLengthA(edit));
        for (const char* c = text; *c; ++c)
            SendMessageA(edit, WM_CHAR, static_cast<unsigned char>(*c), 0);
    }
    static bool Modified(HWND note)
    {
        return SendMessageA(Notes.items[FindNote(note)].hwndEdit, EM_GETMODIFY, 0, 0) != 0;
    }
    static void Activate(HWND window)
    {
        SetForegroundWindow(window);
        SetActiveWindow(window);
        PumpPending();
        EXPECT_EQ(window, GetActiveWindow());
    }
    // A window of another kind, for the user to turn to.
    HWND OtherWindow()
    {
        if (!other)
            other = CreateWindowExA(0, "STATIC", "jiné okno", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 600, 400, 200, 120,
                                    nullptr, nullptr, g_hInst, nullptr);
        return other;
    }

    HWND other = nullptr;
};

TEST_F(AutomaticSaveTest, EveryCompletedChangeIsSavedOnceAndAnUnchangedCollectionIsNotWrittenAgain)
{
    StartWindowsOnly();
    OtherWindow();

    // Added: the new empty note is in the file at once.
    EXPECT_EQ(1, SavesBy([&] { Command(g_hMainWnd, IDM_ADD); }));
    HWND note = NoteWindowAt(0);
    ASSERT_EQ(1u, File().size());
    EXPECT_EQ("", File()[0].text);

    // Typing alone writes nothing; turning to another window saves the text, once.
    Activate(note);
    EXPECT_EQ(0, SavesBy([&] { Type(note, "ahoj"); }));
    EXPECT_TRUE(Modified(note));
    EXPECT_EQ(1, SavesBy([&] { Activate(other); }));
    EXPECT_EQ("ahoj", File()[0].text);
    EXPECT_FALSE(Modified(note)) << "a save must clear the modify flag";
    EXPECT_EQ(0, SavesBy([&] { Activate(note); Activate(other); })) << "unchanged text written again";

    // Packed from its menu bar.
    EXPECT_EQ(1, SavesBy([&] { Command(note, IDM_PACK); }));
    EXPECT_EQ(NOTE_PACKED, File()[0].state);

    // A mark dropped after a drag; dropped where it was, nothing to write.
    SetWindowPos(note, nullptr, 300, 200, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(1, SavesBy([&] { SendMessageA(note, WM_EXITSIZEMOVE, 0, 0); }));
    EXPECT_EQ(300, File()[0].x);
    EXPECT_EQ(200, File()[0].y);
    EXPECT_EQ(0, SavesBy([&] { SendMessageA(note, WM_EXITSIZEMOVE, 0, 0); }));

    // A colour; the same colour again writes nothing.
    EXPECT_EQ(1, SavesBy([&] { Command(note, IDM_BLUE); }));
    EXPECT_EQ(0xFF0000u, File()[0].color);
    EXPECT_EQ(0, SavesBy([&] { Command(note, IDM_BLUE); }));

    // The bulk commands, one save each; hiding and showing change nothing that is stored.
    AddPackedNote(400, 300, "druhá");
    AddPackedNote(500, 300, "třetí");
    EXPECT_EQ(1, SavesBy([&] { Command(g_hMainWnd, IDM_SAVE); }));
    EXPECT_EQ(1, SavesBy([&] { Command(g_hMainWnd, IDM_UNPACKALL); }));
    ASSERT_EQ(3u, File().size());
    for (const StoredNote& stored : File())
        EXPECT_EQ(NOTE_EXPANDED, stored.state);
    EXPECT_EQ(1, SavesBy([&] { Command(g_hMainWnd, IDM_PACKALL); }));
    EXPECT_EQ(NOTE_PACKED, File()[2].state);
    EXPECT_EQ(0, SavesBy([&] { Command(g_hMainWnd, IDM_HIDEALL); }));
    EXPECT_EQ(0, SavesBy([&] { Command(g_hMainWnd, IDM_SHOWALL); }));

    // The settings dialog confirmed: packing every note again is one save.
    Command(g_hMainWnd, IDM_UNPACKALL);
    EXPECT_EQ(1, SavesBy([&] {
        WindowDriver driver("#32770", "Nastavení programu", [](HWND dialog) {
            SetDlgItemInt(dialog, IDC_MARK_CX, 20, FALSE);
            PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        });
        Command(g_hMainWnd, IDM_SETTINGS);
        EXPECT_TRUE(driver.Acted()) << "the dialog did not appear";
    }));
    for (const StoredNote& stored : File())
        EXPECT_EQ(NOTE_PACKED, stored.state);

    // Expanding alone is no change to save; typing and then the close box saves the text.
    EXPECT_EQ(0, SavesBy([&] { Command(note, IDM_UNPACK); }));
    Type(note, " a dost");
    EXPECT_EQ(1, SavesBy([&] { SendMessageA(note, WM_SYSCOMMAND, SC_CLOSE, 0); }));
    EXPECT_EQ(NOTE_PACKED, File()[0].state);
    EXPECT_EQ("ahoj a dost", File()[0].text);

    // Deleted: saved once the window is gone; a No writes nothing.
    boxes.QueueAnswer(IDNO);
    EXPECT_EQ(0, SavesBy([&] { Command(note, IDM_DELETE); }));
    boxes.QueueAnswer(IDYES);
    EXPECT_EQ(1, SavesBy([&] { Command(note, IDM_DELETE); }));
    ASSERT_EQ(2u, File().size());
    EXPECT_EQ("druhá", File()[0].text);
    EXPECT_EQ(2u, boxes.Count()) << "only the two questions: " << boxes.Summary();
}

TEST_F(AutomaticSaveTest, FailingAutomaticSavesShowOneBoxUntilOneSucceeds)
{
    StartWindowsOnly();
    HWND note = AddPackedNote(100, 50, "abc");
    ASSERT_TRUE(WriteFileBytes(DataPath(), EXAMPLE_BYTES));
    ASSERT_TRUE(SetFileAttributesA(DataPath().c_str(), FILE_ATTRIBUTE_READONLY));
    Command(note, IDM_BLUE);
    Command(note, IDM_GREEN);
    Command(g_hMainWnd, IDM_ADD);
    Command(g_hMainWnd, IDM_PACKALL);
    ASSERT_EQ(1u, boxes.Count()) << boxes.Summary();
    EXPECT_EQ(SAVE_ERROR, boxes.Boxes()[0].text);
    EXPECT_EQ(EXAMPLE_BYTES, Saved());

    // The menu command always reports.
    Command(g_hMainWnd, IDM_SAVE);
    EXPECT_EQ(2u, boxes.Count()) << boxes.Summary();
    Command(note, IDM_RED);
    EXPECT_EQ(2u, boxes.Count()) << boxes.Summary();

    // Once a save succeeds, the next failure is shown again.
    SetFileAttributesA(DataPath().c_str(), FILE_ATTRIBUTE_NORMAL);
    Command(note, IDM_YELLOW);
    EXPECT_EQ(2u, boxes.Count()) << boxes.Summary();
    ASSERT_EQ(2u, File().size());
    EXPECT_EQ(0xA0FFFFu, File()[0].color);
    SetFileAttributesA(DataPath().c_str(), FILE_ATTRIBUTE_READONLY);
    Command(note, IDM_BLUE);
    EXPECT_EQ(3u, boxes.Count()) << boxes.Summary();
    SetFileAttributesA(DataPath().c_str(), FILE_ATTRIBUTE_NORMAL);
}

// Saves follow the user's commands, never the end of windows: the notes saved at exit or at
// log-off stay in the file while every note window is destroyed afterwards.
class EndingSaveTest : public AutomaticSaveTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(EndingSaveTest, LeavesEveryNoteInTheFile)
{
    StartProgram();
    AddPackedNote(100, 50, "první");
    AddPackedNote(200, 60, "druhá");
    HWND typed = AddExpandedNote("třetí");
    Activate(typed);
    Type(typed, " a dopsana");
    const std::string how = GetParam();
    if (how == "exit") {
        SendMessageA(g_hMainWnd, WM_CLOSE, 0, 0);
    } else {
        EXPECT_EQ(TRUE, SendMessageA(g_hMainWnd, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF));
        SendMessageA(g_hMainWnd, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
        // The system then ends the program, and its windows go.
        RemoveTrayIcon();
        DestroyWindow(g_hMainWnd);
    }
    EXPECT_EQ(0, Notes.count);
    EXPECT_EQ(1, WritesSeen) << "one save, at the end";
    const std::vector<StoredNote> file = File();
    ASSERT_EQ(3u, file.size());
    EXPECT_EQ("první", file[0].text);
    EXPECT_EQ("druhá", file[1].text);
    EXPECT_EQ("třetí a dopsana", file[2].text);
    EXPECT_EQ(0u, boxes.Count()) << boxes.Summary();
}

INSTANTIATE_TEST_SUITE_P(ExitOrLogOff, EndingSaveTest, ::testing::Values("exit", "log-off"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param) == "exit" ? "Exit" : "LogOff";
                         });

class ShutdownSaveTest : public DataFileTest {
protected:
    // A running program whose notes.bin cannot be replaced.
    void StartWithUnwritableFile()
    {
        StartProgram();
        AddPackedNote(100, 50, "abc");
        AddExpandedNote("rozepsaná");
        ASSERT_TRUE(WriteFileBytes(DataPath(), EXAMPLE_BYTES));
        ASSERT_TRUE(SetFileAttributesA(DataPath().c_str(), FILE_ATTRIBUTE_READONLY));
        boxes.Clear();
    }
    void TearDown() override
    {
        SetFileAttributesA(DataPath().c_str(), FILE_ATTRIBUTE_NORMAL);
        DataFileTest::TearDown();
    }
};

const char KEEP_QUESTION[] = "Memovky se nepodařilo uložit.\nPřesto ukončit program?";

TEST_F(ShutdownSaveTest, AnswerNoAfterAFailedSaveKeepsEverythingRunning)
{
    StartWithUnwritableFile();
    HWND main = g_hMainWnd;
    HMENU trayMenu = g_hTrayMenu, markMenu = g_hMarkMenu;
    std::vector<HWND> notes = { Notes.items[0].hwnd, Notes.items[1].hwnd };
    boxes.QueueAnswer(IDOK);
    boxes.QueueAnswer(IDNO);
    SendMessageA(main, WM_COMMAND, IDM_EXIT, 0);
    PumpPending();

    ASSERT_EQ(2u, boxes.Count()) << boxes.Summary();
    EXPECT_EQ(SAVE_ERROR, boxes.Boxes()[0].text);
    EXPECT_EQ(KEEP_QUESTION, boxes.Boxes()[1].text);
    EXPECT_EQ(static_cast<UINT>(MB_YESNO | MB_ICONQUESTION), boxes.Boxes()[1].flags & (MB_TYPEMASK | MB_ICONMASK));
    EXPECT_TRUE(IsWindow(main)) << "main window destroyed";
    EXPECT_EQ(main, g_hMainWnd);
    ASSERT_EQ(2, Notes.count);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(notes[i], Notes.items[i].hwnd);
        EXPECT_TRUE(IsWindowVisible(notes[i]));
    }
    EXPECT_EQ("rozepsaná", WindowText(Notes.items[1].hwndEdit));
    EXPECT_TRUE(TrayIconPresent(main)) << "tray icon removed";
    EXPECT_TRUE(IsMenu(trayMenu));
    EXPECT_EQ(trayMenu, g_hTrayMenu);
    EXPECT_TRUE(IsMenu(markMenu));
    MSG quit;
    EXPECT_FALSE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "quit was posted";
    EXPECT_EQ(EXAMPLE_BYTES, Saved());

    // The program still works: once the file can be written, the end goes through.
    SetFileAttributesA(DataPath().c_str(), FILE_ATTRIBUTE_NORMAL);
    boxes.Clear();
    SendMessageA(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(0u, boxes.Count()) << boxes.Summary();
    EXPECT_FALSE(IsWindow(main));
    EXPECT_EQ(2u, DecodeNotes(Saved().data(), Saved().size()).notes.size());
}

TEST_F(ShutdownSaveTest, AnswerYesAfterAFailedSaveEndsTheProgram)
{
    StartWithUnwritableFile();
    HWND main = g_hMainWnd;
    std::vector<HWND> notes = { Notes.items[0].hwnd, Notes.items[1].hwnd };
    boxes.QueueAnswer(IDOK);
    boxes.QueueAnswer(IDYES);
    SendMessageA(main, WM_CLOSE, 0, 0);

    ASSERT_EQ(2u, boxes.Count()) << boxes.Summary();
    EXPECT_EQ(KEEP_QUESTION, boxes.Boxes()[1].text);
    EXPECT_FALSE(IsWindow(main));
    for (HWND note : notes)
        EXPECT_FALSE(IsWindow(note));
    EXPECT_EQ(0, Notes.count);
    EXPECT_FALSE(TrayIconPresent(main));
    MSG quit;
    EXPECT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "no quit message";
    EXPECT_EQ(EXAMPLE_BYTES, Saved());
}

// Log-off: the notes are saved, nobody is asked, and the answer is always yes.
TEST_F(ShutdownSaveTest, EndOfSessionSavesWithoutAskingAndNeverRefuses)
{
    StartWithUnwritableFile();
    EXPECT_EQ(TRUE, SendMessageA(g_hMainWnd, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF));
    ASSERT_EQ(1u, boxes.Count()) << boxes.Summary();
    EXPECT_EQ(SAVE_ERROR, boxes.Boxes()[0].text);
    EXPECT_EQ(2, Notes.count) << "log-off must not destroy notes";
    EXPECT_TRUE(IsWindow(g_hMainWnd));

    SetFileAttributesA(DataPath().c_str(), FILE_ATTRIBUTE_NORMAL);
    boxes.Clear();
    EXPECT_EQ(TRUE, SendMessageA(g_hMainWnd, WM_QUERYENDSESSION, 0, 0));
    EXPECT_EQ(0u, boxes.Count()) << boxes.Summary();
    EXPECT_EQ(2u, DecodeNotes(Saved().data(), Saved().size()).notes.size());
    EXPECT_TRUE(TrayIconPresent(g_hMainWnd));
}

} // namespace
