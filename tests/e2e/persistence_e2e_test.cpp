// The real program keeps its notes across a restart: what the user did with the mouse and the
// keyboard is in notes.bin afterwards, also when the process is killed instead of ended, and the
// next start shows every note where it was left.
#include "notes/note_time.h"
#include "res/resource.h"
#include "storage/note_codec.h"
#include "tests/e2e/program.h"
#include "tests/support/helpers.h"
#include "tests/support/poll.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <functional>
#include <tuple>

namespace {

// Entries of the mark menu (separators count) and of its colour pop-up.
enum { MARK_COLOUR = 1, MARK_DELETE = 3 };
enum { COLOUR_YELLOW = 2 };

const COLORREF YELLOW = RGB(255, 255, 160);
const int MARK = 20;   // the mark size put in the registry

// Waits until the screen shows colour at the point; returns what it shows last.
COLORREF WaitForScreenPixel(POINT at, COLORREF colour)
{
    COLORREF seen = CLR_INVALID;
    PumpUntil([&] { return (seen = ScreenPixel(at.x, at.y)) == colour; }, 3000);
    return seen;
}

NoteTime Now()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    return { now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute };
}

auto Tie(const NoteTime& t) { return std::make_tuple(t.year, t.month, t.day, t.hour, t.minute); }

std::string TitleFor(uint16_t year, uint16_t month, uint16_t day, uint16_t hour, uint16_t minute)
{
    char title[NOTE_TITLE_SIZE];
    FormatNoteTitle({ year, month, day, hour, minute }, title);
    return title;
}

class PersistenceE2eTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        DeleteSettingsKey();
        WriteSettingsText("DataFolder", folder.Path());
        WriteSettingsDword("MarkColor", RGB(0, 208, 0));
        WriteSettingsDword("PackedNoteSizecx", MARK);
        WriteSettingsDword("PackedNoteSizecy", MARK);
        MoveTo(1000, 60);
    }
    void TearDown() override { DeleteSettingsKey(); }

    void Start(RunningProgram& program)
    {
        ASSERT_TRUE(program.Start());
        ASSERT_TRUE(program.WaitReady()) << "start-up did not finish";
        EXPECT_EQ(nullptr, program.MessageBoxWindow());
    }

    // Two lines typed with real keys into the note's edit box; *typed is what it must hold.
    static void TypeTwoLines(HWND note, std::string* typed)
    {
        ASSERT_NE(nullptr, note);
        *typed = "Nová memovka: žluťoučký kůň\r\ndruhý řádek";
        POINT inside = Centre(WindowRect(note));
        ClickAt(inside.x, inside.y);
        TypeText("Nová memovka: žluťoučký kůň");
        PressKeys("Return");
        TypeText("druhý řádek");
        EXPECT_TRUE(PumpUntil([&] { return EditText(note) == *typed; }, 5000)) << "edit box holds: " << EditText(note);
    }

    // Colour item of the "Barva" pop-up of the mark's context menu.
    void RecolourMark(HWND mark, int colourItem)
    {
        POINT at = Centre(WindowRect(mark));
        ClickAt(at.x, at.y, 3);
        HWND markMenu = WaitForNewMenu({});
        ASSERT_NE(nullptr, markMenu) << "the mark menu did not open";
        ClickMenuItem(markMenu, PopupItemOffsets(IDR_MARKMENU), MARK_COLOUR);
        HWND colours = WaitForNewMenu({ markMenu });
        ASSERT_NE(nullptr, colours) << "the colour pop-up did not open";
        ClickMenuItem(colours, SubPopupItemOffsets(IDR_MARKMENU, MARK_COLOUR), colourItem);
        MoveTo(1000, 60);
    }

    // Dragged with the left button from its centre, six steps of (dx, dy); its place afterwards.
    static RECT DragMark(HWND mark, int dx, int dy)
    {
        const RECT before = WindowRect(mark);
        DragMarkTo(mark, before.left + 6 * dx, before.top + 6 * dy);
        MoveTo(1000, 60);
        return WindowRect(mark);
    }

    // "Odstranit" from the mark's context menu, answered Yes with a click.
    void DeleteMark(const RunningProgram& program, HWND mark)
    {
        POINT at = Centre(WindowRect(mark));
        ClickAt(at.x, at.y, 3);
        HWND markMenu = WaitForNewMenu({});
        ASSERT_NE(nullptr, markMenu) << "the mark menu did not open";
        ClickMenuItem(markMenu, PopupItemOffsets(IDR_MARKMENU), MARK_DELETE);
        HWND box = nullptr;
        ASSERT_TRUE(PumpUntil([&] { return (box = program.MessageBoxWindow()) != nullptr; })) << "no question";
        HWND yes = nullptr;
        ASSERT_TRUE(PumpUntil([&] { return (yes = GetDlgItem(box, IDYES)) != nullptr && IsWindowVisible(yes); }));
        POINT button = Centre(WindowRect(yes));
        ClickAt(button.x, button.y);
        ASSERT_TRUE(PumpUntil([&] { return !IsWindow(mark); })) << "Yes did not delete the note";
        MoveTo(1000, 60);
    }

    // The notes the file holds now.
    std::vector<StoredNote> Stored() const
    {
        const std::vector<uint8_t> bytes = ReadFileBytes(folder.File("notes.bin"));
        return DecodeNotes(bytes.data(), bytes.size()).notes;
    }

    // Waits until the file holds what check accepts; false when it never does.
    bool FileShows(const std::function<bool(const std::vector<StoredNote>&)>& check)
    {
        return PumpUntil([&] { return check(Stored()); }, 5000);
    }

    // Ended as a crash or the Task Manager ends it: no WM_CLOSE, no save at exit.
    static void Kill(RunningProgram& program)
    {
        ASSERT_TRUE(TerminateProcess(program.Process(), 1));
        DWORD code = 0;
        ASSERT_TRUE(program.WaitExit(&code));
        EXPECT_EQ(1u, code);
    }

    void End(RunningProgram& program)
    {
        DWORD code = 1;
        ASSERT_TRUE(EndFromTray(program, &code)) << "\"Konec\" did not end the program";
        EXPECT_EQ(0u, code);
    }

    TempFolder folder;
};

StoredNote Prepared(int32_t x, int32_t y, COLORREF color, uint8_t state, const std::string& text)
{
    return MakeStoredNote(x, y, color, text, state, { 2025, 3, 17, 8, 9 });
}

TEST_F(PersistenceE2eTest, WhatTheUserDidIsSavedAtTheEndAndComesBackAtTheNextStart)
{
    StoredNote first = Prepared(600, 300, RGB(0, 0, 255), NOTE_PACKED, "připravená");
    StoredNote second = Prepared(700, 350, RGB(255, 0, 0), NOTE_EXPANDED, "druhá\r\nřádka");
    second.day = 18;
    second.name = "xy";
    ASSERT_TRUE(WriteFileBytes(folder.File("notes.bin"), EncodeNotes({ first, second })));

    RECT rectA, rectB, rectC;
    std::string typed;
    NoteTime before, after;
    {
        RunningProgram program;
        Start(program);
        ASSERT_EQ(2u, program.NoteWindows().size());
        HWND a = NoteAt(program, 600, 300), b = NoteAt(program, 700, 350);
        ASSERT_TRUE(a && b) << "stored notes are not where the file puts them";
        EXPECT_TRUE(SameRect(RECT{ 600, 300, 600 + MARK, 300 + MARK }, WindowRect(a))) << Describe(WindowRect(a));
        EXPECT_TRUE(SameRect(RECT{ 700, 350, 700 + MARK, 350 + MARK }, WindowRect(b))) << Describe(WindowRect(b));
        EXPECT_EQ(RGB(0, 0, 255), WaitForScreenPixel(Centre(WindowRect(a)), RGB(0, 0, 255)));
        EXPECT_EQ(RGB(255, 0, 0), WaitForScreenPixel(Centre(WindowRect(b)), RGB(255, 0, 0)));

        // A new note from the tray menu.
        before = Now();
        HWND c = AddNoteFromTray(program);
        after = Now();
        ASSERT_NE(nullptr, c);
        EXPECT_TRUE(SameRect(RECT{ 10, 10, 310, 260 }, WindowRect(c))) << Describe(WindowRect(c));
        ASSERT_NO_FATAL_FAILURE(TypeTwoLines(c, &typed));

        // Recoloured from the mark's context menu: "Barva", then "Žlutá".
        POINT markA = Centre(WindowRect(a));
        RecolourMark(a, COLOUR_YELLOW);
        EXPECT_EQ(YELLOW, WaitForScreenPixel(markA, YELLOW)) << "mark not repainted yellow";

        // Dragged with the left button.
        rectB = DragMark(b, 20, 25);
        EXPECT_NEAR(820, rectB.left, 3) << "the mark was not dragged: " << Describe(rectB);
        EXPECT_NEAR(500, rectB.top, 3) << Describe(rectB);

        // Expanded with the middle button.
        ClickAt(markA.x, markA.y, 2);
        MoveTo(1000, 60);
        ASSERT_TRUE(PumpUntil([&] { return WindowRect(a).right - WindowRect(a).left == 300; }))
            << "the mark was not expanded";
        rectA = WindowRect(a);
        rectC = WindowRect(c);

        End(program);
    }

    // The file, record by record, in the order the notes came.
    const std::vector<uint8_t> saved = ReadFileBytes(folder.File("notes.bin"));
    DecodedNotes decoded = DecodeNotes(saved.data(), saved.size());
    ASSERT_TRUE(decoded.complete);
    ASSERT_EQ(3u, decoded.notes.size());
    EXPECT_EQ(EncodeNotes(decoded.notes), saved) << "bytes after the last record";
    const StoredNote& savedA = decoded.notes[0];
    EXPECT_EQ(rectA.left, savedA.x);
    EXPECT_EQ(rectA.top, savedA.y);
    EXPECT_EQ(YELLOW, savedA.color);
    EXPECT_EQ(NOTE_EXPANDED, savedA.state);
    EXPECT_EQ(Tie({ 2025, 3, 17, 8, 9 }), Tie({ savedA.year, savedA.month, savedA.day, savedA.hour, savedA.minute }));
    EXPECT_EQ(first.text, savedA.text);
    const StoredNote& savedB = decoded.notes[1];
    EXPECT_EQ(rectB.left, savedB.x);
    EXPECT_EQ(rectB.top, savedB.y);
    EXPECT_EQ(RGB(255, 0, 0), savedB.color);
    EXPECT_EQ(NOTE_PACKED, savedB.state);
    EXPECT_EQ(18, savedB.day);
    EXPECT_EQ("", savedB.name) << "names are never written";
    EXPECT_EQ(second.text, savedB.text);
    const StoredNote& savedC = decoded.notes[2];
    EXPECT_EQ(rectC.left, savedC.x);
    EXPECT_EQ(rectC.top, savedC.y);
    EXPECT_EQ(RGB(0, 208, 0), savedC.color) << "a new note takes the default colour";
    EXPECT_EQ(NOTE_EXPANDED, savedC.state);
    const NoteTime timeC = { savedC.year, savedC.month, savedC.day, savedC.hour, savedC.minute };
    EXPECT_LE(Tie(before), Tie(timeC));
    EXPECT_GE(Tie(after), Tie(timeC));
    EXPECT_EQ(typed, savedC.text);

    // The next start: three marks where the windows stood, in their colours, with their times and texts.
    RunningProgram again;
    Start(again);
    ASSERT_EQ(3u, again.NoteWindows().size());
    const struct {
        const StoredNote& stored;
        COLORREF colour;
    } expected[] = { { savedA, YELLOW }, { savedB, RGB(255, 0, 0) }, { savedC, RGB(0, 208, 0) } };
    std::vector<HWND> marks;
    for (const auto& note : expected) {
        SCOPED_TRACE(note.stored.text);
        HWND mark = NoteAt(again, note.stored.x, note.stored.y);
        ASSERT_NE(nullptr, mark) << "no mark at " << note.stored.x << ", " << note.stored.y;
        EXPECT_TRUE(SameRect(RECT{ note.stored.x, note.stored.y, note.stored.x + MARK, note.stored.y + MARK },
                             WindowRect(mark))) << Describe(WindowRect(mark));
        EXPECT_EQ(note.colour, WaitForScreenPixel(Centre(WindowRect(mark)), note.colour));
        marks.push_back(mark);
    }
    // Expanded one by one, from the last, so that no note covers a mark still to be clicked.
    for (int i = 2; i >= 0; --i) {
        const StoredNote& stored = expected[i].stored;
        SCOPED_TRACE(stored.text);
        POINT at = Centre(WindowRect(marks[i]));
        ClickAt(at.x, at.y, 2);
        MoveTo(1000, 60);
        EXPECT_TRUE(PumpUntil([&] { return WindowRect(marks[i]).right - WindowRect(marks[i]).left == 300; }))
            << "not expanded";
        const std::string title = TitleFor(stored.year, stored.month, stored.day, stored.hour, stored.minute);
        EXPECT_TRUE(PumpUntil([&] { return WindowText(marks[i]) == title; }, 3000))
            << "title is \"" << WindowText(marks[i]) << "\", not \"" << title << "\"";
        EXPECT_EQ(stored.text, EditText(marks[i]));
    }
    End(again);
}

// Saved as the user works: each change is in notes.bin at once, and typing at the first pause,
// so a process killed without WM_CLOSE (a crash, the Task Manager) loses nothing. Real keys and
// clicks throughout.
TEST_F(PersistenceE2eTest, WhatTheUserDidSurvivesAKilledProcess)
{
    const StoredNote blue = Prepared(600, 300, RGB(0, 0, 255), NOTE_PACKED, "přebarvit");
    const StoredNote dragged = Prepared(700, 350, RGB(255, 0, 0), NOTE_PACKED, "přetáhnout");
    const StoredNote doomed = Prepared(800, 200, RGB(255, 0, 0), NOTE_PACKED, "smazat");
    ASSERT_TRUE(WriteFileBytes(folder.File("notes.bin"), EncodeNotes({ blue, dragged, doomed })));
    const std::string typed = "Napsáno před pádem";

    // Typed into a new note; the user pauses for three seconds, still in the note, and then the
    // process dies: the text is in the file.
    {
        RunningProgram program;
        Start(program);
        HWND note = AddNoteAndClickIn(program);
        ASSERT_NE(nullptr, note);
        TypeText(typed);
        ASSERT_TRUE(PumpUntil([&] { return EditText(note) == typed; }, 5000)) << "edit box holds: " << EditText(note);
        EXPECT_EQ(4u, Stored().size()) << "the new note is saved when it is added";
        const DWORD pause = GetTickCount();
        PumpUntil([&] { return GetTickCount() - pause >= 3000; }, 5000);
        EXPECT_EQ(note, GetForegroundWindow()) << "the note was left during the pause";
        Kill(program);
        const std::vector<StoredNote> notes = Stored();
        ASSERT_EQ(4u, notes.size());
        EXPECT_EQ(typed, notes[3].text) << "the text typed before the pause was lost";
    }

    // The next start shows the text; a mark is dragged, one recoloured and one deleted, each
    // saved as it is done, and the process is killed again.
    RECT droppedAt;
    {
        RunningProgram program;
        Start(program);
        ASSERT_EQ(4u, program.NoteWindows().size());
        HWND note = NoteAt(program, 10, 10);
        ASSERT_NE(nullptr, note) << "the typed note did not come back";
        EXPECT_EQ(typed, EditText(note));

        HWND mark = NoteAt(program, dragged.x, dragged.y);
        ASSERT_NE(nullptr, mark);
        droppedAt = DragMark(mark, 20, 25);
        ASSERT_GE(droppedAt.left, dragged.x + 100) << "the mark was not dragged: " << Describe(droppedAt);
        EXPECT_TRUE(FileShows([&](const std::vector<StoredNote>& notes) {
            return notes.size() == 4 && notes[1].x == droppedAt.left && notes[1].y == droppedAt.top;
        })) << "the drop was not saved";

        RecolourMark(NoteAt(program, blue.x, blue.y), COLOUR_YELLOW);
        EXPECT_TRUE(FileShows([&](const std::vector<StoredNote>& notes) {
            return notes.size() == 4 && notes[0].color == YELLOW;
        })) << "the colour was not saved";

        DeleteMark(program, NoteAt(program, doomed.x, doomed.y));
        EXPECT_TRUE(FileShows([&](const std::vector<StoredNote>& notes) {
            return notes.size() == 3 && notes[2].text == typed;
        })) << "the deletion was not saved";
        Kill(program);
    }

    RunningProgram again;
    Start(again);
    ASSERT_EQ(3u, again.NoteWindows().size());
    HWND recoloured = NoteAt(again, blue.x, blue.y);
    ASSERT_NE(nullptr, recoloured);
    EXPECT_EQ(YELLOW, WaitForScreenPixel(Centre(WindowRect(recoloured)), YELLOW));
    HWND moved = NoteAt(again, droppedAt.left, droppedAt.top);
    ASSERT_NE(nullptr, moved) << "no mark where it was dropped";
    EXPECT_EQ(dragged.text, EditText(moved));
    EXPECT_EQ(nullptr, NoteAt(again, doomed.x, doomed.y)) << "the deleted note came back";
    HWND note = NoteAt(again, 10, 10);
    ASSERT_NE(nullptr, note);
    EXPECT_EQ(typed, EditText(note));
    End(again);
}

// Unicode text on the clipboard, as a web page leaves it.
bool PutOnClipboard(const std::wstring& text)
{
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (!memory || !OpenClipboard(nullptr))
        return false;
    memcpy(GlobalLock(memory), text.c_str(), bytes);
    GlobalUnlock(memory);
    const bool put = EmptyClipboard() && SetClipboardData(CF_UNICODETEXT, memory);
    CloseClipboard();
    return put;
}

// Text the code page cannot hold, pasted with Ctrl+V and typed with keys outside it, is in the
// file and in the note after a restart exactly as it was written.
TEST_F(PersistenceE2eTest, PastedAndTypedUnicodeTextComesBackExactlyAfterARestart)
{
    const std::wstring pasted = L"Příliš žluťoučký → ✓ Привет 😀 “ok” €\r\nΕλληνικά";
    const std::wstring written = pasted + L"яж";
    ASSERT_TRUE(PutOnClipboard(pasted));
    {
        RunningProgram program;
        Start(program);
        HWND note = AddNoteAndClickIn(program);
        ASSERT_NE(nullptr, note);
        PressKeys("ctrl+v");
        ASSERT_TRUE(PumpUntil([&] { return EditTextW(note) == pasted; }, 5000)) << "not pasted exactly: " << EditText(note);
        PressKeys("Cyrillic_ya Cyrillic_zhe");
        ASSERT_TRUE(PumpUntil([&] { return EditTextW(note) == written; }, 5000)) << "typed: " << EditText(note);
        POINT close;
        ASSERT_TRUE(FindHitPoint(note, HTCLOSE, &close));
        ClickAt(close.x, close.y);
        MoveTo(1000, 60);
        ASSERT_TRUE(PumpUntil([&] { return WindowRect(note).right - WindowRect(note).left == MARK; })) << "not packed";
        End(program);
    }
    const std::vector<StoredNote> notes = Stored();
    ASSERT_EQ(1u, notes.size());
    EXPECT_EQ(Narrow(written.c_str()), notes[0].text) << "the text field is not the code page's text";
    EXPECT_FALSE(notes[0].extras.utf8.empty()) << "no exact text in the name field";

    RunningProgram again;
    Start(again);
    HWND mark = NoteAt(again, 10, 10);
    ASSERT_NE(nullptr, mark);
    EXPECT_TRUE(EditTextW(mark) == written) << "came back as: " << EditText(mark);
    End(again);
}

// notes.bin changed by another computer while the program runs, and the user adds a note and
// types at once: the other computer's note shows as a mark, the typed text stays in the new note,
// no box opens, and both are saved, with nothing kept beside notes.bin.
TEST_F(PersistenceE2eTest, NotesChangedElsewhereShowWhileTheUserTypesIntoANewNote)
{
    ASSERT_TRUE(WriteFileBytes(folder.File("notes.bin"), EncodeNotes({ Prepared(600, 300, RGB(0, 0, 255), NOTE_PACKED, "moje") })));
    RunningProgram program;
    Start(program);
    ASSERT_TRUE(WriteFileBytes(folder.File("notes.bin"),
                               EncodeNotes({ Prepared(600, 300, RGB(0, 0, 255), NOTE_PACKED, "moje"),
                                             Prepared(700, 300, RGB(255, 0, 0), NOTE_PACKED, "z druhého počítače") })));

    HWND note = AddNoteFromTray(program);
    ASSERT_NE(nullptr, note);
    TypeText("hned");
    EXPECT_TRUE(PumpUntil([&] { return NoteAt(program, 700, 300) != nullptr; }, 10000)) << "the other computer's note is not shown";
    TypeText(" a dál");
    EXPECT_TRUE(PumpUntil([&] { return EditText(note) == "hned a dál"; }, 5000)) << "the note holds: " << EditText(note);
    EXPECT_EQ(nullptr, program.MessageBoxWindow());
    EXPECT_EQ(note, GetForegroundWindow());
    End(program);
    const std::vector<StoredNote> notes = Stored();
    ASSERT_EQ(3u, notes.size());
    EXPECT_EQ("z druhého počítače", notes[1].text);
    EXPECT_EQ("hned a dál", notes[2].text);
    EXPECT_EQ(std::vector<std::string>{ "notes.bin" }, FolderEntries(folder.Path()));
}

// The smoke test of a release (scripts/test32.sh runs it on the 32-bit Memovky.exe of the ZIP):
// stored notes are written back byte for byte, and a note added and typed into is written exactly
// as this test's own encoder writes it.
TEST_F(PersistenceE2eTest, StoredNotesComeBackByteForByteBesideATypedNewNote)
{
    const std::vector<StoredNote> stored = {
        Prepared(600, 300, RGB(0, 0, 255), NOTE_PACKED, "Nákup: chléb, máslo, švestky"),
        Prepared(700, 350, RGB(255, 0, 0), NOTE_PACKED, "Zavolat panu Řehořovi\r\nve čtvrtek ráno"),
        Prepared(520, 460, RGB(255, 255, 160), NOTE_PACKED, "Úterý: účet za plyn (šek č. 7)"),
    };
    ASSERT_TRUE(WriteFileBytes(folder.File("notes.bin"), EncodeNotes(stored)));
    RecordProperty("program", ProgramPath());   // scripts/test32.sh checks that it drove the ZIP's

    std::string typed;
    NoteTime before, after;
    {
        RunningProgram program;
        Start(program);
        ASSERT_EQ(3u, program.NoteWindows().size());
        for (const StoredNote& note : stored)
            EXPECT_NE(nullptr, NoteAt(program, note.x, note.y)) << note.text;
        before = Now();
        HWND added = AddNoteFromTray(program);
        after = Now();
        ASSERT_NE(nullptr, added);
        ASSERT_NO_FATAL_FAILURE(TypeTwoLines(added, &typed));
        End(program);
    }

    const std::vector<uint8_t> saved = ReadFileBytes(folder.File("notes.bin"));
    DecodedNotes decoded = DecodeNotes(saved.data(), saved.size());
    ASSERT_TRUE(decoded.complete);
    ASSERT_EQ(4u, decoded.notes.size());
    // Made in the minute the note was added: taken from the file, once it is seen to be that minute.
    const StoredNote& added = decoded.notes[3];
    const NoteTime made = { added.year, added.month, added.day, added.hour, added.minute };
    EXPECT_LE(Tie(before), Tie(made));
    EXPECT_GE(Tie(after), Tie(made));
    std::vector<StoredNote> expected = stored;
    expected.push_back(MakeStoredNote(10, 10, RGB(0, 208, 0), typed, NOTE_EXPANDED, made));
    EXPECT_EQ(EncodeNotes(expected), Plain(saved)) << "beside the identities and versions the program adds";
    for (const StoredNote& note : decoded.notes)
        EXPECT_EQ(NOTE_ID_SIZE, note.extras.id.size()) << "a note without its identity";
}

} // namespace
