// Hundreds of working cycles on the real program: nothing may be lost, duplicated or leaked.
// The cycles are driven through the program's own messages, except the hover, which needs the
// pointer itself to move (SetCursorPos: Wine moves the X pointer, and the program sees a real
// move and a real leave); the end-to-end tests cover the same paths with real input only.
#include "res/resource.h"
#include "storage/note_codec.h"
#include "tests/e2e/program.h"
#include "tests/soak/process_counters.h"
#include "tests/support/helpers.h"
#include "tests/support/poll.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <cstdlib>

namespace {

struct Counters {
    int gdiObjects;
    int windows;
    size_t committed;
};

// Taken once the program has handled what was sent to it; of a few GDI readings the lowest,
// so an object that lives only while a window paints is not counted.
Counters Measure(const RunningProgram& program)
{
    SendMessageTimeoutA(program.Main(), WM_NULL, 0, 0, SMTO_NORMAL, 5000, nullptr);
    int gdiObjects = GdiObjectCount(program.Process());
    for (int reading = 1; reading < 5; ++reading)
        gdiObjects = std::min(gdiObjects, GdiObjectCount(program.Process()));
    return { gdiObjects, WindowCount(program.Pid()), CommittedBytes(program.Process()) };
}

int CycleCount()
{
    const char* text = getenv("MEMOVKY_SOAK_CYCLES");
    return text ? std::max(atoi(text), 101) : 500;
}

StoredNote Persistent(int index)
{
    return MakeStoredNote(200 + 30 * index, 300, 0x0000FF,
                          "Trvalá poznámka " + std::to_string(index) + "\r\ndruhý řádek", NOTE_PACKED,
                          { 2026, 12, 6, 14, static_cast<WORD>(5 + index) });
}

int Width(HWND window)
{
    RECT rect = WindowRect(window);
    return rect.right - rect.left;
}

HWND Preview(const RunningProgram& program)
{
    std::vector<HWND> previews = TopWindows(program.Pid(), "DAVududPopupClass");
    return previews.empty() ? nullptr : previews[0];
}

const int COLOUR_COMMANDS[] = { IDM_RED, IDM_BLUE, IDM_YELLOW, IDM_GREEN };
const uint32_t COLOUR_VALUES[] = { 0x0000FF, 0xFF0000, 0xA0FFFF, 0x00D000 };

TEST(Soak, AddTypePackHoverExpandRecolourDeleteAndSaveHundredsOfTimes)
{
    const int cycles = CycleCount();
    const int kept = 3;
    TempFolder folder;
    std::vector<StoredNote> stored;
    for (int i = 0; i < kept; ++i)
        stored.push_back(Persistent(i));
    ASSERT_TRUE(WriteFileBytes(folder.File("notes.bin"), EncodeNotes(stored)));
    DeleteSettingsKey();
    WriteSettingsText("DataFolder", folder.Path());

    RunningProgram program;
    ASSERT_TRUE(program.Start());
    ASSERT_TRUE(program.WaitReady());
    ASSERT_TRUE(PumpUntil([&] { return program.NoteWindows().size() == kept; }));
    // In the order of the file: the kept marks stand left to right.
    std::vector<HWND> keptWindows = program.NoteWindows();
    std::sort(keptWindows.begin(), keptWindows.end(),
              [](HWND a, HWND b) { return WindowRect(a).left < WindowRect(b).left; });
    HWND main = program.Main();
    SetCursorPos(600, 600);

    Counters atHundred = {}, atEnd = {};
    for (int cycle = 0; cycle < cycles; ++cycle) {
        SCOPED_TRACE("cycle " + std::to_string(cycle));
        // Add.
        PostMessageA(main, WM_COMMAND, IDM_ADD, 0);
        HWND note = nullptr;
        ASSERT_TRUE(PumpUntil([&] {
            for (HWND window : program.NoteWindows())
                if (std::find(keptWindows.begin(), keptWindows.end(), window) == keptWindows.end())
                    note = window;
            // The note is complete once it has its edit box and its menu bar.
            return note && Width(note) == 300 && GetWindow(note, GW_CHILD) && GetMenu(note);
        })) << "no new note";
        // Type.
        HWND edit = GetWindow(note, GW_CHILD);
        const std::string text = "Poznámka č. " + std::to_string(cycle);
        for (char c : text)
            PostMessageA(edit, WM_CHAR, static_cast<unsigned char>(c), 1);
        ASSERT_TRUE(PumpUntil([&] { return EditText(note) == text; })) << "typed text did not arrive: " << EditText(note);
        // Pack, hover with the real pointer, expand.
        PostMessageA(note, WM_COMMAND, IDM_PACK, 0);
        ASSERT_TRUE(PumpUntil([&] { return Width(note) == 16; })) << "not packed";
        RECT mark = WindowRect(note);
        SetCursorPos(mark.left + 8, mark.top + 8);
        ASSERT_TRUE(PumpUntil([&] { return Preview(program) != nullptr; })) << "no preview";
        // Under Wine a leave report asked for once the pointer is already gone never comes, so
        // the pointer stays until the mark has finished with the move, as a resting hand would.
        SendMessageTimeoutA(note, WM_NULL, 0, 0, SMTO_NORMAL, 5000, nullptr);
        SetCursorPos(600, 600);
        ASSERT_TRUE(PumpUntil([&] { return Preview(program) == nullptr; })) << "preview stayed";
        PostMessageA(note, WM_MBUTTONDOWN, MK_MBUTTON, MAKELPARAM(5, 5));
        ASSERT_TRUE(PumpUntil([&] { return Width(note) == 300; })) << "not expanded";
        // Recolour this note and one of the kept ones.
        PostMessageA(note, WM_COMMAND, COLOUR_COMMANDS[cycle % 4], 0);
        PostMessageA(keptWindows[cycle % kept], WM_COMMAND, COLOUR_COMMANDS[(cycle + 1) % 4], 0);
        // Delete, answering the question.
        PostMessageA(note, WM_COMMAND, IDM_DELETE, 0);
        HWND box = nullptr;
        ASSERT_TRUE(PumpUntil([&] { return (box = program.MessageBoxWindow()) != nullptr; })) << "no question";
        if (cycle == 0) {
            EXPECT_EQ("Opravdu odstranit tento záznam?", ReadBox(box).text);
        }
        AnswerBox(box, IDYES);
        ASSERT_TRUE(PumpUntil([&] { return !IsWindow(note); })) << "note not deleted";
        // Save: the kept notes, once each, and nothing else.
        SendMessageA(main, WM_COMMAND, IDM_SAVE, 0);
        std::vector<uint8_t> bytes = ReadFileBytes(folder.File("notes.bin"));
        DecodedNotes saved = DecodeNotes(bytes.data(), bytes.size());
        ASSERT_TRUE(saved.complete);
        ASSERT_EQ(static_cast<size_t>(kept), saved.notes.size());
        ASSERT_EQ(static_cast<size_t>(kept), program.NoteWindows(false).size()) << "collection not back to the kept notes";

        if (cycle + 1 == 100)
            atHundred = Measure(program);
    }
    atEnd = Measure(program);
    printf("after 100 cycles: %d GDI objects, %d windows, %zu bytes committed\n", atHundred.gdiObjects,
           atHundred.windows, atHundred.committed);
    printf("after %d cycles: %d GDI objects, %d windows, %zu bytes committed\n", cycles, atEnd.gdiObjects,
           atEnd.windows, atEnd.committed);

    PostMessageA(main, WM_CLOSE, 0, 0);
    DWORD code = 1;
    ASSERT_TRUE(program.WaitExit(&code));
    EXPECT_EQ(0u, code);

    ASSERT_GT(atHundred.gdiObjects, 0) << "the GDI handle table could not be read";
    // Wine makes objects for its own caches when first needed, in steps of six or seven, and
    // that may be after the 100th cycle (runs have counted 121, 127, 134 and 140 at either end).
    // One object lost in every ten cycles is more.
    EXPECT_LT(atEnd.gdiObjects, atHundred.gdiObjects + 40) << "GDI objects grew";
    EXPECT_EQ(atHundred.windows, atEnd.windows) << "windows grew";
    ASSERT_GT(atHundred.committed, 0u);
    // Wine's heap grows by whole pages, and a few may come and go (runs have seen up to 32 KiB);
    // a loss of more than about 330 bytes a cycle (128 KiB over 400 cycles) may not.
    EXPECT_LT(atEnd.committed, atHundred.committed + 128 * 1024) << "committed memory grew";

    // Every kept note once, in its place, with its text and the colour its last command gave it.
    std::vector<uint8_t> bytes = ReadFileBytes(folder.File("notes.bin"));
    DecodedNotes saved = DecodeNotes(bytes.data(), bytes.size());
    ASSERT_TRUE(saved.complete);
    ASSERT_EQ(static_cast<size_t>(kept), saved.notes.size());
    for (int i = 0; i < kept; ++i) {
        SCOPED_TRACE("kept note " + std::to_string(i));
        int lastCycle = cycles - 1;
        while (lastCycle % kept != i)
            --lastCycle;
        EXPECT_EQ(stored[i].x, saved.notes[i].x);
        EXPECT_EQ(stored[i].y, saved.notes[i].y);
        EXPECT_EQ(stored[i].text, saved.notes[i].text);
        EXPECT_EQ(stored[i].minute, saved.notes[i].minute);
        EXPECT_EQ(COLOUR_VALUES[(lastCycle + 1) % 4], saved.notes[i].color);
    }
    DeleteSettingsKey();
}

} // namespace
