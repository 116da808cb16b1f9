#include "notes/note_store.h"
#include "notes/note_collection.h"
#include "notes/note_sync.h"
#include "notes/save_telling.h"
#include "storage/data_file.h"
#include "storage/note_codec.h"
#include "storage/note_text.h"
#include <string>
#include <vector>

// While the stored notes are being made nothing is saved: a close or a log-off meanwhile would
// write less than the file holds.
static bool Loading;

// One question for almost every note: the buffer is larger than most notes, and only a text that
// fills it is measured and read again.
static std::wstring NoteText(HWND edit)
{
    static std::vector<wchar_t> buffer(8192);
    int copied = GetWindowTextW(edit, buffer.data(), static_cast<int>(buffer.size()));
    if (copied >= static_cast<int>(buffer.size()) - 1) {
        const size_t needed = static_cast<size_t>(GetWindowTextLengthW(edit)) + 1;
        if (needed > buffer.size()) {
            buffer.resize(needed);
            copied = GetWindowTextW(edit, buffer.data(), static_cast<int>(buffer.size()));
        }
    }
    return std::wstring(buffer.data(), static_cast<size_t>(copied > 0 ? copied : 0));
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
static StoredNote DescribeNote(const NoteRecord& note, const std::wstring& text)
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
    stored.extras.id.assign(note.id, sizeof note.id);
    PutNoteText(text, stored);
    return stored;
}

// Texts of notes whose edit boxes say they changed, as a save took them.
using ChangedTexts = std::vector<std::pair<HWND, std::wstring>>;

static std::vector<uint8_t> EncodeCollection(ChangedTexts& changed)
{
    std::vector<StoredNote> notes;
    notes.reserve(Notes.count);
    // A record still without a window (a note being made, or one whose window could not be
    // made) holds no note yet.
    for (int i = 0; i < Notes.count; ++i) {
        const NoteRecord& note = Notes.items[i];
        if (!note.hwnd)
            continue;
        std::wstring text = NoteText(note.hwndEdit);
        notes.push_back(DescribeNote(note, text));
        if (SendMessageW(note.hwndEdit, EM_GETMODIFY, 0, 0))
            changed.emplace_back(note.hwndEdit, std::move(text));
    }
    return EncodeNotes(notes);
}

std::vector<uint8_t> CollectionBytes()
{
    ChangedTexts changed;
    return EncodeCollection(changed);
}

// The changed texts of the newest save: their modify flags are cleared once that save is on disk,
// where the text is still what it wrote. Until then a note left or paused in still asks to save.
static struct {
    unsigned save = 0;
    ChangedTexts texts;
} Handed;

void MarkTextsSaved()
{
    if (Handed.save && !SaveWritten(Handed.save))
        return;
    for (const auto& [edit, text] : Handed.texts)
        if (IsWindow(edit) && NoteText(edit) == text)
            SendMessageW(edit, EM_SETMODIFY, FALSE, 0);
    Handed.texts.clear();
}

static void Remember(unsigned save, ChangedTexts& texts)
{
    Handed.save = save;
    Handed.texts.swap(texts);
    MarkTextsSaved();
}

// Exit and log-off write only what differs from the newest notes handed over (or the notes as
// the start made them): an untouched collection leaves the file as it is. A save of the same
// notes still on its way is waited for, and a failed one is no reason to skip.
int SaveNotes(SaveKind kind, bool untouchedToo)
{
    if (Loading || SavingEnded())
        return 1;
    WaitForSavesShowingMerges();
    ChangedTexts texts;
    std::vector<uint8_t> bytes = EncodeCollection(texts);
    unsigned save = 0;
    if (!SaveHolds(bytes, save) || untouchedToo)
        save = SaveBytes(std::move(bytes), kind);
    Remember(save, texts);
    if (kind == SaveKind::COMMAND)
        TellCommandSave();
    else if (kind == SaveKind::SESSION_END)
        LeaveSaveNewsForTheNextStart();
    return !save || SaveWritten(save) ? 1 : 0;
}

void SaveNotesIfChanged()
{
    if (Loading || SavingEnded())
        return;
    ChangedTexts texts;
    std::vector<uint8_t> bytes = EncodeCollection(texts);
    unsigned save = 0;
    if (SaveHolds(bytes, save) || (save = SaveBytes(std::move(bytes), SaveKind::AUTOMATIC)) != 0)
        Remember(save, texts);
}

HWND AddStoredNote(const StoredNote& stored)
{
    if (!AddNoteW(stored.x, stored.y, NoteTextOf(stored).c_str(), NOTE_PACKED))
        return nullptr;
    const NoteRecord& note = Notes.items[Notes.count - 1];
    SetNoteColor(note.hwnd, stored.color);
    SetNoteTime(note.hwnd, { stored.year, stored.month, stored.day, stored.hour, stored.minute });
    // Without one of its own (an older file), it keeps the one it was given, from its first save.
    SetNoteId(note.hwnd, stored.extras.id);
    // The text is the file's (an edit box made with a text may call itself modified).
    SendMessageW(note.hwndEdit, EM_SETMODIFY, FALSE, 0);
    return note.hwnd;
}

// Makes the stored notes; false when the program began to end meanwhile (a box of a note that
// could not be made let a close through).
static bool MakeNotes(const DecodedNotes& decoded)
{
    size_t made = 0;
    while (made < decoded.notes.size() && !SavingEnded() && AddStoredNote(decoded.notes[made]))
        ++made;
    if (SavingEnded())
        return false;
    // What did not become a note is still only in the file: the first save keeps the file aside.
    if (!decoded.whole || made < decoded.notes.size())
        DataFileReadInPart();
    return true;
}

int LoadNotes()
{
    std::vector<uint8_t> bytes;
    std::string kept;
    Loading = true;
    const DataFileRead read = ReadDataFile(bytes, kept);
    const DecodedNotes decoded = DecodeNotes(bytes.data(), bytes.size());
    const bool made = MakeNotes(decoded);
    Loading = false;
    if (!made)
        return 0;
    RememberUntouched(CollectionBytes(), decoded.notes.empty() ? std::string() : decoded.notes[0].extras.versions);
    // The boxes of the start open once the notes are there.
    TellStartUp(kept, read == DataFileRead::FAILED);
    return read == DataFileRead::READ ? 1 : 0;
}
