// Identifiers of every resource, command and dialog control.
// Shared by the resource script and the code; the numbers are part of the program's interface.
#pragma once

// Icon groups
#define IDI_APP                 101
#define IDI_CLOCK               109     // spare picture, loaded by nobody
#define IDI_SETTINGS            110
#define IDI_SMALL               116

// Menus
#define IDR_MAINMENU            103
#define IDR_MARKMENU            104
#define IDR_TRAYMENU            105
#define IDR_NOTEMENU            106

// Dialogs
#define IDD_ABOUT               107
#define IDD_SETTINGS            108

// Commands of the main window (menu bar and tray menu)
#define IDM_SAVE                101
#define IDM_EXIT                40001
#define IDM_ADD                 40002
#define IDM_SHOWMAIN            40006
#define IDM_SETTINGS            40014
#define IDM_UNPACKALL           40016
#define IDM_PACKALL             40017
#define IDM_HIDEALL             40018
#define IDM_SHOWALL             40019
#define IDM_WEB                 40020
#define IDM_EMAIL               40021

// Commands of a note window (its menu bar and the mark context menu)
#define IDM_PACK                40004
#define IDM_UNPACK              40005
#define IDM_RED                 40007
#define IDM_BLUE                40008
#define IDM_YELLOW              40009
#define IDM_GREEN               40010
#define IDM_DELETE              40013
#define IDM_CUSTOMCOLOR         40015

// Both windows
#define IDM_ABOUT               40003

// Controls of the settings dialog
#define IDC_MARK_CX             1004
#define IDC_MARK_CY             1005
#define IDC_FOLDER              1007
#define IDC_BROWSE              1008
#define IDC_MARK_COLOR          1009
#define IDC_POPUP_COLOR         1010
#define IDC_MARK_COLOR_LABEL    1012

#ifndef IDC_STATIC
#define IDC_STATIC              (-1)
#endif

// Texts that appear both in resources and in code
#define MAKER_HOST              "harvelo.cz"
#define MAKER_URL               "http://harvelo.cz/memovky/"
#define SUPPORT_MAILTO          "mailto:podpora@harvelo.cz"
#define AUTHOR_LINE             "© 2026 Harvelo"
