#include "tests/bench/floor_windows.h"
#include "res/resource.h"
#include "storage/note_text.h"
#include <cstdio>

namespace {
const DWORD NOTE_EX_STYLE = WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
const DWORD NOTE_STYLE = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE;
const DWORD EDIT_STYLE = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_VSCROLL | WS_HSCROLL
                       | ES_MULTILINE | ES_WANTRETURN;   // 0x54301004
const int NOTE_CX = 300, NOTE_CY = 250, MARK_SIZE = 16;

HINSTANCE Instance()
{
    return GetModuleHandleA(nullptr);
}

// The note window's own behaviour that shapes its windows: the edit box fills the client area,
// and a mark paints itself in its colour.
LRESULT CALLBACK FloorNoteProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SIZE:
        if (HWND edit = GetWindow(window, GW_CHILD))
            SetWindowPos(edit, nullptr, 0, 0, LOWORD(lParam), HIWORD(lParam), SWP_NOZORDER);
        break;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        if (GetWindowLongA(window, GWL_STYLE) & WS_POPUP) {
            RECT client;
            GetClientRect(window, &client);
            HBRUSH brush = CreateSolidBrush(static_cast<COLORREF>(GetWindowLongPtrA(window, GWLP_USERDATA)));
            HGDIOBJ old = SelectObject(dc, brush);
            Rectangle(dc, client.left, client.top, client.right, client.bottom);
            SelectObject(dc, old);
            DeleteObject(brush);
        }
        EndPaint(window, &ps);
        return 0;
    }
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK FloorMainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY)
        PostQuitMessage(0);
    return DefWindowProcA(window, message, wParam, lParam);
}

// Floor (a): created as a full note with its edit box and menu bar, then packed call for call
// as the program packs a note.
FloorNote CreateShownThenCollapsed(const StoredNote& note, HWND owner)
{
    HWND window = CreateWindowExA(NOTE_EX_STYLE, FLOOR_NOTE_CLASS, "Memovka", NOTE_STYLE,
                                  note.x, note.y, NOTE_CX, NOTE_CY, owner, nullptr, Instance(), nullptr);
    SetWindowLongPtrA(window, GWLP_USERDATA, static_cast<LONG_PTR>(note.color));
    RECT client;
    GetClientRect(window, &client);
    HWND edit = CreateWindowExW(0, L"EDIT", NoteTextOf(note).c_str(), EDIT_STYLE, 0, 0, client.right,
                                client.bottom, window, nullptr, Instance(), nullptr);
    HMENU menu = LoadMenuA(Instance(), MAKEINTRESOURCEA(IDR_NOTEMENU));
    SetMenu(window, menu);

    ShowWindow(edit, SW_HIDE);
    SetWindowLongA(window, GWL_EXSTYLE, WS_EX_TOPMOST);
    SetWindowLongA(window, GWL_STYLE, static_cast<LONG>(WS_POPUP));
    ShowWindow(window, SW_HIDE);
    ShowWindow(window, SW_SHOW);
    SetMenu(window, nullptr);
    SetWindowPos(window, HWND_TOPMOST, note.x, note.y, MARK_SIZE, MARK_SIZE, 0);
    ShowWindow(edit, SW_HIDE);
    return { window, menu };
}

// Floor (b): the mark as it ends up, built hidden and shown once.
FloorNote CreateCollapsedThenShown(const StoredNote& note, HWND owner)
{
    HWND window = CreateWindowExA(WS_EX_TOPMOST, FLOOR_NOTE_CLASS, "Memovka", WS_POPUP,
                                  note.x, note.y, MARK_SIZE, MARK_SIZE, owner, nullptr, Instance(), nullptr);
    SetWindowLongPtrA(window, GWLP_USERDATA, static_cast<LONG_PTR>(note.color));
    CreateWindowExW(0, L"EDIT", NoteTextOf(note).c_str(), EDIT_STYLE & ~WS_VISIBLE, 0, 0, MARK_SIZE,
                    MARK_SIZE, window, nullptr, Instance(), nullptr);
    HMENU menu = LoadMenuA(Instance(), MAKEINTRESOURCEA(IDR_NOTEMENU));
    ShowWindow(window, SW_SHOW);
    return { window, menu };
}
} // namespace

bool RegisterFloorClasses()
{
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = FloorMainProc;
    wc.hInstance = Instance();
    wc.lpszClassName = FLOOR_MAIN_CLASS;
    if (!RegisterClassExA(&wc))
        return false;
    // As the program's note class.
    wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = FloorNoteProc;
    wc.hIcon = LoadIconA(Instance(), MAKEINTRESOURCEA(IDI_APP));
    wc.hIconSm = LoadIconA(Instance(), MAKEINTRESOURCEA(IDI_APP));
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    wc.lpszClassName = FLOOR_NOTE_CLASS;
    return RegisterClassExA(&wc) != 0;
}

void UnregisterFloorClasses()
{
    UnregisterClassA(FLOOR_NOTE_CLASS, Instance());
    UnregisterClassA(FLOOR_MAIN_CLASS, Instance());
}

HWND CreateFloorMain()
{
    return CreateWindowExA(0, FLOOR_MAIN_CLASS, "Memovky", WS_OVERLAPPED | WS_SYSMENU | WS_MINIMIZEBOX,
                           100, 100, 320, 150, nullptr, nullptr, Instance(), nullptr);
}

std::vector<FloorNote> CreateFloorNotes(FloorKind kind, const std::vector<StoredNote>& notes, HWND owner)
{
    std::vector<FloorNote> created;
    created.reserve(notes.size());
    for (const StoredNote& note : notes)
        created.push_back(kind == FLOOR_A ? CreateShownThenCollapsed(note, owner)
                                          : CreateCollapsedThenShown(note, owner));
    return created;
}

void DestroyFloorNotes(std::vector<FloorNote>& notes)
{
    for (const FloorNote& note : notes) {
        DestroyWindow(note.window);
        DestroyMenu(note.menu);
    }
    notes.clear();
}

int RunFloorProgram(FloorKind kind, int count, BenchText text)
{
    if (!RegisterFloorClasses())
        return 1;
    HWND main = CreateFloorMain();
    if (!main)
        return 1;
    std::vector<FloorNote> notes = CreateFloorNotes(kind, MakeBenchNotes(count, text), main);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    for (const FloorNote& note : notes)
        DestroyMenu(note.menu);
    return 0;
}

MarkState DescribeMark(HWND window)
{
    MarkState state = {};
    GetWindowRect(window, &state.rect);
    state.style = GetWindowLongA(window, GWL_STYLE);
    state.exStyle = GetWindowLongA(window, GWL_EXSTYLE);
    state.hasMenu = GetMenu(window) != nullptr;
    HWND edit = GetWindow(window, GW_CHILD);
    if (edit) {
        state.editVisible = (GetWindowLongA(edit, GWL_STYLE) & WS_VISIBLE) != 0;
        GetWindowRect(edit, &state.editRect);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&state.editRect), 2);
        wchar_t text[4096] = L"";
        GetWindowTextW(edit, text, 4096);
        state.text = text;
    }
    return state;
}

static std::string RectText(const RECT& r)
{
    char text[80];
    snprintf(text, sizeof text, "(%ld,%ld)-(%ld,%ld)", r.left, r.top, r.right, r.bottom);
    return text;
}

std::string CompareMarks(const MarkState& expected, const MarkState& seen)
{
    char text[160];
    if (!EqualRect(&expected.rect, &seen.rect))
        return "window rectangle " + RectText(seen.rect) + ", expected " + RectText(expected.rect);
    if (expected.style != seen.style || expected.exStyle != seen.exStyle) {
        snprintf(text, sizeof text, "styles %08lx/%08lx, expected %08lx/%08lx", seen.style,
                 seen.exStyle, expected.style, expected.exStyle);
        return text;
    }
    if (expected.hasMenu != seen.hasMenu)
        return seen.hasMenu ? "a menu bar is attached" : "no menu bar";
    if (expected.editVisible != seen.editVisible)
        return seen.editVisible ? "the edit box is visible" : "the edit box is hidden";
    if (!EqualRect(&expected.editRect, &seen.editRect))
        return "edit box " + RectText(seen.editRect) + ", expected " + RectText(expected.editRect);
    if (expected.text != seen.text)
        return "edit box text differs";
    return "";
}
