#include "storage/data_file.h"
#include "app/message_boxes.h"
#include "notes/note_collection.h"
#include "storage/note_codec.h"
#include "storage/settings.h"
#include <algorithm>
#include <string>

BOOL (WINAPI *g_pfnWriteFile)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED) = WriteFile;

// Anything larger is not a file this program wrote; what fits is read, the rest is cut off.
static const DWORD MAX_DATA_FILE_SIZE = 256u << 20;

void ComposeDataFile()
{
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

bool ReplaceFileContents(const char* path, const std::vector<uint8_t>& bytes)
{
    if (!path || !*path || !MayReplace(path))
        return false;
    const std::string temporary = TemporaryPathFor(path);
    HANDLE file = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool written = WriteAll(file, bytes) && FlushFileBuffers(file);
    written = CloseHandle(file) && written;
    if (written && MoveFileExA(temporary.c_str(), path,
                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    DeleteFileA(temporary.c_str());
    return false;
}

static std::string NoteText(HWND edit)
{
    int length = GetWindowTextLengthA(edit);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    int copied = GetWindowTextA(edit, &text[0], length + 1);
    text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
    return text;
}

// The window's real place is stored, not the record's: a dragged mark stays where it was put.
static StoredNote DescribeNote(const NoteRecord& note)
{
    StoredNote stored;
    RECT rect = {};
    GetWindowRect(note.hwnd, &rect);
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

int SaveNotes()
{
    std::vector<StoredNote> notes;
    notes.reserve(Notes.count);
    for (int i = 0; i < Notes.count; ++i)
        notes.push_back(DescribeNote(Notes.items[i]));
    if (!ReplaceFileContents(Settings.DataFile, EncodeNotes(notes))) {
        ErrorBox("Nelze vytvořit datový soubor");
        return 0;
    }
    return 1;
}

static bool ReadWholeFile(const char* path, std::vector<uint8_t>& bytes)
{
    if (!*path)
        return false;
    HANDLE file = CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER size = {};
    bool ok = GetFileSizeEx(file, &size) != 0;
    if (ok) {
        bytes.resize(static_cast<size_t>(std::min<LONGLONG>(size.QuadPart, MAX_DATA_FILE_SIZE)));
        DWORD read = 0;
        ok = bytes.empty()
          || ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
        bytes.resize(ok ? read : 0);
    }
    CloseHandle(file);
    return ok;
}

int LoadNotes()
{
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(Settings.DataFile, bytes))
        return 0;
    for (const StoredNote& stored : DecodeNotes(bytes.data(), bytes.size()).notes) {
        if (!AddNote(stored.x, stored.y, stored.text.c_str(), NOTE_PACKED))
            break;
        HWND window = Notes.items[Notes.count - 1].hwnd;
        SetNoteColor(window, stored.color);
        SetNoteTime(window, { stored.year, stored.month, stored.day, stored.hour, stored.minute });
    }
    return 1;
}
