#include "notes/note_window.h"
#include "app/app.h"
#include "app/message_boxes.h"
#include "app/modal_loops.h"
#include "dialogs/about_dialog.h"
#include "dialogs/choosers.h"
#include "notes/autosave.h"
#include "notes/note_collection.h"
#include "notes/note_time.h"
#include "notes/placement.h"
#include "notes/preview.h"
#include "res/resource.h"
#include "storage/settings.h"
#include <commctrl.h>

int RegisterNoteClass()
{
    WNDCLASSEXA wc;
    ZeroMemory(&wc, sizeof wc);
    wc.cbSize = sizeof wc;
    wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = NoteWndProc;
    wc.hInstance = g_hInst;
    wc.hIcon = LoadIconA(g_hInst, MAKEINTRESOURCEA(IDI_APP));
    wc.hIconSm = LoadIconA(g_hInst, MAKEINTRESOURCEA(IDI_APP));
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    wc.lpszClassName = NOTE_CLASS_NAME;
    return RegisterClassExA(&wc) ? 1 : 0;
}

// Hides the window and shows it again, so that a new frame takes effect.
static void ReshowWindow(HWND window)
{
    ShowWindow(window, SW_HIDE);
    ShowWindow(window, SW_SHOW);
}

// The pointer's visit ends without waiting for its leave report, which may never come: under
// Wine none comes while the pointer stays on a note expanded from its mark, nor after a click on
// the note's close box. The mark, packed again, would then never open its preview; instead its
// next move arms the preview and asks for a report anew. (Cancelling the old report is no better:
// under Wine that holds up the next clicks for seconds.)
static void EndPointerVisit(HWND window)
{
    SetNoteTracking(window, 0);
    SetNoteArmed(window, 1);
    SetNoteHover(window, 0);
}

void PackNote(HWND window)
{
    if (FindNote(window) < 0)
        return;
    if (IsIconic(window))   // a mark is never minimized: the note comes back first
        ShowWindow(window, SW_RESTORE);
    HWND edit = GetWindow(window, GW_CHILD);
    ShowWindow(edit, SW_HIDE);
    SetWindowLongA(window, GWL_EXSTYLE, NOTE_PACKED_EX_STYLE);
    SetWindowLongA(window, GWL_STYLE, static_cast<LONG>(NOTE_PACKED_STYLE));
    ReshowWindow(window);
    // Showing dispatches messages, and one of them may have destroyed the note.
    const int index = FindNote(window);
    if (index < 0)
        return;
    EndPointerVisit(window);
    NoteRecord& note = Notes.items[index];
    note.state = NOTE_PACKED;
    const int x = note.x, y = note.y;
    SetMenu(window, nullptr);
    SetWindowPos(window, HWND_TOPMOST, x, y,
                 Settings.PackedNoteSize.cx, Settings.PackedNoteSize.cy, 0);
    ShowWindow(edit, SW_HIDE);
}

void UnpackNote(HWND window)
{
    int index = FindNote(window);
    if (index < 0)
        return;
    RECT mark;
    GetWindowRect(window, &mark);
    Notes.items[index].x = mark.left;
    Notes.items[index].y = mark.top;
    SetWindowLongA(window, GWL_EXSTYLE, NOTE_EXPANDED_EX_STYLE);
    SetWindowLongA(window, GWL_STYLE, NOTE_EXPANDED_STYLE);
    HWND edit = GetWindow(window, GW_CHILD);
    ReshowWindow(window);
    SetWindowRgn(window, nullptr, TRUE);
    index = FindNote(window);
    if (index < 0)
        return;
    NoteRecord& note = Notes.items[index];
    note.state = NOTE_EXPANDED;
    SetMenu(window, note.hmenu);
    POINT at = PlaceExpandedNote(mark.left, mark.top, MonitorAreaNear(mark), Settings.NoteSize);
    SetWindowPos(window, HWND_TOPMOST, at.x, at.y, Settings.NoteSize.cx, Settings.NoteSize.cy, 0);
    UpdateNoteTitle(window);
    ShowWindow(edit, SW_SHOW);
    SetFocus(edit);
}

void UpdateNoteTitle(HWND window)
{
    int index = FindNote(window);
    if (index < 0)
        return;
    char title[NOTE_TITLE_SIZE];
    FormatNoteTitle(Notes.items[index].created, title);
    SetWindowTextA(window, title);
}

void OnNotePaint(HWND window)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    RECT client;
    GetClientRect(window, &client);
    int index = FindNote(window);
    if (index >= 0 && Notes.items[index].state == NOTE_PACKED) {
        HBRUSH brush = CreateSolidBrush(Notes.items[index].markColor);
        HGDIOBJ oldBrush = SelectObject(dc, brush);
        Rectangle(dc, client.left, client.top, client.right, client.bottom);
        SelectObject(dc, oldBrush);
        DeleteObject(brush);
    }
    EndPaint(window, &ps);
}

void OnNoteSize(HWND window, WPARAM, LPARAM lParam)
{
    int index = FindNote(window);
    if (index < 0 || !IsWindow(Notes.items[index].hwndEdit))
        return;
    SetWindowPos(Notes.items[index].hwndEdit, nullptr, 0, 0, LOWORD(lParam), HIWORD(lParam),
                 SWP_NOZORDER);
}

static void ExpandMark(HWND window)
{
    HidePopup();
    EndPointerVisit(window);
    UnpackNote(window);
}

static bool IsKeyDown(int key)
{
    return (GetAsyncKeyState(key) & 0x8000) != 0;
}

// GetAsyncKeyState reads the physical buttons: with swapped buttons the primary one is the right.
static int PrimaryButton()
{
    return GetSystemMetrics(SM_SWAPBUTTON) ? VK_RBUTTON : VK_LBUTTON;
}

// A primary press on client area is a press on a caption, so the system drags the mark.
static LRESULT OnNoteHitTest(HWND window, WPARAM wParam, LPARAM lParam)
{
    LRESULT hit = DefWindowProcA(window, WM_NCHITTEST, wParam, lParam);
    if (hit != HTCLIENT || !IsKeyDown(PrimaryButton()))
        return hit;
    if (IsKeyDown(VK_CONTROL)) {
        ExpandMark(window);
        return DefWindowProcA(window, WM_NCHITTEST, wParam, lParam);
    }
    return HTCAPTION;
}

static void Recolor(HWND window, COLORREF color)
{
    SetNoteColor(window, color);
    RedrawNow(window);
    SaveAfterChange(CHANGE_COLOUR, window);
}

// The one timer of a note: it ends TYPING_PAUSE_MS after the last change of the text.
static const UINT_PTR TYPING_TIMER = 1;

// Each change starts the wait again, so a note is saved once per pause, not once per key. Only a
// note the user sees: the text given to a note being made is no typing.
static void OnNoteTextChanged(HWND window)
{
    const int index = FindNote(window);
    if (index >= 0 && Notes.items[index].state == NOTE_EXPANDED)
        SetTimer(window, TYPING_TIMER, TYPING_PAUSE_MS, nullptr);
}

static void OnNoteTimer(HWND window, WPARAM timer)
{
    if (timer != TYPING_TIMER)
        return;
    KillTimer(window, TYPING_TIMER);
    SaveAfterChange(CHANGE_TYPED, window);
}

static void OnNoteCommand(HWND window, WPARAM wParam, LPARAM lParam)
{
    if (lParam && HIWORD(wParam) == EN_CHANGE) {
        OnNoteTextChanged(window);
        return;
    }
    switch (LOWORD(wParam)) {
    case IDM_ABOUT:       ShowAbout(); break;
    case IDM_PACK:        PackNote(window); SaveAfterChange(CHANGE_PACKED, window); break;
    case IDM_UNPACK:      ExpandMark(window); break;
    case IDM_RED:         Recolor(window, RGB(255, 0, 0)); break;
    case IDM_BLUE:        Recolor(window, RGB(0, 0, 255)); break;
    case IDM_YELLOW:      Recolor(window, RGB(255, 255, 160)); break;
    case IDM_GREEN:       Recolor(window, RGB(0, 208, 0)); break;
    case IDM_CUSTOMCOLOR: Recolor(window, ChooseColour(GetNoteColor(window), nullptr)); break;
    case IDM_DELETE:
        if (AskYesNo("Opravdu odstranit tento záznam?")) {
            DestroyWindow(window);  // the record is gone when this returns
            SaveAfterChange(CHANGE_DELETED);
        }
        break;
    }
}

static void OnNoteMouseMove(HWND window)
{
    // The leave report is asked for before the preview shows: Wine starts tracking only while
    // the pointer is still over the window, and showing the preview lets other threads run.
    if (!GetNoteTracking(window)) {
        TRACKMOUSEEVENT tme = { sizeof tme, TME_LEAVE, window, HOVER_DEFAULT };
        if (!_TrackMouseEvent(&tme))
            ErrorBox("Chyba _TrackMouseEvent");
        SetNoteTracking(window, 1);
    }
    if (GetNoteArmed(window)) {
        SetNoteArmed(window, 0);
        SetNoteHover(window, 1);
        if (IsNotePacked(window)) {
            ShowPopup(window);
            RedrawNow(window);
        }
    }
}

static void OnNoteMouseLeave(HWND window)
{
    if (IsNotePacked(window))
        HidePopup();
    SetNoteTracking(window, 0);
    SetNoteArmed(window, 1);
    SetNoteHover(window, 0);
    RedrawNow(window);
}

static void OpenMarkMenu(HWND window)
{
    POINT pt;
    GetCursorPos(&pt);
    // Without the foreground the menu would not close when the user clicks elsewhere.
    SetForegroundWindow(window);
    TrackPopupMenuEx(g_hMarkMenu, 0, pt.x, pt.y, window, nullptr);
}

// However the note was activated, typing goes into its text, never to the frame.
static void OnNoteSetFocus(HWND window)
{
    const int index = FindNote(window);
    if (index >= 0 && Notes.items[index].state == NOTE_EXPANDED && IsWindowVisible(Notes.items[index].hwndEdit))
        SetFocus(Notes.items[index].hwndEdit);
}

// Closing a note only packs it; deleting takes the explicit command. True when handled.
static bool OnNoteSysCommand(HWND window, WPARAM wParam)
{
    if (SystemCommandOf(wParam) != SC_CLOSE)
        return false;
    PackNote(window);
    SaveAfterChange(CHANGE_PACKED, window);
    return true;
}

// A mark dropped after a drag, or a note moved or sized: saved, and what waited for the drag to
// end is told.
static void OnNoteExitSizeMove(HWND window)
{
    SaveAfterChange(CHANGE_MOVED, window);
    LeaveModalLoop();
}

static void OnNoteDestroy(HWND window)
{
    SendMessageA(g_hMainWnd, WM_NOTE_DESTROYED, reinterpret_cast<WPARAM>(window),
                 reinterpret_cast<LPARAM>(window));
}

LRESULT CALLBACK NoteWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_DESTROY:        OnNoteDestroy(window); break;
    case WM_SIZE:           OnNoteSize(window, wParam, lParam); break;
    case WM_PAINT:          OnNotePaint(window); break;
    case WM_SETFOCUS:       OnNoteSetFocus(window); break;
    case WM_NCHITTEST:      return OnNoteHitTest(window, wParam, lParam);
    case WM_COMMAND:        OnNoteCommand(window, wParam, lParam); break;
    case WM_TIMER:          OnNoteTimer(window, wParam); break;
    case WM_SYSCOMMAND:
        if (OnNoteSysCommand(window, wParam))
            return 0;
        break;
    case WM_MOUSEMOVE:      OnNoteMouseMove(window); break;
    case WM_LBUTTONDBLCLK:
    case WM_MBUTTONDOWN:    ExpandMark(window); break;
    case WM_RBUTTONUP:      OpenMarkMenu(window); break;
    case WM_MOUSELEAVE:     OnNoteMouseLeave(window); break;
    case WM_ENTERMENULOOP:
    case WM_ENTERSIZEMOVE:  EnterModalLoop(); break;
    case WM_EXITMENULOOP:   LeaveModalLoop(); break;
    case WM_EXITSIZEMOVE:   OnNoteExitSizeMove(window); break;
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE)
            SaveAfterChange(CHANGE_LEFT, window);
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
