// Starts a program as a child process and measures its start-up from the outside: from
// CreateProcess until its windows say it is ready, and its memory at that moment.
#pragma once
#include <windows.h>
#include <psapi.h>
#include <string>

// Ready: a hidden window of mainClass, exactly noteCount visible windows of noteClass (all
// top-level windows of the child's first thread), and, when asked, our tray icon.
struct ReadyRule {
    const char* mainClass;
    const char* noteClass;
    bool trayIcon;
};

constexpr DWORD POLL_SLEEP_MS = 2;

struct StartFigures {
    bool ok = false;
    std::string failure;
    double readyMs = 0;
    PROCESS_MEMORY_COUNTERS_EX memory = {};
    double longestPollMs = 0;   // the longest look at the windows, which may delay seeing ready
};

// Closes the child (WM_CLOSE to its main window) and waits for it to end before returning.
StartFigures MeasureStartUp(const std::string& commandLine, const ReadyRule& rule, int noteCount,
                            DWORD timeoutMs);
