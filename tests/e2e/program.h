// The real Memovky.exe, started as its own process and driven with real input.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

class RunningProgram {
public:
    RunningProgram() = default;
    ~RunningProgram();
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    bool Start();
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
// A screen point of the window where WM_NCHITTEST answers code (for example HTCLOSE).
bool FindHitPoint(HWND window, LRESULT code, POINT* at);
// The visible pop-up menu window, if one is open.
HWND OpenMenuWindow();

// Screen rectangles of the items of pop-up 0 of a menu resource, relative to the top-left corner
// of the menu window that shows them; measured by showing the same menu in this process.
std::vector<RECT> PopupItemOffsets(int menuId);
// The same for the sub-menu at position item of that pop-up, as it shows when it opens.
std::vector<RECT> SubPopupItemOffsets(int menuId, int item);
// Clicks item index of an open menu window whose items are laid out as offsets says.
void ClickMenuItem(HWND menuWindow, const std::vector<RECT>& offsets, int index);
// The bounding rectangle of the area of the window where WM_NCHITTEST answers code.
bool FindHitRect(HWND window, LRESULT code, RECT* area);
