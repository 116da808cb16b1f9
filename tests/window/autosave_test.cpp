// Saving as the user works: every save point once, nothing for an unchanged collection, one box
// for a run of failing saves, the end of the program, and the writer thread that does the file
// work while the windows go on answering.
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
        g_pfnWriteFile = CountingWriteFile;
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
        g_pfnFlushFileBuffers = FlushAtTheGate;
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

TEST_F(AutomaticSaveTest, FailingAutomaticSavesShowOneBoxUntilOneSucceeds)
{
    StartWindowsOnly();
    HWND note = AddPackedNote(100, 50, "abc");
    ReadAtStart(EXAMPLE_BYTES);
    ASSERT_TRUE(SetFileAttributesA(DataPath().c_str(), FILE_ATTRIBUTE_READONLY));
    Command(note, IDM_BLUE);
    Command(note, IDM_GREEN);
    Command(g_hMainWnd, IDM_ADD);
    Command(g_hMainWnd, IDM_PACKALL);
    ASSERT_EQ(1u, boxes.Count()) << boxes.Summary();
    EXPECT_EQ(SAVE_ERROR, boxes.Boxes()[0].text);
    EXPECT_EQ(GetCurrentThreadId(), boxes.Boxes()[0].thread) << "a box shown by the writer thread";
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
    EXPECT_EQ(0xA0FFFFu, File().at(0).color);
    SetFileAttributesA(DataPath().c_str(), FILE_ATTRIBUTE_READONLY);
    Command(note, IDM_BLUE);
    EXPECT_EQ(3u, boxes.Count()) << boxes.Summary();
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

// The box of a failing automatic save takes activation from the note being typed in (here as a
// real box would, while it is open): the save that note asks for goes to the writer meanwhile,
// and what it has to say waits for the box to close, never a second box inside the first.
TEST_F(AutomaticSaveTest, SaveAskedForWhileAFailureBoxIsOpenRunsAfterItNotInIt)
{
    StartWindowsOnly();
    OtherWindow();
    ReadAtStart(EncodeNotes({}));
    HWND note = AddExpandedNote();
    Activate(note);
    Type(note, "rozepsáno");
    ASSERT_TRUE(SetFileAttributesA(DataPath().c_str(), FILE_ATTRIBUTE_READONLY));
    boxes.WhileOpen([&] {
        SetFileAttributesA(DataPath().c_str(), FILE_ATTRIBUTE_NORMAL);
        Activate(other);
    });
    Command(note, IDM_BLUE);
    SettleSaves();
    EXPECT_EQ(1, boxes.MostOpen()) << "a box opened inside the box";
    ASSERT_EQ(1u, boxes.Count()) << boxes.Summary();
    EXPECT_EQ(SAVE_ERROR, boxes.Boxes()[0].text);
    ASSERT_EQ(1u, File().size()) << "the save asked for while the box was open never ran";
    EXPECT_EQ("rozepsáno", File().at(0).text);
    EXPECT_EQ(0xFF0000u, File().at(0).color);
}

// A save's box takes the activation while it is open, as a real box does; once it has closed,
// the note that was active is active again, with the focus in its text.
TEST_F(AutomaticSaveTest, WindowActiveBeforeASaveBoxIsActiveAgainAfterIt)
{
    StartWindowsOnly();
    OtherWindow();
    ReadAtStart(EncodeNotes({}));
    ASSERT_TRUE(WriteFileBytes(DataPath(), EncodeNotes({ Stored(1, 2, "jinde") })));
    boxes.WhileOpen([&] { Activate(other); });
    Command(g_hMainWnd, IDM_ADD);
    ASSERT_EQ(1u, boxes.Count()) << boxes.Summary();
    EXPECT_EQ(0u, boxes.Boxes()[0].text.find(KEPT_TEXT)) << boxes.Summary();
    HWND note = NoteWindowAt(0);
    EXPECT_EQ(note, GetActiveWindow()) << "active: " << ClassNameOf(GetActiveWindow());
    EXPECT_EQ(Notes.items[0].hwndEdit, GetFocus());
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

// Log-off: the notes are saved, nobody is asked, the answer is always yes, and no box opens
// inside the message: a failure is told after it, a file kept aside is not announced.
TEST_F(ShutdownSaveTest, EndOfSessionSavesWithoutAskingAndNeverRefuses)
{
    StartWithUnwritableFile();
    EXPECT_EQ(TRUE, SendMessageA(g_hMainWnd, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF));
    EXPECT_EQ(0u, boxes.Count()) << "a box held up the log-off: " << boxes.Summary();
    PumpPending();
    ASSERT_EQ(1u, boxes.Count()) << boxes.Summary();
    EXPECT_EQ(SAVE_ERROR, boxes.Boxes()[0].text);
    EXPECT_EQ(2, Notes.count) << "log-off must not destroy notes";
    EXPECT_TRUE(IsWindow(g_hMainWnd));

    SetFileAttributesA(DataPath().c_str(), FILE_ATTRIBUTE_NORMAL);
    const std::vector<uint8_t> elsewhere = EncodeNotes({ Stored(1, 2, "z druhého počítače") });
    ASSERT_TRUE(WriteFileBytes(DataPath(), elsewhere));
    boxes.Clear();
    EXPECT_EQ(TRUE, SendMessageA(g_hMainWnd, WM_QUERYENDSESSION, 0, 0));
    PumpPending();
    EXPECT_EQ(0u, boxes.Count()) << boxes.Summary();
    EXPECT_EQ(2u, DecodeNotes(Saved().data(), Saved().size()).notes.size());
    ASSERT_EQ(1u, FilesBeside().size()) << "the file changed elsewhere was not kept";
    EXPECT_EQ(elsewhere, ReadFileBytes(FilesBeside()[0]));
    EXPECT_TRUE(TrayIconPresent(g_hMainWnd));
}

} // namespace
