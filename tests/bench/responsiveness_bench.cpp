// Prints how long the program's window thread takes to answer while someone types into a note
// with pauses, so that the note is saved after every pause. Meanwhile a thread of this benchmark
// sends WM_NULL to the note every 5 ms and times each answer; another asks a window of this
// benchmark's own, whose thread touches no file, the same way, to tell a wait of the program's
// thread from a wait of all of Wine (its server, one process for every program, opens and closes
// the files itself).
//   responsiveness_bench.exe <data folder> [notes] [seconds]     default: 200 notes, 20 seconds
// The folder gets a fresh notes.bin with the standard stored notes, and the program's DataFolder
// points at it while it runs. Keys are real: xdotool on the X display. Handling a key takes the
// window thread time too, so the answers to probes sent in the pauses, when no key is being
// handled, are counted apart: that is where the saves are. The last line of the output,
// "RESULT ...", is for scripts/bench-slow-folder.sh.
#include "app/main_window.h"
#include "notes/note_window.h"
#include "res/resource.h"
#include "storage/note_codec.h"
#include "tests/bench/bench_notes.h"
#include "tests/bench/child_start.h"
#include "tests/e2e/program.h"
#include "tests/support/helpers.h"
#include "tests/support/poll.h"
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace {
const DWORD PROBE_PERIOD_MS = 5;
const UINT PROBE_TIMEOUT_MS = 60000;
// How long after xdotool has sent its last key a probe still counts as sent while typing: on 2
// busy cores the keys queued behind each other were seen handled up to 0.5 s after. A save comes
// 1 s after the last key.
const double KEY_SETTLE_MS = 500;
const DWORD START_TIMEOUT_MS = 600000;
const DWORD EXIT_TIMEOUT_MS = 300000;
const DWORD KEY_DELAY_MS = 80;
// Typing resumes 1.5 to 2.5 s after a burst: after the program's pause of one second and its save.
const DWORD PAUSES_MS[] = { 2000, 1500, 2500, 1800, 2200 };
const char TYPED_TEXT[] = "nakoupit mleko a chleba zavolat domu poslat fakturu zalit kytky ";

struct Probe {
    double at, ms;   // when it was sent (ms since typing began), how long the answer took
};

struct Answers {
    std::vector<Probe> probes;
    int unanswered = 0;
};

struct Figures {
    size_t count = 0;
    double worst = 0, p99 = 0;
    int over50 = 0, over100 = 0;
};

Figures Summarize(std::vector<double> ms)
{
    Figures figures;
    figures.count = ms.size();
    if (ms.empty())
        return figures;
    std::sort(ms.begin(), ms.end());
    figures.worst = ms.back();
    const size_t rank = static_cast<size_t>(std::ceil(0.99 * static_cast<double>(ms.size())));
    figures.p99 = ms[std::max<size_t>(rank, 1) - 1];
    figures.over50 = static_cast<int>(std::count_if(ms.begin(), ms.end(), [](double m) { return m > 50; }));
    figures.over100 = static_cast<int>(std::count_if(ms.begin(), ms.end(), [](double m) { return m > 100; }));
    return figures;
}

// One probe every PROBE_PERIOD_MS, or at once after a probe that took longer. Each window has a
// thread of its own: a probe that waits does not hold up the other window's.
void ProbeWindow(HWND window, double startMs, const std::atomic<bool>& stop, Answers& answers)
{
    while (!stop) {
        const double sent = NowMs();
        DWORD_PTR result = 0;
        const bool answered = SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, PROBE_TIMEOUT_MS, &result);
        answers.probes.push_back({ sent - startMs, NowMs() - sent });
        answers.unanswered += !answered;
        const double left = sent + PROBE_PERIOD_MS - NowMs();
        if (left >= 1)
            Sleep(static_cast<DWORD>(left));
    }
}

// A window of this benchmark on a thread that does nothing but answer messages.
void AnswerOnOwnThread(std::atomic<HWND>& window, std::atomic<DWORD>& thread)
{
    HWND own = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    thread = GetCurrentThreadId();
    window = own;
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0)
        DispatchMessageA(&msg);
    DestroyWindow(own);
}

// The mark nearest to where an expanded note has room on a 1024 x 768 screen.
HWND PickMark(DWORD processId)
{
    HWND picked = nullptr;
    long best = 0;
    for (HWND mark : TopWindows(processId, NOTE_CLASS_NAME)) {
        const RECT r = WindowRect(mark);
        const long dx = r.left - 400, dy = r.top - 300, distance = dx * dx + dy * dy;
        if (!picked || distance < best) {
            picked = mark;
            best = distance;
        }
    }
    return picked;
}

HWND FocusOfThread(DWORD thread)
{
    GUITHREADINFO info = { sizeof info };
    return GetGUIThreadInfo(thread, &info) ? info.hwndFocus : nullptr;
}

// Expanded with the note's own command, then clicked in its text as a hand would, the caret put
// at the end. False when the note did not become the active window with the focus in its text.
bool OpenForTyping(HWND note, DWORD thread)
{
    PostMessageA(note, WM_COMMAND, IDM_UNPACK, 0);
    HWND edit = GetWindow(note, GW_CHILD);
    const auto expanded = [&] {
        return (GetWindowLongA(note, GWL_STYLE) & WS_CAPTION) == WS_CAPTION && IsWindowVisible(edit);
    };
    if (!PumpUntil(expanded))
        return false;
    const RECT text = WindowRect(edit);
    ClickAt((text.left + text.right) / 2, (text.top + text.bottom) / 2);
    if (!PumpUntil([&] { return GetForegroundWindow() == note && FocusOfThread(thread) == edit; }))
        return false;
    PressKeys("ctrl+End");
    return true;
}

bool LastWriteOf(const std::string& path, FILETIME* written)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return false;
    *written = data.ftLastWriteTime;
    return true;
}

struct Burst {
    double start, end;   // ms since typing began
};

struct Typing {
    std::string typed;
    double ms = 0;   // from the first key to the end of the last pause
    std::vector<Burst> bursts;
    int pauses = 0, pausesWithWrite = 0;
};

// Bursts of 4 to 8 keys, KEY_DELAY_MS apart, each followed by a pause, until seconds have passed.
// After each pause notes.bin is looked at: was it written since the last look?
Typing TypeWithPauses(double startMs, int seconds, const std::string& dataFile)
{
    Typing typing;
    FILETIME last = {}, now = {};
    LastWriteOf(dataFile, &last);
    const std::string source = TYPED_TEXT;
    size_t next = 0;
    for (int burst = 0; NowMs() - startMs < seconds * 1000.0; ++burst) {
        std::string keys;
        for (size_t length = 4 + burst % 5; keys.size() < length; next = (next + 1) % source.size())
            keys += source[next];
        const double burstStart = NowMs() - startMs;
        Xdo("type --delay " + std::to_string(KEY_DELAY_MS) + " '" + keys + "'");
        typing.typed += keys;
        typing.bursts.push_back({ burstStart, NowMs() - startMs });
        Sleep(PAUSES_MS[burst % std::size(PAUSES_MS)]);
        ++typing.pauses;
        if (LastWriteOf(dataFile, &now) && CompareFileTime(&now, &last) != 0) {
            ++typing.pausesWithWrite;
            last = now;
        }
    }
    typing.ms = NowMs() - startMs;
    return typing;
}

// Typing as TypeWithPauses does, the note and a window of our own probed meanwhile.
Typing MeasureWhileTyping(HWND note, int seconds, const std::string& dataFile, Answers& noteAnswers,
                          Answers& ownAnswers)
{
    std::atomic<HWND> own(nullptr);
    std::atomic<DWORD> ownThread(0);
    std::thread answering(AnswerOnOwnThread, std::ref(own), std::ref(ownThread));
    PumpUntil([&] { return own.load() != nullptr; });
    std::atomic<bool> stop(false);
    const double startMs = NowMs();
    std::thread probingNote(ProbeWindow, note, startMs, std::cref(stop), std::ref(noteAnswers));
    std::thread probingOwn(ProbeWindow, own.load(), startMs, std::cref(stop), std::ref(ownAnswers));
    const Typing typing = TypeWithPauses(startMs, seconds, dataFile);
    stop = true;
    probingNote.join();
    probingOwn.join();
    PostThreadMessageA(ownThread, WM_QUIT, 0, 0);
    answering.join();
    return typing;
}

// The burst being typed at that moment, or the last one before it; nullptr before the first.
// A key is still being handled for a moment after xdotool has sent it.
const Burst* BurstAt(const std::vector<Burst>& bursts, double at, bool* typing)
{
    const Burst* last = nullptr;
    for (const Burst& burst : bursts)
        if (burst.start <= at)
            last = &burst;
    *typing = last && at <= last->end + KEY_SETTLE_MS;
    return last;
}

bool FileHoldsText(const std::string& path, const std::string& text)
{
    const std::vector<uint8_t> bytes = ReadFileBytes(path);
    const DecodedNotes decoded = DecodeNotes(bytes.data(), bytes.size());
    return std::any_of(decoded.notes.begin(), decoded.notes.end(),
                       [&](const StoredNote& note) { return note.text == text; });
}

void PrintFigures(const char* who, const Figures& f)
{
    printf("  %-34s %5zu probes, worst %7.1f ms, 99th percentile %6.1f ms, over 50 ms %3d, over 100 ms %3d\n", who,
           f.count, f.worst, f.p99, f.over50, f.over100);
}

std::vector<double> AnswerTimes(const Answers& answers, const Typing& typing, bool pausesOnly)
{
    std::vector<double> ms;
    for (const Probe& probe : answers.probes) {
        bool whileTyping = false;
        BurstAt(typing.bursts, probe.at, &whileTyping);
        if (!pausesOnly || !whileTyping)
            ms.push_back(probe.ms);
    }
    return ms;
}

// Every answer over 50 ms, and whether a key was being handled then or how long after the last.
void ListLongAnswers(const Answers& note, const Typing& typing)
{
    for (const Probe& probe : note.probes) {
        if (probe.ms <= 50)
            continue;
        bool whileTyping = false;
        const Burst* burst = BurstAt(typing.bursts, probe.at, &whileTyping);
        printf("  waited %5.0f ms at %5.2f s, ", probe.ms, probe.at / 1000);
        if (!burst)
            printf("before the first key\n");
        else if (whileTyping)
            printf("while typing\n");
        else
            printf("%.2f s after the last key\n", (probe.at - burst->end) / 1000);
    }
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: responsiveness_bench <data folder> [notes] [seconds]\n");
        return 2;
    }
    std::string folder = argv[1];
    while (folder.size() > 2 && (folder.back() == '\\' || folder.back() == '/'))
        folder.pop_back();
    const int count = argc > 2 ? atoi(argv[2]) : 200;
    const int seconds = argc > 3 ? atoi(argv[3]) : 20;
    if (count < 1 || seconds < 1) {
        fprintf(stderr, "usage: responsiveness_bench <data folder> [notes] [seconds]\n");
        return 2;
    }
    if (GetFileAttributesA(folder.c_str()) == INVALID_FILE_ATTRIBUTES)
        CreateDirectoryA(folder.c_str(), nullptr);
    const std::string dataFile = folder + "\\notes.bin";
    if (!WriteFileBytes(dataFile, EncodeNotes(MakeBenchNotes(count)))) {
        fprintf(stderr, "cannot write %s\n", dataFile.c_str());
        return 1;
    }
    DataFolderSetting setting(folder);

    fprintf(stderr, "starting Memovky.exe with %d notes in %s\n", count, folder.c_str());
    ChildProgram child;
    const StartFigures start = child.Start("\"" + ProgramPath() + "\"", { MAIN_CLASS_NAME, NOTE_CLASS_NAME, true },
                                           count, START_TIMEOUT_MS);
    if (!start.ok) {
        fprintf(stderr, "Memovky.exe: %s\n", start.failure.c_str());
        return 1;
    }
    HWND note = PickMark(GetProcessId(child.Process()));
    if (!note || !OpenForTyping(note, child.ThreadId())) {
        fprintf(stderr, "could not expand a note and put the focus in its text\n");
        return 1;
    }
    const std::string before = EditText(note);

    fprintf(stderr, "typing with pauses for %d s\n", seconds);
    Answers noteAnswers, ownAnswers;
    const Typing typing = MeasureWhileTyping(note, seconds, dataFile, noteAnswers, ownAnswers);

    // Keys that came during a save are still queued; a sent WM_GETTEXT is answered before them.
    std::string after;
    const bool keysArrived = PumpUntil([&] { return (after = EditText(note)) == before + typing.typed; }, 60000);
    const double closing = NowMs();
    DWORD exitCode = 0;
    const bool ended = child.Close(EXIT_TIMEOUT_MS) && GetExitCodeProcess(child.Process(), &exitCode);
    const double closeMs = NowMs() - closing;
    const bool saved = ended && FileHoldsText(dataFile, after);

    const Figures all = Summarize(AnswerTimes(noteAnswers, typing, false));
    const Figures pauses = Summarize(AnswerTimes(noteAnswers, typing, true));
    const Figures own = Summarize(AnswerTimes(ownAnswers, typing, false));
    printf("Answers to WM_NULL every %lu ms while typing into a note: %s, %d notes, %.1f s, start-up %.0f ms\n",
           PROBE_PERIOD_MS, folder.c_str(), count, typing.ms / 1000, start.readyMs);
    PrintFigures("the note (program's window thread)", all);
    PrintFigures("the note, probes sent in pauses", pauses);
    PrintFigures("own window (no file work)", own);
    printf("  typed %zu keys in %zu bursts (xdotool, %lu ms apart); notes.bin found written after %d of %d pauses\n",
           typing.typed.size(), typing.bursts.size(), KEY_DELAY_MS, typing.pausesWithWrite, typing.pauses);
    ListLongAnswers(noteAnswers, typing);
    if (noteAnswers.unanswered || ownAnswers.unanswered)
        printf("  REMARK: probes unanswered within %u s: the note %d, own window %d\n", PROBE_TIMEOUT_MS / 1000,
               noteAnswers.unanswered, ownAnswers.unanswered);
    if (!keysArrived)
        printf("  REMARK: the note holds other text than was typed: typed \"%s\", it ends in \"%s\"\n",
               typing.typed.c_str(),
               after.substr(after.size() - std::min(after.size(), typing.typed.size())).c_str());
    if (!ended)
        printf("  REMARK: Memovky.exe did not end within %lu s of WM_CLOSE\n", EXIT_TIMEOUT_MS / 1000);
    else
        printf("  ended %.1f s after WM_CLOSE, exit code %lu; notes.bin %s the typed text\n", closeMs / 1000,
               exitCode, saved ? "holds" : "DOES NOT hold");
    const bool ok = keysArrived && saved && !noteAnswers.unanswered;
    printf("RESULT %zu %.1f %.1f %d %d %.1f %d %d %.1f %d %d %d %d %s\n", all.count, all.worst, all.p99, all.over50,
           all.over100, pauses.worst, pauses.over50, pauses.over100, own.worst, own.over100, typing.pausesWithWrite,
           typing.pauses, static_cast<int>(typing.typed.size()), ok ? "ok" : "fault");
    fflush(stdout);
    return ok ? 0 : 1;
}
