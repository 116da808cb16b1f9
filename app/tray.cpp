#include "app/tray.h"
#include "app/app.h"
#include "app/message_boxes.h"
#include "res/resource.h"
#include <shellapi.h>
#include <cstring>

// The first form of the record: older shells know nothing longer.
static NOTIFYICONDATAA MakeIconRecord()
{
    NOTIFYICONDATAA nid;
    ZeroMemory(&nid, sizeof nid);
    nid.cbSize = NOTIFYICONDATAA_V1_SIZE;
    nid.hWnd = g_hMainWnd;
    nid.uID = TRAY_ICON_ID;
    return nid;
}

ShellNotifyIconFn g_pfnShellNotifyIcon = Shell_NotifyIconA;

static NOTIFYICONDATAA MakeAddRecord()
{
    // Loaded once and kept: the icon is added again at every restart of the taskbar, and icon
    // handles live until the process ends. The notification area shows small icons: the program's
    // small picture (the main window's caption shows it too) at the system's small size, rather
    // than the large picture scaled down.
    static HICON icon;
    if (!icon)
        icon = static_cast<HICON>(LoadImageA(g_hInst, MAKEINTRESOURCEA(IDI_SMALL), IMAGE_ICON,
                                             GetSystemMetrics(SM_CXSMICON),
                                             GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
    NOTIFYICONDATAA nid = MakeIconRecord();
    nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    nid.uCallbackMessage = WM_TRAY_NOTIFY;
    nid.hIcon = icon;
    lstrcpynA(nid.szTip, APP_TITLE, sizeof nid.szTip);
    return nid;
}

int AddTrayIcon()
{
    // The icon may be there already: the taskbar can announce itself while a box of the
    // start-up is open, and the icon is added then. It is only refreshed.
    NOTIFYICONDATAA nid = MakeAddRecord();
    if (!g_pfnShellNotifyIcon(NIM_ADD, &nid) && !g_pfnShellNotifyIcon(NIM_MODIFY, &nid)) {
        ErrorBox("Chyba při vytváření notifikační ikony");
        return 0;
    }
    return 1;
}

int HasTrayIcon()
{
    // Asked each time: a taskbar that restarts forgets every icon.
    NOTIFYICONDATAA nid = MakeIconRecord();
    return g_pfnShellNotifyIcon(NIM_MODIFY, &nid) ? 1 : 0;
}

void RemoveTrayIcon()
{
    NOTIFYICONDATAA nid = MakeIconRecord();
    if (!g_pfnShellNotifyIcon(NIM_DELETE, &nid))
        ErrorBox("Chyba při odebírání notifikační ikony");
}

void ShowMainWindow()
{
    ShowWindow(g_hMainWnd, SW_RESTORE);
    SetForegroundWindow(g_hMainWnd);
}

static void OpenTrayMenu()
{
    POINT pt;
    GetCursorPos(&pt);
    // Without the foreground the menu would not close when the user clicks elsewhere.
    SetForegroundWindow(g_hMainWnd);
    TrackPopupMenuEx(g_hTrayMenu, TPM_RIGHTALIGN | TPM_BOTTOMALIGN, pt.x, pt.y, g_hMainWnd, nullptr);
}

void OnTrayNotify(LPARAM mouseMessage)
{
    switch (mouseMessage) {
    case WM_LBUTTONDBLCLK: ShowMainWindow(); break;
    case WM_RBUTTONUP:     OpenTrayMenu(); break;
    }
}
