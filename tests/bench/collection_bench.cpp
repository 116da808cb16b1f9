// How long adding and removing many notes takes, expanded and packed. Prints figures only;
// nothing here passes or fails.
#include "app/system_calls.h"
#include "app/app.h"
#include "app/main_window.h"
#include "app/message_boxes.h"
#include "notes/note_collection.h"
#include "notes/note_window.h"
#include "notes/preview.h"
#include "res/resource.h"
#include "storage/settings.h"
#include "tests/support/poll.h"
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <initializer_list>
#include <vector>

namespace {

int noteCount = 1000;
int runs = 3;
int boxesShown;
double reallocMs;   // time spent growing and shrinking the array, summed

int WINAPI CountBox(HWND, LPCSTR text, LPCSTR, UINT)
{
    ++boxesShown;
    fprintf(stderr, "box: %s\n", text);
    return IDOK;
}

void* TimedRealloc(void* block, size_t bytes)
{
    const double start = NowMs();
    void* result = std::realloc(block, bytes);
    reallocMs += NowMs() - start;
    return result;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void AddMany(BYTE state)
{
    for (int i = 0; i < noteCount; ++i) {
        const int x = state == NOTE_PACKED ? 20 + (i * 20) % 980 : 0;
        const int y = state == NOTE_PACKED ? 20 + (i * 20) / 980 * 20 % 700 : 0;
        AddNote(x, y, "text", state);
    }
    PumpPending();
    if (Notes.count != noteCount)
        fprintf(stderr, "only %d notes were added\n", Notes.count);
}

std::vector<HWND> NoteWindows()
{
    std::vector<HWND> windows;
    for (int i = 0; i < Notes.count; ++i)
        windows.push_back(Notes.items[i].hwnd);
    return windows;
}

void ExpectEmpty()
{
    PumpPending();
    if (Notes.count != 0 || Notes.items)
        fprintf(stderr, "the collection is not empty after removal\n");
}

void Report(const char* what, const std::vector<double>& ms)
{
    const double median = Median(ms);
    printf("  %-44s %9.1f ms  %8.1f us per note\n", what, median, 1000.0 * median / noteCount);
    fflush(stdout);
}

void Measure(const char* name, BYTE state)
{
    printf("%s notes:\n", name);
    std::vector<double> adds, addReallocs, lookups, removals, removalReallocs;
    for (int run = 0; run < runs; ++run) {
        reallocMs = 0;
        adds.push_back(TimeMs([&] { AddMany(state); }));
        addReallocs.push_back(reallocMs);
        // Every accessor scans from the front: the last note is the slowest to find.
        HWND last = Notes.items[Notes.count - 1].hwnd;
        lookups.push_back(TimeMs([&] {
            for (int i = 0; i < noteCount; ++i)
                SetNoteArmed(last, 1);
        }));
        // From the front, so that every removal moves all later records.
        reallocMs = 0;
        removals.push_back(TimeMs([] {
            while (Notes.count > 0)
                DestroyWindow(Notes.items[0].hwnd);
        }));
        removalReallocs.push_back(reallocMs);
        ExpectEmpty();
    }
    Report("AddNote", adds);
    Report("  of which the array's reallocation", addReallocs);
    Report("destroying the windows, first to last", removals);
    Report("  of which the array's reallocation", removalReallocs);
    Report("lookups of the last note, one per note", lookups);

    // The collection's own share of removal: records only, windows afterwards.
    AddMany(state);
    std::vector<HWND> windows = NoteWindows();
    const double records = TimeMs([&] {
        for (HWND window : windows)
            RemoveNote(window);
    });
    for (HWND window : windows)
        DestroyWindow(window);
    ExpectEmpty();
    Report("RemoveNote alone, first to last (one run)", { records });

    AddMany(state);
    Report("DestroyAllNotes (one run)", { TimeMs(DestroyAllNotes) });
    ExpectEmpty();
}

} // namespace

// Arguments: the number of notes (1000) and of runs (3).
int main(int argc, char** argv)
{
    if (argc > 1)
        noteCount = std::max(1, atoi(argv[1]));
    if (argc > 2)
        runs = std::max(1, atoi(argv[2]));
    g_hInst = GetModuleHandleA(nullptr);
    g_sys.MessageBoxA = CountBox;
    g_sys.Realloc = TimedRealloc;
    SetDefaultSettings();
    g_hMarkMenu = GetSubMenu(LoadMenuA(g_hInst, MAKEINTRESOURCEA(IDR_MARKMENU)), 0);
    if (!RegisterMainClass() || !RegisterNoteClass() || !RegisterPopupClass()) {
        fprintf(stderr, "cannot register the window classes\n");
        return 1;
    }
    g_hMainWnd = CreateMainWindow();
    ShowWindow(g_hMainWnd, SW_HIDE);
    SetCursorPos(1000, 740);

    printf("%d notes, median of %d runs\n", noteCount, runs);
    Measure("Expanded", NOTE_EXPANDED);
    Measure("Packed", NOTE_PACKED);

    DestroyWindow(g_hMainWnd);
    DrainQuitMessage();
    printf("boxes shown: %d\n", boxesShown);
    return boxesShown == 0 ? 0 : 1;
}
