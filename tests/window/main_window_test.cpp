// The main window: start-up state, its commands, hiding and showing, the tray menu, the end.
#include "app/system_calls.h"
#include "app/app.h"
#include "app/main_window.h"
#include "app/message_boxes.h"
#include "app/tray.h"
#include "notes/note_collection.h"
#include "res/resource.h"
#include "storage/settings.h"
#include "tests/support/app_fixture.h"
#include "tests/support/poll.h"
#include <shellapi.h>

namespace {

using MainWindowTest = AppTest;

TEST_F(MainWindowTest, ClassIsRegisteredWithItsAttributes)
{
    StartWindowsOnly();
    WNDCLASSEXA wc = { sizeof wc };
    ASSERT_TRUE(GetClassInfoExA(g_hInst, "DAVududMainClass", &wc));
    EXPECT_EQ(0u, wc.style);
    EXPECT_EQ(reinterpret_cast<WNDPROC>(MainWndProc), wc.lpfnWndProc);
    EXPECT_EQ(0, wc.cbClsExtra);
    EXPECT_EQ(0, wc.cbWndExtra);
    EXPECT_NE(nullptr, wc.hIcon);
    EXPECT_NE(nullptr, wc.hIconSm);
    EXPECT_EQ(LoadCursorA(nullptr, IDC_ARROW), wc.hCursor);
    EXPECT_EQ(reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1), wc.hbrBackground);
    EXPECT_EQ(MAKEINTRESOURCEA(IDR_MAINMENU), wc.lpszMenuName);
}

TEST_F(MainWindowTest, FirstStartUsesDefaultsShowsNoBoxAndEndsHiddenInTheTray)
{
    // No key at all: start-up creates it, empty, and runs on the defaults.
    ASSERT_EQ(1, InitApplication());
    EXPECT_EQ(0u, boxes.Count()) << boxes.Summary();
    EXPECT_EQ(0, CountSettingsValues()) << "the key must exist and hold no values";
    ExpectDefaultSettings();
    EXPECT_STREQ("c:\\\\notes.bin", Settings.DataFile);
    EXPECT_EQ(0, Notes.count);

    ASSERT_TRUE(IsWindow(g_hMainWnd));
    EXPECT_FALSE(IsWindowVisible(g_hMainWnd));
    EXPECT_TRUE(TrayIconPresent(g_hMainWnd));
    EXPECT_EQ("Memovky 1.5", WindowText(g_hMainWnd));
    EXPECT_EQ(nullptr, GetWindow(g_hMainWnd, GW_OWNER));
    EXPECT_TRUE(IsMenu(g_hMarkMenu));
    EXPECT_TRUE(IsMenu(g_hTrayMenu));
    EXPECT_EQ(3, GetMenuItemCount(GetMenu(g_hMainWnd)));

    const DWORD style = GetWindowLongA(g_hMainWnd, GWL_STYLE);
    EXPECT_EQ(static_cast<DWORD>(WS_SYSMENU | WS_MINIMIZEBOX | WS_CAPTION),
              style & ~(WS_CLIPSIBLINGS | WS_VISIBLE)) << std::hex << style;
    EXPECT_TRUE(SameRect(RECT{ 100, 100, 420, 250 }, WindowRect(g_hMainWnd))) << Describe(WindowRect(g_hMainWnd));
}

// The notification area of a taskbar that is not there yet: it takes no new icon.
BOOL WINAPI RefuseNewIcons(DWORD message, PNOTIFYICONDATAA data)
{
    return message == NIM_ADD ? FALSE : Shell_NotifyIconA(message, data);
}

void SendTaskbarCreated()
{
    SendMessageA(g_hMainWnd, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
}

TEST_F(MainWindowTest, RestartedTaskbarGetsTheIconBack)
{
    StartProgram();
    // A restarting taskbar forgets every icon.
    NOTIFYICONDATAA nid = { NOTIFYICONDATAA_V1_SIZE, g_hMainWnd, 1 };
    ASSERT_TRUE(Shell_NotifyIconA(NIM_DELETE, &nid));
    ASSERT_FALSE(TrayIconPresent(g_hMainWnd));
    SendTaskbarCreated();
    EXPECT_TRUE(TrayIconPresent(g_hMainWnd)) << "the icon did not come back";
    // The message also comes while the icon is still there.
    SendTaskbarCreated();
    EXPECT_TRUE(TrayIconPresent(g_hMainWnd));
    EXPECT_EQ(0u, boxes.Count()) << boxes.Summary();
    EXPECT_FALSE(IsWindowVisible(g_hMainWnd));

    // A taskbar that takes no icon: the box, and the main window comes up as the way back.
    ASSERT_TRUE(Shell_NotifyIconA(NIM_DELETE, &nid));
    g_sys.Shell_NotifyIconA = RefuseNewIcons;
    SendTaskbarCreated();
    g_sys.Shell_NotifyIconA = Shell_NotifyIconA;
    EXPECT_EQ(1u, boxes.Count()) << boxes.Summary();
    EXPECT_TRUE(IsWindowVisible(g_hMainWnd));
}

// The real notification area (a second NIM_ADD of one icon fails), noting every icon handed over.
std::vector<HICON> IconsHandedOver;
BOOL WINAPI NoteIcons(DWORD message, PNOTIFYICONDATAA data)
{
    if (data->uFlags & NIF_ICON)
        IconsHandedOver.push_back(data->hIcon);
    return Shell_NotifyIconA(message, data);
}

// A shell that starts late announces itself while a box of the start-up is open.
MessageBoxFn RecordBox;
int WINAPI TaskbarArrivesDuringTheBox(HWND owner, LPCSTR text, LPCSTR caption, UINT flags)
{
    SendTaskbarCreated();
    return RecordBox(owner, text, caption, flags);
}

TEST_F(MainWindowTest, TaskbarArrivingDuringAStartUpBoxLeavesOneBoxOneIconLoadedOnceAndTheWindowHidden)
{
    ASSERT_TRUE(CreateDirectoryA(folder.File("notes.bin").c_str(), nullptr)) << "for an unreadable notes.bin";
    RecordBox = g_sys.MessageBoxA;
    g_sys.MessageBoxA = TaskbarArrivesDuringTheBox;
    g_sys.Shell_NotifyIconA = NoteIcons;
    StartProgram();
    g_sys.MessageBoxA = RecordBox;
    g_sys.Shell_NotifyIconA = Shell_NotifyIconA;
    ASSERT_EQ(1u, boxes.Count()) << boxes.Summary();
    EXPECT_EQ("Nelze načíst datový soubor", boxes.Boxes()[0].text);
    EXPECT_TRUE(TrayIconPresent(g_hMainWnd));
    EXPECT_FALSE(IsWindowVisible(g_hMainWnd)) << "the icon is there: the window must be hidden";
    ASSERT_GE(IconsHandedOver.size(), 2u);
    for (HICON icon : IconsHandedOver)
        EXPECT_EQ(IconsHandedOver[0], icon) << "the icon was loaded again";
}

// The size of an icon as its own bitmaps have it; a monochrome icon's mask is twice as high.
SIZE IconSize(HICON icon)
{
    ICONINFO info = {};
    if (!GetIconInfo(icon, &info))
        return SIZE{};
    BITMAP bitmap = {};
    GetObjectA(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
    const SIZE size = { bitmap.bmWidth, info.hbmColor ? bitmap.bmHeight : bitmap.bmHeight / 2 };
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return size;
}

TEST_F(MainWindowTest, TrayIconHasTheSmallIconSizeOfTheSystem)
{
    ASSERT_NE(GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CXSMICON)) << "the sizes must differ to be told apart";
    IconsHandedOver.clear();
    g_sys.Shell_NotifyIconA = NoteIcons;
    StartProgram();
    g_sys.Shell_NotifyIconA = Shell_NotifyIconA;
    ASSERT_EQ(1u, IconsHandedOver.size());
    const SIZE size = IconSize(IconsHandedOver[0]);
    EXPECT_EQ(GetSystemMetrics(SM_CXSMICON), size.cx);
    EXPECT_EQ(GetSystemMetrics(SM_CYSMICON), size.cy);
}

TEST_F(MainWindowTest, WithoutATaskbarAtStartTheWindowStaysShownUntilTheIconCanBeAdded)
{
    g_sys.Shell_NotifyIconA = RefuseNewIcons;
    WriteSettingsText("DataFolder", folder.Path());
    const int started = InitApplication();
    g_sys.Shell_NotifyIconA = Shell_NotifyIconA;
    ASSERT_EQ(1, started);
    ASSERT_EQ(1u, boxes.Count()) << boxes.Summary();
    EXPECT_EQ("Chyba při vytváření notifikační ikony", boxes.Boxes()[0].text);
    EXPECT_FALSE(TrayIconPresent(g_hMainWnd));
    EXPECT_TRUE(IsWindowVisible(g_hMainWnd)) << "no icon and no window: the program cannot be reached";
    SendMessageA(g_hMainWnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_TRUE(IsWindowVisible(g_hMainWnd)) << "minimized without an icon, the window must stay reachable";

    SendTaskbarCreated();
    EXPECT_TRUE(TrayIconPresent(g_hMainWnd)) << "the taskbar's arrival did not add the icon";
    EXPECT_EQ(1u, boxes.Count()) << boxes.Summary();
    SendMessageA(g_hMainWnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_FALSE(IsWindowVisible(g_hMainWnd)) << "with the icon there, minimizing hides";
}

TEST_F(MainWindowTest, MinimizeHidesAndShowCommandOrTrayDoubleClickRestoresInPlace)
{
    StartProgram();
    HWND note = AddExpandedNote();
    const RECT noteRect = WindowRect(note);
    SendMessageA(g_hMainWnd, WM_COMMAND, IDM_SHOWMAIN, 0);
    ASSERT_TRUE(IsWindowVisible(g_hMainWnd));
    SetWindowPos(g_hMainWnd, nullptr, 150, 130, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    const RECT placed = WindowRect(g_hMainWnd);

    EXPECT_EQ(0, SendMessageA(g_hMainWnd, WM_SYSCOMMAND, SC_MINIMIZE, 0));
    EXPECT_FALSE(IsWindowVisible(g_hMainWnd)) << "minimize must hide";
    EXPECT_FALSE(IsIconic(g_hMainWnd)) << "minimize must not minimize";

    SendMessageA(g_hMainWnd, WM_COMMAND, IDM_SHOWMAIN, 0);
    EXPECT_TRUE(IsWindowVisible(g_hMainWnd));
    EXPECT_TRUE(SameRect(placed, WindowRect(g_hMainWnd))) << Describe(WindowRect(g_hMainWnd));

    // The low four bits are the system's own: with any of them set it is still the minimize.
    EXPECT_EQ(0, SendMessageA(g_hMainWnd, WM_SYSCOMMAND, SC_MINIMIZE | 1, 0));
    EXPECT_FALSE(IsWindowVisible(g_hMainWnd)) << "SC_MINIMIZE | 1 must hide";
    EXPECT_FALSE(IsIconic(g_hMainWnd)) << "SC_MINIMIZE | 1 must not minimize";
    SendMessageA(g_hMainWnd, WM_TRAY_NOTIFY, TRAY_ICON_ID, WM_LBUTTONDBLCLK);
    EXPECT_TRUE(IsWindowVisible(g_hMainWnd)) << "tray double-click must show the main window";
    EXPECT_TRUE(SameRect(placed, WindowRect(g_hMainWnd))) << Describe(WindowRect(g_hMainWnd));
    EXPECT_EQ(g_hMainWnd, GetForegroundWindow());

    EXPECT_TRUE(IsWindowVisible(note));
    EXPECT_TRUE(SameRect(noteRect, WindowRect(note))) << "notes are not touched";
}

TEST_F(MainWindowTest, OtherTrayMouseMessagesDoNothing)
{
    StartProgram();
    for (UINT mouse : { WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN, WM_MBUTTONDOWN, WM_MBUTTONUP }) {
        SendMessageA(g_hMainWnd, WM_TRAY_NOTIFY, TRAY_ICON_ID, mouse);
        EXPECT_FALSE(IsWindowVisible(g_hMainWnd)) << "mouse message " << mouse;
    }
    EXPECT_TRUE(TopWindows(0, "#32768").empty()) << "a menu opened";
    EXPECT_EQ(0u, boxes.Count()) << boxes.Summary();
}

TEST_F(MainWindowTest, TrayMenuOpensOnRightReleaseWithItsLowerRightCornerAtThePointer)
{
    StartProgram();
    SetCursorPos(600, 450);
    POINT cursor = {};
    RECT menuRect = {};
    bool menuOwnsTrayItems = false;
    WindowDriver driver("#32768", "", [&](HWND menu) {
        GetCursorPos(&cursor);
        menuRect = WindowRect(menu);
        menuOwnsTrayItems = reinterpret_cast<HMENU>(SendMessageA(menu, MN_GETHMENU, 0, 0)) == g_hTrayMenu;
        PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
    });
    SendMessageA(g_hMainWnd, WM_TRAY_NOTIFY, TRAY_ICON_ID, WM_RBUTTONUP);
    ASSERT_TRUE(driver.Acted()) << "no menu appeared";
    EXPECT_TRUE(menuOwnsTrayItems);
    EXPECT_EQ(cursor.x, menuRect.right) << Describe(menuRect);
    EXPECT_EQ(cursor.y, menuRect.bottom) << Describe(menuRect);
    PumpPending();
    EXPECT_FALSE(IsWindowVisible(g_hMainWnd)) << "closing the menu without a choice does nothing";
    EXPECT_TRUE(IsWindow(g_hMainWnd));
}

TEST_F(MainWindowTest, CommandsOfNoteWindowsDoNothingHere)
{
    StartProgram();
    HWND note = AddExpandedNote("text");
    const RECT noteRect = WindowRect(note);
    const COLORREF color = GetNoteColor(note);
    for (int id : { IDM_PACK, IDM_UNPACK, IDM_RED, IDM_BLUE, IDM_YELLOW, IDM_GREEN, IDM_DELETE, IDM_CUSTOMCOLOR,
                    40011, 40012, 0 }) {
        SCOPED_TRACE(id);
        SendMessageA(g_hMainWnd, WM_COMMAND, MAKEWPARAM(id, 0), 0);
        PumpPending();
        EXPECT_EQ(1, Notes.count);
        EXPECT_EQ(NOTE_EXPANDED, Notes.items[0].state);
        EXPECT_EQ(color, GetNoteColor(note));
        EXPECT_TRUE(SameRect(noteRect, WindowRect(note)));
        EXPECT_FALSE(IsWindowVisible(g_hMainWnd));
    }
    EXPECT_EQ(0u, boxes.Count()) << boxes.Summary();
}

TEST_F(MainWindowTest, AddCommandOpensAnEmptyNote)
{
    StartProgram();
    SendMessageA(g_hMainWnd, WM_COMMAND, IDM_ADD, 0);
    ASSERT_EQ(1, Notes.count);
    EXPECT_EQ(NOTE_EXPANDED, Notes.items[0].state);
    EXPECT_EQ("", WindowText(Notes.items[0].hwndEdit));
    EXPECT_EQ(g_hMainWnd, GetWindow(Notes.items[0].hwnd, GW_OWNER));
}

// Every way to end the program takes the same path: saved, notes gone, tray icon gone, quit 0.
class ShutdownPathTest : public AppTest, public ::testing::WithParamInterface<const char*> {
protected:
    void Close(const std::string& how)
    {
        if (how == "WM_CLOSE")
            SendMessageA(g_hMainWnd, WM_CLOSE, 0, 0);
        else if (how == "IDM_EXIT")
            SendMessageA(g_hMainWnd, WM_COMMAND, IDM_EXIT, 0);
        else if (how == "SC_CLOSE")
            SendMessageA(g_hMainWnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    }
};

TEST_P(ShutdownPathTest, SavesDestroysNotesRemovesTheIconAndQuitsWithZero)
{
    StartProgram();
    AddExpandedNote("první");
    AddPackedNote(40, 40, "druhá");
    HWND main = g_hMainWnd;
    HMENU trayMenu = g_hTrayMenu, markMenu = g_hMarkMenu;
    HMENU noteMenu = Notes.items[0].hmenu;
    std::vector<HWND> notes = { Notes.items[0].hwnd, Notes.items[1].hwnd };
    ASSERT_TRUE(TrayIconPresent(main));

    Close(GetParam());

    EXPECT_EQ(0u, boxes.Count()) << boxes.Summary();
    EXPECT_FALSE(IsWindow(main)) << "main window not destroyed";
    for (HWND note : notes)
        EXPECT_FALSE(IsWindow(note)) << "a note window survived";
    EXPECT_EQ(0, Notes.count);
    EXPECT_EQ(nullptr, Notes.items);
    EXPECT_FALSE(IsMenu(trayMenu));
    EXPECT_FALSE(IsMenu(markMenu));
    EXPECT_FALSE(IsMenu(noteMenu));
    EXPECT_FALSE(TrayIconPresent(main)) << "tray icon left behind";
    MSG quit;
    ASSERT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "no quit message";
    EXPECT_EQ(0u, quit.wParam);
    const std::vector<uint8_t> saved = ReadFileBytes(folder.File("notes.bin"));
    EXPECT_EQ(2u, DecodeNotes(saved.data(), saved.size()).notes.size()) << "notes not saved";
}

INSTANTIATE_TEST_SUITE_P(EveryWay, ShutdownPathTest, ::testing::Values("WM_CLOSE", "IDM_EXIT", "SC_CLOSE"));

// What the main window paints: the icon, the title in dark red and two lines in navy.
TEST_F(MainWindowTest, PaintsIconTitleAndAuthorship)
{
    StartWindowsOnly();
    ShowWindow(g_hMainWnd, SW_SHOW);
    SetForegroundWindow(g_hMainWnd);
    UpdateWindow(g_hMainWnd);
    PumpPending();
    HDC dc = GetDC(g_hMainWnd);
    auto countColour = [dc](int left, int top, int right, int bottom, COLORREF colour) {
        int found = 0;
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x)
                found += GetPixel(dc, x, y) == colour;
        return found;
    };
    const COLORREF background = GetSysColor(COLOR_WINDOW);
    const int darkRedTitle = countColour(64, 18, 200, 34, RGB(128, 0, 0));
    const int navyLines = countColour(64, 36, 280, 70, RGB(0, 0, 128));
    const int navyInTitleRow = countColour(64, 18, 200, 34, RGB(0, 0, 128));
    const int iconPixels = 32 * 32 - countColour(10, 20, 42, 52, background);
    const int blankBelowIcon = countColour(10, 56, 42, 60, background);
    ReleaseDC(g_hMainWnd, dc);
    EXPECT_GT(darkRedTitle, 20) << "title not painted in dark red";
    EXPECT_GT(navyLines, 20) << "authorship and web address not painted in navy";
    EXPECT_EQ(0, navyInTitleRow) << "navy text reaches the title row";
    EXPECT_GT(iconPixels, 100) << "icon not drawn at (10, 20)";
    EXPECT_EQ(4 * 32, blankBelowIcon) << "something painted below the icon";
}

} // namespace
