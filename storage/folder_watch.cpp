#include "storage/folder_watch.h"
#include "app/system_calls.h"
#include "storage/file_io.h"
#include "storage/save_writer.h"
#include "storage/settings.h"
#include <string>

DWORD g_folderLookMs = FOLDER_LOOK_MS;

static struct {
    HANDLE thread = nullptr;
    HANDLE stop = nullptr;
    std::string folder;
} Watch;

// Waits for a change of the folder or for the next look, whichever comes first, until stopped.
static DWORD WINAPI RunFolderWatch(void*)
{
    const DWORD changes = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE;
    HANDLE change = g_sys.FindFirstChangeNotificationA(Watch.folder.c_str(), FALSE, changes);
    DWORD wait = g_folderLookMs;
    for (;;) {
        HANDLE handles[2] = { Watch.stop, change };
        const DWORD count = change == INVALID_HANDLE_VALUE ? 1 : 2;
        const DWORD woken = WaitForMultipleObjects(count, handles, FALSE, wait);
        if (woken == WAIT_OBJECT_0)
            break;
        LookAtDataFile();
        wait = woken == WAIT_OBJECT_0 + 1 ? SETTLE_LOOK_MS : g_folderLookMs;
        // A notification that fails now (a share gone away) leaves the looks on the clock.
        if (woken == WAIT_OBJECT_0 + 1 && !g_sys.FindNextChangeNotification(change)) {
            FindCloseChangeNotification(change);
            change = INVALID_HANDLE_VALUE;
        }
    }
    if (change != INVALID_HANDLE_VALUE)
        FindCloseChangeNotification(change);
    return 0;
}

void StartFolderWatch()
{
    StopFolderWatch();
    const std::string folder = FolderPartOf(Settings.DataFile);
    if (folder.empty())
        return;
    Watch.folder = folder;
    Watch.stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (Watch.stop)
        Watch.thread = CreateThread(nullptr, 0, RunFolderWatch, nullptr, 0, nullptr);
}

void StopFolderWatch()
{
    if (Watch.thread) {
        SetEvent(Watch.stop);
        WaitForSingleObject(Watch.thread, INFINITE);
        CloseHandle(Watch.thread);
        Watch.thread = nullptr;
    }
    if (Watch.stop) {
        CloseHandle(Watch.stop);
        Watch.stop = nullptr;
    }
}
