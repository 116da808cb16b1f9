// The notification-area icon and its menu.
#pragma once
#include <windows.h>
#include <shellapi.h>

#define TRAY_ICON_ID 1

// Every call to the notification area goes through this pointer, so tests can make it fail.
using ShellNotifyIconFn = BOOL (WINAPI *)(DWORD message, PNOTIFYICONDATAA data);
extern ShellNotifyIconFn g_pfnShellNotifyIcon;

// Adds the icon, or refreshes it where it is there already (also after the taskbar restarted,
// "TaskbarCreated"). 1 when the icon is there; 0 after the error box.
int AddTrayIcon();
// 1 while the notification area holds the icon.
int HasTrayIcon();
void RemoveTrayIcon();
// The tray callback: lParam of WM_TRAY_NOTIFY is the mouse message over the icon.
void OnTrayNotify(LPARAM mouseMessage);
// Restores the main window and brings it to the front (IDM_SHOWMAIN and a tray double-click).
void ShowMainWindow();
