// What a save may replace, and what it leaves when it is cut short: files this run does not know
// are kept aside under names of their own, a scanner that holds the new file loses nothing, and a
// save stopped at any step by a power cut leaves notes that the next start finds.
#include "app/system_calls.h"
#include "app/tray.h"
#include "notes/autosave.h"
#include "res/resource.h"
#include "tests/window/data_file_fixture.h"
#include "tests/support/poll.h"
#include <algorithm>
#include <cstdlib>
#include <memory>

namespace {

// The path a box names after its text, where it starts with that text.
std::string NamedAfter(const std::string& boxText, const std::string& text)
{
    return boxText.compare(0, text.size(), text) == 0 ? boxText.substr(text.size()) : std::string();
}

// Contents of files, compared without regard to their order.
std::vector<std::vector<uint8_t>> ContentsOf(const std::vector<std::string>& paths)
{
    std::vector<std::vector<uint8_t>> contents;
    for (const std::string& path : paths)
        contents.push_back(ReadFileBytes(path));
    std::sort(contents.begin(), contents.end());
    return contents;
}

int ReallocsBeforeFailure;
void* ReallocThenFail(void* block, size_t bytes)
{
    return ReallocsBeforeFailure-- > 0 ? std::realloc(block, bytes) : nullptr;
}

// The temporary names a save tries, from notes~0042.tmp on.
unsigned TemporaryNumber;
unsigned NumbersFrom42()
{
    return TemporaryNumber++;
}

// Another program changes notes.bin the moment before the save replaces it (after the save has
// looked for changes made elsewhere), and may hide it.
std::vector<uint8_t> ChangeBytes;
bool ChangeHides;
BOOL WINAPI ReplaceAfterAChange(LPCSTR replaced, LPCSTR replacement, LPCSTR backup, DWORD flags, LPVOID, LPVOID)
{
    if (!ChangeBytes.empty()) {
        WriteFileBytes(replaced, ChangeBytes);
        if (ChangeHides)
            SetFileAttributesA(replaced, FILE_ATTRIBUTE_HIDDEN);
        ChangeBytes.clear();
    }
    return ReplaceFileA(replaced, replacement, backup, flags, nullptr, nullptr);
}

// Another program puts a notes.bin in place the moment before the save moves its new file into
// the empty place.
std::string AppearingFile;
std::vector<uint8_t> AppearingBytes;
BOOL WINAPI FileAppearsBeforeTheMove(LPCSTR from, LPCSTR to, DWORD flags)
{
    if (AppearingFile == to && !FileExists(to)) {
        WriteFileBytes(to, AppearingBytes);
        AppearingFile.clear();
    }
    return MoveFileExA(from, to, flags);
}

class KeptFileTest : public DataFileTest {
protected:
    void TearDown() override
    {
        holder.reset();
        DataFileTest::TearDown();
    }
    // A new run on an empty data folder, which may be named the long way.
    void StartRun(const std::string& dataFolder)
    {
        DestroyAllNotes();
        folder.Empty();
        lstrcpyA(Settings.DataFolder, dataFolder.c_str());
        ComposeDataFile();
        boxes.Clear();
        tray.Clear();
    }
    // The test folder named by a path of length characters (Windows folds repeated backslashes).
    std::string LongName(size_t length) const
    {
        return folder.Path() + std::string(length - folder.Path().size(), '\\');
    }

    std::unique_ptr<FileHolder> holder;
};

// A save replaces notes.bin only when it holds what this run last read or wrote, or when there
// was none and still is none. Any other file is kept beside it, and the first file kept in a run
// is announced by name: by a balloon where a save nobody asked for kept it; the notes of the run
// are then written as always. What an unfinished save left is dealt with at the start, with a
// box: put in place where notes.bin is missing, kept otherwise, left alone while another copy of
// the program still writes it. Nobody else's file is ever overwritten.
TEST_F(KeptFileTest, FileThisRunDoesNotKnowIsKeptAsideBeforeTheSave)
{
    StartWindowsOnly();
    ASSERT_EQ(1, AddTrayIcon());
    const std::vector<uint8_t> mine = EncodeNotes({ Stored(20, 30, "moje"), Stored(40, 50, "druhá") });
    const std::vector<uint8_t> theirs = EncodeNotes({ Stored(60, 70, "z jiného počítače") });
    const std::vector<uint8_t> damaged(mine.begin(), mine.end() - 3);
    std::vector<uint8_t> trailing = mine;
    trailing.push_back(0xEE);
    // The program's own name field, its chunk running past the field's end.
    StoredNote spoilt = Stored(40, 50, "??????");
    spoilt.name = std::string(NAME_MARKER, NAME_MARKER_SIZE) + "UTF8" + std::string("\x7F\0\0\0", 4) + "x";
    const std::vector<uint8_t> damagedExtras = EncodeNotes({ Stored(20, 30, "moje"), spoilt });
    std::vector<uint8_t> longer = mine;
    longer.insert(longer.end(), theirs.begin(), theirs.end());
    std::vector<uint8_t> sameSize = mine;
    sameSize[sameSize.size() - 1] ^= 0x20;
    auto file = [&](const std::vector<uint8_t>& bytes) {
        return [&, bytes] { ASSERT_TRUE(WriteFileBytes(DataPath(), bytes)); };
    };
    auto leftover = [&](const char* name, const std::vector<uint8_t>& bytes) {
        ASSERT_TRUE(WriteFileBytes(folder.File(name), bytes));
    };
    auto inTheMoment = [&](const std::vector<uint8_t>& bytes, bool hides) {
        return [&, bytes, hides] {
            ChangeBytes = bytes;
            ChangeHides = hides;
            g_sys.ReplaceFileA = ReplaceAfterAChange;
        };
    };
    struct Case {
        const char* what;
        std::function<void()> atStart;      // the data folder when the run starts
        std::function<void()> meanwhile;    // another program, after the start and before the save
        std::vector<std::vector<uint8_t>> kept;
        const char* announced;              // the box's text before the first kept file's name
        size_t loaded;                      // notes made at the start
        const char* startBox;               // a box shown at the start, before any kept file
        size_t folderLength;                // 0: the test folder as it is
        const char* leftAlone;              // another program's file, there at the end with theirs
        bool merged;                        // theirs is a whole file: its note is shown and saved
    };
    const Case cases[] = {
        { "unchanged", file(mine), nullptr, {}, nullptr, 2, nullptr, 0 },
        { "no file, and still none", nullptr, nullptr, {}, nullptr, 0, nullptr, 0 },
        { "appeared after a start without a file", nullptr, file(theirs), {}, nullptr, 0, nullptr, 0, nullptr, true },
        { "damaged", file(damaged), nullptr, { damaged }, KEPT_TEXT, 1, nullptr, 0 },
        { "bytes after the last record", file(trailing), nullptr, { trailing }, KEPT_TEXT, 2, nullptr, 0 },
        { "a damaged exact text", file(damagedExtras), nullptr, { damagedExtras }, KEPT_TEXT, 2, nullptr, 0 },
        { "cut at the size limit", [&] { file(longer)(); g_maxDataFileSize = mine.size(); }, nullptr, { longer },
          KEPT_TEXT, 2, nullptr, 0 },
        { "changed by another program, and hidden", file(mine),
          [&] {
              file(theirs)();
              SetFileAttributesA(DataPath().c_str(), FILE_ATTRIBUTE_HIDDEN);
          },
          {}, nullptr, 2, nullptr, 0, nullptr, true },
        { "changed by another program in the moment of the save, and hidden", file(mine), inTheMoment(theirs, true),
          { theirs }, KEPT_TEXT, 2, nullptr, 0 },
        { "a note whose window could not be made", [&] { file(mine)(); ReallocsBeforeFailure = 1; g_sys.Realloc = ReallocThenFail; },
          nullptr, { mine }, KEPT_TEXT, 1, "Nedostatek paměti pro další memovku", 0 },
        { "an unfinished save's file alone", [&] { leftover("notes~1A2B.tmp", mine); }, nullptr, {}, nullptr, 2, nullptr, 0 },
        { "an unfinished save's file beside notes.bin", [&] { file(mine)(); leftover("notes~1A2B.tmp", theirs); }, nullptr,
          { theirs }, LEFTOVER_TEXT, 2, nullptr, 0 },
        { "two of them, one of the older version", [&] {
              file(mine)();
              leftover("notes~00FF.tmp", theirs);
              leftover("notes.tmp", trailing);
          },
          nullptr, { theirs, trailing }, LEFTOVER_TEXT, 2, nullptr, 0 },
        { "unreadable at the start, readable later", [&] {
              file(theirs)();
              holder.reset(new FileHolder(DataPath(), TEST_RETRY_MS + 1000));
          },
          [&] { holder.reset(); }, {}, nullptr, 0, LOAD_ERROR, 0, nullptr, true },
        { "changed elsewhere in a folder too long for a dated name", file(mine), inTheMoment(theirs, false), { theirs },
          KEPT_TEXT, 2, nullptr, 249 },
        { "changed elsewhere to other bytes of the same size", file(mine), inTheMoment(sameSize, false), { sameSize },
          KEPT_TEXT, 2, nullptr, 0 },
        { "an unfinished save's file that another copy still writes", [&] {
              file(mine)();
              leftover("notes~1A2B.tmp", theirs);
              holder.reset(new FileHolder(folder.File("notes~1A2B.tmp"), TEST_RETRY_MS * 3 / 4));
          },
          [&] { holder.reset(); }, {}, nullptr, 2, nullptr, 0, "notes~1A2B.tmp" },
        { "another program's file under the temporary name tried first", file(mine), [&] {
              leftover("notes~0042.tmp", theirs);
              TemporaryNumber = 0x42;
              g_sys.TemporaryNumber = NumbersFrom42;
          },
          {}, nullptr, 2, nullptr, 0, "notes~0042.tmp" },
        { "a notes.bin that appears the moment before the new one is moved in", nullptr, [&] {
              AppearingFile = DataPath();
              AppearingBytes = theirs;
              g_sys.MoveFileExA = FileAppearsBeforeTheMove;
          },
          { theirs }, KEPT_TEXT, 0, nullptr, 0 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        StartRun(c.folderLength ? LongName(c.folderLength) : folder.Path());
        if (c.atStart)
            c.atStart();
        LoadNotes();
        g_maxDataFileSize = MAX_DATA_FILE_SIZE;
        g_sys.Realloc = std::realloc;
        EXPECT_EQ(c.loaded, static_cast<size_t>(Notes.count));
        if (!Notes.count)
            AddPackedNote(80, 90, "nová");
        if (c.meanwhile)
            c.meanwhile();

        SendMessageA(Notes.items[0].hwnd, WM_COMMAND, IDM_GREEN, 0);
        SettleSaves();
        g_sys.TemporaryNumber = NextTemporaryNumber;
        g_sys.MoveFileExA = MoveFileExA;
        g_sys.ReplaceFileA = ReplaceFileA;
        const std::vector<StoredNote> saved = DecodeNotes(Saved().data(), Saved().size()).notes;
        ASSERT_EQ(static_cast<size_t>(Notes.count), saved.size()) << "the run's notes were not written";
        auto holds = [&](auto what) { return std::any_of(saved.begin(), saved.end(), what); };
        EXPECT_TRUE(holds([](const StoredNote& note) { return note.color == RGB(0, 208, 0); })) << "the change was not written";
        EXPECT_EQ(c.merged, holds([](const StoredNote& note) { return note.text == "z jiného počítače"; }))
            << "the other program's note is not shown and saved, or shown where it was kept";
        std::vector<std::string> beside = FilesBeside();
        if (c.leftAlone) {
            const auto alone = std::find(beside.begin(), beside.end(), folder.File(c.leftAlone));
            ASSERT_NE(beside.end(), alone) << c.leftAlone << " was taken";
            EXPECT_EQ(theirs, ReadFileBytes(*alone)) << c.leftAlone << " was overwritten";
            beside.erase(alone);
        }
        std::vector<std::vector<uint8_t>> expected = c.kept;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(expected, ContentsOf(beside)) << "not kept byte for byte, or something else left beside";
        for (const std::string& kept : beside)
            EXPECT_FALSE(GetFileAttributesA(kept.c_str()) & FILE_ATTRIBUTE_HIDDEN) << kept << " is hidden";

        std::vector<RecordedBox> shown = boxes.Boxes();
        if (c.startBox) {
            ASSERT_FALSE(shown.empty());
            EXPECT_EQ(c.startBox, shown[0].text);
            shown.erase(shown.begin());
        }
        if (!c.announced) {
            EXPECT_TRUE(shown.empty()) << boxes.Summary();
            EXPECT_TRUE(tray.Balloons().empty()) << tray.Summary();
            continue;
        }
        // At the start in a box; kept by a save that nobody asked for, in a balloon.
        std::string text;
        if (c.announced == LEFTOVER_TEXT) {
            ASSERT_EQ(1u, shown.size()) << boxes.Summary();
            EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONWARNING), shown[0].flags & (MB_TYPEMASK | MB_ICONMASK));
            EXPECT_TRUE(tray.Balloons().empty()) << tray.Summary();
            text = shown[0].text;
        } else {
            EXPECT_TRUE(shown.empty()) << "a box for a save nobody asked for: " << boxes.Summary();
            ASSERT_EQ(1u, tray.Balloons().size()) << tray.Summary();
            EXPECT_EQ(static_cast<DWORD>(NIIF_WARNING), tray.Balloons()[0].icon);
            text = tray.Balloons()[0].text;
        }
        // A balloon holds less than a box: a path too long for it is given as the name alone.
        std::string named = NamedAfter(text, c.announced);
        if (named.find('\\') == std::string::npos)
            named = FolderPartOf(Settings.DataFile) + named;
        EXPECT_TRUE(PathFits(named)) << named;
        EXPECT_TRUE(std::find(c.kept.begin(), c.kept.end(), ReadFileBytes(named)) != c.kept.end())
            << "no kept file named: " << text;
    }

    // Damaged elsewhere in the run of the last case: kept again, under another name that fits,
    // without a box or balloon, named in the icon's tip; a file this run wrote is never kept.
    const size_t before = FilesBeside().size();
    ASSERT_TRUE(WriteFileBytes(DataPath(), damaged));
    boxes.Clear();
    tray.Clear();
    SendMessageA(Notes.items[0].hwnd, WM_COMMAND, IDM_BLUE, 0);
    SettleSaves();
    EXPECT_EQ(0u, boxes.Count()) << boxes.Summary();
    EXPECT_TRUE(tray.Balloons().empty()) << tray.Summary();
    const std::vector<std::vector<uint8_t>> beside = ContentsOf(FilesBeside());
    ASSERT_EQ(before + 1, beside.size());
    EXPECT_EQ(1, std::count(beside.begin(), beside.end(), damaged)) << "the second change elsewhere was not kept";
    for (const std::string& kept : FilesBeside()) {
        if (ReadFileBytes(kept) == damaged) {
            EXPECT_NE(std::string::npos, tray.Tip().find(kept.substr(folder.Path().size() + 1))) << tray.Tip();
        }
    }
    SendMessageA(Notes.items[0].hwnd, WM_COMMAND, IDM_RED, 0);
    SettleSaves();
    EXPECT_EQ(before + 1, FilesBeside().size()) << "a file this run wrote was kept";
}

void WINAPI StoppedClock(LPSYSTEMTIME now)
{
    *now = { 2026, 12, 2, 8, 9, 5, 7, 0 };
}

// Files kept in one second never replace one another, and their names fit any data folder.
TEST_F(KeptFileTest, KeptNamesNeverReplaceAFileAndAlwaysFit)
{
    g_sys.GetLocalTime = StoppedClock;
    const std::vector<std::string> folders = { folder.Path(), LongName(240), LongName(249) };
    for (const std::string& dataFolder : folders) {
        SCOPED_TRACE(dataFolder.size());
        lstrcpyA(Settings.DataFolder, dataFolder.c_str());
        ComposeDataFile();
        std::vector<std::string> names(3);
        for (size_t i = 0; i < names.size(); ++i) {
            const std::string file = folder.File("k" + std::to_string(i));
            ASSERT_TRUE(WriteFileBytes(file, { static_cast<uint8_t>(i) }));
            ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS), KeepFileAside(file, Settings.DataFile, names[i]));
            EXPECT_TRUE(PathFits(names[i])) << names[i];
            EXPECT_EQ(std::vector<uint8_t>{ static_cast<uint8_t>(i) }, ReadFileBytes(names[i])) << names[i];
        }
        if (dataFolder == folder.Path()) {
            EXPECT_EQ(folder.File("notes-2026-12-08-09-05-07.bin"), names[0]);
            EXPECT_EQ(folder.File("notes-2026-12-08-09-05-07-2.bin"), names[1]);
            EXPECT_EQ(folder.File("notes-2026-12-08-09-05-07-3.bin"), names[2]);
        }
        folder.Empty();
    }
}

// A scanner that opens the new file the moment it is closed, sharing everything, so that the new
// file cannot be renamed until ScannerUntil (though it could be deleted). ReplaceFile meets it as
// the real call with a backup name does: the old file is the backup already (1177).
DWORD ScannerUntil, ScannerMs;
std::string Scanned;
BOOL WINAPI ReplaceMeetsTheScanner(LPCSTR replaced, LPCSTR replacement, LPCSTR backup, DWORD, LPVOID, LPVOID)
{
    Scanned = replacement;
    ScannerUntil = GetTickCount() + ScannerMs;
    if (!MoveFileExA(replaced, backup, MOVEFILE_REPLACE_EXISTING))
        return FALSE;
    SetLastError(ERROR_UNABLE_TO_MOVE_REPLACEMENT_2);
    return FALSE;
}
BOOL WINAPI MoveMeetsTheScanner(LPCSTR from, LPCSTR to, DWORD flags)
{
    if (Scanned == from && static_cast<LONG>(GetTickCount() - ScannerUntil) < 0) {
        SetLastError(ERROR_SHARING_VIOLATION);
        return FALSE;
    }
    return MoveFileExA(from, to, flags);
}

class ScannerTest : public DataFileTest {
protected:
    void SetUp() override
    {
        DataFileTest::SetUp();
        g_sys.ReplaceFileA = ReplaceMeetsTheScanner;
        g_sys.MoveFileExA = MoveMeetsTheScanner;
    }
};

// The new notes are moved into the empty place once the scanner lets go. While it holds them past
// the retry the save fails, and they stay beside the missing notes.bin, never deleted; the run
// then knows that notes.bin holds nothing of it, so even undoing the change writes again.
TEST_F(ScannerTest, NewFileIsMovedIntoPlaceAndNeverDeletedWhileItIsTheOnlyCopy)
{
    StartWindowsOnly();
    ReadAtStart(EXAMPLE_BYTES);
    HWND note = AddPackedNote(10, 20, "nová");
    ScannerMs = TEST_RETRY_MS / 2;
    ASSERT_EQ(1, SaveNotes()) << boxes.Summary();
    ASSERT_FALSE(Scanned.empty()) << "ReplaceFile was not called";
    const std::vector<uint8_t> first = Saved();
    ASSERT_EQ(1u, DecodeNotes(first.data(), first.size()).notes.size());
    EXPECT_EQ("nová", DecodeNotes(first.data(), first.size()).notes[0].text);
    EXPECT_EQ(std::vector<std::string>{ "notes.bin" }, FolderEntries(folder.Path()));
    EXPECT_EQ(0u, boxes.Count()) << boxes.Summary();

    ScannerMs = TEST_RETRY_MS + 1000;
    SendMessageA(note, WM_COMMAND, IDM_GREEN, 0);
    SettleSaves();
    EXPECT_EQ(0u, boxes.Count()) << boxes.Summary();
    ASSERT_EQ(1u, tray.Balloons().size()) << tray.Summary();
    EXPECT_EQ(SAVE_ERROR, tray.Balloons()[0].text);
    EXPECT_FALSE(FileExists(DataPath()));
    ASSERT_TRUE(FileExists(Scanned)) << "the only copy of the new notes was deleted";
    const std::vector<uint8_t> waiting = ReadFileBytes(Scanned);
    ASSERT_EQ(1u, DecodeNotes(waiting.data(), waiting.size()).notes.size());
    EXPECT_EQ(RGB(0, 208, 0), DecodeNotes(waiting.data(), waiting.size()).notes[0].color);
    EXPECT_EQ(ContentsOf({ Scanned }).size() + 1, FilesBeside().size()) << "the old file is gone too";

    // Undone once the scanner has let go: written, and nothing else is left.
    ASSERT_TRUE(PumpUntil([] { return static_cast<LONG>(GetTickCount() - ScannerUntil) >= 0; }));
    boxes.Clear();
    ASSERT_EQ(RGB(255, 0, 0), DecodeNotes(first.data(), first.size()).notes[0].color);
    SendMessageA(note, WM_COMMAND, IDM_RED, 0);
    SettleSaves();
    EXPECT_EQ(Unversioned(first), Unversioned(Saved())) << "the undone change was not written";
    EXPECT_EQ(std::vector<std::string>{ "notes.bin" }, FolderEntries(folder.Path()));
    EXPECT_EQ(0u, boxes.Count()) << boxes.Summary();
}

// Where a power cut stops a save. Each stand-in does the real call's part up to that point, lets
// go of the file as the system would, and stops the thread that saves.
enum class Cut { CREATED, WRITTEN_IN_PART, FLUSHED, OLD_REMOVED, NEW_RENAMED };
Cut CutAt;

void PowerCut(HANDLE file)
{
    if (file)
        CloseHandle(file);
    ExitThread(0);
}
BOOL WINAPI WriteUntilTheCut(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED overlapped)
{
    if (CutAt == Cut::CREATED)
        PowerCut(file);
    if (CutAt == Cut::WRITTEN_IN_PART) {
        WriteFile(file, data, size / 2, written, overlapped);
        PowerCut(file);
    }
    return WriteFile(file, data, size, written, overlapped);
}
BOOL WINAPI FlushUntilTheCut(HANDLE file)
{
    const BOOL done = FlushFileBuffers(file);
    if (CutAt == Cut::FLUSHED)
        PowerCut(file);
    return done;
}
// ReplaceFile with a backup name, as the system does it: the old file to the backup, the new one
// into its place.
BOOL WINAPI ReplaceUntilTheCut(LPCSTR replaced, LPCSTR replacement, LPCSTR backup, DWORD, LPVOID, LPVOID)
{
    if (!MoveFileExA(replaced, backup, MOVEFILE_REPLACE_EXISTING))
        return FALSE;
    if (CutAt == Cut::OLD_REMOVED)
        PowerCut(nullptr);
    if (!MoveFileExA(replacement, replaced, 0)) {
        SetLastError(ERROR_UNABLE_TO_MOVE_REPLACEMENT_2);
        return FALSE;
    }
    if (CutAt == Cut::NEW_RENAMED)
        PowerCut(nullptr);
    return TRUE;
}

DWORD WINAPI SaveUntilTheCut(void* bytes)
{
    WriteDataFile(*static_cast<const std::vector<uint8_t>*>(bytes));
    return 1;
}

using PowerCutTest = KeptFileTest;

// A save cut short at any step leaves the old or the new notes for the next start, and after one
// more save nothing that was whole on disk before the cut is lost: the notes loaded are in
// notes.bin with the change, every other whole file is kept aside byte for byte, and no
// temporary file is left.
TEST_F(PowerCutTest, SaveCutShortAtAnyStepLosesNothing)
{
    StartWindowsOnly();
    const std::vector<uint8_t> older = EncodeNotes({ Stored(20, 30, "stará"), Stored(40, 50, "druhá") });
    const std::vector<uint8_t> newer = EncodeNotes({ Stored(20, 30, "stará, dopsaná"), Stored(40, 50, "druhá") });
    const struct {
        const char* what;
        Cut cut;
        const std::vector<uint8_t>& loaded;
    } cases[] = {
        { "after the temporary file was created", Cut::CREATED, older },
        { "after part of it was written", Cut::WRITTEN_IN_PART, older },
        { "after the flush", Cut::FLUSHED, older },
        { "after the old file was removed", Cut::OLD_REMOVED, newer },
        { "after the new one was renamed", Cut::NEW_RENAMED, newer },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        StartRun(folder.Path());
        ReadAtStart(older);
        CutAt = c.cut;
        g_sys.WriteFile = WriteUntilTheCut;
        g_sys.FlushFileBuffers = FlushUntilTheCut;
        g_sys.ReplaceFileA = ReplaceUntilTheCut;
        HANDLE saving = CreateThread(nullptr, 0, SaveUntilTheCut, const_cast<std::vector<uint8_t>*>(&newer), 0, nullptr);
        ASSERT_NE(nullptr, saving);
        WaitForSingleObject(saving, INFINITE);
        DWORD code = 1;
        GetExitCodeThread(saving, &code);
        CloseHandle(saving);
        EXPECT_EQ(0u, code) << "the save was not cut short";
        g_sys.WriteFile = WriteFile;
        g_sys.FlushFileBuffers = FlushFileBuffers;
        g_sys.ReplaceFileA = ReplaceFileA;
        std::vector<std::vector<uint8_t>> whole;
        for (const std::string& name : FolderEntries(folder.Path())) {
            const std::vector<uint8_t> bytes = ReadFileBytes(folder.File(name));
            if (!bytes.empty() && DecodeNotes(bytes.data(), bytes.size()).whole)
                whole.push_back(bytes);
        }

        // The next start.
        DestroyAllNotes();
        ComposeDataFile();
        ASSERT_EQ(1, LoadNotes()) << "nothing loaded";
        const std::vector<StoredNote> loaded = DecodeNotes(c.loaded.data(), c.loaded.size()).notes;
        ASSERT_EQ(loaded.size(), static_cast<size_t>(Notes.count));
        for (int i = 0; i < Notes.count; ++i)
            EXPECT_EQ(loaded[i].text, WindowText(Notes.items[i].hwndEdit)) << i;
        SetNoteColor(Notes.items[1].hwnd, RGB(0, 208, 0));
        ASSERT_EQ(1, SaveNotes()) << boxes.Summary();

        std::vector<StoredNote> changed = loaded;
        changed[1].color = RGB(0, 208, 0);
        EXPECT_EQ(EncodeNotes(changed), Plain(Saved())) << "the loaded notes with the change are not in notes.bin";
        const std::vector<std::vector<uint8_t>> beside = ContentsOf(FilesBeside());
        for (const std::vector<uint8_t>& bytes : whole)
            EXPECT_TRUE(bytes == c.loaded || std::find(beside.begin(), beside.end(), bytes) != beside.end())
                << "a file that was whole before the cut is lost";
        EXPECT_TRUE(TemporaryFiles().empty()) << "a temporary file was left";
    }
}

} // namespace
