#include "app/main_window.h"
#include "app/app.h"
#include "app/modal_loops.h"
#include "app/tray.h"
#include "dialogs/about_dialog.h"
#include "dialogs/settings_dialog.h"
#include "notes/autosave.h"
#include "notes/note_collection.h"
#include "notes/note_store.h"
#include "notes/note_sync.h"
#include "notes/save_telling.h"
#include "res/resource.h"
#include "storage/folder_watch.h"
#include <shellapi.h>

// Sent to every top-level window when the taskbar starts (again).
static UINT TaskbarCreatedMessage;

int RegisterMainClass()
{
    TaskbarCreatedMessage = RegisterWindowMessageA("TaskbarCreated");
    WNDCLASSEXA wc;
    ZeroMemory(&wc, sizeof wc);
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = MainWndProc;
    wc.hInstance = g_hInst;
    wc.hIcon = LoadIconA(g_hInst, MAKEINTRESOURCEA(IDI_APP));
    wc.hIconSm = static_cast<HICON>(LoadImageA(g_hInst, MAKEINTRESOURCEA(IDI_SMALL), IMAGE_ICON,
                                               16, 16, LR_DEFAULTCOLOR));
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    wc.lpszMenuName = MAKEINTRESOURCEA(IDR_MAINMENU);
    wc.lpszClassName = MAIN_CLASS_NAME;
    return RegisterClassExA(&wc) ? 1 : 0;
}

HWND CreateMainWindow()
{
    return CreateWindowExA(0, MAIN_CLASS_NAME, APP_TITLE,
                           WS_OVERLAPPED | WS_SYSMENU | WS_MINIMIZEBOX | WS_VISIBLE,
                           100, 100, 320, 150, nullptr, nullptr, g_hInst, nullptr);
}

static void TextAt(HDC dc, int x, int y, const char* text)
{
    TextOutA(dc, x, y, text, lstrlenA(text));
}

void PaintMainWindow()
{
    HFONT font = CreateFontA(14, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, ANSI_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                             FF_SWISS | DEFAULT_PITCH, "Verdana");
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(g_hMainWnd, &ps);
    HGDIOBJ oldFont = SelectObject(dc, font);
    HICON icon = reinterpret_cast<HICON>(GetClassLongPtrA(g_hMainWnd, GCLP_HICON));
    DrawIconEx(dc, 10, 20, icon, 32, 32, 0, nullptr, DI_NORMAL);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(128, 0, 0));
    TextAt(dc, 64, 18, APP_TITLE);
    SetTextColor(dc, RGB(0, 0, 128));
    TextAt(dc, 64, 36, AUTHOR_LINE);
    TextAt(dc, 64, 54, MAKER_HOST);
    SelectObject(dc, oldFont);
    EndPaint(g_hMainWnd, &ps);
    DeleteObject(font);
}

static void OpenShellAddress(const char* address)
{
    ShellExecuteA(nullptr, "open", address, nullptr, nullptr, SW_SHOWDEFAULT);
}

static void OnMainCommand(WPARAM wParam)
{
    switch (LOWORD(wParam)) {
    case IDM_SAVE:      SaveNotes(SaveKind::COMMAND, true); break;
    case IDM_EXIT:      SendMessageA(g_hMainWnd, WM_CLOSE, 0, 0); break;
    case IDM_ADD:
        if (AddNote(0, 0, nullptr, NOTE_EXPANDED))
            SaveAfterChange(CHANGE_ADDED);
        break;
    case IDM_ABOUT:     ShowAbout(); break;
    case IDM_SHOWMAIN:  ShowMainWindow(); break;
    case IDM_SETTINGS:
        if (ShowSettings())
            SaveAfterChange(CHANGE_SETTINGS);
        break;
    case IDM_UNPACKALL: UnpackAll(); SaveAfterChange(CHANGE_ALL_NOTES); break;
    case IDM_PACKALL:   PackAll(); SaveAfterChange(CHANGE_ALL_NOTES); break;
    case IDM_HIDEALL:   HideAll(); SaveAfterChange(CHANGE_ALL_NOTES); break;
    case IDM_SHOWALL:   ShowAll(); SaveAfterChange(CHANGE_ALL_NOTES); break;
    case IDM_WEB:       OpenShellAddress(MAKER_URL); break;
    case IDM_EMAIL:     OpenShellAddress(SUPPORT_MAILTO); break;
    }
}

// The session ends: saved at WM_QUERYENDSESSION, and the system ends the process once this
// returns, so nothing may still be on its way to the disk.
static void OnMainEndSession(WPARAM ending)
{
    if (!ending)
        return;
    EndSaves();
    StopFolderWatch();
    WaitForSavesShowingMerges();
}

// Minimizing hides instead: the program lives in the notification area. Without an icon there
// the window would be the only way back, so it is minimized as usual. True when handled.
static bool OnMainSysCommand(HWND window, WPARAM wParam)
{
    if (SystemCommandOf(wParam) != SC_MINIMIZE || !HasTrayIcon())
        return false;
    ShowWindow(window, SW_HIDE);
    return true;
}

// A save has ended, or the last modal loop: texts now on disk are no longer changed, and what
// the background has to tell or show is told or shown where nothing is in the way.
static void OnMainSaveDone()
{
    MarkTextsSaved();
    TellSaves();
    ShowMergedNotes();
}

static void OnMainDestroy()
{
    EndSaves();
    ReportSavesTo(nullptr, 0);
    DestroyMenu(g_hMarkMenu);
    g_hMarkMenu = nullptr;
    PostQuitMessage(0);
}

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:         ReportSavesTo(window, WM_SAVE_DONE, WM_NOTES_MERGED); break;
    case WM_PAINT:          PaintMainWindow(); break;
    case WM_CLOSE:
        if (!Shutdown())
            return 0;
        break;
    case WM_DESTROY:        OnMainDestroy(); break;
    case WM_NCDESTROY:      g_hMainWnd = nullptr; break;
    // Never asks, and no box holds the log-off up: what there is to tell, the next start tells.
    case WM_QUERYENDSESSION: SaveNotes(SaveKind::SESSION_END); break;
    case WM_ENDSESSION:     OnMainEndSession(wParam); break;
    case WM_SAVE_DONE:      OnMainSaveDone(); break;
    case WM_NOTES_MERGED:   ShowMergedNotes(); break;
    case WM_ENTERMENULOOP:
    case WM_ENTERSIZEMOVE:  EnterModalLoop(); break;
    case WM_EXITMENULOOP:
    case WM_EXITSIZEMOVE:   LeaveModalLoop(); break;
    case WM_COMMAND:        OnMainCommand(wParam); break;
    case WM_SYSCOMMAND:
        if (OnMainSysCommand(window, wParam))
            return 0;
        break;
    case WM_NOTE_DESTROYED: RemoveNote(reinterpret_cast<HWND>(wParam)); break;
    case WM_TRAY_NOTIFY:    OnTrayNotify(lParam); break;
    default:
        // Without an icon the main window is the only way back to the program.
        if (message == TaskbarCreatedMessage && message != 0 && !AddTrayIcon())
            ShowWindow(window, SW_SHOWNA);
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
