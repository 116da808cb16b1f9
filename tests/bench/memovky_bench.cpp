// Prints how long start-up, LoadNotes, SaveNotes, the automatic save and decoding take with 0, 100
// and 1,000 stored notes, and how much memory start-up needs, each beside the floors it is
// compared with.
//   memovky_bench.exe [--cyrillic] [runs] [note counts...]   default: 5 runs of 0, 100 and 1000 notes
//   memovky_bench.exe floor-a|floor-b <count> [cyrillic]     a floor as a child process (started by the above)
// --cyrillic: every note's text holds a line the code page cannot hold.
#include "app/app.h"
#include "app/main_window.h"
#include "notes/autosave.h"
#include "notes/note_collection.h"
#include "notes/note_store.h"
#include "notes/note_window.h"
#include "notes/preview.h"
#include "res/resource.h"
#include "storage/data_file.h"
#include "storage/note_codec.h"
#include "storage/save_writer.h"
#include "storage/settings.h"
#include "storage/versions.h"
#include "tests/bench/bench_notes.h"
#include "tests/bench/child_start.h"
#include "tests/bench/floor_windows.h"
#include "tests/support/app_fixture.h"
#include "tests/support/box_recorder.h"
#include "tests/support/helpers.h"
#include "tests/support/poll.h"
#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {
const DWORD START_TIMEOUT_MS = 600000;
BenchText Text = BenchText::CZECH;
const double MIB = 1024.0 * 1024.0;

struct Series {
    std::vector<double> values;
    void Add(double value) { values.push_back(value); }
    double Median() const
    {
        if (values.empty())
            return 0;
        std::vector<double> sorted = values;
        std::sort(sorted.begin(), sorted.end());
        const size_t middle = sorted.size() / 2;
        return sorted.size() % 2 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
    }
};

// Everything measured for one note count.
struct CountFigures {
    int count = 0;
    Series startProgram, startA, startB;            // ms until ready
    Series peakProgram, peakA, peakB;               // PeakWorkingSetSize at ready, bytes
    Series pagefileProgram, pagefileA, pagefileB;      // PagefileUsage at ready, bytes
    Series longestPoll;                             // ms, any child
    Series load, windowsA, windowsB;                // in-process, ms
    Series save, writeOnce, writePerField, decode;  // ms
    Series autoSave, autoWritten, autoUnchanged;    // ms: a mark dropped elsewhere (window thread,
                                                    // and until on disk), and in place
    Series mergeFound, mergeShown;                  // ms: another computer's ten changed texts,
                                                    // read and merged by the writer; shown
    std::vector<std::string> remarks;
    void Remark(const std::string& text)
    {
        if (std::find(remarks.begin(), remarks.end(), text) == remarks.end())
            remarks.push_back(text);
    }
};

std::string OwnPath()
{
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, sizeof path);
    return path;
}

void Progress(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Progress(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    vfprintf(stderr, format, args);
    va_end(args);
    fflush(stderr);
}

// ---- Start-up of the real program and of floors (a) and (b), each in a process of its own.

void RecordStart(const StartFigures& figures, const char* who, Series& time, Series& peak,
                 Series& pagefileBytes, CountFigures& out)
{
    if (!figures.ok) {
        out.Remark(std::string(who) + ": " + figures.failure);
        return;
    }
    time.Add(figures.readyMs);
    peak.Add(static_cast<double>(figures.memory.PeakWorkingSetSize));
    pagefileBytes.Add(static_cast<double>(figures.memory.PagefileUsage));
    out.longestPoll.Add(figures.longestPollMs);
}

void MeasureStartUps(CountFigures& out, int runs, const TempFolder& folder)
{
    const std::vector<uint8_t> bytes = EncodeNotes(MakeBenchNotes(out.count, Text));
    const std::string dataFile = folder.File("notes.bin");
    const ReadyRule programRule = { MAIN_CLASS_NAME, NOTE_CLASS_NAME, true };
    const ReadyRule floorRule = { FLOOR_MAIN_CLASS, FLOOR_NOTE_CLASS, false };
    const std::string program = "\"" + ProgramPath() + "\"";
    const std::string textArgument = Text == BenchText::CYRILLIC ? " cyrillic" : "";
    const std::string floorA = "\"" + OwnPath() + "\" floor-a " + std::to_string(out.count) + textArgument;
    const std::string floorB = "\"" + OwnPath() + "\" floor-b " + std::to_string(out.count) + textArgument;
    // Interleaved, so that a change in the machine's load touches all three alike.
    for (int run = 0; run < runs; ++run) {
        WriteFileBytes(dataFile, bytes);
        StartFigures figures = MeasureStartUp(program, programRule, out.count, START_TIMEOUT_MS);
        RecordStart(figures, "Memovky.exe", out.startProgram, out.peakProgram, out.pagefileProgram, out);
        // What the program leaves at its end tells whether it loaded every note.
        if (figures.ok && Plain(ReadFileBytes(dataFile)) != Plain(bytes))
            out.Remark("Memovky.exe saved other bytes than it loaded");
        StartFigures a = MeasureStartUp(floorA, floorRule, out.count, START_TIMEOUT_MS);
        RecordStart(a, "floor a", out.startA, out.peakA, out.pagefileA, out);
        StartFigures b = MeasureStartUp(floorB, floorRule, out.count, START_TIMEOUT_MS);
        RecordStart(b, "floor b", out.startB, out.peakB, out.pagefileB, out);
        Progress("  %4d notes, run %d/%d: start-up %.0f / %.0f / %.0f ms, peak %.1f / %.1f / %.1f MiB\n",
                 out.count, run + 1, runs, figures.readyMs, a.readyMs, b.readyMs,
                 figures.memory.PeakWorkingSetSize / MIB, a.memory.PeakWorkingSetSize / MIB,
                 b.memory.PeakWorkingSetSize / MIB);
    }
}

// ---- LoadNotes, SaveNotes, the floors' windows, writes and decoding, in this process.

bool StartProgramWindows(const TempFolder& folder)
{
    g_hInst = GetModuleHandleA(nullptr);
    return StartWindowsIn(folder.Path()) && RegisterFloorClasses();
}

void EndProgramWindows()
{
    EndProgramInProcess();
    UnregisterFloorClasses();
}

bool WriteOnce(const std::string& path, const std::vector<uint8_t>& bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)
           && written == bytes.size();
    return CloseHandle(file) && ok;
}

// The naive way: one call per field of every record (empty fields are skipped).
bool WritePerField(const std::string& path, const std::vector<StoredNote>& notes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool ok = true;
    auto put = [&](const void* data, size_t size) {
        DWORD written = 0;
        if (size)
            ok = WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr) && written == size && ok;
    };
    const uint32_t count = static_cast<uint32_t>(notes.size());
    put(&count, 4);
    for (const StoredNote& note : notes) {
        put(&note.x, 4);
        put(&note.y, 4);
        put(&note.color, 4);
        put(&note.state, 1);
        put(&note.year, 2);
        put(&note.month, 2);
        put(&note.day, 2);
        put(&note.hour, 2);
        put(&note.minute, 2);
        const uint32_t utf8Length = static_cast<uint32_t>(note.extras.utf8.size());
        const uint32_t nameLength = static_cast<uint32_t>(
            utf8Length ? NAME_MARKER_SIZE + 8 + utf8Length : note.name.size());
        put(&nameLength, 4);
        if (utf8Length) {
            put(NAME_MARKER, NAME_MARKER_SIZE);
            put("UTF8", 4);
            put(&utf8Length, 4);
            put(note.extras.utf8.data(), utf8Length);
        } else {
            put(note.name.data(), note.name.size());
        }
        const uint32_t textLength = static_cast<uint32_t>(note.text.size());
        put(&textLength, 4);
        put(note.text.data(), note.text.size());
    }
    return CloseHandle(file) && ok;
}

void CompareWithProgram(const std::vector<MarkState>& program, const std::vector<FloorNote>& floor,
                        const char* who, CountFigures& out)
{
    for (size_t i = 0; i < program.size() && i < floor.size(); ++i) {
        std::string difference = CompareMarks(program[i], DescribeMark(floor[i].window));
        if (!difference.empty()) {
            out.Remark(std::string(who) + " differs from a loaded mark (note " + std::to_string(i) + "): " + difference);
            return;
        }
    }
}

// Another computer changes ten notes' texts in the file this run wrote: the writer looks twice (a
// change is read once it has stayed so), reads, decodes and merges off the window thread, and the
// window thread shows the merge.
void MeasureMerge(CountFigures& out)
{
    WaitForSaves();
    const std::vector<uint8_t> ours = ReadFileBytes(Settings.DataFile);
    std::vector<StoredNote> theirs = DecodeNotes(ours.data(), ours.size()).notes;
    theirs[0].extras.versions = NewUniqueId() + theirs[0].extras.versions;
    for (size_t i = 0; i < theirs.size(); i += theirs.size() / 10)
        theirs[i].text += " (z jiného počítače)";
    const std::vector<uint8_t> bytes = EncodeNotes(theirs);
    WriteFileBytes(Settings.DataFile, bytes);
    LookAtDataFile();
    WaitForLooks();
    MSG merged = {};
    out.mergeFound.Add(TimeMs([&] {
        LookAtDataFile();
        while (!PeekMessageA(&merged, g_hMainWnd, WM_NOTES_MERGED, WM_NOTES_MERGED, PM_REMOVE))
            Sleep(0);
    }));
    out.mergeShown.Add(TimeMs([&] { DispatchMessageA(&merged); }));
    WaitForSaves();
    PumpPending();
    if (ReadFileBytes(Settings.DataFile) != bytes)
        out.Remark("the merge wrote the file again though it showed what the file holds");
}

void MeasureInProcess(CountFigures& out, int runs, const TempFolder& folder, HWND floorMain)
{
    const std::vector<StoredNote> notes = MakeBenchNotes(out.count, Text);
    const std::vector<uint8_t> bytes = EncodeNotes(notes);
    BoxRecorder boxes;
    for (int run = 0; run < runs; ++run) {
        WriteFileBytes(Settings.DataFile, bytes);
        out.load.Add(TimeMs([] { LoadNotes(); }));
        if (Notes.count != out.count)
            out.Remark("LoadNotes made " + std::to_string(Notes.count) + " notes");
        std::vector<MarkState> loaded;
        for (int i = 0; i < Notes.count; ++i)
            loaded.push_back(DescribeMark(Notes.items[i].hwnd));
        PumpPending();
        // As "&Uložit memovky" does it: written, though nothing changed.
        out.save.Add(TimeMs([] { SaveNotes(SaveKind::COMMAND, true); }));
        // The notes, not the identities and versions a save gives them.
        if (Plain(ReadFileBytes(Settings.DataFile)) != Plain(bytes))
            out.Remark("SaveNotes wrote other notes than were loaded");
        // The automatic save after a mark is dropped: the whole collection compared and written;
        // dropped where it was, compared only.
        if (Notes.count) {
            HWND mark = Notes.items[Notes.count / 2].hwnd;
            const RECT place = WindowRect(mark);
            SetWindowPos(mark, nullptr, place.left + 7, place.top + 5, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            // The window thread hands the bytes over; the writer has them on disk a little later.
            out.autoSave.Add(TimeMs([mark] { SaveAfterChange(CHANGE_MOVED, mark); }));
            out.autoWritten.Add(out.autoSave.values.back() + TimeMs([] { WaitForSaves(); }));
            PumpPending();
            if (ReadFileBytes(Settings.DataFile) == bytes)
                out.Remark("the automatic save wrote nothing after a mark was moved");
            out.autoUnchanged.Add(TimeMs([mark] { SaveAfterChange(CHANGE_MOVED, mark); }));
        }
        if (Notes.count >= 10)
            MeasureMerge(out);
        DestroyAllNotes();
        PumpPending();

        std::vector<FloorNote> floor;
        out.windowsA.Add(TimeMs([&] { floor = CreateFloorNotes(FLOOR_A, notes, floorMain); }));
        CompareWithProgram(loaded, floor, "floor a", out);
        PumpPending();
        DestroyFloorNotes(floor);
        out.windowsB.Add(TimeMs([&] { floor = CreateFloorNotes(FLOOR_B, notes, floorMain); }));
        CompareWithProgram(loaded, floor, "floor b", out);
        PumpPending();
        DestroyFloorNotes(floor);
        PumpPending();

        const std::string once = folder.File("once.bin"), perField = folder.File("fields.bin");
        out.writeOnce.Add(TimeMs([&] { WriteOnce(once, bytes); }));
        out.writePerField.Add(TimeMs([&] { WritePerField(perField, notes); }));
        if (ReadFileBytes(once) != bytes || ReadFileBytes(perField) != bytes)
            out.Remark("a floor write left other bytes than SaveNotes");
        DecodedNotes decoded;
        out.decode.Add(TimeMs([&] { decoded = DecodeNotes(bytes.data(), bytes.size()); }));
        if (!decoded.complete || decoded.notes.size() != notes.size())
            out.Remark("DecodeNotes did not give back every record");
        Progress("  %4d notes, run %d/%d: LoadNotes %.0f ms, floor windows %.0f / %.0f ms, SaveNotes %.2f ms, "
                 "automatic save %.2f ms\n", out.count, run + 1, runs, out.load.values.back(), out.windowsA.values.back(),
                 out.windowsB.values.back(), out.save.values.back(),
                 out.autoSave.values.empty() ? 0.0 : out.autoSave.values.back());
    }
    if (boxes.Count())
        out.Remark("message boxes: " + boxes.Summary());
}

// ---- The table.

std::string Ratio(double figure, double floor)
{
    char text[32];
    // Nothing to compare with: a floor that did no work (0 notes) or that was not measured.
    if (floor < 0.01)
        return "     -";
    snprintf(text, sizeof text, "%5.2fx", figure / floor);
    return text;
}

const char* Verdict(bool met)
{
    return met ? "PASS" : "MISS";
}

void PrintTable(const std::vector<CountFigures>& all, int runs)
{
    printf("\nMedians of %d runs. Ratios are figure / floor. Texts: %s.\n", runs,
           Text == BenchText::CYRILLIC ? "Czech, each with a Cyrillic line" : "Czech");
    printf("Floor a: the same windows shown full-size and then collapsed, as the program does today.\n");
    printf("Floor b: the same windows created hidden and collapsed, shown once.\n");
    printf("Floor c: one WriteFile of the same bytes (CreateFile, WriteFile, CloseHandle).\n");

    printf("\nStart-up, process start until ready (ms); polled every %lu ms\n", POLL_SLEEP_MS);
    printf("notes   Memovky.exe     floor a  ratio     floor b  ratio   longest look (ms)\n");
    for (const CountFigures& f : all)
        printf("%5d  %11.1f %11.1f %s %11.1f %s   %8.1f\n", f.count, f.startProgram.Median(),
               f.startA.Median(), Ratio(f.startProgram.Median(), f.startA.Median()).c_str(),
               f.startB.Median(), Ratio(f.startProgram.Median(), f.startB.Median()).c_str(),
               f.longestPoll.Median());

    printf("\nPeak working set at ready, PeakWorkingSetSize (MiB)  [PagefileUsage at ready, MiB]\n");
    printf("notes   Memovky.exe     floor a  ratio     floor b  ratio   Memovky  floor a  floor b\n");
    for (const CountFigures& f : all)
        printf("%5d  %11.1f %11.1f %s %11.1f %s   %7.1f  %7.1f  %7.1f\n", f.count,
               f.peakProgram.Median() / MIB, f.peakA.Median() / MIB,
               Ratio(f.peakProgram.Median(), f.peakA.Median()).c_str(), f.peakB.Median() / MIB,
               Ratio(f.peakProgram.Median(), f.peakB.Median()).c_str(), f.pagefileProgram.Median() / MIB,
               f.pagefileA.Median() / MIB, f.pagefileB.Median() / MIB);

    printf("\nLoadNotes alone, in-process (ms), beside the floors' windows created in-process\n");
    printf("notes     LoadNotes     floor a  ratio     floor b  ratio\n");
    for (const CountFigures& f : all)
        printf("%5d  %11.1f %11.1f %s %11.1f %s\n", f.count, f.load.Median(), f.windowsA.Median(),
               Ratio(f.load.Median(), f.windowsA.Median()).c_str(), f.windowsB.Median(),
               Ratio(f.load.Median(), f.windowsB.Median()).c_str());

    printf("\nSaveNotes alone, in-process (ms)                [one WriteFile per field, ms]\n");
    printf("notes     SaveNotes     floor c  ratio   per field  ratio to c\n");
    for (const CountFigures& f : all)
        printf("%5d  %11.3f %11.3f %s %11.3f  %s\n", f.count, f.save.Median(), f.writeOnce.Median(),
               Ratio(f.save.Median(), f.writeOnce.Median()).c_str(), f.writePerField.Median(),
               Ratio(f.writePerField.Median(), f.writeOnce.Median()).c_str());

    printf("\nAutomatic save, SaveAfterChange after a mark is dropped, in-process (ms)\n");
    printf("notes   moved: window thread   until written   in place: compared only\n");
    for (const CountFigures& f : all)
        printf("%5d  %21.3f %15.3f %14.3f\n", f.count, f.autoSave.Median(), f.autoWritten.Median(),
               f.autoUnchanged.Median());

    printf("\nTen texts changed on another computer: read, decoded and merged by the writer thread, and\n"
           "shown by the window thread (ms)\n");
    printf("notes   found and merged   shown: window thread\n");
    for (const CountFigures& f : all)
        if (!f.mergeShown.values.empty())
            printf("%5d  %17.3f %21.3f\n", f.count, f.mergeFound.Median(), f.mergeShown.Median());

    printf("\nDecoding without windows, DecodeNotes (ms)\n");
    printf("notes   DecodeNotes\n");
    for (const CountFigures& f : all)
        printf("%5d  %11.3f\n", f.count, f.decode.Median());

    printf("\nTargets (1000 notes)\n");
    const CountFigures* thousand = nullptr;
    for (const CountFigures& f : all)
        if (f.count == 1000)
            thousand = &f;
    if (!thousand) {
        printf("  not measured: run with 1000 notes\n");
    } else {
        const CountFigures& f = *thousand;
        const double start = f.startProgram.Median() / f.startB.Median();
        const double peak = f.peakProgram.Median() / f.peakB.Median();
        const double save = f.save.Median() / f.writeOnce.Median();
        printf("  start-up      %9.1f ms  = %5.2fx floor b   (at most 1.25x)  %s\n",
               f.startProgram.Median(), start, Verdict(start <= 1.25));
        printf("  peak memory   %9.1f MiB = %5.2fx floor b   (at most 1.25x)  %s\n",
               f.peakProgram.Median() / MIB, peak, Verdict(peak <= 1.25));
        printf("  SaveNotes     %9.3f ms  = %5.2fx floor c   (at most 2x)     %s\n", f.save.Median(),
               save, Verdict(save <= 2.0));
        printf("  decoding      %9.3f ms                     (under 5 ms)     %s\n", f.decode.Median(),
               Verdict(f.decode.Median() < 5.0));
        printf("  automatic save%9.3f ms                     (under 16 ms)    %s\n", f.autoSave.Median(),
               Verdict(f.autoSave.Median() < 16.0));
        printf("  merge shown   %9.3f ms                     (under 20 ms)    %s\n", f.mergeShown.Median(),
               Verdict(f.mergeShown.Median() < 20.0));
    }
    bool anyRemark = false;
    for (const CountFigures& f : all)
        for (const std::string& remark : f.remarks) {
            if (!anyRemark)
                printf("\nRemarks\n");
            anyRemark = true;
            printf("  %d notes: %s\n", f.count, remark.c_str());
        }
    fflush(stdout);
}
} // namespace

int main(int argc, char** argv)
{
    if (argc >= 3 && (strcmp(argv[1], "floor-a") == 0 || strcmp(argv[1], "floor-b") == 0))
        return RunFloorProgram(argv[1][6] == 'a' ? FLOOR_A : FLOOR_B, atoi(argv[2]),
                               argc > 3 && strcmp(argv[3], "cyrillic") == 0 ? BenchText::CYRILLIC : BenchText::CZECH);
    if (argc > 1 && strcmp(argv[1], "--cyrillic") == 0) {
        Text = BenchText::CYRILLIC;
        --argc;
        ++argv;
    }

    int runs = argc > 1 ? atoi(argv[1]) : 5;
    std::vector<int> counts;
    for (int i = 2; i < argc; ++i)
        counts.push_back(atoi(argv[i]));
    if (counts.empty())
        counts = { 0, 100, 1000 };
    if (runs < 1) {
        fprintf(stderr, "usage: memovky_bench [--cyrillic] [runs] [note counts...]\n");
        return 2;
    }

    std::vector<CountFigures> all(counts.size());
    TempFolder folder;
    {
        DataFolderSetting setting(folder.Path());
        for (size_t i = 0; i < counts.size(); ++i) {
            all[i].count = counts[i];
            Progress("start-up with %d notes (Memovky.exe / floor a / floor b)\n", counts[i]);
            MeasureStartUps(all[i], runs, folder);
        }
    }
    if (!StartProgramWindows(folder)) {
        fprintf(stderr, "cannot create the program's windows in this process\n");
        return 1;
    }
    HWND floorMain = CreateFloorMain();
    for (CountFigures& figures : all) {
        Progress("in-process with %d notes\n", figures.count);
        MeasureInProcess(figures, runs, folder, floorMain);
    }
    DestroyWindow(floorMain);
    EndProgramWindows();
    PrintTable(all, runs);
    return 0;
}
