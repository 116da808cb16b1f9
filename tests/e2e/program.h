// The real Memovky.exe, started as its own process and driven with real input.
#pragma once
#include <windows.h>
#include <functional>
#include <string>
#include <vector>

class RunningProgram {
public:
    RunningProgram() = default;
    ~RunningProgram();
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    bool Start();
    // Takes over the copy that already runs in this session, started by another process.
    bool Attach();
    // Lets the program run on once this object is gone.
    void Detach();
    // Start-up is over: the main window exists, is hidden, and the tray icon is there.
    bool WaitReady(DWORD timeoutMs = 20000);
    // False when the process is still running at the end of the time.
    bool WaitExit(DWORD* exitCode, DWORD timeoutMs = 20000);
    bool Running() const;

    DWORD Pid() const { return pid_; }
    HANDLE Process() const { return process_; }
    HWND Main() const { return main_; }
    std::vector<HWND> NoteWindows(bool visibleOnly = true) const;
    // The program's open message box (caption "Memovky 1.5"), if any.
    HWND MessageBoxWindow() const;

private:
    HANDLE process_ = nullptr;
    DWORD pid_ = 0;
    HWND main_ = nullptr;
};

// "&Přidat" in the "Memovka" pop-up of the tray menu: the new note's window, or null.
HWND AddNoteFromTray(const RunningProgram& program);
// The same, then a click into the new note, so that keys go to its text.
HWND AddNoteAndClickIn(const RunningProgram& program);
// The program's note window whose top-left corner is at (x, y), or null: the order of the windows
// is their stacking order, which changes as they are used.
HWND NoteAt(const RunningProgram& program, int x, int y, bool visibleOnly = true);
POINT Centre(const RECT& rect);
// "Konec" from the tray menu; false when the program did not end.
bool EndFromTray(RunningProgram& program, DWORD* exitCode);
// Drags a mark with the left button, as a hand does, until its top-left corner is at (x, y);
// false when it did not get there.
bool DragMarkTo(HWND mark, int x, int y);

// The text of a note's edit box, asked of the other process (GetWindowText would not ask it);
// exact, and in the code page.
std::wstring EditTextW(HWND note);
std::string EditText(HWND note);

// What a message box of another process shows.
struct SeenBox {
    std::string text;
    bool ok = false, yes = false, no = false, icon = false;
};
SeenBox ReadBox(HWND box);
void AnswerBox(HWND box, int button);

// Real input through the X server.
void ClickAt(int x, int y, int button = 1);
void DoubleClickAt(int x, int y);
void MoveTo(int x, int y);
void PressKeys(const std::string& keys);   // xdotool key syntax, e.g. "alt+F4"
void TypeText(const std::string& text);     // no single quotes

// The centre of our icon in the notification area (the only icon in a test prefix): in the
// taskbar, or in Wine 10's stand-alone notification window.
POINT TrayIconCentre();
// The tray menu, opened with a right click on the icon; null when it did not open.
HWND OpenTrayMenu();
// A menu window that opened besides the known ones; null when none did.
HWND WaitForNewMenu(const std::vector<HWND>& known);
// A screen point of the window where WM_NCHITTEST answers code (for example HTCLOSE).
bool FindHitPoint(HWND window, LRESULT code, POINT* at);
// The visible pop-up menu window, if one is open.
HWND OpenMenuWindow();

// The GUI thread of the window is in the system's moving loop: a press became a drag.
bool InMoveSize(HWND window);
// A press after the hand has rested a moment where it is. Wine answers GetAsyncKeyState from a
// copy up to 50 ms old, so a press sooner after the pointer's last move over a mark is seen as a
// button that is still up, and the mark is not dragged.
void RestThenPress(const std::string& press);
// Presses until done() holds, three times at most, releasing between tries (Wine now and then
// reads a fresh press as a button still up); each press after the hand has rested a moment.
bool PressUntil(const std::string& press, const std::string& release, const std::function<bool()>& done);
// Where the X server shows a window (-32768, -32768 when that cannot be read): Wine moves its
// own idea of the window before the X server does.
POINT ShownPlace(HWND window);
// The colour of a screen point, as the user sees it.
COLORREF ScreenPixel(int x, int y);

// Screen rectangles of the items of pop-up 0 of a menu resource, relative to the top-left corner
// of the menu window that shows them; measured by showing the same menu in this process.
std::vector<RECT> PopupItemOffsets(int menuId);
// The same for the sub-menu at position item of that pop-up, as it shows when it opens.
std::vector<RECT> SubPopupItemOffsets(int menuId, int item);
// Clicks item index of an open menu window whose items are laid out as offsets says.
void ClickMenuItem(HWND menuWindow, const std::vector<RECT>& offsets, int index);
// The bounding rectangle of the area of the window where WM_NCHITTEST answers code.
bool FindHitRect(HWND window, LRESULT code, RECT* area);
