// The real program: start-up, the tray, the main window, one copy at a time, and every way to end it.
#include "res/resource.h"
#include "storage/note_codec.h"
#include "tests/e2e/program.h"
#include "tests/support/helpers.h"
#include "tests/support/poll.h"
#include <gtest/gtest.h>

namespace {

class ShellE2eTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        DeleteSettingsKey();
        MoveTo(512, 300);
    }
    void TearDown() override { DeleteSettingsKey(); }

    void StartIn(const TempFolder& folder)
    {
        WriteSettingsText("DataFolder", folder.Path());
        ASSERT_TRUE(program.Start());
        ASSERT_TRUE(program.WaitReady()) << "start-up did not finish";
    }

    // Right-click on our tray icon; returns the menu that opened.
    HWND OpenTrayMenu()
    {
        POINT icon = TrayIconCentre();
        ClickAt(icon.x, icon.y, 3);
        HWND menu = nullptr;
        PumpUntil([&] { return (menu = OpenMenuWindow()) != nullptr && IsWindowVisible(menu); });
        return menu;
    }

    void ChooseFromTrayMenu(int index)
    {
        HWND menu = OpenTrayMenu();
        ASSERT_NE(nullptr, menu) << "tray menu did not open";
        ClickMenuItem(menu, PopupItemOffsets(IDR_TRAYMENU), index);
    }

    void ShowMainByTrayDoubleClick()
    {
        POINT icon = TrayIconCentre();
        DoubleClickAt(icon.x, icon.y);
        ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(program.Main()); })) << "main window did not appear";
    }

    RunningProgram program;
};

// Indexes of the tray menu's entries (separators count).
enum { TRAY_PACKALL, TRAY_UNPACKALL, TRAY_HIDEALL, TRAY_SHOWALL, TRAY_SEP1, TRAY_NOTE, TRAY_SEP2,
       TRAY_SHOWMAIN, TRAY_ABOUT, TRAY_SEP3, TRAY_EXIT };

TEST_F(ShellE2eTest, FirstStartShowsNothingButTheTrayIconAndTheMenuEndsIt)
{
    DeleteFileA("c:\\notes.bin");
    ASSERT_TRUE(program.Start());
    ASSERT_TRUE(program.WaitReady());
    EXPECT_EQ(nullptr, program.MessageBoxWindow());
    EXPECT_TRUE(program.NoteWindows(false).empty());
    EXPECT_EQ(0, CountSettingsValues()) << "the key must be created without values";

    POINT icon = TrayIconCentre();
    HWND menu = OpenTrayMenu();
    ASSERT_NE(nullptr, menu);
    RECT frame = WindowRect(menu);
    EXPECT_EQ(icon.x, frame.right) << "menu's right edge not at the pointer: " << Describe(frame);
    EXPECT_EQ(icon.y, frame.bottom) << "menu's bottom edge not at the pointer: " << Describe(frame);
    EXPECT_EQ(11u, PopupItemOffsets(IDR_TRAYMENU).size());
    ClickMenuItem(menu, PopupItemOffsets(IDR_TRAYMENU), TRAY_EXIT);

    DWORD code = 1;
    ASSERT_TRUE(program.WaitExit(&code));
    EXPECT_EQ(0u, code);
    EXPECT_FALSE(FileExists("c:\\notes.bin")) << "a run that changed nothing wrote notes.bin";
    DeleteFileA("c:\\notes.bin");
}

TEST_F(ShellE2eTest, MinimizeHidesAndTheTrayBringsTheMainWindowBackInPlace)
{
    TempFolder folder;
    StartIn(folder);
    ShowMainByTrayDoubleClick();
    const RECT placed = WindowRect(program.Main());
    EXPECT_TRUE(SameRect(RECT{ 100, 100, 420, 250 }, placed)) << Describe(placed);

    POINT minimize;
    ASSERT_TRUE(FindHitPoint(program.Main(), HTMINBUTTON, &minimize));
    ClickAt(minimize.x, minimize.y);
    ASSERT_TRUE(PumpUntil([&] { return !IsWindowVisible(program.Main()); })) << "minimize did not hide";
    EXPECT_FALSE(IsIconic(program.Main()));

    ChooseFromTrayMenu(TRAY_SHOWMAIN);
    ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(program.Main()); })) << "Zobrazit program did nothing";
    EXPECT_TRUE(SameRect(placed, WindowRect(program.Main()))) << Describe(WindowRect(program.Main()));

    ClickAt(minimize.x, minimize.y);
    ASSERT_TRUE(PumpUntil([&] { return !IsWindowVisible(program.Main()); }));
    ShowMainByTrayDoubleClick();
    EXPECT_TRUE(SameRect(placed, WindowRect(program.Main())));
    EXPECT_TRUE(PumpUntil([&] { return GetForegroundWindow() == program.Main(); }, 3000))
        << "foreground is " << ClassNameOf(GetForegroundWindow());
}

FILETIME LastWriteTime(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data);
    return data.ftLastWriteTime;
}

// A second start in the same session finds the first, has it show its main window as "Z&obrazit
// program" does, and ends with 0 before it reads or writes anything; the first goes on working.
TEST_F(ShellE2eTest, SecondStartShowsTheFirstAndEndsWithoutReadingOrWritingAnything)
{
    TempFolder folder;
    // A name in the file: the program never writes names, so any save changes the file.
    StoredNote stored = MakeStoredNote(300, 200, 0xFF0000, "jen jednou");
    stored.name = "xy";
    const std::vector<uint8_t> bytes = EncodeNotes({ stored });
    const std::string dataFile = folder.File("notes.bin");
    ASSERT_TRUE(WriteFileBytes(dataFile, bytes));
    StartIn(folder);
    ASSERT_EQ(1u, program.NoteWindows().size());
    ASSERT_FALSE(IsWindowVisible(program.Main()));
    const FILETIME written = LastWriteTime(dataFile);

    // Were the second to read the settings or the notes, it would create the key again, and wait
    // for the locked file and then report it; it must do neither.
    DeleteSettingsKey();
    HANDLE locked = CreateFileA(dataFile.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, locked);
    RunningProgram second;
    ASSERT_TRUE(second.Start());
    DWORD code = 1;
    ASSERT_TRUE(second.WaitExit(&code, 10000)) << "the second copy did not end";
    CloseHandle(locked);
    EXPECT_EQ(0u, code);
    EXPECT_FALSE(SettingsKeyExists()) << "the second copy read the settings";
    EXPECT_TRUE(PumpUntil([&] { return IsWindowVisible(program.Main()); })) << "the first did not show its main window";
    EXPECT_EQ(1u, TopWindows(ANY_PROCESS, "DAVududMainClass", false).size());
    EXPECT_EQ(1u, TopWindows(ANY_PROCESS, "DAVududNoteClass").size()) << "the note shows twice";
    EXPECT_EQ(bytes, ReadFileBytes(dataFile));
    const FILETIME after = LastWriteTime(dataFile);
    EXPECT_EQ(0, CompareFileTime(&written, &after)) << "notes.bin was written";

    // The first still works: "&Konec" from its tray menu ends it; it changed nothing, so it
    // writes nothing.
    WriteSettingsText("DataFolder", folder.Path());
    ChooseFromTrayMenu(TRAY_EXIT);
    ASSERT_TRUE(program.WaitExit(&code)) << "the first copy did not end";
    EXPECT_EQ(0u, code);
    EXPECT_EQ(bytes, ReadFileBytes(dataFile)) << "the first copy wrote notes it never changed";
}

// The four ways a user ends the program; each must clean up and exit with 0, and a run that
// changed nothing leaves notes.bin as it was (every change was saved as it was made).
class EndingE2eTest : public ShellE2eTest, public ::testing::WithParamInterface<const char*> {
protected:
    void EndBy(const std::string& how)
    {
        if (how == "tray menu") {
            ChooseFromTrayMenu(TRAY_EXIT);
            return;
        }
        ShowMainByTrayDoubleClick();
        HWND main = program.Main();
        if (how == "close box") {
            POINT close;
            ASSERT_TRUE(FindHitPoint(main, HTCLOSE, &close));
            ClickAt(close.x, close.y);
        } else if (how == "Alt+F4") {
            RECT client;
            GetClientRect(main, &client);
            MapWindowPoints(main, nullptr, reinterpret_cast<POINT*>(&client), 2);
            ClickAt(client.left + 250, client.top + 90);
            PressKeys("alt+F4");
        } else if (how == "main menu") {
            RECT bar;
            ASSERT_TRUE(FindHitRect(main, HTMENU, &bar));
            ClickAt(bar.left + 20, (bar.top + bar.bottom) / 2);
            HWND menu = nullptr;
            ASSERT_TRUE(PumpUntil([&] { return (menu = OpenMenuWindow()) != nullptr; })) << "Program menu did not open";
            // "&Konec" is the last entry of the first pop-up.
            HMENU mainMenu = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINMENU));
            ASSERT_EQ(IDM_EXIT, static_cast<int>(GetMenuItemID(GetSubMenu(mainMenu, 0), 3)));
            DestroyMenu(mainMenu);
            ClickMenuItem(menu, PopupItemOffsets(IDR_MAINMENU), 3);
        }
    }
};

TEST_P(EndingE2eTest, LeavesAnUntouchedFileRemovesTheIconAndExitsWithZero)
{
    TempFolder folder;
    // One stored note with a name: the program never writes names, so any save changes the file.
    StoredNote stored = MakeStoredNote(300, 200, 0xFF0000, "uložená");
    stored.name = "xy";
    ASSERT_TRUE(WriteFileBytes(folder.File("notes.bin"), EncodeNotes({ stored })));
    StartIn(folder);
    ASSERT_EQ(1u, program.NoteWindows().size());
    HWND main = program.Main();

    EndBy(GetParam());

    DWORD code = 1;
    ASSERT_TRUE(program.WaitExit(&code)) << "still running after " << GetParam();
    EXPECT_EQ(0u, code);
    EXPECT_FALSE(TrayIconPresent(main)) << "tray icon left behind";
    EXPECT_EQ(EncodeNotes({ stored }), ReadFileBytes(folder.File("notes.bin"))) << "an untouched file was written";
}

INSTANTIATE_TEST_SUITE_P(EveryWay, EndingE2eTest,
                         ::testing::Values("close box", "Alt+F4", "main menu", "tray menu"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             std::string name;
                             for (const char* c = info.param; *c; ++c)
                                 if (isalnum(static_cast<unsigned char>(*c)))
                                     name += *c;
                             return name;
                         });

} // namespace
