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

// A child program, ended (if still running) and its handles closed when this goes.
class ChildProgram {
public:
    ChildProgram() = default;
    ~ChildProgram();
    ChildProgram(const ChildProgram&) = delete;
    ChildProgram& operator=(const ChildProgram&) = delete;

    // Starts it and waits until it is ready by rule; one that does not get ready is ended. The
    // figures' memory is left empty.
    StartFigures Start(const std::string& commandLine, const ReadyRule& rule, int noteCount, DWORD timeoutMs);
    // WM_CLOSE to its main window; false when it had not ended within timeoutMs (it is then
    // terminated).
    bool Close(DWORD timeoutMs);

    HANDLE Process() const { return process_.hProcess; }
    DWORD ThreadId() const { return process_.dwThreadId; }
    HWND Main() const { return main_; }

private:
    PROCESS_INFORMATION process_ = {};
    HWND main_ = nullptr;
};

// Closes the child (WM_CLOSE to its main window) and waits for it to end before returning.
StartFigures MeasureStartUp(const std::string& commandLine, const ReadyRule& rule, int noteCount,
                            DWORD timeoutMs);
