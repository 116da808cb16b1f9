#include "storage/data_file.h"
#include "app/message_boxes.h"
#include "notes/note_collection.h"
#include "storage/note_codec.h"
#include "storage/settings.h"
#include <algorithm>
#include <string>

BOOL (WINAPI *g_pfnWriteFile)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED) = WriteFile;
BOOL (WINAPI *g_pfnFlushFileBuffers)(HANDLE) = FlushFileBuffers;
BOOL (WINAPI *g_pfnReplaceFileA)(LPCSTR, LPCSTR, LPCSTR, DWORD, LPVOID, LPVOID) = ReplaceFileA;

// Anything larger is not a file this program wrote; what fits is read, the rest is cut off.
static const DWORD MAX_DATA_FILE_SIZE = 256u << 20;

static const char SAVE_ERROR_TEXT[] = "Nelze vytvořit datový soubor";
static const char LOAD_ERROR_TEXT[] = "Nelze načíst datový soubor";

// What this run knows of DataFile; ComposeDataFile starts it afresh.
static std::vector<uint8_t> FileBytes;      // what the file holds: last written, or as read
static bool FileRefused;                    // it exists but could not be read: never replaced
static bool AutomaticFailureShown;          // an automatic save failed and said so; no save since
static bool AutomaticSavesEnded;            // the program is ending: nothing writes any more

void ComposeDataFile()
{
    FileBytes.clear();
    FileRefused = false;
    AutomaticFailureShown = false;
    AutomaticSavesEnded = false;
    Settings.DataFile[0] = '\0';
    if (lstrlenA(Settings.DataFolder) + lstrlenA(DATA_FILE_NAME) < SETTINGS_TEXT_SIZE) {
        lstrcpyA(Settings.DataFile, Settings.DataFolder);
        lstrcatA(Settings.DataFile, DATA_FILE_NAME);
    }
}

// Same length as the data file's path, so it fits wherever that fits.
static std::string TemporaryPathFor(const char* path)
{
    std::string temporary(path);
    const std::string extension = ".bin";
    if (temporary.size() >= extension.size()
        && temporary.compare(temporary.size() - extension.size(), extension.size(), extension) == 0)
        temporary.replace(temporary.size() - 3, 3, "tmp");
    else
        temporary += ".tmp";
    return temporary;
}

static bool WriteAll(HANDLE file, const std::vector<uint8_t>& bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
        if (!g_pfnWriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written == 0)
            return false;
        done += written;
    }
    return true;
}

// The file already there must be ours to replace: a rename can get past a read-only attribute
// (and so can an administrator's open), so both are asked the way a plain save would meet them.
static bool MayReplace(const char* path)
{
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        return false;
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_FILE_NOT_FOUND;
    CloseHandle(file);
    return true;
}

// An existing file is replaced with ReplaceFile, which keeps its attributes (hidden, say) and its
// security; a new one is renamed into place. Either way the temporary file is gone on success.
static bool PutInPlace(const char* temporary, const char* path)
{
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return MoveFileExA(temporary, path, MOVEFILE_WRITE_THROUGH) != 0;
    if (!g_pfnReplaceFileA(path, temporary, nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr))
        return false;
    // Windows carries the attributes over; Wine's ReplaceFile only renames, so they are put back.
    const DWORD kept = attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    if (kept && (GetFileAttributesA(path) & kept) != kept)
        SetFileAttributesA(path, GetFileAttributesA(path) | kept);
    return true;
}

bool ReplaceFileContents(const char* path, const std::vector<uint8_t>& bytes)
{
    if (!path || !*path || !MayReplace(path))
        return false;
    const std::string temporary = TemporaryPathFor(path);
    HANDLE file = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool written = WriteAll(file, bytes) && g_pfnFlushFileBuffers(file);
    written = CloseHandle(file) && written;
    if (written && PutInPlace(temporary.c_str(), path))
        return true;
    DeleteFileA(temporary.c_str());
    return false;
}

// One question for almost every note (each one costs a conversion of the whole text): the buffer
// is larger than most notes, and only a text that fills it is measured and read again.
static std::string NoteText(HWND edit)
{
    static std::vector<char> buffer(8192);
    int copied = GetWindowTextA(edit, buffer.data(), static_cast<int>(buffer.size()));
    if (copied >= static_cast<int>(buffer.size()) - 1) {
        const size_t needed = static_cast<size_t>(GetWindowTextLengthA(edit)) + 1;
        if (needed > buffer.size()) {
            buffer.resize(needed);
            copied = GetWindowTextA(edit, buffer.data(), static_cast<int>(buffer.size()));
        }
    }
    return std::string(buffer.data(), static_cast<size_t>(copied > 0 ? copied : 0));
}

// Where a window stands; a minimized one where it will stand again when restored, not at the
// place far off the screen where Windows parks it.
static RECT PlaceOf(HWND window)
{
    RECT rect = {};
    WINDOWPLACEMENT placement = { sizeof placement };
    if (!IsIconic(window) || !GetWindowPlacement(window, &placement)) {
        GetWindowRect(window, &rect);
        return rect;
    }
    rect = placement.rcNormalPosition;
    // Given in coordinates of the work area, except for tool windows (every expanded note).
    MONITORINFO monitor = { sizeof monitor };
    if (!(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW)
        && GetMonitorInfoA(MonitorFromRect(&rect, MONITOR_DEFAULTTOPRIMARY), &monitor))
        OffsetRect(&rect, monitor.rcWork.left - monitor.rcMonitor.left, monitor.rcWork.top - monitor.rcMonitor.top);
    return rect;
}

// The window's real place is stored, not the record's: a dragged mark stays where it was put.
static StoredNote DescribeNote(const NoteRecord& note)
{
    StoredNote stored;
    const RECT rect = PlaceOf(note.hwnd);
    stored.x = rect.left;
    stored.y = rect.top;
    stored.color = note.markColor;
    stored.state = note.state;
    stored.year = note.created.year;
    stored.month = note.created.month;
    stored.day = note.created.day;
    stored.hour = note.created.hour;
    stored.minute = note.created.minute;
    stored.name = note.name;
    stored.text = NoteText(note.hwndEdit);
    return stored;
}

static std::vector<uint8_t> EncodeCollection()
{
    std::vector<StoredNote> notes;
    notes.reserve(Notes.count);
    // A record still without a window (a note being made, or one whose window could not be
    // made) holds no note yet.
    for (int i = 0; i < Notes.count; ++i)
        if (Notes.items[i].hwnd)
            notes.push_back(DescribeNote(Notes.items[i]));
    return EncodeNotes(notes);
}

// Every text is on disk now: the edit boxes' modify flags start again.
static void MarkTextsSaved()
{
    for (int i = 0; i < Notes.count; ++i)
        if (Notes.items[i].hwndEdit)
            SendMessageA(Notes.items[i].hwndEdit, EM_SETMODIFY, FALSE, 0);
}

static bool WriteCollection(const std::vector<uint8_t>& bytes)
{
    if (FileRefused || !ReplaceFileContents(Settings.DataFile, bytes))
        return false;
    FileBytes = bytes;
    AutomaticFailureShown = false;
    MarkTextsSaved();
    return true;
}

int SaveNotes()
{
    if (!WriteCollection(EncodeCollection())) {
        ErrorBox(SAVE_ERROR_TEXT);
        return 0;
    }
    return 1;
}

int SaveNotesIfChanged()
{
    if (AutomaticSavesEnded)
        return 1;
    const std::vector<uint8_t> bytes = EncodeCollection();
    if (bytes == FileBytes) {
        AutomaticFailureShown = false;
        MarkTextsSaved();
        return 1;
    }
    if (WriteCollection(bytes))
        return 1;
    // Once, not at every change while the disk stays unwritable; any save that succeeds ends it.
    if (!AutomaticFailureShown)
        ErrorBox(SAVE_ERROR_TEXT);
    AutomaticFailureShown = true;
    return 0;
}

void EndAutomaticSaves()
{
    AutomaticSavesEnded = true;
}

enum class ReadResult { READ, NO_FILE, FAILED };

// One try: the file whole, or the error that stopped it.
static bool ReadOnce(const char* path, std::vector<uint8_t>& bytes, DWORD& error)
{
    // Other readers (a virus scanner, a backup) may look at it meanwhile.
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = GetLastError();
        return false;
    }
    LARGE_INTEGER size = {};
    bool ok = GetFileSizeEx(file, &size) != 0;
    if (ok) {
        bytes.resize(static_cast<size_t>(std::min<LONGLONG>(size.QuadPart, MAX_DATA_FILE_SIZE)));
        DWORD read = 0;
        ok = bytes.empty()
          || ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
        bytes.resize(ok ? read : 0);
    }
    error = ok ? ERROR_SUCCESS : GetLastError();
    CloseHandle(file);
    return ok;
}

// A file that another program holds (right after log-on, a scanner or a sync tool) is tried
// again for DATA_FILE_RETRY_MS; no file at all is no failure.
static ReadResult ReadWholeFile(const char* path, std::vector<uint8_t>& bytes)
{
    if (!*path)
        return ReadResult::NO_FILE;
    const DWORD start = GetTickCount();
    for (;;) {
        DWORD error = ERROR_SUCCESS;
        if (ReadOnce(path, bytes, error))
            return ReadResult::READ;
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return ReadResult::NO_FILE;
        const bool held = error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
        if (!held || GetTickCount() - start >= DATA_FILE_RETRY_MS)
            return ReadResult::FAILED;
        Sleep(100);
    }
}

int LoadNotes()
{
    std::vector<uint8_t> bytes;
    switch (ReadWholeFile(Settings.DataFile, bytes)) {
    case ReadResult::NO_FILE:
        return 0;
    case ReadResult::FAILED:
        // Its notes are not known, so nothing this run holds may take their place.
        FileRefused = true;
        ErrorBox(LOAD_ERROR_TEXT);
        return 0;
    case ReadResult::READ:
        break;
    }
    FileBytes = bytes;
    for (const StoredNote& stored : DecodeNotes(bytes.data(), bytes.size()).notes) {
        if (!AddNote(stored.x, stored.y, stored.text.c_str(), NOTE_PACKED))
            break;
        HWND window = Notes.items[Notes.count - 1].hwnd;
        SetNoteColor(window, stored.color);
        SetNoteTime(window, { stored.year, stored.month, stored.day, stored.hour, stored.minute });
    }
    // The texts are those of the file (an edit box made with a text may call itself modified).
    MarkTextsSaved();
    return 1;
}
