#include "dialogs/choosers.h"
#include "app/modal_loops.h"
#include "app/system_calls.h"

COLORREF CustomColours[16];
char BrowseStartFolder[MAX_PATH];

COLORREF ChooseColour(COLORREF initial, HWND owner)
{
    CHOOSECOLORA cc;
    ZeroMemory(&cc, sizeof cc);
    cc.lStructSize = sizeof cc;
    cc.hwndOwner = owner;
    cc.rgbResult = initial;
    cc.lpCustColors = CustomColours;
    cc.Flags = CC_RGBINIT | CC_FULLOPEN;
    ModalLoop loop;
    return g_sys.ChooseColorA(&cc) ? cc.rgbResult : initial;
}

int CALLBACK BrowseCallback(HWND browser, UINT notification, LPARAM parameter, LPARAM)
{
    switch (notification) {
    case BFFM_INITIALIZED:
        SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(BrowseStartFolder));
        break;
    case BFFM_SELCHANGED: {
        char path[MAX_PATH];
        if (SHGetPathFromIDListA(reinterpret_cast<PCIDLIST_ABSOLUTE>(parameter), path))
            SendMessageA(browser, BFFM_SETSTATUSTEXTA, 0, reinterpret_cast<LPARAM>(path));
        break;
    }
    }
    return 0;
}

int BrowseForFolder(char* path, const char* start, const char* title)
{
    if (start) {
        if (lstrcmpA(start, "current") == 0)
            GetCurrentDirectoryA(sizeof BrowseStartFolder, BrowseStartFolder);
        else
            lstrcpynA(BrowseStartFolder, start, sizeof BrowseStartFolder);
    }
    IMalloc* allocator = nullptr;
    if (FAILED(g_sys.SHGetMalloc(&allocator)))
        allocator = nullptr;

    BROWSEINFOA bi;
    ZeroMemory(&bi, sizeof bi);
    bi.lpszTitle = title ? title : "Vyberte požadovanou složku";
    bi.ulFlags = BIF_RETURNONLYFSDIRS | BIF_STATUSTEXT;
    bi.lpfn = BrowseCallback;
    PIDLIST_ABSOLUTE chosen;
    {
        ModalLoop loop;
        chosen = g_sys.SHBrowseForFolderA(&bi);
    }

    int found = 0;
    if (chosen) {
        found = SHGetPathFromIDListA(chosen, path) ? 1 : 0;
        // The shell allocator and the task allocator are one and the same.
        if (allocator)
            allocator->Free(chosen);
        else
            CoTaskMemFree(chosen);
    }
    if (allocator)
        allocator->Release();
    return found;
}
