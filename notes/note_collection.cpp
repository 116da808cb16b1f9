#include "notes/note_collection.h"
#include "app/app.h"
#include "app/message_boxes.h"
#include "app/system_calls.h"
#include "notes/note_window.h"
#include "res/resource.h"
#include "storage/note_text.h"
#include "storage/settings.h"
#include "storage/versions.h"
#include <commctrl.h>
#include <cstdlib>
#include <cstring>
#include <vector>

NoteCollection Notes;

int FindNote(HWND window)
{
    if (!window)
        return -1;
    for (int i = 0; i < Notes.count; ++i)
        if (Notes.items[i].hwnd == window)
            return i;
    return -1;
}

static NoteRecord* RecordOf(HWND window)
{
    int index = FindNote(window);
    return index < 0 ? nullptr : &Notes.items[index];
}

// The accessors: a window that no record holds reads as 0 and takes nothing.
template <typename T>
static T ReadField(HWND window, T NoteRecord::*field)
{
    NoteRecord* note = RecordOf(window);
    return note ? note->*field : T();
}

template <typename T>
static int StoreField(HWND window, T NoteRecord::*field, T value)
{
    NoteRecord* note = RecordOf(window);
    if (!note)
        return 0;
    note->*field = value;
    return 1;
}

int GetNoteTracking(HWND window) { return ReadField(window, &NoteRecord::tracking); }
int SetNoteTracking(HWND window, int value) { return StoreField(window, &NoteRecord::tracking, value); }
int GetNoteArmed(HWND window) { return ReadField(window, &NoteRecord::armed); }
int SetNoteArmed(HWND window, int value) { return StoreField(window, &NoteRecord::armed, value); }
int SetNoteHover(HWND window, int value) { return StoreField(window, &NoteRecord::hover, value); }
COLORREF GetNoteColor(HWND window) { return ReadField(window, &NoteRecord::markColor); }
int SetNoteColor(HWND window, COLORREF color) { return StoreField(window, &NoteRecord::markColor, color); }
int SetNoteTime(HWND window, NoteTime time) { return StoreField(window, &NoteRecord::created, time); }

int IsNotePacked(HWND window)
{
    return ReadField(window, &NoteRecord::state) == NOTE_PACKED ? 1 : 0;
}

// Appends one zero-filled record. On failure the collection stays exactly as it was.
static bool GrowNotes()
{
    void* grown = g_sys.Realloc(Notes.items, (Notes.count + 1) * sizeof(NoteRecord));
    if (!grown) {
        ErrorBox("Nedostatek paměti pro další memovku");
        return false;
    }
    Notes.items = static_cast<NoteRecord*>(grown);
    memset(&Notes.items[Notes.count], 0, sizeof(NoteRecord));
    ++Notes.count;
    return true;
}

static NoteTime CurrentNoteTime()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    return { now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute };
}

static void TrackHoverAndLeave(HWND window)
{
    TRACKMOUSEEVENT tme = { sizeof tme, TME_HOVER | TME_LEAVE, window, HOVER_DEFAULT };
    _TrackMouseEvent(&tme);
}

// A note made packed is built in the mark's look and shown once: a full note shown only to be
// collapsed at once costs time (its edit box is laid out twice, with scroll bars) and shows
// nothing. It ends exactly as PackNote would leave it.
static HWND CreateNoteWindow(int32_t x, int32_t y, bool packed)
{
    const SIZE size = packed ? Settings.PackedNoteSize : Settings.NoteSize;
    return CreateWindowExA(packed ? NOTE_PACKED_EX_STYLE : NOTE_EXPANDED_EX_STYLE, NOTE_CLASS_NAME, "Memovka",
                           packed ? NOTE_PACKED_STYLE : NOTE_EXPANDED_STYLE, x, y, size.cx, size.cy,
                           g_hMainWnd, nullptr, g_hInst, nullptr);
}

int AddNote(int32_t x, int32_t y, const char* text, BYTE state)
{
    return AddNoteW(x, y, text ? WideText(text).c_str() : nullptr, state);
}

int AddNoteW(int32_t x, int32_t y, const wchar_t* text, BYTE state)
{
    if (!GrowNotes())
        return 0;
    const bool packed = state == NOTE_PACKED;
    const int index = Notes.count - 1;
    // Zero means "no position given".
    Notes.items[index].x = x != 0 ? x : 10;
    Notes.items[index].y = y != 0 ? y : 10;

    HWND window = CreateNoteWindow(Notes.items[index].x, Notes.items[index].y, packed);
    if (!window) {
        ErrorBox("Chyba při vytvoření okna!\nAplikace bude ukončena");
        DestroyWindow(g_hMainWnd);
        return 0;
    }
    Notes.items[index].hwnd = window;

    RECT client;
    GetClientRect(window, &client);
    // A Unicode window, so that it keeps what the code page cannot hold; the note stays ANSI.
    HWND edit = CreateWindowExW(0, L"EDIT", text ? text : L"",
                                WS_CHILD | (packed ? 0 : WS_VISIBLE) | WS_CLIPSIBLINGS | WS_VSCROLL
                                    | WS_HSCROLL | ES_MULTILINE | ES_WANTRETURN,
                                0, 0, client.right - client.left, client.bottom - client.top,
                                window, nullptr, g_hInst, nullptr);
    // Creating the edit box dispatched messages: the note may be gone, and the array may have moved.
    const int found = FindNote(window);
    if (found < 0)
        return 0;
    HMENU menu = LoadMenuA(g_hInst, MAKEINTRESOURCEA(IDR_NOTEMENU));

    NoteRecord& note = Notes.items[found];
    note.hwndEdit = edit;
    note.markColor = Settings.MarkColor;
    note.state = packed ? NOTE_PACKED : NOTE_EXPANDED;
    note.reserved = 0;
    note.tracking = 0;
    note.armed = 1;
    note.hover = 0;
    note.hmenu = menu;
    note.created = CurrentNoteTime();
    note.name[0] = '\0';
    const std::string id = NewUniqueId();
    memcpy(note.id, id.data(), sizeof note.id);

    if (packed) {
        // A mark that appears (at the start, or from another computer) takes no activation from
        // the note the user is typing in.
        ShowWindow(window, SW_SHOWNA);
    } else {
        SetMenu(window, menu);
        SetFocus(edit);
    }
    TrackHoverAndLeave(window);
    return 1;
}

// The note of that identity, as FindNote finds one by its window.
static int FindNoteById(const std::string& id)
{
    for (int i = 0; i < Notes.count; ++i)
        if (id.size() == sizeof Notes.items[i].id && memcmp(Notes.items[i].id, id.data(), id.size()) == 0)
            return i;
    return -1;
}

int SetNoteId(HWND window, const std::string& id)
{
    const int index = FindNote(window);
    if (index < 0 || id.size() != sizeof Notes.items[index].id || FindNoteById(id) >= 0)
        return 0;
    memcpy(Notes.items[index].id, id.data(), id.size());
    return 1;
}

// Drops the record at index; the array shrinks to fit.
static void EraseRecord(int index)
{
    memmove(&Notes.items[index], &Notes.items[index + 1],
            (Notes.count - index - 1) * sizeof(NoteRecord));
    --Notes.count;
    if (Notes.count == 0) {
        std::free(Notes.items);
        Notes.items = nullptr;
        return;
    }
    // A failed shrink keeps the larger block, which still holds every record.
    if (void* shrunk = g_sys.Realloc(Notes.items, Notes.count * sizeof(NoteRecord)))
        Notes.items = static_cast<NoteRecord*>(shrunk);
}

int RemoveNote(HWND window)
{
    int index = FindNote(window);
    if (index < 0)
        return 0;
    DestroyMenu(Notes.items[index].hmenu);
    EraseRecord(index);
    return 1;
}

void DestroyAllNotes()
{
    if (Notes.count == 0)
        return;
    // Each destruction removes its record at once, so the array moves under the walk.
    std::vector<HWND> windows;
    windows.reserve(Notes.count);
    for (int i = 0; i < Notes.count; ++i)
        windows.push_back(Notes.items[i].hwnd);
    for (HWND window : windows)
        DestroyWindow(window);
    // Records whose removal never came (no window, or no main window to hear of it).
    for (int i = 0; i < Notes.count; ++i)
        DestroyMenu(Notes.items[i].hmenu);
    std::free(Notes.items);
    Notes.items = nullptr;
    Notes.count = 0;
}

void PackAll()
{
    for (int i = 0; i < Notes.count; ++i)
        if (Notes.items[i].state != NOTE_PACKED)
            PackNote(Notes.items[i].hwnd);
}

void UnpackAll()
{
    for (int i = 0; i < Notes.count; ++i)
        if (Notes.items[i].state != NOTE_EXPANDED)
            UnpackNote(Notes.items[i].hwnd);
}

void HideAll()
{
    for (int i = 0; i < Notes.count; ++i)
        ShowWindow(Notes.items[i].hwnd, SW_HIDE);
}

void ShowAll()
{
    for (int i = 0; i < Notes.count; ++i)
        ShowWindow(Notes.items[i].hwnd, SW_RESTORE);
}
