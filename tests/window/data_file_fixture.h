// The data folder of a window test: notes.bin as the program writes and reads it there, and the
// other programs that meet it (holding it open a while). Files held past the retry are tried for
// TEST_RETRY_MS, not for seconds.
#pragma once
#include "app/system_calls.h"
#include "notes/note_collection.h"
#include "notes/note_store.h"
#include "notes/note_sync.h"
#include "notes/note_window.h"
#include "storage/data_file.h"
#include "storage/note_codec.h"
#include "storage/settings.h"
#include "tests/support/app_fixture.h"
#include "tests/support/poll.h"
#include <string>
#include <vector>

inline const std::vector<uint8_t> EXAMPLE_BYTES = {
    0x01, 0x00, 0x00, 0x00, 0x64, 0x00, 0x00, 0x00, 0x32, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0x01,
    0xEA, 0x07, 0x0C, 0x00, 0x06, 0x00, 0x0E, 0x00, 0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00,
    0x61, 0x62, 0x63,
};

inline const char SAVE_ERROR[] = "Nelze vytvořit datový soubor";
inline const char LOAD_ERROR[] = "Nelze načíst datový soubor";
inline const char KEPT_TEXT[] = "Datový soubor se mezitím změnil mimo Memovky nebo jej nebylo možné načíst celý.\n"
                                "Jeho dosavadní obsah je uschován v souboru:\n";
inline const char LEFTOVER_TEXT[] = "Ve složce s daty zůstal soubor nedokončeného uložení (například po výpadku proudu).\n"
                                    "Je uschován v souboru:\n";

constexpr DWORD TEST_RETRY_MS = 400;

inline StoredNote Stored(int32_t x, int32_t y, const std::string& text, COLORREF color = RGB(0, 0, 255),
                  uint8_t state = NOTE_PACKED)
{
    return MakeStoredNote(x, y, color, text, state, { 2025, 3, 17, 8, 9 });
}

inline bool SameTime(const NoteTime& a, const NoteTime& b)
{
    return a.year == b.year && a.month == b.month && a.day == b.day && a.hour == b.hour && a.minute == b.minute;
}

// Another program (a virus scanner, a sync client, a backup) holding a file open, unshared, for
// a while; it has let go when the holder is destroyed.
class FileHolder {
public:
    FileHolder(const std::string& path, DWORD ms)
        : file_(CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)), ms_(ms)
    {
        if (file_ != INVALID_HANDLE_VALUE)
            thread_ = CreateThread(nullptr, 0, LetGo, this, 0, nullptr);
    }
    ~FileHolder()
    {
        if (thread_) {
            WaitForSingleObject(thread_, INFINITE);
            CloseHandle(thread_);
        }
    }
    FileHolder(const FileHolder&) = delete;
    FileHolder& operator=(const FileHolder&) = delete;
    bool Holds() const { return thread_ != nullptr; }

private:
    static DWORD WINAPI LetGo(void* self)
    {
        FileHolder* holder = static_cast<FileHolder*>(self);
        Sleep(holder->ms_);
        CloseHandle(holder->file_);
        return 0;
    }
    HANDLE file_;
    DWORD ms_;
    HANDLE thread_ = nullptr;
};

// A name that a save gives its temporary files.
inline bool IsTemporaryName(const std::string& name)
{
    return name.size() == 14 && name.compare(0, 6, "notes~") == 0 && name.compare(10, 4, ".tmp") == 0;
}

class DataFileTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        g_dataFileRetryMs = TEST_RETRY_MS;
    }
    // The program's writer has stopped before any stand-in is taken back.
    void TearDown() override
    {
        AppTest::TearDown();
        g_dataFileRetryMs = DATA_FILE_RETRY_MS;
        g_maxDataFileSize = MAX_DATA_FILE_SIZE;
    }

    std::string DataPath() const { return folder.File("notes.bin"); }
    std::vector<uint8_t> Saved() const { return ReadFileBytes(DataPath()); }

    // Writes bytes as notes.bin and loads them into an empty collection.
    int LoadBytes(const std::vector<uint8_t>& bytes)
    {
        EXPECT_TRUE(WriteFileBytes(DataPath(), bytes));
        return LoadNotes();
    }

    // notes.bin as this run read it at start-up, without making notes of it: a file the run
    // knows, which a save may replace.
    void ReadAtStart(const std::vector<uint8_t>& bytes)
    {
        ASSERT_TRUE(WriteFileBytes(DataPath(), bytes));
        std::vector<uint8_t> read;
        std::string kept;
        ASSERT_EQ(DataFileRead::READ, ReadDataFile(read, kept));
    }

    // Files beside notes.bin, as full paths: the kept files, and temporary files where a save left any.
    std::vector<std::string> FilesBeside() const
    {
        std::vector<std::string> beside;
        for (const std::string& name : FolderEntries(folder.Path()))
            if (name != "notes.bin")
                beside.push_back(folder.File(name));
        return beside;
    }
    std::vector<std::string> TemporaryFiles() const
    {
        std::vector<std::string> temporary;
        for (const std::string& name : FolderEntries(folder.Path()))
            if (IsTemporaryName(name))
                temporary.push_back(folder.File(name));
        return temporary;
    }

    // Every save asked for so far is on disk, and what it had to say was said.
    static void SettleSaves()
    {
        WaitForSavesShowingMerges();
        PumpPending();
    }

    size_t NoteWindowCount() const { return TopWindows(0, NOTE_CLASS_NAME, false).size(); }

    // A mark of the default size with its top-left corner at (x, y).
    void ExpectMarkAt(HWND note, int x, int y)
    {
        const RECT expected = { x, y, x + Settings.PackedNoteSize.cx, y + Settings.PackedNoteSize.cy };
        EXPECT_TRUE(IsNotePacked(note));
        EXPECT_TRUE(SameRect(expected, WindowRect(note)))
            << "expected " << Describe(expected) << ", got " << Describe(WindowRect(note));
    }

    // The failed save shows exactly the one error box and changes nothing on disk.
    void ExpectFailedSave(const std::vector<uint8_t>& oldBytes)
    {
        boxes.Clear();
        EXPECT_EQ(0, SaveNotes());
        ASSERT_EQ(1u, boxes.Count()) << boxes.Summary();
        EXPECT_EQ(SAVE_ERROR, boxes.Boxes()[0].text);
        EXPECT_EQ("Memovky 1.5", boxes.Boxes()[0].caption);
        EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONERROR), boxes.Boxes()[0].flags & (MB_TYPEMASK | MB_ICONMASK));
        EXPECT_EQ(oldBytes, Saved()) << "the old notes.bin was changed";
        EXPECT_EQ(std::vector<std::string>{ "notes.bin" }, FolderEntries(folder.Path()))
            << "something was left beside notes.bin";
    }
};
