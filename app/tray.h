// The notification-area icon and its menu.
#pragma once
#include <windows.h>
#include <shellapi.h>
#include <string>

#define TRAY_ICON_ID 1

// Adds the icon, or refreshes it where it is there already (also after the taskbar restarted,
// "TaskbarCreated"). 1 when the icon is there; 0 after the error box.
int AddTrayIcon();
// 1 while the notification area holds the icon.
int HasTrayIcon();
void RemoveTrayIcon();
// The tray callback: lParam of WM_TRAY_NOTIFY is the mouse message over the icon.
void OnTrayNotify(LPARAM mouseMessage);
// News from the background in a balloon from the icon, which takes neither the activation nor
// the keys: the title, text (cut to what the balloon holds) and icon (NIIF_WARNING, NIIF_ERROR).
// 1 when the notification area took it.
int ShowTrayBalloon(const std::string& text, DWORD icon);
// A line under the title in the icon's tip, kept while the program runs ("" for none).
void SetTrayTipLine(const std::string& line);
// Restores the main window and brings it to the front (IDM_SHOWMAIN and a tray double-click).
void ShowMainWindow();
