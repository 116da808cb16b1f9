#include "app/app.h"
#include "app/main_window.h"
#include "app/message_boxes.h"
#include "app/tray.h"
#include "notes/note_collection.h"
#include "notes/note_store.h"
#include "notes/note_window.h"
#include "notes/preview.h"
#include "res/resource.h"
#include "storage/data_file.h"
#include "storage/folder_watch.h"
#include "storage/settings.h"

const char APP_TITLE[] = "Memovky 1.5";

HINSTANCE g_hInst;
HWND g_hMainWnd;
HMENU g_hMarkMenu;
HMENU g_hTrayMenu;

static MSG LoopMessage;

// Only the bar of the menu resource is loaded; the pop-up inside it is what the program uses.
static HMENU LoadPopupMenu(int id)
{
    return GetSubMenu(LoadMenuA(g_hInst, MAKEINTRESOURCEA(id)), 0);
}

int InitApplication()
{
    SetDefaultSettings();
    FatalBoxes(LoadSettings());
    ComposeDataFile();
    g_hMarkMenu = LoadPopupMenu(IDR_MARKMENU);
    if (!RegisterMainClass() || !RegisterNoteClass() || !RegisterPopupClass())
        return 0;
    g_hMainWnd = CreateMainWindow();
    if (!g_hMainWnd)
        return 0;
    g_hTrayMenu = LoadPopupMenu(IDR_TRAYMENU);
    LoadNotes();
    // A box of a note that could not be made may have ended the program.
    if (!g_hMainWnd)
        return 0;
    StartFolderWatch();
    // Without an icon the main window is the only way back to the program.
    if (AddTrayIcon())
        ShowWindow(g_hMainWnd, SW_HIDE);
    return 1;
}

// Unicode: an ANSI loop would turn typed characters outside the code page into '?' on their way
// to the notes' edit boxes.
int RunMessageLoop()
{
    while (GetMessageW(&LoopMessage, nullptr, 0, 0)) {
        TranslateMessage(&LoopMessage);
        DispatchMessageW(&LoopMessage);
    }
    // Exit waited for its save; nothing is handed over since, and nothing is left in flight.
    StopFolderWatch();
    StopSaveWriter();
    return static_cast<int>(LoopMessage.wParam);
}

int Shutdown()
{
    if (!SaveNotes(SaveKind::COMMAND) && !AskYesNo("Memovky se nepodařilo uložit.\nPřesto ukončit program?"))
        return 0;
    // Saved: destroying the windows must not write the file again, nor show another's notes.
    EndSaves();
    StopFolderWatch();
    DestroyAllNotes();
    // Not there yet when the program is ended while its notes are being made.
    if (HasTrayIcon())
        RemoveTrayIcon();
    DestroyMenu(g_hTrayMenu);
    g_hTrayMenu = nullptr;
    return 1;
}
