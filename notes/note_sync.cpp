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
#include <unordered_map>
#include <vector>

// A note open here keeps its window where it is; its text is the merge's, which keeps what the
// user changed here.
static void UpdateNote(HWND window, const StoredNote& was, const StoredNote& note)
{
    const int index = FindNote(window);
    if (index < 0)
        return;
    if (was.color != note.color) {
        SetNoteColor(window, note.color);
        RedrawNow(window);
    }
    if (!SameNoteText(was, note)) {
        HWND edit = Notes.items[index].hwndEdit;
        // Without drawing: the edit box of a mark is hidden anyway, and an open note redraws once.
        SendMessageW(edit, WM_SETREDRAW, FALSE, 0);
        SetWindowTextW(edit, NoteTextOf(note).c_str());
        SendMessageW(edit, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(edit, nullptr, TRUE);
        SendMessageW(edit, EM_SETMODIFY, FALSE, 0);
    }
    if (Notes.items[index].state != NOTE_PACKED || (was.x == note.x && was.y == note.y))
        return;
    Notes.items[index].x = note.x;
    Notes.items[index].y = note.y;
    SetWindowPos(window, nullptr, note.x, note.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

using IdIndex = std::unordered_map<std::string, int>;

static IdIndex IndexNotes()
{
    IdIndex index;
    for (int i = 0; i < Notes.count; ++i)
        index.emplace(std::string(Notes.items[i].id, sizeof Notes.items[i].id), i);
    return index;
}

// The collection in the merge's order, which is the file's.
static void Reorder(const std::vector<StoredNote>& notes)
{
    const IdIndex index = IndexNotes();
    std::vector<NoteRecord> ordered;
    ordered.reserve(Notes.count);
    std::vector<bool> placed(Notes.count);
    for (const StoredNote& note : notes) {
        const auto found = index.find(note.extras.id);
        if (found != index.end() && !placed[found->second]) {
            placed[found->second] = true;
            ordered.push_back(Notes.items[found->second]);
        }
    }
    for (int i = 0; i < Notes.count; ++i)
        if (!placed[i])
            ordered.push_back(Notes.items[i]);
    std::copy(ordered.begin(), ordered.end(), Notes.items);
}

// Only the notes that differ from what the windows show (before) are touched.
static void ShowNotes(const std::vector<StoredNote>& notes, const std::vector<StoredNote>& before)
{
    // The preview holds a copy of a text that may change or go.
    HidePopup();
    std::unordered_map<std::string, const StoredNote*> merged, shown;
    for (const StoredNote& note : notes)
        merged.emplace(note.extras.id, &note);
    for (const StoredNote& note : before)
        shown.emplace(note.extras.id, &note);
    std::vector<HWND> gone;
    IdIndex index = IndexNotes();
    for (const auto& [id, note] : shown)
        if (!merged.count(id) && index.count(id))
            gone.push_back(Notes.items[index[id]].hwnd);
    for (HWND window : gone)
        DestroyWindow(window);
    index = IndexNotes();
    for (const StoredNote& note : notes) {
        const auto was = shown.find(note.extras.id);
        const auto at = index.find(note.extras.id);
        if (was == shown.end() || at == index.end()) {
            if (HWND made = AddStoredNote(note))
                RedrawNow(made);
        } else if (!SameNote(*was->second, note))
            UpdateNote(Notes.items[at->second].hwnd, *was->second, note);
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
        ShowNotes(job.merged.notes, job.mineNotes);
    // What the windows show now, as a save would read it out of them.
    std::vector<StoredNote> shown = job.merged.notes;
    for (StoredNote& note : shown)
        note.extras.versions.clear();
    ConcludeMerge(EncodeNotes(shown));
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
