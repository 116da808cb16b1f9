#include "tests/bench/child_start.h"
#include "tests/support/helpers.h"
#include <algorithm>
#include <cstring>
#include <map>
#include <vector>

namespace {
double MsBetween(const LARGE_INTEGER& from, const LARGE_INTEGER& to)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

BOOL CALLBACK CollectWindow(HWND window, LPARAM list)
{
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

// One call to the server: cheap enough to repeat every few milliseconds while windows appear.
std::vector<HWND> ThreadTopWindows(DWORD thread)
{
    std::vector<HWND> windows;
    EnumThreadWindows(thread, CollectWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

// What each window is does not change: asked once per window, as it appears, and kept.
struct WindowKinds {
    const ReadyRule& rule;
    std::map<HWND, int> kinds;  // 1 main, 2 note, 0 other

    int KindOf(HWND window)
    {
        auto found = kinds.find(window);
        if (found != kinds.end())
            return found->second;
        char name[64] = "";
        GetClassNameA(window, name, sizeof name);
        int kind = strcmp(name, rule.mainClass) == 0 ? 1 : strcmp(name, rule.noteClass) == 0 ? 2 : 0;
        kinds[window] = kind;
        return kind;
    }
};

// The main window is hidden last, so it is asked first; the notes only when that holds.
HWND ReadyMainWindow(const std::vector<HWND>& windows, WindowKinds& kinds, int noteCount)
{
    HWND main = nullptr;
    int notes = 0;
    for (HWND window : windows) {
        const int kind = kinds.KindOf(window);
        main = kind == 1 ? window : main;
        notes += kind == 2;
    }
    if (!main || notes < noteCount || IsWindowVisible(main))
        return nullptr;
    if (kinds.rule.trayIcon && !TrayIconPresent(main))
        return nullptr;
    notes = 0;
    for (HWND window : windows)
        if (kinds.KindOf(window) == 2 && IsWindowVisible(window))
            ++notes;
    return notes == noteCount ? main : nullptr;
}

bool EndChild(HANDLE process, HWND main)
{
    PostMessageA(main, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process, 180000) == WAIT_OBJECT_0)
        return true;
    TerminateProcess(process, 99);
    WaitForSingleObject(process, 10000);
    return false;
}
} // namespace

StartFigures MeasureStartUp(const std::string& commandLine, const ReadyRule& rule, int noteCount,
                            DWORD timeoutMs)
{
    StartFigures figures;
    std::string command = commandLine;
    STARTUPINFOA si = { sizeof si };
    PROCESS_INFORMATION pi;
    LARGE_INTEGER started, now;
    QueryPerformanceCounter(&started);
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        figures.failure = "cannot start " + commandLine;
        return figures;
    }
    HWND main = nullptr;
    WindowKinds kinds = { rule, {} };
    for (;;) {
        std::vector<HWND> windows = ThreadTopWindows(pi.dwThreadId);
        LARGE_INTEGER before;
        QueryPerformanceCounter(&before);
        main = ReadyMainWindow(windows, kinds, noteCount);
        QueryPerformanceCounter(&now);
        figures.longestPollMs = std::max(figures.longestPollMs, MsBetween(before, now));
        if (main)
            break;
        if (WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0) {
            figures.failure = "ended before it was ready";
            break;
        }
        if (MsBetween(started, now) > timeoutMs) {
            figures.failure = "not ready in time";
            break;
        }
        Sleep(POLL_SLEEP_MS);
    }
    if (main) {
        figures.readyMs = MsBetween(started, now);
        figures.memory.cb = sizeof figures.memory;
        if (!GetProcessMemoryInfo(pi.hProcess, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&figures.memory),
                                  sizeof figures.memory))
            figures.failure = "no memory figures";
        if (!EndChild(pi.hProcess, main))
            figures.failure = "did not end after WM_CLOSE";
        figures.ok = figures.failure.empty();
    } else {
        TerminateProcess(pi.hProcess, 99);
        WaitForSingleObject(pi.hProcess, 10000);
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return figures;
}
