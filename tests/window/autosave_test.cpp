// Saving as the user works: every save point once, nothing for an unchanged collection, one box
// for a run of failing saves, the end of the program, and the writer thread that does the file
// work while the windows go on answering.
#include "app/system_calls.h"
#include "app/app.h"
#include "app/tray.h"
#include "notes/autosave.h"
#include "res/resource.h"
#include "tests/window/data_file_fixture.h"
#include "tests/support/poll.h"

namespace {

// Counts the saves that reach the disk, and what they wrote: each writes its bytes with one
// WriteFile. Called on the writer thread; read once the saves have ended.
int WritesSeen;
std::vector<std::vector<uint8_t>> WrittenBytes;
BOOL WINAPI CountingWriteFile(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED overlapped)
{
    ++WritesSeen;
    WrittenBytes.emplace_back(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size);
    return WriteFile(file, data, size, written, overlapped);
}

// A flush that waits at a gate, as a slow share or a cheap USB stick makes a save wait. The gate
// opens when the test says so, or by itself after FlushWaitMs: a save that holds up the window
// thread then shows as a flush that waited in vain, not as a test that hangs.
HANDLE FlushEntered, FlushGate;
DWORD FlushWaitMs;
bool FlushWaitedInVain;
BOOL WINAPI FlushAtTheGate(HANDLE file)
{
    SetEvent(FlushEntered);
    if (WaitForSingleObject(FlushGate, FlushWaitMs) == WAIT_TIMEOUT && FlushWaitMs >= DEFAULT_WAIT_MS)
        FlushWaitedInVain = true;
    return FlushFileBuffers(file);
}

class AutomaticSaveTest : public DataFileTest {
protected:
    void SetUp() override
    {
        DataFileTest::SetUp();
        WritesSeen = 0;
        WrittenBytes.clear();
        g_sys.WriteFile = CountingWriteFile;
        FlushEntered = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        FlushGate = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        FlushWaitedInVain = false;
    }
    void TearDown() override
    {
        if (other)
            DestroyWindow(other);
        SetEvent(FlushGate);
        DataFileTest::TearDown();
        CloseHandle(FlushEntered);
        CloseHandle(FlushGate);
    }
    // Saves from now on wait at the flush: until the test opens the gate, or for ms.
    static void SlowFlushes(DWORD ms = DEFAULT_WAIT_MS)
    {
        FlushWaitMs = ms;
        ResetEvent(FlushGate);
        g_sys.FlushFileBuffers = FlushAtTheGate;
    }
    static bool SaveReachedTheFlush() { return WaitForSingleObject(FlushEntered, WaitLimit(DEFAULT_WAIT_MS)) == WAIT_OBJECT_0; }

    // How many saves the action wrote.
    static int SavesBy(const std::function<void()>& action)
    {
        const int before = WritesSeen;
        action();
        SettleSaves();
        return WritesSeen - before;
    }
    // A command, and the saves it handed over, ended and told.
    static void Command(HWND target, int id)
    {
        SendMessageA(target, WM_COMMAND, MAKEWPARAM(id, 0), 0);
        SettleSaves();
    }
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
    EXPECT_EQ("", File().at(0).text);

    // Typing is saved at a pause, once for all its keys, while the note stays active: each key
    // starts the wait again.
    Activate(note);
    const int typed = WritesSeen;
    const DWORD shortPause = TYPING_PAUSE_MS * 3 / 5;
    Type(note, "ah");
    PumpFor(shortPause);
    Type(note, "oj");
    PumpFor(shortPause);
    EXPECT_EQ(typed, WritesSeen) << "saved in the middle of typing";
    EXPECT_TRUE(Modified(note));
    EXPECT_TRUE(PumpUntil([&] {
        const std::vector<StoredNote> file = File();
        return file.size() == 1 && file[0].text == "ahoj";
    })) << "a pause in typing saved nothing";
    SettleSaves();
    EXPECT_EQ(typed + 1, WritesSeen) << "not one save for the pause";
    EXPECT_EQ(note, GetActiveWindow());
    EXPECT_FALSE(Modified(note)) << "a save must clear the modify flag";
    // Turning to another window saves at once what was typed since; nothing when nothing was.
    EXPECT_EQ(1, SavesBy([&] { Type(note, " a"); Activate(other); }));
    EXPECT_EQ("ahoj a", File().at(0).text);
    EXPECT_EQ(0, SavesBy([&] { Activate(note); Activate(other); })) << "unchanged text written again";

    // Packed from its menu bar.
    EXPECT_EQ(1, SavesBy([&] { Command(note, IDM_PACK); }));
    EXPECT_EQ(NOTE_PACKED, File().at(0).state);

    // A mark dropped after a drag; dropped where it was, nothing to write.
    SetWindowPos(note, nullptr, 300, 200, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(1, SavesBy([&] { SendMessageA(note, WM_EXITSIZEMOVE, 0, 0); }));
    EXPECT_EQ(300, File().at(0).x);
    EXPECT_EQ(200, File().at(0).y);
    EXPECT_EQ(0, SavesBy([&] { SendMessageA(note, WM_EXITSIZEMOVE, 0, 0); }));

    // A colour; the same colour again writes nothing.
    EXPECT_EQ(1, SavesBy([&] { Command(note, IDM_BLUE); }));
    EXPECT_EQ(0xFF0000u, File().at(0).color);
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
    EXPECT_EQ(NOTE_PACKED, File().at(2).state);
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
    EXPECT_EQ(NOTE_PACKED, File().at(0).state);
    EXPECT_EQ("ahoj a a dost", File().at(0).text);

    // Deleted: saved once the window is gone; a No writes nothing.
    boxes.QueueAnswer(IDNO);
    EXPECT_EQ(0, SavesBy([&] { Command(note, IDM_DELETE); }));
    boxes.QueueAnswer(IDYES);
    EXPECT_EQ(1, SavesBy([&] { Command(note, IDM_DELETE); }));
    ASSERT_EQ(2u, File().size());
    EXPECT_EQ("druhá", File().at(0).text);
    EXPECT_EQ(2u, boxes.Count()) << "only the two questions: " << boxes.Summary();
}

// A run of failing automatic saves is told once, in a balloon that takes no keys; the save
// command, which the user asked for, answers in a box.
TEST_F(AutomaticSaveTest, FailingAutomaticSavesShowOneBalloonUntilOneSucceeds)
{
    StartWindowsOnly();
    HWND note = AddPackedNote(100, 50, "abc");
    ReadAtStart(EXAMPLE_BYTES);
    ASSERT_TRUE(SetFileAttributesA(DataPath().c_str(), FILE_ATTRIBUTE_READONLY));
    Command(note, IDM_BLUE);
    Command(note, IDM_GREEN);
    Command(g_hMainWnd, IDM_ADD);
    Command(g_hMainWnd, IDM_PACKALL);
    EXPECT_EQ(0u, boxes.Count()) << boxes.Summary();
    ASSERT_EQ(1u, tray.Balloons().size()) << tray.Summary();
    EXPECT_EQ(SAVE_ERROR, tray.Balloons()[0].text);
    EXPECT_EQ("Memovky 1.5", tray.Balloons()[0].title);
    EXPECT_EQ(static_cast<DWORD>(NIIF_ERROR), tray.Balloons()[0].icon);
    EXPECT_EQ(GetCurrentThreadId(), tray.Balloons()[0].thread) << "told by the writer thread";
    EXPECT_EQ(EXAMPLE_BYTES, Saved());

    // The menu command always reports.
    Command(g_hMainWnd, IDM_SAVE);
    ASSERT_EQ(1u, boxes.Count()) << boxes.Summary();
    EXPECT_EQ(SAVE_ERROR, boxes.Boxes()[0].text);
    Command(note, IDM_RED);
    EXPECT_EQ(1u, boxes.Count()) << boxes.Summary();
    EXPECT_EQ(1u, tray.Balloons().size()) << tray.Summary();

    // Once a save succeeds, the next failure is told again.
    SetFileAttributesA(DataPath().c_str(), FILE_ATTRIBUTE_NORMAL);
    Command(note, IDM_YELLOW);
    EXPECT_EQ(1u, tray.Balloons().size()) << tray.Summary();
    ASSERT_EQ(2u, File().size());
    EXPECT_EQ(0xA0FFFFu, File().at(0).color);
    SetFileAttributesA(DataPath().c_str(), FILE_ATTRIBUTE_READONLY);
    Command(note, IDM_BLUE);
    EXPECT_EQ(2u, tray.Balloons().size()) << tray.Summary();
    EXPECT_EQ(1u, boxes.Count()) << boxes.Summary();
    SetFileAttributesA(DataPath().c_str(), FILE_ATTRIBUTE_NORMAL);
}

// Another thread asks a window something, as the system asks whether a window hangs.
struct Question {
    HWND window;
    bool answered = false;
};
DWORD WINAPI AskWindow(void* question)
{
    Question* asked = static_cast<Question*>(question);
    DWORD_PTR result = 0;
    asked->answered = SendMessageTimeoutA(asked->window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result) != 0;
    return 0;
}

// A save whose file work is slow: the window thread hands it over and goes on at once, answering
// other threads while the writer waits at the flush.
TEST_F(AutomaticSaveTest, SlowSaveLeavesTheWindowThreadAnswering)
{
    StartWindowsOnly();
    HWND note = AddPackedNote(100, 50, "abc");
    ReadAtStart(EXAMPLE_BYTES);
    SlowFlushes();
    SendMessageA(note, WM_COMMAND, IDM_BLUE, 0);
    ASSERT_TRUE(SaveReachedTheFlush()) << "no save began";
    EXPECT_FALSE(FlushWaitedInVain) << "the window thread waited for the disk";
    EXPECT_EQ(EXAMPLE_BYTES, Saved()) << "the command returned only after its save";

    Question question = { note };
    HANDLE asking = CreateThread(nullptr, 0, AskWindow, &question, 0, nullptr);
    ASSERT_NE(nullptr, asking);
    EXPECT_TRUE(PumpUntil([&] { return WaitForSingleObject(asking, 0) == WAIT_OBJECT_0; }));
    CloseHandle(asking);
    EXPECT_TRUE(question.answered) << "the note did not answer while its save was on the way";

    SetEvent(FlushGate);
    SettleSaves();
    ASSERT_EQ(1u, File().size());
    EXPECT_EQ(0xFF0000u, File().at(0).color);
    EXPECT_EQ(0u, boxes.Count()) << boxes.Summary();
}

// Hand-overs while a save is in flight: the one that waits is replaced, so after the save in
// flight only the newest bytes are written, once. A text's modify flag is cleared only once that
// text is on disk.
TEST_F(AutomaticSaveTest, HandOversWhileASaveIsInFlightWriteOnlyTheNewest)
{
    StartWindowsOnly();
    HWND mark = AddPackedNote(100, 50, "abc");
    HWND note = AddExpandedNote();
    Activate(note);
    SlowFlushes();
    SendMessageA(mark, WM_COMMAND, IDM_BLUE, 0);
    ASSERT_TRUE(SaveReachedTheFlush());
    SendMessageA(mark, WM_COMMAND, IDM_GREEN, 0);
    Type(note, "nový text");
    SaveAfterChange(CHANGE_TYPED, note);
    Type(note, "!");
    SetEvent(FlushGate);
    SettleSaves();

    ASSERT_GE(WrittenBytes.size(), 2u);
    std::vector<std::vector<StoredNote>> written;
    for (const std::vector<uint8_t>& bytes : WrittenBytes)
        written.push_back(DecodeNotes(bytes.data(), bytes.size()).notes);
    EXPECT_EQ(0xFF0000u, written[0].at(0).color) << "the save in flight";
    EXPECT_EQ(RGB(0, 208, 0), written[1].at(0).color);
    EXPECT_EQ("nový text", written[1].at(1).text) << "the newest hand-over was not the one written";
    for (const std::vector<StoredNote>& notes : written)
        EXPECT_FALSE(notes.at(0).color == RGB(0, 208, 0) && notes.at(1).text.empty()) << "a replaced hand-over was written";
    // Only the typing pause may write once more: the text typed after the last hand-over.
    EXPECT_LE(WrittenBytes.size(), 3u);
    EXPECT_EQ(WrittenBytes.back(), Saved());
    EXPECT_NE(Modified(note), File().at(1).text == "nový text!") << "modified, yet on disk; or the other way";
}

// Texts the code page cannot tell apart are told apart: one changed while its save was in flight
// still asks to be saved, though the text field would be the same.
TEST_F(AutomaticSaveTest, AModifyFlagIsClearedOnlyWhereTheExactTextIsOnDisk)
{
    StartWindowsOnly();
    HWND note = AddExpandedNote();
    HWND edit = Notes.items[FindNote(note)].hwndEdit;
    Activate(note);
    SlowFlushes();
    SendMessageW(edit, WM_CHAR, L'Ж', 0);
    SaveAfterChange(CHANGE_TYPED, note);
    ASSERT_TRUE(SaveReachedTheFlush());
    SendMessageW(edit, EM_SETSEL, 0, -1);
    SendMessageW(edit, WM_CHAR, L'Щ', 0);
    SetEvent(FlushGate);
    SettleSaves();
    ASSERT_EQ("?", File().at(0).text);
    const bool onDisk = File().at(0).extras.utf8 == u8"Щ";
    EXPECT_NE(Modified(note), onDisk) << "modified, yet on disk; or the other way";
}

// What an automatic save has to tell waits while any box, menu or drag loop of the program is
// open (here the delete question, answered No, and the mark menu), and is told once the last has
// ended, in a balloon: never a box inside the box. The save asked for meanwhile runs at once.
TEST_F(AutomaticSaveTest, NewsOfAnAutomaticSaveWaitsUntilNoBoxOrMenuIsOpen)
{
    StartWindowsOnly();
    ReadAtStart(EncodeNotes({}));
    HWND note = AddExpandedNote();
    Activate(note);
    Type(note, "rozepsáno");
    ASSERT_TRUE(SetFileAttributesA(DataPath().c_str(), FILE_ATTRIBUTE_READONLY));
    size_t toldInTheBox = 99, toldInTheMenu = 99;
    boxes.WhileOpen([&] {
        SendMessageA(note, WM_ENTERMENULOOP, TRUE, 0);
        SendMessageA(note, WM_COMMAND, IDM_BLUE, 0);
        SettleSaves();
        toldInTheMenu = tray.Balloons().size();
        SendMessageA(note, WM_EXITMENULOOP, TRUE, 0);
        SettleSaves();
        toldInTheBox = tray.Balloons().size();
        SetFileAttributesA(DataPath().c_str(), FILE_ATTRIBUTE_NORMAL);
        SendMessageA(note, WM_COMMAND, IDM_GREEN, 0);
    });
    Command(note, IDM_DELETE);
    EXPECT_EQ(0u, toldInTheMenu) << "told while a menu was open";
    EXPECT_EQ(0u, toldInTheBox) << "told while a box was open";
    ASSERT_EQ(1u, boxes.Count()) << "only the question: " << boxes.Summary();
    ASSERT_EQ(1u, tray.Balloons().size()) << tray.Summary();
    EXPECT_EQ(SAVE_ERROR, tray.Balloons()[0].text);
    ASSERT_EQ(1u, File().size()) << "the save asked for while the box was open never ran";
    EXPECT_EQ("rozepsáno", File().at(0).text);
    EXPECT_EQ(RGB(0, 208, 0), File().at(0).color);
}

// The user adds a note and types at once while the save of the new note keeps aside a file
// damaged elsewhere: the balloon names the kept file, and the keys stay in the note. A box that
// the user asked for (here the save command, which fails) takes the activation while it is open,
// as a real box does; once it has closed, the note is active again with the focus in its text.
TEST_F(AutomaticSaveTest, KeptFileWhileTheUserTypesIntoANewNoteTakesNoKeys)
{
    StartWindowsOnly();
    ASSERT_EQ(1, AddTrayIcon());
    OtherWindow();
    ReadAtStart(EncodeNotes({}));
    // Damaged there: kept aside, as a whole file would not be (it is merged).
    std::vector<uint8_t> elsewhere = EncodeNotes({ Stored(1, 2, "jinde") });
    elsewhere.pop_back();
    ASSERT_TRUE(WriteFileBytes(DataPath(), elsewhere));
    SlowFlushes();
    SendMessageA(g_hMainWnd, WM_COMMAND, IDM_ADD, 0);
    HWND note = NoteWindowAt(0);
    HWND edit = Notes.items[0].hwndEdit;
    Activate(note);
    ASSERT_TRUE(SaveReachedTheFlush());
    ASSERT_TRUE(Xdo("type --delay 30 'pis'"));
    SetEvent(FlushGate);
    EXPECT_TRUE(PumpUntil([&] { return WindowText(edit) == "pis" && !tray.Balloons().empty(); }))
        << "typed: " << WindowText(edit) << ", " << tray.Summary();
    ASSERT_TRUE(Xdo("type --delay 30 ' dal'"));
    EXPECT_TRUE(PumpUntil([&] { return WindowText(edit) == "pis dal"; })) << "typed: " << WindowText(edit);
    EXPECT_EQ(0u, boxes.Count()) << boxes.Summary();
    ASSERT_EQ(1u, tray.Balloons().size()) << tray.Summary();
    EXPECT_EQ(static_cast<DWORD>(NIIF_WARNING), tray.Balloons()[0].icon);
    ASSERT_EQ(0u, tray.Balloons()[0].text.find(KEPT_TEXT)) << tray.Summary();
    const std::string kept = tray.Balloons()[0].text.substr(sizeof KEPT_TEXT - 1);
    EXPECT_EQ(elsewhere, ReadFileBytes(kept));
    EXPECT_NE(std::string::npos, tray.Tip().find(kept.substr(folder.Path().size() + 1))) << tray.Tip();
    EXPECT_EQ(note, GetActiveWindow()) << "active: " << ClassNameOf(GetActiveWindow());
    EXPECT_EQ(edit, GetFocus());

    ASSERT_TRUE(SetFileAttributesA(DataPath().c_str(), FILE_ATTRIBUTE_READONLY));
    boxes.WhileOpen([&] { Activate(other); });
    Command(g_hMainWnd, IDM_SAVE);
    SetFileAttributesA(DataPath().c_str(), FILE_ATTRIBUTE_NORMAL);
    ASSERT_EQ(1u, boxes.Count()) << boxes.Summary();
    EXPECT_EQ(SAVE_ERROR, boxes.Boxes()[0].text);
    EXPECT_EQ(note, GetActiveWindow()) << "active: " << ClassNameOf(GetActiveWindow());
    EXPECT_EQ(edit, GetFocus());
}

// Once the program has begun to end (here the session: saved at WM_QUERYENDSESSION, ended at
// WM_ENDSESSION), no save point writes any more, a pause in typing included. A save still on its
// way when the session ends is on disk before the system may end the program.
TEST_F(AutomaticSaveTest, NoSavePointWritesOnceTheProgramHasBegunToEnd)
{
    StartProgram();
    HWND note = AddExpandedNote("před koncem");
    Activate(note);
    EXPECT_EQ(TRUE, SendMessageA(g_hMainWnd, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF));
    Type(note, ", ještě");
    SlowFlushes(300);
    SaveAfterChange(CHANGE_TYPED, note);
    ASSERT_TRUE(SaveReachedTheFlush());
    SendMessageA(g_hMainWnd, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
    const std::vector<uint8_t> saved = Saved();
    ASSERT_EQ(1u, File().size());
    EXPECT_EQ("před koncem, ještě", File().at(0).text) << "the session ended with a save on its way";
    EXPECT_EQ(0, SavesBy([&] {
        Type(note, " a po něm");
        SaveAfterChange(CHANGE_TYPED, note);
        Command(note, IDM_BLUE);
        SaveAfterChange(CHANGE_LEFT, note);
        Command(g_hMainWnd, IDM_ADD);
        Command(g_hMainWnd, IDM_PACKALL);
    }));
    EXPECT_EQ(saved, Saved());
    EXPECT_EQ(0u, boxes.Count()) << boxes.Summary();
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
    // A save is on its way, slowly, when the program is asked to end, and the note changes again.
    SlowFlushes(300);
    SaveAfterChange(CHANGE_TYPED, typed);
    ASSERT_TRUE(SaveReachedTheFlush());
    Type(typed, " i potom");
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
    EXPECT_EQ(2, WritesSeen) << "the save on its way and one at the end";
    const std::vector<StoredNote> file = File();
    ASSERT_EQ(3u, file.size());
    EXPECT_EQ("první", file[0].text);
    EXPECT_EQ("druhá", file[1].text);
    EXPECT_EQ("třetí a dopsana i potom", file[2].text) << "ended before the newest notes were on disk";
    EXPECT_EQ(0u, boxes.Count()) << boxes.Summary();
}

INSTANTIATE_TEST_SUITE_P(ExitOrLogOff, EndingSaveTest, ::testing::Values("exit", "log-off"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param) == "exit" ? "Exit" : "LogOff";
                         });

class ShutdownSaveTest : public DataFileTest {
protected:
    // A running program whose notes.bin, read at its start, cannot be replaced.
    void StartWithUnwritableFile()
    {
        ASSERT_TRUE(WriteFileBytes(DataPath(), EXAMPLE_BYTES));
        StartProgram();
        ASSERT_EQ(1, Notes.count);
        AddExpandedNote("rozepsaná");
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

// Log-off: the notes are saved, nobody is asked, the answer is always yes, and nothing is shown.
// Where the file cannot be replaced, the new notes stay on disk beside it; a file kept aside is
// not announced. The next start names both.
TEST_F(ShutdownSaveTest, EndOfSessionSavesWithoutAskingAndTheNextStartNamesWhatItKept)
{
    StartWithUnwritableFile();
    EXPECT_EQ(TRUE, SendMessageA(g_hMainWnd, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF));
    PumpPending();
    EXPECT_EQ(0u, boxes.Count()) << boxes.Summary();
    EXPECT_TRUE(tray.Balloons().empty()) << tray.Summary();
    EXPECT_EQ(2, Notes.count) << "log-off must not destroy notes";
    EXPECT_TRUE(IsWindow(g_hMainWnd));
    EXPECT_EQ(EXAMPLE_BYTES, Saved());
    ASSERT_EQ(1u, TemporaryFiles().size()) << "the newest notes are nowhere";
    const std::vector<uint8_t> newest = ReadFileBytes(TemporaryFiles()[0]);
    ASSERT_EQ(2u, DecodeNotes(newest.data(), newest.size()).notes.size());

    // Writable again, but changed elsewhere meanwhile.
    SetFileAttributesA(DataPath().c_str(), FILE_ATTRIBUTE_NORMAL);
    const std::vector<uint8_t> elsewhere = EncodeNotes({ Stored(1, 2, "z druhého počítače") });
    ASSERT_TRUE(WriteFileBytes(DataPath(), elsewhere));
    EXPECT_EQ(TRUE, SendMessageA(g_hMainWnd, WM_QUERYENDSESSION, 0, 0));
    PumpPending();
    EXPECT_EQ(0u, boxes.Count()) << boxes.Summary();
    EXPECT_TRUE(tray.Balloons().empty()) << tray.Summary();
    EXPECT_EQ(Unversioned(newest), Unversioned(Saved()));
    ASSERT_EQ(1u, FilesBeside().size()) << "the file changed elsewhere was not kept, or the new notes were left";
    const std::string kept = FilesBeside()[0];
    EXPECT_EQ(elsewhere, ReadFileBytes(kept));
    EXPECT_TRUE(TrayIconPresent(g_hMainWnd));

    // The next start names it.
    SendMessageA(g_hMainWnd, WM_ENDSESSION, TRUE, 0);
    EndProgramInProcess();
    StartProgram();
    ASSERT_EQ(1u, boxes.Count()) << boxes.Summary();
    EXPECT_EQ(KEPT_TEXT + kept, boxes.Boxes()[0].text);
    EXPECT_EQ(2, Notes.count);
    boxes.Clear();
    EndProgramInProcess();
    StartProgram();
    EXPECT_EQ(0u, boxes.Count()) << "named twice: " << boxes.Summary();
}

// A file that could not be read at the start stays as it is for the next start when the run
// changes nothing, at exit and at log-off. With a change it is kept aside: named by the exit's
// box, and after a log-off by the next start's.
TEST_F(ShutdownSaveTest, UnreadableFileStaysUntouchedOrIsKeptAndNamed)
{
    const struct {
        const char* end;
        bool change;
        bool namedAtExit;
    } cases[] = { { "exit", false, false }, { "log-off", false, false }, { "exit", true, true }, { "log-off", true, false } };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.end) + (c.change ? ", with a change" : ""));
        folder.Empty();
        ASSERT_TRUE(WriteFileBytes(DataPath(), EXAMPLE_BYTES));
        {
            FileHolder holder(DataPath(), TEST_RETRY_MS + 1000);
            StartProgram();
        }
        ASSERT_EQ(1u, boxes.Count()) << boxes.Summary();
        EXPECT_EQ(LOAD_ERROR, boxes.Boxes()[0].text);
        boxes.Clear();
        if (c.change)
            AddPackedNote(30, 40, "nová");
        if (std::string(c.end) == "exit") {
            SendMessageA(g_hMainWnd, WM_CLOSE, 0, 0);
        } else {
            EXPECT_EQ(TRUE, SendMessageA(g_hMainWnd, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF));
            SendMessageA(g_hMainWnd, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
        }
        EndProgramInProcess();
        if (!c.change) {
            EXPECT_EQ(EXAMPLE_BYTES, Saved());
            EXPECT_TRUE(FilesBeside().empty());
            EXPECT_EQ(0u, boxes.Count()) << boxes.Summary();
            continue;
        }
        ASSERT_EQ(1u, DecodeNotes(Saved().data(), Saved().size()).notes.size());
        ASSERT_EQ(1u, FilesBeside().size());
        const std::string kept = FilesBeside()[0];
        EXPECT_EQ(EXAMPLE_BYTES, ReadFileBytes(kept));
        if (c.namedAtExit) {
            ASSERT_EQ(1u, boxes.Count()) << boxes.Summary();
            EXPECT_EQ(KEPT_TEXT + kept, boxes.Boxes()[0].text);
            boxes.Clear();
        }
        EXPECT_EQ(0u, boxes.Count()) << boxes.Summary();
        StartProgram();
        EXPECT_EQ(c.namedAtExit ? 0u : 1u, boxes.Count()) << boxes.Summary();
        if (!c.namedAtExit && boxes.Count()) {
            EXPECT_EQ(KEPT_TEXT + kept, boxes.Boxes()[0].text);
        }
        EndProgramInProcess();
        boxes.Clear();
    }
}

// A close (an installer's, taskkill's) or a log-off that comes while a box of the start is open
// saves nothing: not less than the file holds while the notes are being made (a note that could
// not be made), not an untouched collection once they are (an unfinished save's file kept).
int ReallocsBeforeFailure;
void* ReallocThenFail(void* block, size_t bytes)
{
    return ReallocsBeforeFailure-- > 0 ? std::realloc(block, bytes) : nullptr;
}

TEST_F(ShutdownSaveTest, CloseOrLogOffDuringABoxOfTheStartSavesNothing)
{
    const std::vector<uint8_t> mine = EncodeNotes({ Stored(20, 30, "moje"), Stored(40, 50, "druhá") });
    const std::vector<uint8_t> leftover = EncodeNotes({ Stored(60, 70, "nedokončené") });
    const struct {
        const char* what;
        bool whileLoading;
        UINT message;
    } cases[] = {
        { "close in the box of a note that could not be made", true, WM_CLOSE },
        { "log-off in the box of a note that could not be made", true, WM_QUERYENDSESSION },
        { "close in the box naming an unfinished save's file", false, WM_CLOSE },
        { "log-off in the box naming an unfinished save's file", false, WM_QUERYENDSESSION },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        folder.Empty();
        ASSERT_TRUE(WriteFileBytes(DataPath(), mine));
        if (c.whileLoading) {
            ReallocsBeforeFailure = 1;
            g_sys.Realloc = ReallocThenFail;
        } else {
            ASSERT_TRUE(WriteFileBytes(folder.File("notes~1A2B.tmp"), leftover));
        }
        LRESULT answer = 0;
        boxes.WhileOpen([&] { answer = SendMessageA(g_hMainWnd, c.message, 0, ENDSESSION_LOGOFF); });
        WriteSettingsText("DataFolder", folder.Path());
        const int started = InitApplication();
        g_sys.Realloc = std::realloc;
        boxes.WhileOpen(nullptr);
        ASSERT_GE(boxes.Count(), 1u);
        EXPECT_EQ(c.whileLoading ? "Nedostatek paměti pro další memovku" : LEFTOVER_TEXT + FilesBeside().at(0),
                  boxes.Boxes()[0].text);
        EXPECT_EQ(c.message == WM_CLOSE ? 0 : 1, started) << "the close did not end the program";
        if (c.message == WM_QUERYENDSESSION) {
            EXPECT_EQ(TRUE, answer);
            SendMessageA(g_hMainWnd, WM_CLOSE, 0, 0);
        }
        EndProgramInProcess();
        EXPECT_EQ(mine, Saved()) << "notes.bin was written";
        if (!c.whileLoading) {
            ASSERT_EQ(1u, FilesBeside().size());
            EXPECT_EQ(leftover, ReadFileBytes(FilesBeside()[0])) << "the unfinished save's file is gone";
        }
        boxes.Clear();
    }
}

} // namespace
