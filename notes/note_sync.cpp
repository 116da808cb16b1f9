#include "notes/note_sync.h"
#include "app/message_boxes.h"
#include "app/modal_loops.h"
#include "notes/note_collection.h"
#include "notes/note_store.h"
#include "notes/preview.h"
#include "notes/save_telling.h"
#include "storage/note_text.h"
#include "storage/save_writer.h"
#include <algorithm>
#include <set>
#include <vector>

static std::wstring TextOf(HWND edit)
{
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(edit)) + 1, L'\0');
    text.resize(static_cast<size_t>(std::max(0, GetWindowTextW(edit, &text[0], static_cast<int>(text.size())))));
    return text;
}

static void MakeNote(const StoredNote& note)
{
    if (!AddNoteW(note.x, note.y, NoteTextOf(note).c_str(), NOTE_PACKED))
        return;
    HWND window = Notes.items[Notes.count - 1].hwnd;
    SetNoteColor(window, note.color);
    SetNoteTime(window, { note.year, note.month, note.day, note.hour, note.minute });
    SetNoteId(window, note.extras.id);
    SendMessageW(Notes.items[Notes.count - 1].hwndEdit, EM_SETMODIFY, FALSE, 0);
    RedrawNow(window);
}

// A note open here keeps its window where it is; its text is the merge's, which keeps what the
// user changed here.
static void UpdateNote(HWND window, const StoredNote& note)
{
    int index = FindNote(window);
    if (Notes.items[index].markColor != note.color) {
        SetNoteColor(window, note.color);
        RedrawNow(window);
    }
    const std::wstring text = NoteTextOf(note);
    HWND edit = Notes.items[index].hwndEdit;
    if (TextOf(edit) != text) {
        SetWindowTextW(edit, text.c_str());
        SendMessageW(edit, EM_SETMODIFY, FALSE, 0);
    }
    if ((index = FindNote(window)) < 0 || Notes.items[index].state != NOTE_PACKED)
        return;
    RECT mark;
    GetWindowRect(window, &mark);
    Notes.items[index].x = note.x;
    Notes.items[index].y = note.y;
    if (mark.left != note.x || mark.top != note.y)
        SetWindowPos(window, nullptr, note.x, note.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The collection in the merge's order, which is the file's.
static void Reorder(const std::vector<StoredNote>& notes)
{
    std::vector<NoteRecord> ordered;
    ordered.reserve(Notes.count);
    std::set<int> placed;
    for (const StoredNote& note : notes) {
        const int index = FindNoteById(note.extras.id);
        if (index >= 0 && placed.insert(index).second)
            ordered.push_back(Notes.items[index]);
    }
    for (int i = 0; i < Notes.count; ++i)
        if (!placed.count(i))
            ordered.push_back(Notes.items[i]);
    std::copy(ordered.begin(), ordered.end(), Notes.items);
}

static void ShowNotes(const std::vector<StoredNote>& notes)
{
    // The preview holds a copy of a text that may change or go.
    HidePopup();
    std::set<std::string> merged;
    for (const StoredNote& note : notes)
        merged.insert(note.extras.id);
    std::vector<HWND> gone;
    for (int i = 0; i < Notes.count; ++i)
        if (!merged.count(std::string(Notes.items[i].id, sizeof Notes.items[i].id)))
            gone.push_back(Notes.items[i].hwnd);
    for (HWND window : gone)
        DestroyWindow(window);
    for (const StoredNote& note : notes) {
        const int index = FindNoteById(note.extras.id);
        if (index < 0)
            MakeNote(note);
        else
            UpdateNote(Notes.items[index].hwnd, note);
    }
    Reorder(notes);
}

bool ShowMergedNotes()
{
    MergeJob job;
    if (SavingEnded() || InModalLoop() || !TakeMerge(job))
        return false;
    std::vector<uint8_t> now = CollectionBytes();
    if (now != job.mine) {
        RemergeWith(std::move(now));
        return true;
    }
    if (job.changesMine)
        ShowNotes(job.merged.notes);
    ConcludeMerge(CollectionBytes());
    if (job.merged.keptBeside)
        TellKeptBeside();
    return true;
}

void WaitForSavesShowingMerges()
{
    while (WaitForSavesOrMerge())
        if (!ShowMergedNotes())
            DropMerge();
}
