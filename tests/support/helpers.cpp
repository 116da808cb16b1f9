#include "tests/support/helpers.h"
#include "tests/support/poll.h"
#include "storage/file_io.h"
#include "storage/note_text.h"
#include "storage/settings.h"
#include <shellapi.h>
#include <cstdio>

TempFolder::TempFolder()
{
    char base[MAX_PATH];
    GetTempPathA(sizeof base, base);
    static int serial;
    char name[MAX_PATH];
    snprintf(name, sizeof name, "%smemovky-test-%lu-%d", base, GetCurrentProcessId(), ++serial);
    CreateDirectoryA(name, nullptr);
    path_ = name;
}

static void EmptyTree(const std::string& folder)
{
    for (const WIN32_FIND_DATAA& found : FindEntries(folder + "\\*")) {
        std::string full = folder + "\\" + found.cFileName;
        SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            EmptyTree(full);
            RemoveDirectoryA(full.c_str());
        } else {
            DeleteFileA(full.c_str());
        }
    }
}

TempFolder::~TempFolder()
{
    EmptyTree(path_);
    RemoveDirectoryA(path_.c_str());
}

void TempFolder::Empty() const
{
    EmptyTree(path_);
}

bool FileExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<uint8_t> Unversioned(const std::vector<uint8_t>& bytes, bool withoutIds)
{
    std::vector<StoredNote> notes = DecodeNotes(bytes.data(), bytes.size()).notes;
    for (StoredNote& note : notes) {
        note.extras.versions.clear();
        if (withoutIds)
            note.extras.id.clear();
    }
    return EncodeNotes(notes);
}

std::vector<uint8_t> Plain(const std::vector<uint8_t>& bytes)
{
    return Unversioned(bytes, true);
}

std::vector<std::string> FolderEntries(const std::string& folder)
{
    std::vector<std::string> names;
    for (const WIN32_FIND_DATAA& found : FindEntries(folder + "\\*"))
        names.push_back(found.cFileName);
    return names;
}

std::vector<uint8_t> ReadFileBytes(const std::string& path)
{
    std::vector<uint8_t> bytes;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return bytes;
    DWORD size = GetFileSize(file, nullptr), read = 0;
    bytes.resize(size);
    if (size && !ReadFile(file, bytes.data(), size, &read, nullptr))
        read = 0;
    bytes.resize(read);
    CloseHandle(file);
    return bytes;
}

bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool ok = bytes.empty()
           || (WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)
               && written == bytes.size());
    CloseHandle(file);
    return ok;
}

void DeleteSettingsKey()
{
    RegDeleteKeyA(HKEY_CURRENT_USER, SETTINGS_KEY_PATH);
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Harvelo");
}

static HKEY OpenKey()
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY_PATH, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return nullptr;
    return key;
}

bool SettingsKeyExists()
{
    HKEY key = OpenKey();
    if (key)
        RegCloseKey(key);
    return key != nullptr;
}

RegValue ReadSettingsValue(const char* name)
{
    RegValue value;
    HKEY key = OpenKey();
    if (!key)
        return value;
    DWORD size = 0;
    if (RegQueryValueExA(key, name, nullptr, &value.type, nullptr, &size) == ERROR_SUCCESS) {
        value.data.resize(size);
        value.exists = RegQueryValueExA(key, name, nullptr, &value.type,
                                        size ? value.data.data() : nullptr, &size) == ERROR_SUCCESS;
        value.data.resize(size);
    }
    RegCloseKey(key);
    return value;
}

int CountSettingsValues()
{
    HKEY key = OpenKey();
    if (!key)
        return -1;
    DWORD count = 0;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count,
                     nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(key);
    return static_cast<int>(count);
}

void WriteSettingsValue(const char* name, DWORD type, const void* data, DWORD size)
{
    HKEY key = nullptr;
    RegCreateKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY_PATH, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    // A text followed by a zero would get that zero stored too; store exactly the bytes given.
    std::vector<BYTE> bytes(static_cast<const BYTE*>(data), static_cast<const BYTE*>(data) + size);
    bytes.push_back(0xFF);
    RegSetValueExA(key, name, 0, type, bytes.data(), size);
    RegCloseKey(key);
}

void WriteSettingsDword(const char* name, DWORD value)
{
    WriteSettingsValue(name, REG_DWORD, &value, sizeof value);
}

void WriteSettingsText(const char* name, const std::string& text, bool withTerminator)
{
    WriteSettingsValue(name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + (withTerminator ? 1 : 0)));
}

std::string WindowText(HWND window)
{
    char text[1024] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}

std::string ClassNameOf(HWND window)
{
    char name[256] = "";
    GetClassNameA(window, name, sizeof name);
    return name;
}

RECT WindowRect(HWND window)
{
    RECT rect = {};
    GetWindowRect(window, &rect);
    return rect;
}

namespace {
struct TopWindowQuery {
    DWORD processId;
    const char* className;
    bool visibleOnly;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectTopWindow(HWND window, LPARAM data)
{
    auto* query = reinterpret_cast<TopWindowQuery*>(data);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if ((query->processId == ANY_PROCESS || owner == query->processId) && ClassNameOf(window) == query->className
        && (!query->visibleOnly || IsWindowVisible(window)))
        query->found.push_back(window);
    return TRUE;
}
} // namespace

std::vector<HWND> TopWindows(DWORD processId, const char* className, bool visibleOnly)
{
    TopWindowQuery query = { processId ? processId : GetCurrentProcessId(), className, visibleOnly, {} };
    EnumWindows(CollectTopWindow, reinterpret_cast<LPARAM>(&query));
    return query.found;
}

// A new name for a file in the host's /tmp. Other test sessions share /tmp and may reuse our
// process id: the clock tells them apart.
static std::string NewHostTempFile()
{
    static LONG serial;
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return "/tmp/memovky-xdo-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(now.QuadPart) + "-"
         + std::to_string(InterlockedIncrement(&serial));
}

std::string WindowsPathOfHostFile(const std::string& path)
{
    std::string windowsPath = "Z:" + path;
    for (char& c : windowsPath)
        if (c == '/')
            c = '\\';
    return windowsPath;
}

bool RunNative(const std::string& shellCommand, DWORD timeoutMs)
{
    // Wine starts native programs too, but its handle of such a process is not one that can be
    // waited on: the shell leaves a file behind when xdotool is done, and that is waited for.
    const std::string marker = NewHostTempFile();
    const std::string windowsMarker = WindowsPathOfHostFile(marker);
    std::string script = shellCommand + "; : > " + marker;
    std::string quoted;
    for (char c : script) {
        if (c == '"')
            quoted += '\\';
        quoted += c;
    }
    std::string command = "/bin/sh -c \"" + quoted + "\"";
    STARTUPINFOA si = { sizeof si };
    // For a native program Wine fills this with whatever its own stack held: these are no handles
    // of ours, and closing them closed handles of the test itself (its standard output, say).
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return false;
    const DWORD start = GetTickCount();
    bool finished;
    while (!(finished = FileExists(windowsMarker)) && GetTickCount() - start < WaitLimit(timeoutMs))
        Sleep(5);
    DeleteFileA(windowsMarker.c_str());
    return finished;
}

bool Xdo(const std::string& arguments)
{
    return RunNative("/usr/bin/xdotool " + arguments);
}

std::string NativeOutput(const std::string& shellCommand, DWORD timeoutMs)
{
    const std::string output = NewHostTempFile();
    const std::string windowsOutput = WindowsPathOfHostFile(output);
    const bool finished = RunNative(shellCommand + " > " + output, timeoutMs);
    const std::vector<uint8_t> bytes = finished ? ReadFileBytes(windowsOutput) : std::vector<uint8_t>();
    DeleteFileA(windowsOutput.c_str());
    return std::string(bytes.begin(), bytes.end());
}

WindowDriver::WindowDriver(const char* className, const char* title, std::function<void(HWND)> action,
                           DWORD timeoutMs)
    : class_(className), title_(title), action_(std::move(action)), timeout_(WaitLimit(timeoutMs))
{
    thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
}

WindowDriver::~WindowDriver()
{
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
}

bool WindowDriver::Acted() const
{
    WaitForSingleObject(thread_, INFINITE);
    return acted_;
}

DWORD WINAPI WindowDriver::Run(void* data)
{
    auto* self = static_cast<WindowDriver*>(data);
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < self->timeout_) {
        for (HWND window : TopWindows(GetCurrentProcessId(), self->class_.c_str())) {
            if (WindowText(window) == self->title_) {
                self->action_(window);
                self->acted_ = true;
                return 0;
            }
        }
        Sleep(10);
    }
    return 0;
}

StoredNote MakeStoredNote(int32_t x, int32_t y, uint32_t color, const std::string& text, uint8_t state,
                          NoteTime created)
{
    StoredNote note;
    note.x = x;
    note.y = y;
    note.color = color;
    note.state = state;
    note.year = created.year;
    note.month = created.month;
    note.day = created.day;
    note.hour = created.hour;
    note.minute = created.minute;
    note.text = text;
    return note;
}

std::string Describe(const RECT& rect)
{
    char text[96];
    snprintf(text, sizeof text, "(%ld, %ld)-(%ld, %ld)", rect.left, rect.top, rect.right, rect.bottom);
    return text;
}

bool SameRect(const RECT& a, const RECT& b)
{
    return EqualRect(&a, &b) != 0;
}

std::string ProgramPath()
{
    // The 32-bit smoke test points this at the release ZIP's own executable.
    char given[MAX_PATH];
    const DWORD length = GetEnvironmentVariableA("MEMOVKY_PROGRAM", given, sizeof given);
    std::string path = "Z:" + std::string(length && length < sizeof given ? given : MEMOVKY_EXE_UNIX_PATH);
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

std::string Narrow(const wchar_t* text, int length)
{
    return CodePageText(length < 0 ? std::wstring(text) : std::wstring(text, static_cast<size_t>(length)));
}

bool TrayIconPresent(HWND owner)
{
    NOTIFYICONDATAA nid = {};
    nid.cbSize = NOTIFYICONDATAA_V1_SIZE;
    nid.hWnd = owner;
    nid.uID = 1;
    return Shell_NotifyIconA(NIM_MODIFY, &nid) != FALSE;
}
