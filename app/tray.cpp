#include "app/tray.h"
#include "app/app.h"
#include "app/message_boxes.h"
#include "app/system_calls.h"
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

static std::string TipLine;

// The longer record that balloons and two-line tips need.
static NOTIFYICONDATAA MakeLongRecord(UINT flags)
{
    NOTIFYICONDATAA nid = MakeIconRecord();
    nid.cbSize = NOTIFYICONDATAA_V2_SIZE;
    nid.uFlags = flags;
    return nid;
}

static void ApplyTip()
{
    if (TipLine.empty())
        return;
    NOTIFYICONDATAA nid = MakeLongRecord(NIF_TIP);
    lstrcpynA(nid.szTip, (std::string(APP_TITLE) + "\n" + TipLine).c_str(), sizeof nid.szTip);
    g_sys.Shell_NotifyIconA(NIM_MODIFY, &nid);
}

int AddTrayIcon()
{
    // The icon may be there already: the taskbar can announce itself while a box of the
    // start-up is open, and the icon is added then. It is only refreshed.
    NOTIFYICONDATAA nid = MakeAddRecord();
    if (!g_sys.Shell_NotifyIconA(NIM_ADD, &nid) && !g_sys.Shell_NotifyIconA(NIM_MODIFY, &nid)) {
        ErrorBox("Chyba při vytváření notifikační ikony");
        return 0;
    }
    ApplyTip();
    return 1;
}

void SetTrayTipLine(const std::string& line)
{
    TipLine = line;
    ApplyTip();
}

int ShowTrayBalloon(const std::string& text, DWORD icon)
{
    NOTIFYICONDATAA nid = MakeLongRecord(NIF_INFO);
    lstrcpynA(nid.szInfo, text.c_str(), sizeof nid.szInfo);
    lstrcpynA(nid.szInfoTitle, APP_TITLE, sizeof nid.szInfoTitle);
    nid.dwInfoFlags = icon;
    nid.uTimeout = 10000;
    return g_sys.Shell_NotifyIconA(NIM_MODIFY, &nid) ? 1 : 0;
}

int HasTrayIcon()
{
    // Asked each time: a taskbar that restarts forgets every icon.
    NOTIFYICONDATAA nid = MakeIconRecord();
    return g_sys.Shell_NotifyIconA(NIM_MODIFY, &nid) ? 1 : 0;
}

void RemoveTrayIcon()
{
    TipLine.clear();
    NOTIFYICONDATAA nid = MakeIconRecord();
    if (!g_sys.Shell_NotifyIconA(NIM_DELETE, &nid))
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
