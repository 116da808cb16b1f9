#include "notes/preview.h"
#include "app/app.h"
#include "app/message_boxes.h"
#include "notes/note_collection.h"
#include "notes/placement.h"
#include "notes/text_measure.h"
#include "res/resource.h"
#include "storage/settings.h"
#include <cmath>
#include <cstdlib>

HWND PreviewWindow;
wchar_t* PreviewText;

int RegisterPopupClass()
{
    WNDCLASSEXA wc;
    ZeroMemory(&wc, sizeof wc);
    wc.cbSize = sizeof wc;
    wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = PopupWndProc;
    wc.hInstance = g_hInst;
    wc.hIcon = LoadIconA(g_hInst, MAKEINTRESOURCEA(IDI_APP));
    wc.hIconSm = LoadIconA(g_hInst, MAKEINTRESOURCEA(IDI_APP));
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = CreateSolidBrush(Settings.PopupColor);
    wc.lpszClassName = POPUP_CLASS_NAME;
    if (RegisterClassExA(&wc))
        return 1;
    DeleteObject(wc.hbrBackground);
    return 0;
}

void ReregisterPopupClass()
{
    // No window of the class may outlive its brush.
    HidePopup();
    WNDCLASSEXA wc;
    ZeroMemory(&wc, sizeof wc);
    wc.cbSize = sizeof wc;
    GetClassInfoExA(g_hInst, POPUP_CLASS_NAME, &wc);
    if (!DeleteObject(wc.hbrBackground))
        ErrorBox("Chyba DeleteObject");
    if (UnregisterClassA(POPUP_CLASS_NAME, g_hInst) && !RegisterPopupClass())
        ErrorBox("Chyba při registraci třídy okna");
}

static wchar_t* CopyNoteText(HWND mark)
{
    int index = FindNote(mark);
    HWND edit = index >= 0 ? Notes.items[index].hwndEdit : nullptr;
    int length = GetWindowTextLengthW(edit);
    wchar_t* text = static_cast<wchar_t*>(std::malloc((length + 1) * sizeof(wchar_t)));
    if (text) {
        GetWindowTextW(edit, text, length + 1);
        text[length] = L'\0';
    }
    return text;
}

int ShowPopup(HWND mark)
{
    if (PreviewWindow)
        return 0;
    RECT markRect;
    GetWindowRect(mark, &markRect);
    wchar_t* text = CopyNoteText(mark);
    if (!text)
        return 0;
    // Never activated, not even when the active note goes and the system looks for another.
    HWND window = CreateWindowExA(WS_EX_TOPMOST | WS_EX_NOACTIVATE, POPUP_CLASS_NAME, "popup",
                                  WS_POPUP | WS_BORDER, 0, 0, 180, 200, g_hMainWnd, nullptr, g_hInst, nullptr);
    if (!window) {
        std::free(text);
        return 0;
    }
    PreviewWindow = window;
    PreviewText = text;

    // Measured with the system font, the one a fresh DC has, though painted with another.
    HDC dc = GetDC(window);
    SIZE size = MeasureNoteText(dc, text);
    ReleaseDC(window, dc);
    // Clipped where it fits nowhere beside the mark: the window takes the size it is given.
    const RECT place = PlacePreview(markRect, size, MonitorAreaNear(markRect));
    SetWindowPos(window, HWND_TOPMOST, place.left, place.top, place.right - place.left,
                 place.bottom - place.top, SWP_NOZORDER | SWP_NOACTIVATE);
    // Activating it would take the keyboard focus from the note the user is typing in.
    ShowWindow(window, SW_SHOWNA);
    return IsWindow(PreviewWindow);
}

int HidePopup()
{
    if (!PreviewWindow)
        return 0;
    DestroyWindow(PreviewWindow);
    PreviewWindow = nullptr;
    std::free(PreviewText);
    PreviewText = nullptr;
    return 1;
}

static double LinearChannel(BYTE value)
{
    return std::pow(value / 255.0, 2.2);
}

COLORREF ReadableTextColour(COLORREF background)
{
    // Relative luminance; above about 0.18 black text has more contrast than white.
    const double luminance = 0.2126 * LinearChannel(GetRValue(background))
                           + 0.7152 * LinearChannel(GetGValue(background))
                           + 0.0722 * LinearChannel(GetBValue(background));
    return luminance > 0.18 ? RGB(0, 0, 0) : RGB(255, 255, 255);
}

void PaintPreview(HWND window)
{
    RECT area;
    GetClientRect(window, &area);
    InflateRect(&area, -5, -5);
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, ReadableTextColour(Settings.PopupColor));
    HGDIOBJ oldFont = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    if (PreviewText)
        DrawTextW(dc, PreviewText, -1, &area, 0);
    SelectObject(dc, oldFont);
    EndPaint(window, &ps);
}

LRESULT CALLBACK PopupWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_DESTROY:
        SendMessageA(g_hMainWnd, WM_POPUP_DESTROYED, reinterpret_cast<WPARAM>(window),
                     reinterpret_cast<LPARAM>(window));
        break;
    case WM_PAINT:
        PaintPreview(window);
        break;
    case WM_MOUSEACTIVATE:
        return MA_NOACTIVATE;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
