#include "tests/support/app_fixture.h"
#include "app/app.h"
#include "app/main_window.h"
#include "app/system_calls.h"
#include "app/tray.h"
#include "notes/note_collection.h"
#include "notes/note_window.h"
#include "notes/preview.h"
#include "res/resource.h"
#include "storage/data_file.h"
#include "notes/note_store.h"
#include "storage/folder_watch.h"
#include "storage/settings.h"
#include "tests/support/poll.h"
#include <shellapi.h>

void UnregisterProgramClasses()
{
    UnregisterClassA(MAIN_CLASS_NAME, g_hInst);
    UnregisterClassA(NOTE_CLASS_NAME, g_hInst);
    WNDCLASSEXA wc = { sizeof wc };
    if (GetClassInfoExA(g_hInst, POPUP_CLASS_NAME, &wc) && UnregisterClassA(POPUP_CLASS_NAME, g_hInst))
        DeleteObject(wc.hbrBackground);
}

void AppTest::SetUp()
{
    g_hInst = GetModuleHandleA(nullptr);
    DeleteSettingsKey();
    DrainQuitMessage();
}

void AppTest::TearDown()
{
    EndProgramInProcess();
    DeleteSettingsKey();
    // The program's writer has stopped: no stand-in is in use any more.
    ResetSystemCalls();
}

void AppTest::StartProgram()
{
    WriteSettingsText("DataFolder", folder.Path());
    ASSERT_EQ(1, InitApplication()) << "start-up failed";
}

bool StartWindowsIn(const std::string& dataFolder)
{
    SetDefaultSettings();
    lstrcpynA(Settings.DataFolder, dataFolder.c_str(), sizeof Settings.DataFolder);
    ComposeDataFile();
    g_hMarkMenu = GetSubMenu(LoadMenuA(g_hInst, MAKEINTRESOURCEA(IDR_MARKMENU)), 0);
    if (!RegisterMainClass() || !RegisterNoteClass() || !RegisterPopupClass())
        return false;
    g_hMainWnd = CreateMainWindow();
    g_hTrayMenu = GetSubMenu(LoadMenuA(g_hInst, MAKEINTRESOURCEA(IDR_TRAYMENU)), 0);
    ShowWindow(g_hMainWnd, SW_HIDE);
    return g_hMainWnd != nullptr;
}

void AppTest::StartWindowsOnly()
{
    ASSERT_TRUE(StartWindowsIn(folder.Path())) << "a class or the main window could not be made";
}

HBRUSH PopupClassBrush()
{
    WNDCLASSEXA wc = { sizeof wc };
    return GetClassInfoExA(g_hInst, POPUP_CLASS_NAME, &wc) ? wc.hbrBackground : nullptr;
}

COLORREF BrushColour(HBRUSH brush)
{
    LOGBRUSH lb = {};
    GetObjectA(brush, sizeof lb, &lb);
    return lb.lbColor;
}

void ExpectDefaultSettings()
{
    EXPECT_EQ(RGB(255, 0, 0), Settings.MarkColor);
    EXPECT_EQ(GetSysColor(COLOR_INFOBK), Settings.PopupColor);
    EXPECT_EQ(16, Settings.PackedNoteSize.cx);
    EXPECT_EQ(16, Settings.PackedNoteSize.cy);
    EXPECT_EQ(300, Settings.NoteSize.cx);
    EXPECT_EQ(250, Settings.NoteSize.cy);
    EXPECT_STREQ("c:\\", Settings.DataFolder);
}

void EndProgramInProcess()
{
    HidePopup();
    SetTrayTipLine("");
    StopFolderWatch();
    EndSaves();
    StopSaveWriter();
    DestroyAllNotes();
    if (g_hMainWnd) {
        // Quietly drop a tray icon that may be left; nothing to report if there is none.
        NOTIFYICONDATAA nid = {};
        nid.cbSize = NOTIFYICONDATAA_V1_SIZE;
        nid.hWnd = g_hMainWnd;
        nid.uID = 1;
        Shell_NotifyIconA(NIM_DELETE, &nid);
        DestroyWindow(g_hMainWnd);
    }
    if (g_hTrayMenu)
        DestroyMenu(g_hTrayMenu);
    g_hTrayMenu = nullptr;
    g_hMainWnd = nullptr;
    PumpPending();
    DrainQuitMessage();
    UnregisterProgramClasses();
}

HWND AppTest::AddExpandedNote(const char* text)
{
    if (!AddNote(0, 0, text, NOTE_EXPANDED))
        return nullptr;
    return Notes.items[Notes.count - 1].hwnd;
}

HWND AppTest::AddPackedNote(int x, int y, const char* text)
{
    if (!AddNote(x, y, text, NOTE_PACKED))
        return nullptr;
    return Notes.items[Notes.count - 1].hwnd;
}

HWND AppTest::NoteWindowAt(int index)
{
    return index < Notes.count ? Notes.items[index].hwnd : nullptr;
}
