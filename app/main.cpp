#include "app/app.h"
#include "app/main_window.h"
#include "res/resource.h"

// Held by the copy that runs, for as long as it runs; "Local\" makes it one per user session.
static const char RUNNING_MUTEX_NAME[] = "Local\\Harvelo.Memovky.Running";
// The copy that runs may still be starting: its main window is looked for this long.
static const DWORD FIND_MAIN_WINDOW_MS = 5000;

// True when another copy runs in this session. The mutex is never closed: it goes with the process.
static bool AnotherCopyRuns()
{
    HANDLE mutex = CreateMutexA(nullptr, FALSE, RUNNING_MUTEX_NAME);
    const DWORD error = GetLastError();
    return error == ERROR_ALREADY_EXISTS || (!mutex && error == ERROR_ACCESS_DENIED);
}

// Asks the running copy to show its main window, as "Z&obrazit program" does.
static void ShowRunningCopy()
{
    const DWORD start = GetTickCount();
    HWND main;
    while (!(main = FindWindowA(MAIN_CLASS_NAME, APP_TITLE)) && GetTickCount() - start < FIND_MAIN_WINDOW_MS)
        Sleep(50);
    if (!main)
        return;
    // This process was started by the user, so it may hand the foreground on.
    DWORD processId = 0;
    GetWindowThreadProcessId(main, &processId);
    AllowSetForegroundWindow(processId);
    PostMessageA(main, WM_COMMAND, IDM_SHOWMAIN, 0);
}

// The command line and the show command are ignored: the program always starts in the tray.
// A second start in the same session reads and writes nothing: it shows the first and ends.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    if (AnotherCopyRuns()) {
        ShowRunningCopy();
        return 0;
    }
    g_hInst = instance;
    if (!InitApplication())
        return 0;
    return RunMessageLoop();
}
