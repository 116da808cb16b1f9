// Small tools the window and end-to-end tests share.
#pragma once
#include "notes/note_collection.h"
#include "storage/note_codec.h"
#include <windows.h>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// A fresh folder under the temporary folder, removed with everything in it at the end.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "\\" + name; }
    // Removes everything in it; the folder stays.
    void Empty() const;

private:
    std::string path_;
};

bool FileExists(const std::string& path);
// The names in a folder, "." and ".." left out.
std::vector<std::string> FolderEntries(const std::string& folder);
std::vector<uint8_t> ReadFileBytes(const std::string& path);
bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);

// The program's registry key under HKEY_CURRENT_USER.
void DeleteSettingsKey();
bool SettingsKeyExists();
struct RegValue {
    bool exists = false;
    DWORD type = 0;
    std::vector<uint8_t> data;
};
RegValue ReadSettingsValue(const char* name);
int CountSettingsValues();   // -1 when the key is missing
void WriteSettingsValue(const char* name, DWORD type, const void* data, DWORD size);
void WriteSettingsDword(const char* name, DWORD value);
void WriteSettingsText(const char* name, const std::string& text, bool withTerminator = false);

std::string WindowText(HWND window);
std::string ClassNameOf(HWND window);
RECT WindowRect(HWND window);
// Top-level windows of a process (0: this one, ANY_PROCESS: all) whose class is className.
constexpr DWORD ANY_PROCESS = 0xFFFFFFFF;
std::vector<HWND> TopWindows(DWORD processId, const char* className, bool visibleOnly = true);

// The same file of the machine running Wine as Wine's drive Z: shows it.
std::string WindowsPathOfHostFile(const std::string& path);
// Runs a shell command of the host (not a Windows program) and waits until it is done, or
// false when it is not done within the time.
bool RunNative(const std::string& shellCommand, DWORD timeoutMs = 10000);
// Runs xdotool on the test display, as a user's mouse and keyboard would act.
bool Xdo(const std::string& arguments);
// What a shell command of the host writes to its standard output; empty when it did not finish.
std::string NativeOutput(const std::string& shellCommand, DWORD timeoutMs = 10000);

// Watches, on a thread of its own, for a top-level window of this process with the given
// class and title; when it shows up, runs action on it once. Joined on destruction.
class WindowDriver {
public:
    WindowDriver(const char* className, const char* title, std::function<void(HWND)> action,
                 DWORD timeoutMs = 10000);
    ~WindowDriver();
    WindowDriver(const WindowDriver&) = delete;
    WindowDriver& operator=(const WindowDriver&) = delete;
    // Waits for the driver to finish: the window it acted on may be gone before its action ends.
    bool Acted() const;

private:
    static DWORD WINAPI Run(void* self);
    std::string class_, title_;
    std::function<void(HWND)> action_;
    DWORD timeout_;
    volatile bool acted_ = false;
    HANDLE thread_;
};

// A record of notes.bin: by default a mark created on 6 December 2026 at 14:05.
StoredNote MakeStoredNote(int32_t x, int32_t y, uint32_t color, const std::string& text,
                          uint8_t state = NOTE_PACKED, NoteTime created = { 2026, 12, 6, 14, 5 });

// A file as the program wrote it, without the versions it stamps on every file it writes (new
// each time) and, for Plain, without the identities it gives its notes: the format of old.
std::vector<uint8_t> Unversioned(const std::vector<uint8_t>& bytes, bool withoutIds = false);
std::vector<uint8_t> Plain(const std::vector<uint8_t>& bytes);

// Equality of two RECTs for gtest messages.
std::string Describe(const RECT& rect);
bool SameRect(const RECT& a, const RECT& b);

// Memovky.exe as built beside the tests (or the Unix path in MEMOVKY_PROGRAM), as a Windows path.
std::string ProgramPath();
// UTF-16 resource text in the program's code page (the tests' literals are in it too).
std::string Narrow(const wchar_t* text, int length = -1);

// Asks the notification area whether it holds the icon (owner, id 1), without changing it.
bool TrayIconPresent(HWND owner);
