// Notices that the data folder may have changed: a change notification of the folder where the
// system gives one, and a look every FOLDER_LOOK_MS all the same, since notifications fail on
// many shares and sticks. One thread of its own, which only asks the writer thread to look
// (storage/save_writer.h): it touches no file and no window itself.
#pragma once
#include <windows.h>

// How often the file is looked at without a notification, and again after one (a file that is
// still being written is read once it has stayed the same from one look to the next).
constexpr DWORD FOLDER_LOOK_MS = 2000;
constexpr DWORD SETTLE_LOOK_MS = 400;
// The time in force: FOLDER_LOOK_MS, raised by tests that must see a notification work alone.
extern DWORD g_folderLookMs;

// Starts watching the folder of Settings.DataFile; a second call watches afresh.
void StartFolderWatch();
void StopFolderWatch();
