#include "dialogs/choosers.h"

COLORREF CustomColours[16];
char BrowseStartFolder[MAX_PATH];

BOOL (WINAPI *g_pfnChooseColor)(LPCHOOSECOLORA) = ChooseColorA;
PIDLIST_ABSOLUTE (WINAPI *g_pfnBrowseForFolder)(LPBROWSEINFOA) = SHBrowseForFolderA;
HRESULT (WINAPI *g_pfnSHGetMalloc)(IMalloc**) = SHGetMalloc;

COLORREF ChooseColour(COLORREF initial, HWND owner)
{
    CHOOSECOLORA cc;
    ZeroMemory(&cc, sizeof cc);
    cc.lStructSize = sizeof cc;
    cc.hwndOwner = owner;
    cc.rgbResult = initial;
    cc.lpCustColors = CustomColours;
    cc.Flags = CC_RGBINIT | CC_FULLOPEN;
    return g_pfnChooseColor(&cc) ? cc.rgbResult : initial;
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
    if (FAILED(g_pfnSHGetMalloc(&allocator)))
        allocator = nullptr;

    BROWSEINFOA bi;
    ZeroMemory(&bi, sizeof bi);
    bi.lpszTitle = title ? title : "Vyberte požadovanou složku";
    bi.ulFlags = BIF_RETURNONLYFSDIRS | BIF_STATUSTEXT;
    bi.lpfn = BrowseCallback;
    PIDLIST_ABSOLUTE chosen = g_pfnBrowseForFolder(&bi);

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
