#include "dialogs/settings_dialog.h"
#include "app/app.h"
#include "app/message_boxes.h"
#include "app/modal_loops.h"
#include "dialogs/choosers.h"
#include "notes/note_collection.h"
#include "notes/preview.h"
#include "res/resource.h"
#include "storage/settings.h"

COLORREF WorkMarkColor;
COLORREF WorkPopupColor;
int PopupColorTouched;

int ShowSettings()
{
    ModalLoop loop;
    return DialogBoxParamA(g_hInst, MAKEINTRESOURCEA(IDD_SETTINGS), g_hMainWnd, SettingsDlgProc, 0) == 1;
}

bool IsMarkSizeInRange(UINT value)
{
    return value >= MARK_SIZE_MIN && value <= MARK_SIZE_MAX;
}

static void OnSettingsInit(HWND dialog)
{
    // The class icon is shared by every dialog of the program; the About box sets its own.
    SetClassLongPtrA(dialog, GCLP_HICON,
                     reinterpret_cast<LONG_PTR>(LoadIconA(g_hInst, MAKEINTRESOURCEA(IDI_SETTINGS))));
    SetDlgItemInt(dialog, IDC_MARK_CX, static_cast<UINT>(Settings.PackedNoteSize.cx), FALSE);
    SetDlgItemInt(dialog, IDC_MARK_CY, static_cast<UINT>(Settings.PackedNoteSize.cy), FALSE);
    SetDlgItemTextA(dialog, IDC_FOLDER, Settings.DataFolder);
    WorkMarkColor = Settings.MarkColor;
    WorkPopupColor = Settings.PopupColor;
    PopupColorTouched = 0;
}

static void PaintSwatch(HDC dc, COLORREF color, int left, int top, int right, int bottom)
{
    HBRUSH brush = CreateSolidBrush(color);
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    RoundRect(dc, left, top, right, bottom, 5, 5);
    SelectObject(dc, oldBrush);
    DeleteObject(brush);
}

static void OnSettingsPaint(HWND dialog)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(dialog, &ps);
    PaintSwatch(dc, WorkMarkColor, 105, 62, 180, 78);
    PaintSwatch(dc, WorkPopupColor, 120, 104, 210, 120);
    EndPaint(dialog, &ps);
}

static UINT ReadMarkSize(HWND dialog, int field)
{
    // An empty field reads as 0, which is out of range.
    return GetDlgItemInt(dialog, field, nullptr, FALSE);
}

static void OnSettingsOk(HWND dialog)
{
    if (!IsMarkSizeInRange(ReadMarkSize(dialog, IDC_MARK_CX))) {
        ErrorBox("Hodnota šířky značky mimo rozsah!");
        return;
    }
    if (!IsMarkSizeInRange(ReadMarkSize(dialog, IDC_MARK_CY))) {
        ErrorBox("Hodnota výšky značky mimo rozsah!");
        return;
    }
    GetDlgItemTextA(dialog, IDC_FOLDER, Settings.DataFolder, sizeof Settings.DataFolder);
    Settings.PackedNoteSize.cx = static_cast<LONG>(ReadMarkSize(dialog, IDC_MARK_CX));
    Settings.PackedNoteSize.cy = static_cast<LONG>(ReadMarkSize(dialog, IDC_MARK_CY));
    Settings.MarkColor = WorkMarkColor;
    Settings.PopupColor = WorkPopupColor;
    // Expanding first makes every note pass through PackNote with the new size.
    UnpackAll();
    PackAll();
    FatalBoxes(SaveSettings());
    if (PopupColorTouched == 1)
        ReregisterPopupClass();
    EndDialog(dialog, IDOK);
}

static void OnSettingsBrowse(HWND dialog)
{
    char folder[MAX_PATH];
    GetDlgItemTextA(dialog, IDC_FOLDER, folder, sizeof folder);
    if (BrowseForFolder(folder, folder, "Určit datovou složku"))
        SetDlgItemTextA(dialog, IDC_FOLDER, folder);
}

static void OnSettingsCommand(HWND dialog, WPARAM wParam)
{
    switch (LOWORD(wParam)) {
    case IDOK:
        OnSettingsOk(dialog);
        break;
    case IDCANCEL:
        EndDialog(dialog, IDCANCEL);
        break;
    case IDC_BROWSE:
        OnSettingsBrowse(dialog);
        break;
    case IDC_MARK_COLOR:
        WorkMarkColor = ChooseColour(WorkMarkColor, nullptr);
        RedrawNow(dialog);
        break;
    case IDC_POPUP_COLOR:
        WorkPopupColor = ChooseColour(WorkPopupColor, nullptr);
        PopupColorTouched = 1;
        RedrawNow(dialog);
        break;
    }
}

INT_PTR CALLBACK SettingsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG: OnSettingsInit(dialog); break;
    case WM_PAINT:      OnSettingsPaint(dialog); break;
    case WM_COMMAND:    OnSettingsCommand(dialog, wParam); break;
    }
    return FALSE;
}
