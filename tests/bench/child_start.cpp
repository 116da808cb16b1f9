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

} // namespace

ChildProgram::~ChildProgram()
{
    if (!process_.hProcess)
        return;
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_.hProcess, 99);
        WaitForSingleObject(process_.hProcess, 10000);
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
}

bool ChildProgram::Close(DWORD timeoutMs)
{
    PostMessageA(main_, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process_.hProcess, timeoutMs) == WAIT_OBJECT_0)
        return true;
    TerminateProcess(process_.hProcess, 99);
    WaitForSingleObject(process_.hProcess, 10000);
    return false;
}

StartFigures ChildProgram::Start(const std::string& commandLine, const ReadyRule& rule, int noteCount,
                                 DWORD timeoutMs)
{
    StartFigures figures;
    std::string command = commandLine;
    STARTUPINFOA si = { sizeof si };
    LARGE_INTEGER started, now;
    QueryPerformanceCounter(&started);
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &process_)) {
        process_ = {};
        figures.failure = "cannot start " + commandLine;
        return figures;
    }
    WindowKinds kinds = { rule, {} };
    for (;;) {
        std::vector<HWND> windows = ThreadTopWindows(process_.dwThreadId);
        LARGE_INTEGER before;
        QueryPerformanceCounter(&before);
        main_ = ReadyMainWindow(windows, kinds, noteCount);
        QueryPerformanceCounter(&now);
        figures.longestPollMs = std::max(figures.longestPollMs, MsBetween(before, now));
        if (main_)
            break;
        if (WaitForSingleObject(process_.hProcess, 0) == WAIT_OBJECT_0) {
            figures.failure = "ended before it was ready";
            break;
        }
        if (MsBetween(started, now) > timeoutMs) {
            figures.failure = "not ready in time";
            break;
        }
        Sleep(POLL_SLEEP_MS);
    }
    if (!main_) {
        TerminateProcess(process_.hProcess, 99);
        WaitForSingleObject(process_.hProcess, 10000);
        return figures;
    }
    figures.readyMs = MsBetween(started, now);
    figures.ok = true;
    return figures;
}

StartFigures MeasureStartUp(const std::string& commandLine, const ReadyRule& rule, int noteCount,
                            DWORD timeoutMs)
{
    ChildProgram child;
    StartFigures figures = child.Start(commandLine, rule, noteCount, timeoutMs);
    if (!figures.ok)
        return figures;
    figures.memory.cb = sizeof figures.memory;
    if (!GetProcessMemoryInfo(child.Process(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&figures.memory),
                              sizeof figures.memory))
        figures.failure = "no memory figures";
    if (!child.Close(180000))
        figures.failure = "did not end after WM_CLOSE";
    figures.ok = figures.failure.empty();
    return figures;
}
