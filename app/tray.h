// The notification-area icon and its menu.
#pragma once
#include <windows.h>

#define TRAY_ICON_ID 1

int AddTrayIcon();
void RemoveTrayIcon();
// The tray callback: lParam of WM_TRAY_NOTIFY is the mouse message over the icon.
void OnTrayNotify(LPARAM mouseMessage);
// Restores the main window and brings it to the front (IDM_SHOWMAIN and a tray double-click).
void ShowMainWindow();
