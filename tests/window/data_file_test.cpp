// notes.bin as the program writes and reads it: exact bytes, positions taken from the windows,
// saves that fail without harming the old file, locked, damaged and foreign files.
#include "app/system_calls.h"
#include "app/app.h"
#include "notes/note_window.h"
#include "notes/preview.h"
#include "res/resource.h"
#include "tests/window/data_file_fixture.h"
#include "tests/support/poll.h"
#include <functional>
#include <memory>

namespace {

TEST_F(DataFileTest, OnePackedNoteIsSavedAsTheThirtyEightByteExample)
{
    StartWindowsOnly();
    HWND note = AddPackedNote(100, 50, "abc");
    SetNoteColor(note, 255);
    SetNoteTime(note, { 2026, 12, 6, 14, 5 });
    EXPECT_EQ(1, SaveNotes());
    EXPECT_EQ(EXAMPLE_BYTES, Plain(Saved()));
    EXPECT_EQ(std::vector<std::string>{ "notes.bin" }, FolderEntries(folder.Path())) << "temporary file left";

    // The save command of the main window writes the same file.
    DeleteFileA(DataPath().c_str());
    SendMessageA(g_hMainWnd, WM_COMMAND, IDM_SAVE, 0);
    EXPECT_EQ(EXAMPLE_BYTES, Plain(Saved()));
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

    // Untouched, nothing is written at exit; the save command writes the same, only without the
    // name and with the state of now.
    const std::vector<uint8_t> read = Saved();
    EXPECT_EQ(1, SaveNotes());
    EXPECT_EQ(read, Saved());
    for (StoredNote& note : file) {
        note.name.clear();
        note.state = NOTE_PACKED;
        note.x = note.x ? note.x : 10;
        note.y = note.y ? note.y : 10;
    }
    SendMessageA(g_hMainWnd, WM_COMMAND, IDM_SAVE, 0);
    EXPECT_EQ(EncodeNotes(file), Plain(Saved()));
}

// Every note's text comes back exactly, also into the preview; the text field holds what an ANSI
// read of the edit box gives, and the exact text rides beside it only where that is not the text.
TEST_F(DataFileTest, ExactTextsAreCarriedInTheNameFieldAndComeBack)
{
    StartWindowsOnly();
    const std::wstring texts[] = { L"Příliš žluťoučký → ✓ Привет 😀 “ok” €", L"jen česky", L"Ελληνικά\r\nдва" };
    for (const std::wstring& text : texts)
        ASSERT_EQ(1, AddNoteW(100, 50, text.c_str(), NOTE_PACKED));
    ASSERT_EQ(1, SaveNotes());
    const DecodedNotes decoded = DecodeNotes(Saved().data(), Saved().size());
    ASSERT_EQ(3u, decoded.notes.size());
    DestroyAllNotes();
    ASSERT_EQ(1, LoadNotes());
    ASSERT_EQ(3, Notes.count);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(WindowText(Notes.items[i].hwndEdit), decoded.notes[i].text) << i;
        EXPECT_EQ(i != 1, !decoded.notes[i].extras.utf8.empty()) << i;
        ASSERT_EQ(1, ShowPopup(Notes.items[i].hwnd));
        EXPECT_STREQ(texts[i].c_str(), PreviewText);
        HidePopup();
    }
    EXPECT_EQ(0u, boxes.Count()) << boxes.Summary();
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
    EXPECT_EQ(4u + 31 + 31 + 4, Plain(Saved()).size()) << "an empty text has no bytes";
    EXPECT_EQ(-1000, decoded.notes[1].x);
    EXPECT_EQ(-5, decoded.notes[1].y);
    const std::vector<uint8_t> bytes = Plain(Saved());
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

class WriteFailureTest : public DataFileTest, public ::testing::WithParamInterface<int> {};

TEST_P(WriteFailureTest, FailedWriteKeepsTheOldFileAndLeavesNoTemporaryFile)
{
    StartWindowsOnly();
    AddPackedNote(10, 20, "nová memovka s delším textem, než je deset bajtů");
    const std::vector<uint8_t> old = EncodeNotes({ Stored(5, 6, "stará") });
    ReadAtStart(old);
    WritesBeforeFull = GetParam();
    g_sys.WriteFile = GetParam() < 0 ? WriteNothing : WriteUntilDiskFull;
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

using FlushOrReplaceFailureTest = DataFileTest;

// A temporary file that may not be whole on disk holds nothing worth keeping.
TEST_F(FlushOrReplaceFailureTest, FailedFlushKeepsTheOldFileAndLeavesNoTemporaryFile)
{
    StartWindowsOnly();
    AddPackedNote(10, 20, "nová");
    const std::vector<uint8_t> old = EncodeNotes({ Stored(5, 6, "stará") });
    ReadAtStart(old);
    g_sys.FlushFileBuffers = FlushFails;
    ExpectFailedSave(old);
}

// A replace that fails leaves the old file in place and the new notes, whole, beside it until a
// later save puts newer ones in place: should the program end now, the next start keeps them.
TEST_F(FlushOrReplaceFailureTest, FailedReplaceKeepsTheOldFileAndTheNewNotesBesideIt)
{
    StartWindowsOnly();
    HWND note = AddPackedNote(10, 20, "nová");
    const std::vector<uint8_t> old = EncodeNotes({ Stored(5, 6, "stará") });
    ReadAtStart(old);
    g_sys.ReplaceFileA = ReplaceFails;
    EXPECT_EQ(0, SaveNotes());
    ASSERT_EQ(1u, boxes.Count()) << boxes.Summary();
    EXPECT_EQ(SAVE_ERROR, boxes.Boxes()[0].text);
    EXPECT_EQ(old, Saved());
    ASSERT_EQ(1u, FilesBeside().size()) << "expected the new notes beside notes.bin, and nothing else";
    ASSERT_EQ(1u, TemporaryFiles().size());
    const std::vector<uint8_t> waiting = ReadFileBytes(TemporaryFiles()[0]);
    ASSERT_EQ(1u, DecodeNotes(waiting.data(), waiting.size()).notes.size());
    EXPECT_EQ("nová", DecodeNotes(waiting.data(), waiting.size()).notes[0].text);

    // A second failure leaves only the newer notes; the first save that succeeds, nothing.
    SetNoteColor(note, RGB(0, 208, 0));
    EXPECT_EQ(0, SaveNotes());
    ASSERT_EQ(1u, FilesBeside().size());
    const std::vector<uint8_t> newer = ReadFileBytes(TemporaryFiles()[0]);
    EXPECT_EQ(RGB(0, 208, 0), DecodeNotes(newer.data(), newer.size()).notes.at(0).color);
    g_sys.ReplaceFileA = ReplaceFileA;
    boxes.Clear();
    EXPECT_EQ(1, SaveNotes()) << boxes.Summary();
    EXPECT_EQ(Unversioned(newer), Unversioned(Saved()));
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

// Another program holds notes.bin open at start-up (share mode 0) for longer than the retry: one
// box and no notes. The file is not known, so it is not replaced while it is still held, and the
// first save after it is let go keeps it aside before writing the notes of this run.
TEST_F(DataFileTest, FileLockedAtStartIsReportedAndKeptAsideByTheFirstSaveThatCanReplaceIt)
{
    StartWindowsOnly();
    ASSERT_TRUE(WriteFileBytes(DataPath(), EXAMPLE_BYTES));
    {
        FileHolder holder(DataPath(), TEST_RETRY_MS * 5);
        ASSERT_TRUE(holder.Holds());
        const DWORD start = GetTickCount();
        EXPECT_EQ(0, LoadNotes());
        EXPECT_GE(GetTickCount() - start, TEST_RETRY_MS - 100) << "gave up before the retry time";
        EXPECT_EQ(0, Notes.count);
        ASSERT_EQ(1u, boxes.Count()) << boxes.Summary();
        EXPECT_EQ(LOAD_ERROR, boxes.Boxes()[0].text);
        EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONERROR), boxes.Boxes()[0].flags & (MB_TYPEMASK | MB_ICONMASK));
        AddPackedNote(10, 20, "nová");
        boxes.Clear();
        EXPECT_EQ(0, SaveNotes()) << "saved while the file was held";
    }
    ASSERT_EQ(1u, boxes.Count()) << boxes.Summary();
    EXPECT_EQ(SAVE_ERROR, boxes.Boxes()[0].text);
    EXPECT_EQ(EXAMPLE_BYTES, Saved());
    EXPECT_EQ(std::vector<std::string>{ "notes.bin" }, FolderEntries(folder.Path()));
    boxes.Clear();
    EXPECT_EQ(1, SaveNotes()) << boxes.Summary();
    const std::vector<std::string> kept = FilesBeside();
    ASSERT_EQ(1u, kept.size());
    EXPECT_EQ(EXAMPLE_BYTES, ReadFileBytes(kept[0])) << "the file that could not be read is lost";
    ASSERT_EQ(1u, boxes.Count()) << boxes.Summary();
    EXPECT_EQ(KEPT_TEXT + kept[0], boxes.Boxes()[0].text);
    ASSERT_EQ(1u, DecodeNotes(Saved().data(), Saved().size()).notes.size());
    EXPECT_EQ("nová", DecodeNotes(Saved().data(), Saved().size()).notes[0].text);
}

// ReplaceFile that meets a file held for a moment twice, then succeeds.
int ReplaceHolds;
BOOL WINAPI ReplaceHeldTwice(LPCSTR replaced, LPCSTR replacement, LPCSTR backup, DWORD flags, LPVOID, LPVOID)
{
    if (ReplaceHolds-- > 0) {
        SetLastError(ERROR_UNABLE_TO_REMOVE_REPLACED);
        return FALSE;
    }
    return ReplaceFileA(replaced, replacement, backup, flags, nullptr, nullptr);
}
int WritesSeen;
BOOL WINAPI CountedWrite(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED overlapped)
{
    ++WritesSeen;
    return WriteFile(file, data, size, written, overlapped);
}

// A lock let go within the retry only delays the start or a save, and only its step is tried
// again; a reader that shares does not even delay. Held longer, a save fails as any other and
// leaves the file as it was.
TEST_F(DataFileTest, FileHeldForAMomentOnlyDelaysLoadsAndSaves)
{
    const DWORD moment = TEST_RETRY_MS / 2;
    StartWindowsOnly();
    ASSERT_TRUE(WriteFileBytes(DataPath(), EXAMPLE_BYTES));
    {
        FileHolder holder(DataPath(), moment);
        ASSERT_TRUE(holder.Holds());
        const DWORD start = GetTickCount();
        EXPECT_EQ(1, LoadNotes());
        EXPECT_GE(GetTickCount() - start, moment - 50) << "the lock was not met";
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
    EXPECT_LT(GetTickCount() - again, moment) << "waited for a reader that shares";
    CloseHandle(reader);
    EXPECT_EQ(1, Notes.count);
    EXPECT_EQ(0u, boxes.Count()) << boxes.Summary();

    // With the file loaded, saves replace it as usual, also one that meets a lock.
    SendMessageA(g_hMainWnd, WM_COMMAND, IDM_SAVE, 0);
    EXPECT_EQ(EXAMPLE_BYTES, Plain(Saved()));
    EXPECT_EQ(0u, boxes.Count()) << boxes.Summary();
    SetNoteColor(Notes.items[0].hwnd, RGB(0, 0, 255));
    {
        FileHolder holder(DataPath(), moment);
        ASSERT_TRUE(holder.Holds());
        const DWORD start = GetTickCount();
        EXPECT_EQ(1, SaveNotes()) << boxes.Summary();
        EXPECT_GE(GetTickCount() - start, moment - 50) << "the lock was not met";
    }
    ASSERT_EQ(1u, DecodeNotes(Saved().data(), Saved().size()).notes.size());
    EXPECT_EQ(RGB(0, 0, 255), DecodeNotes(Saved().data(), Saved().size()).notes[0].color);
    EXPECT_EQ(0u, boxes.Count()) << boxes.Summary();

    // The replace met the hold: it alone is tried again, the notes are written once.
    SetNoteColor(Notes.items[0].hwnd, RGB(255, 0, 0));
    ReplaceHolds = 2;
    WritesSeen = 0;
    g_sys.ReplaceFileA = ReplaceHeldTwice;
    g_sys.WriteFile = CountedWrite;
    EXPECT_EQ(1, SaveNotes()) << boxes.Summary();
    g_sys.ReplaceFileA = ReplaceFileA;
    g_sys.WriteFile = WriteFile;
    EXPECT_EQ(-1, ReplaceHolds) << "the replace was not tried again";
    EXPECT_EQ(1, WritesSeen) << "the whole save was repeated";
    EXPECT_EQ(RGB(255, 0, 0), DecodeNotes(Saved().data(), Saved().size()).notes.at(0).color);
    EXPECT_EQ(std::vector<std::string>{ "notes.bin" }, FolderEntries(folder.Path()));

    const std::vector<uint8_t> before = Saved();
    SetNoteColor(Notes.items[0].hwnd, RGB(0, 208, 0));
    {
        FileHolder holder(DataPath(), TEST_RETRY_MS + 400);
        ASSERT_TRUE(holder.Holds());
        EXPECT_EQ(0, SaveNotes());
    }
    ASSERT_EQ(1u, boxes.Count()) << boxes.Summary();
    EXPECT_EQ(SAVE_ERROR, boxes.Boxes()[0].text);
    EXPECT_EQ(before, Saved()) << "the held file was changed";
    EXPECT_EQ(std::vector<std::string>{ "notes.bin" }, FolderEntries(folder.Path()));
}

// Another program (a scanner, a sync client) opens a file of the program's own for a moment:
// Windows answers a rename over it or a deletion of it with ERROR_ACCESS_DENIED meanwhile. Each
// stand-in refuses its call so for TEST_RETRY_MS / 2 from the first refusal, then does it.
DWORD RefusedSince;
bool Refusing()
{
    if (!RefusedSince)
        RefusedSince = GetTickCount();
    return GetTickCount() - RefusedSince < TEST_RETRY_MS / 2;
}
BOOL Refuse()
{
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
}
BOOL WINAPI DeleteOfTemporaryRefused(LPCSTR path)
{
    const std::string name = std::string(path).substr(FolderPartOf(path).size());
    return IsTemporaryName(name) && Refusing() ? Refuse() : DeleteFileA(path);
}
BOOL WINAPI MoveIntoPlaceRefused(LPCSTR from, LPCSTR to, DWORD flags)
{
    return std::string(to).substr(FolderPartOf(to).size()) == "notes.bin" && Refusing() ? Refuse()
                                                                                        : MoveFileExA(from, to, flags);
}
// The reserved backup name is open in a scanner: the replace is refused once.
BOOL WINAPI ReplaceRefusedOnce(LPCSTR replaced, LPCSTR replacement, LPCSTR backup, DWORD flags, LPVOID, LPVOID)
{
    if (!RefusedSince) {
        RefusedSince = GetTickCount();
        return Refuse();
    }
    return ReplaceFileA(replaced, replacement, backup, flags, nullptr, nullptr);
}

TEST_F(DataFileTest, OwnFilesRefusedForAMomentOnlyDelayTheSave)
{
    StartWindowsOnly();
    const std::vector<uint8_t> old = EncodeNotes({ Stored(5, 6, "stará") });
    const struct {
        const char* what;
        bool oldFile;
        std::function<void()> standIn;
    } cases[] = {
        { "the deletion of the replaced file", true, [] { g_sys.DeleteFileA = DeleteOfTemporaryRefused; } },
        { "the move into the empty place", false, [] { g_sys.MoveFileExA = MoveIntoPlaceRefused; } },
        { "the replace, over the reserved name of the old file", true, [] { g_sys.ReplaceFileA = ReplaceRefusedOnce; } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        DestroyAllNotes();
        folder.Empty();
        ComposeDataFile();
        if (c.oldFile)
            ReadAtStart(old);
        AddPackedNote(10, 20, "nová");
        RefusedSince = 0;
        c.standIn();
        EXPECT_EQ(1, SaveNotes()) << boxes.Summary();
        g_sys.DeleteFileA = DeleteFileA;
        g_sys.MoveFileExA = MoveFileExA;
        g_sys.ReplaceFileA = ReplaceFileA;
        EXPECT_NE(0u, RefusedSince) << "the stand-in was not met";
        ASSERT_EQ(1u, DecodeNotes(Saved().data(), Saved().size()).notes.size());
        EXPECT_EQ("nová", DecodeNotes(Saved().data(), Saved().size()).notes[0].text);
        EXPECT_EQ(std::vector<std::string>{ "notes.bin" }, FolderEntries(folder.Path()));
        EXPECT_EQ(0u, boxes.Count()) << boxes.Summary();
    }
}

// Windows may stamp a new time on the new notes.bin as its handle closes or as it is put in
// place, and a scanner may hold the old one the moment it has been moved aside: a file this run
// wrote is still known by its bytes, read once the scanner lets go, and never kept aside.
std::unique_ptr<FileHolder> Scanner;
BOOL WINAPI ReplaceStampsAndMeetsAScanner(LPCSTR replaced, LPCSTR replacement, LPCSTR backup, DWORD flags, LPVOID, LPVOID)
{
    if (!ReplaceFileA(replaced, replacement, backup, flags, nullptr, nullptr))
        return FALSE;
    HANDLE file = CreateFileA(replaced, FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER time = { { now.dwLowDateTime, now.dwHighDateTime } };
    time.QuadPart += 10000000;
    const FILETIME later = { time.LowPart, time.HighPart };
    SetFileTime(file, nullptr, nullptr, &later);
    CloseHandle(file);
    Scanner.reset(new FileHolder(backup, TEST_RETRY_MS / 2));
    return TRUE;
}

TEST_F(DataFileTest, FileThisRunWroteIsKnownByItsBytesWhenItsTimeChangedAndAScannerHoldsIt)
{
    StartWindowsOnly();
    HWND note = AddPackedNote(10, 20, "nová");
    ReadAtStart(EXAMPLE_BYTES);
    g_sys.ReplaceFileA = ReplaceStampsAndMeetsAScanner;
    for (COLORREF colour : { RGB(0, 0, 255), RGB(0, 208, 0), RGB(255, 0, 0) }) {
        SetNoteColor(note, colour);
        EXPECT_EQ(1, SaveNotes()) << boxes.Summary();
        EXPECT_EQ(colour, DecodeNotes(Saved().data(), Saved().size()).notes.at(0).color);
        EXPECT_EQ(std::vector<std::string>{ "notes.bin" }, FolderEntries(folder.Path())) << "kept aside, or left";
    }
    g_sys.ReplaceFileA = ReplaceFileA;
    Scanner.reset();
    EXPECT_EQ(0u, boxes.Count()) << boxes.Summary();
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
    EXPECT_EQ(EXAMPLE_BYTES, Plain(Saved()));
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
    SettleSaves();
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
    SettleSaves();
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

    // The save command writes the file whole again.
    EXPECT_EQ(1, SaveNotes(SaveKind::COMMAND, true));
    EXPECT_EQ(EXAMPLE_BYTES, Plain(Saved()));
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
    EXPECT_EQ(EXAMPLE_BYTES, Plain(Saved())) << "a 249-character folder still has room";

    lstrcpyA(Settings.DataFolder, padded(250).c_str());
    ComposeDataFile();
    EXPECT_STREQ("", Settings.DataFile);
    AddPackedNote(1, 2, "nová");
    ExpectFailedSave(Saved());
    DestroyAllNotes();
    EXPECT_EQ(0, LoadNotes());
    EXPECT_EQ(0, Notes.count);

    lstrcpyA(Settings.DataFolder, padded(259).c_str());
    ComposeDataFile();
    EXPECT_STREQ("", Settings.DataFile);
}

} // namespace
