#include "tests/e2e/program.h"
#include "res/resource.h"
#include "tests/support/helpers.h"
#include "tests/support/poll.h"
#include <algorithm>
#include <cstdlib>
#include <cstring>

// Entries of the tray menu (separators count).
enum { TRAY_NOTE = 5, TRAY_EXIT = 10 };

RunningProgram::~RunningProgram()
{
    if (process_) {
        if (Running())
            TerminateProcess(process_, 99);
        WaitForSingleObject(process_, 5000);
        CloseHandle(process_);
    }
}

bool RunningProgram::Start()
{
    std::string command = "\"" + ProgramPath() + "\"";
    STARTUPINFOA si = { sizeof si };
    PROCESS_INFORMATION pi;
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return false;
    CloseHandle(pi.hThread);
    process_ = pi.hProcess;
    pid_ = pi.dwProcessId;
    return true;
}

bool RunningProgram::Attach()
{
    const std::vector<HWND> mains = TopWindows(ANY_PROCESS, "DAVududMainClass", false);
    if (mains.size() != 1)
        return false;
    DWORD pid = 0;
    GetWindowThreadProcessId(mains[0], &pid);
    process_ = OpenProcess(PROCESS_ALL_ACCESS, FALSE, pid);
    if (!process_)
        return false;
    pid_ = pid;
    main_ = mains[0];
    return true;
}

void RunningProgram::Detach()
{
    if (process_)
        CloseHandle(process_);
    process_ = nullptr;
    pid_ = 0;
    main_ = nullptr;
}

bool RunningProgram::WaitReady(DWORD timeoutMs)
{
    return PumpUntil([this] {
        std::vector<HWND> mains = TopWindows(pid_, "DAVududMainClass", false);
        main_ = mains.empty() ? nullptr : mains[0];
        return main_ && !IsWindowVisible(main_) && TrayIconPresent(main_);
    }, timeoutMs);
}

bool RunningProgram::Running() const
{
    return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

bool RunningProgram::WaitExit(DWORD* exitCode, DWORD timeoutMs)
{
    if (!PumpUntil([this] { return !Running(); }, timeoutMs))
        return false;
    GetExitCodeProcess(process_, exitCode);
    return true;
}

std::vector<HWND> RunningProgram::NoteWindows(bool visibleOnly) const
{
    return TopWindows(pid_, "DAVududNoteClass", visibleOnly);
}

HWND RunningProgram::MessageBoxWindow() const
{
    for (HWND window : TopWindows(pid_, "#32770"))
        if (WindowText(window) == "Memovky 1.5")
            return window;
    return nullptr;
}

POINT Centre(const RECT& rect)
{
    return { (rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2 };
}

HWND NoteAt(const RunningProgram& program, int x, int y, bool visibleOnly)
{
    for (HWND note : program.NoteWindows(visibleOnly)) {
        const RECT rect = WindowRect(note);
        if (rect.left == x && rect.top == y)
            return note;
    }
    return nullptr;
}

HWND AddNoteFromTray(const RunningProgram& program)
{
    const std::vector<HWND> known = program.NoteWindows();
    HWND tray = OpenTrayMenu();
    if (!tray)
        return nullptr;
    ClickMenuItem(tray, PopupItemOffsets(IDR_TRAYMENU), TRAY_NOTE);
    HWND notePopup = WaitForNewMenu({ tray });
    if (!notePopup)
        return nullptr;
    const POINT add = Centre(WindowRect(notePopup));
    ClickAt(add.x, add.y);
    HWND added = nullptr;
    PumpUntil([&] {
        for (HWND note : program.NoteWindows())
            if (std::find(known.begin(), known.end(), note) == known.end())
                added = note;
        return added != nullptr;
    });
    return added;
}

HWND AddNoteAndClickIn(const RunningProgram& program)
{
    HWND note = AddNoteFromTray(program);
    if (note) {
        const POINT inside = Centre(WindowRect(note));
        ClickAt(inside.x, inside.y);
    }
    return note;
}

bool EndFromTray(RunningProgram& program, DWORD* exitCode)
{
    HWND menu = OpenTrayMenu();
    if (!menu)
        return false;
    ClickMenuItem(menu, PopupItemOffsets(IDR_TRAYMENU), TRAY_EXIT);
    return program.WaitExit(exitCode);
}

bool DragMarkTo(HWND mark, int x, int y)
{
    const RECT start = WindowRect(mark);
    const POINT from = Centre(start);
    // The preview shows once the mark has taken in the hand's arrival.
    MoveTo(from.x, from.y);
    PumpUntil([&] { return !TopWindows(ANY_PROCESS, "DAVududPopupClass").empty(); }, 3000);
    if (!PressUntil("mousedown 1", "mouseup 1", [&] { return InMoveSize(mark); }))
        return false;
    // Each step goes on once the X server shows the mark where the pointer took it: a move that
    // comes sooner lands a whole step further on.
    const int steps = 6;
    for (int step = 1; step <= steps; ++step) {
        const int dx = (x - start.left) * step / steps, dy = (y - start.top) * step / steps;
        MoveTo(from.x + dx, from.y + dy);
        const POINT place = { start.left + dx, start.top + dy };
        PumpUntil([&] {
            const RECT now = WindowRect(mark);
            const POINT shown = ShownPlace(mark);
            return now.left == place.x && now.top == place.y && shown.x == place.x && shown.y == place.y;
        }, 3000);
    }
    Xdo("mouseup 1");
    PumpUntil([&] { return !InMoveSize(mark); }, 3000);
    const RECT end = WindowRect(mark);
    return end.left == x && end.top == y;
}

std::wstring EditTextW(HWND note)
{
    HWND edit = GetWindow(note, GW_CHILD);
    const LRESULT length = SendMessageW(edit, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const LRESULT copied = SendMessageW(edit, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]));
    text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    return text;
}

std::string EditText(HWND note)
{
    const std::wstring text = EditTextW(note);
    return Narrow(text.c_str(), static_cast<int>(text.size()));
}

SeenBox ReadBox(HWND box)
{
    SeenBox seen;
    char text[512] = "";
    GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
    seen.text = text;
    seen.ok = GetDlgItem(box, IDOK) != nullptr;
    seen.yes = GetDlgItem(box, IDYES) != nullptr;
    seen.no = GetDlgItem(box, IDNO) != nullptr;
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (ClassNameOf(child) == "Static" && (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
            seen.icon = true;
    return seen;
}

void AnswerBox(HWND box, int button)
{
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, button)));
}

void MoveTo(int x, int y)
{
    // --sync waits for the pointer to move, which never happens when it is already there.
    POINT at;
    if (GetCursorPos(&at) && at.x == x && at.y == y)
        return;
    Xdo("mousemove --sync " + std::to_string(x) + " " + std::to_string(y));
}

void ClickAt(int x, int y, int button)
{
    MoveTo(x, y);
    Xdo("click " + std::to_string(button));
}

void DoubleClickAt(int x, int y)
{
    MoveTo(x, y);
    Xdo("click --repeat 2 --delay 80 1");
}

void PressKeys(const std::string& keys)
{
    Xdo("key --delay 60 " + keys);
}

void TypeText(const std::string& text)
{
    // Letters missing from the keyboard map are typed through a key that xdotool maps for a
    // moment, so slowly enough for Wine to read each one before the next takes its place.
    Xdo("type --delay 150 '" + text + "'");
}

POINT TrayIconCentre()
{
    HWND tray = FindWindowA("Shell_TrayWnd", nullptr);
    // Wine 10's desktop has no taskbar: the notification area is a small window at the top left,
    // each icon a child window of its own.
    HWND icon = FindWindowExA(tray, nullptr, "__wine_tray_icon", nullptr);
    if (!icon || !IsWindowVisible(icon)) {
        RECT bar = WindowRect(tray);
        return { bar.right - 10, (bar.top + bar.bottom) / 2 };
    }
    // A note there may cover part of it: aim at the middle of what shows, as a user would.
    const RECT rect = WindowRect(icon);
    RECT shown = { rect.right, rect.bottom, rect.left, rect.top };
    for (int y = rect.top; y < rect.bottom; ++y)
        for (int x = rect.left; x < rect.right; ++x)
            if (WindowFromPoint(POINT{ x, y }) == icon) {
                shown = { std::min<LONG>(shown.left, x), std::min<LONG>(shown.top, y),
                          std::max<LONG>(shown.right, x + 1), std::max<LONG>(shown.bottom, y + 1) };
            }
    if (IsRectEmpty(&shown))
        shown = rect;
    return { (shown.left + shown.right) / 2, (shown.top + shown.bottom) / 2 };
}

HWND OpenTrayMenu()
{
    const POINT icon = TrayIconCentre();
    ClickAt(icon.x, icon.y, 3);
    return WaitForNewMenu({});
}

HWND WaitForNewMenu(const std::vector<HWND>& known)
{
    HWND found = nullptr;
    PumpUntil([&] {
        for (HWND menu : TopWindows(ANY_PROCESS, "#32768"))
            if (std::find(known.begin(), known.end(), menu) == known.end())
                found = menu;
        return found != nullptr;
    });
    return found;
}

static LRESULT HitAt(HWND window, int x, int y)
{
    return SendMessageA(window, WM_NCHITTEST, 0, MAKELPARAM(x, y));
}

bool FindHitPoint(HWND window, LRESULT code, POINT* at)
{
    RECT rect = WindowRect(window);
    for (int y = rect.top; y < rect.bottom; ++y)
        for (int x = rect.right - 1; x >= rect.left; --x) {
            if (HitAt(window, x, y) != code)
                continue;
            // Aim at the middle of the area, not at its first pixel.
            int left = x, bottom = y;
            while (left > rect.left && HitAt(window, left - 1, y) == code)
                --left;
            const int middle = (left + x) / 2;
            while (bottom + 1 < rect.bottom && HitAt(window, middle, bottom + 1) == code)
                ++bottom;
            *at = { middle, (y + bottom) / 2 };
            return true;
        }
    return false;
}

HWND OpenMenuWindow()
{
    for (HWND window : TopWindows(ANY_PROCESS, "#32768"))
        return window;
    return nullptr;
}

bool InMoveSize(HWND window)
{
    GUITHREADINFO info = { sizeof info };
    return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) && (info.flags & GUI_INMOVESIZE);
}

void RestThenPress(const std::string& press)
{
    Xdo("sleep 0.15 " + press);
}

bool PressUntil(const std::string& press, const std::string& release, const std::function<bool()>& done)
{
    for (int attempt = 0; attempt < 3; ++attempt) {
        RestThenPress(press);
        if (PumpUntil(done, 1500))
            return true;
        Xdo(release);
    }
    return false;
}

POINT ShownPlace(HWND window)
{
    // Wine names the X window in a property of the window.
    const UINT_PTR xid = reinterpret_cast<UINT_PTR>(GetPropA(window, "__wine_x11_whole_window"));
    const std::string shown = NativeOutput("/usr/bin/xwininfo -id " + std::to_string(xid));
    const char* left = "Absolute upper-left X:";
    const char* top = "Absolute upper-left Y:";
    const size_t x = shown.find(left), y = shown.find(top);
    POINT at = { -32768, -32768 };
    if (xid && x != std::string::npos && y != std::string::npos) {
        at.x = atoi(shown.c_str() + x + strlen(left));
        at.y = atoi(shown.c_str() + y + strlen(top));
    }
    return at;
}

COLORREF ScreenPixel(int x, int y)
{
    HDC screen = GetDC(nullptr);
    const COLORREF colour = GetPixel(screen, x, y);
    ReleaseDC(nullptr, screen);
    return colour;
}

// Items of popup laid out as the menu window that shows it lays them out.
static std::vector<RECT> MeasureMenuItems(HMENU popup)
{
    HWND owner = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    std::vector<RECT> offsets;
    WindowDriver driver("#32768", "", [&](HWND menu) {
        const RECT frame = WindowRect(menu);
        for (int i = 0; i < GetMenuItemCount(popup); ++i) {
            RECT item = {};
            GetMenuItemRect(nullptr, popup, i, &item);
            OffsetRect(&item, -frame.left, -frame.top);
            offsets.push_back(item);
        }
        PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
    });
    TrackPopupMenuEx(popup, 0, 100, 100, owner, nullptr);
    DestroyWindow(owner);
    return offsets;
}

std::vector<RECT> PopupItemOffsets(int menuId)
{
    HMENU bar = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(menuId));
    std::vector<RECT> offsets = MeasureMenuItems(GetSubMenu(bar, 0));
    DestroyMenu(bar);
    return offsets;
}

std::vector<RECT> SubPopupItemOffsets(int menuId, int item)
{
    HMENU bar = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(menuId));
    std::vector<RECT> offsets = MeasureMenuItems(GetSubMenu(GetSubMenu(bar, 0), item));
    DestroyMenu(bar);
    return offsets;
}

void ClickMenuItem(HWND menuWindow, const std::vector<RECT>& offsets, int index)
{
    const RECT frame = WindowRect(menuWindow);
    const RECT& item = offsets.at(index);
    ClickAt(frame.left + (item.left + item.right) / 2, frame.top + (item.top + item.bottom) / 2);
}

bool FindHitRect(HWND window, LRESULT code, RECT* area)
{
    RECT rect = WindowRect(window);
    bool found = false;
    *area = { rect.right, rect.bottom, rect.left, rect.top };
    for (int y = rect.top; y < rect.bottom; y += 2)
        for (int x = rect.left; x < rect.right; x += 2)
            if (HitAt(window, x, y) == code) {
                found = true;
                area->left = std::min<LONG>(area->left, x);
                area->top = std::min<LONG>(area->top, y);
                area->right = std::max<LONG>(area->right, x + 1);
                area->bottom = std::max<LONG>(area->bottom, y + 1);
            }
    return found;
}
