#include "dialogs/about_dialog.h"
#include "app/app.h"
#include "app/modal_loops.h"
#include "res/resource.h"

int ShowAbout()
{
    ModalLoop loop;
    return DialogBoxParamA(g_hInst, MAKEINTRESOURCEA(IDD_ABOUT), g_hMainWnd, AboutDlgProc, 0) == 1;
}

INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        // The class icon is shared by every dialog of the program; the settings dialog sets its own.
        SetClassLongPtrA(dialog, GCLP_HICON,
                         reinterpret_cast<LONG_PTR>(LoadIconA(nullptr, IDI_INFORMATION)));
        break;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)
            EndDialog(dialog, LOWORD(wParam));
        break;
    }
    return FALSE;
}
