// How long a change made on one computer takes to show on the other through the real sync engine:
// side B's program moves a mark, and the time runs from the moment its notes.bin has been written
// until side A's program shows the mark at its new place. Run by scripts/bench-sync.sh.
//   sync_bench.exe [changes]      default 20
#include "tests/e2e/program.h"
#include "tests/support/helpers.h"
#include "tests/support/poll.h"
#include "tests/sync/sync_harness.h"
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const char TEXT[] = "Měřená memovka";

ULONGLONG LastWrite(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data);
    return (static_cast<ULONGLONG>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
}

HWND MarkAt(const RunningProgram& program, int x, int y)
{
    HWND note = NoteAt(program, x, y);
    return note && EditText(note) == TEXT ? note : nullptr;
}

struct Drag {
    int x, y;
    bool done = false;
};

DWORD WINAPI DragOnB(void* what)
{
    Drag* drag = static_cast<Drag*>(what);
    PeerNote dropped;
    drag->done = static_cast<bool>(PeerDrag(TEXT, drag->x, drag->y, &dropped));
    return 0;
}

// The time of one change: -1 where it did not show within a minute.
double MeasureChange(const RunningProgram& program, int x, int y)
{
    const std::string fileB = DataFolder(SIDE_B) + "\\notes.bin";
    const ULONGLONG before = LastWrite(fileB);
    Drag drag = { x, y };
    HANDLE thread = CreateThread(nullptr, 0, DragOnB, &drag, 0, nullptr);
    double saved = 0, shown = 0;
    const double limit = NowMs() + 60000;
    while (!shown && NowMs() < limit) {
        if (!saved && LastWrite(fileB) != before)
            saved = NowMs();
        if (saved && MarkAt(program, x, y))
            shown = NowMs();
        PumpUntil([] { return false; }, 5);
    }
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    return drag.done && shown ? shown - saved : -1;
}

std::string Load()
{
    return NativeOutput("cut -d' ' -f1-3 /proc/loadavg");
}

} // namespace

int main(int argc, char** argv)
{
    const int changes = argc > 1 ? atoi(argv[1]) : 20;
    DeleteSettingsKey();
    StopSyncHarness();
    if (!StartSyncPair() || !StartPeerSession()) {
        fprintf(stderr, "the sync pair or the second session did not start (sync-test/harness.log)\n");
        StopSyncHarness();
        return 1;
    }
    WriteSettingsText("DataFolder", DataFolder(SIDE_A));
    RunningProgram program;
    PeerNote note;
    if (!program.Start() || !program.WaitReady() || !StartPeerProgram() || !PeerAdd(TEXT, &note)
        || !PeerPack(TEXT, &note) || !PumpUntil([&] { return MarkAt(program, note.rect.left, note.rect.top); }, 60000)) {
        fprintf(stderr, "the programs did not start, or the first note did not cross\n");
        StopSyncHarness();
        return 1;
    }
    fprintf(stderr, "load before: %s", Load().c_str());
    std::vector<double> times;
    int lost = 0;
    for (int i = 0; i < changes; ++i) {
        // A pause between changes, as between a user's: each starts with a quiet sync engine.
        Sleep(2000);
        const double ms = MeasureChange(program, 200 + 40 * (i % 10), 300 + 30 * (i % 2));
        printf("%2d  %8.0f ms\n", i + 1, ms);
        fflush(stdout);
        if (ms < 0)
            ++lost;
        else
            times.push_back(ms);
    }
    fprintf(stderr, "load after: %s", Load().c_str());
    std::sort(times.begin(), times.end());
    if (!times.empty())
        printf("B's save until A shows it, %zu changes: median %.0f ms, worst %.0f ms, best %.0f ms\n", times.size(),
               times[times.size() / 2], times.back(), times.front());
    if (lost)
        printf("%d changes did not show within a minute\n", lost);
    DWORD code = 0;
    EndFromTray(program, &code);
    EndPeerProgram();
    StopSyncHarness();
    return lost ? 1 : 0;
}
