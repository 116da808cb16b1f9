// Saving as the user works: every save point once, nothing for an unchanged collection, one box
// for a run of failing saves, and the end of the program.
#include "app/app.h"
#include "app/tray.h"
#include "notes/autosave.h"
#include "res/resource.h"
#include "tests/window/data_file_fixture.h"
#include "tests/support/poll.h"

namespace {

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

    // Typing is saved at a pause, once for all its keys, while the note stays active.
    Activate(note);
    const int typed = WritesSeen;
    Type(note, "ah");
    Type(note, "oj");
    EXPECT_TRUE(Modified(note));
    EXPECT_TRUE(PumpUntil([&] { return File()[0].text == "ahoj"; })) << "a pause in typing saved nothing";
    EXPECT_EQ(typed + 1, WritesSeen) << "not one save for the pause";
    EXPECT_EQ(note, GetActiveWindow());
    EXPECT_FALSE(Modified(note)) << "a save must clear the modify flag";
    // Turning to another window saves at once what was typed since; nothing when nothing was.
    EXPECT_EQ(1, SavesBy([&] { Type(note, " a"); Activate(other); }));
    EXPECT_EQ("ahoj a", File()[0].text);
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
    EXPECT_EQ("ahoj a a dost", File()[0].text);

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
    ReadAtStart(EXAMPLE_BYTES);
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

// The box of a failing automatic save takes activation from the note being typed in (here as a
// real box would, while it is open): the save that note asks for then waits for the box to close,
// and never opens a second box inside the first.
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
        Activate(other);
        SetFileAttributesA(DataPath().c_str(), FILE_ATTRIBUTE_NORMAL);
    });
    Command(note, IDM_BLUE);
    EXPECT_EQ(1, boxes.MostOpen()) << "a box opened inside the box";
    ASSERT_EQ(1u, boxes.Count()) << boxes.Summary();
    EXPECT_EQ(SAVE_ERROR, boxes.Boxes()[0].text);
    ASSERT_EQ(1u, File().size()) << "the save asked for while the box was open never ran";
    EXPECT_EQ("rozepsáno", File()[0].text);
    EXPECT_EQ(0xFF0000u, File()[0].color);
}

// Once the program has begun to end (here the session: saved at WM_QUERYENDSESSION, ended at
// WM_ENDSESSION), no save point writes any more, a pause in typing included.
TEST_F(AutomaticSaveTest, NoSavePointWritesOnceTheProgramHasBegunToEnd)
{
    StartProgram();
    HWND note = AddExpandedNote("před koncem");
    Activate(note);
    EXPECT_EQ(TRUE, SendMessageA(g_hMainWnd, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF));
    SendMessageA(g_hMainWnd, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
    const std::vector<uint8_t> saved = Saved();
    ASSERT_EQ(1u, File().size());
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
