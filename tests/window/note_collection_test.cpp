// The note collection: what AddNote makes, removal keeping order, the end of all notes,
// accessors on strangers, running out of memory, and the four bulk commands.
#include "app/system_calls.h"
#include "app/app.h"
#include "notes/note_collection.h"
#include "notes/note_window.h"
#include "res/resource.h"
#include "storage/settings.h"
#include "tests/support/app_fixture.h"
#include "tests/support/poll.h"
#include <cstring>

namespace {

// The collection's bytes, to see that a call changed nothing at all.
std::vector<uint8_t> CollectionBytes()
{
    auto* first = reinterpret_cast<const uint8_t*>(Notes.items);
    return first ? std::vector<uint8_t>(first, first + Notes.count * sizeof(NoteRecord)) : std::vector<uint8_t>();
}

std::vector<HWND> NoteWindows()
{
    std::vector<HWND> windows;
    for (int i = 0; i < Notes.count; ++i)
        windows.push_back(Notes.items[i].hwnd);
    return windows;
}

// What a note looks like from outside, to compare before and after a command.
struct NoteLook {
    RECT rect;
    LONG style;
    bool visible;
    BYTE state;
    int32_t x, y;
    std::string title;

    bool operator==(const NoteLook& o) const
    {
        return EqualRect(&rect, &o.rect) && style == o.style && visible == o.visible && state == o.state
            && x == o.x && y == o.y && title == o.title;
    }
};

std::ostream& operator<<(std::ostream& out, const NoteLook& look)
{
    return out << Describe(look.rect) << " style " << std::hex << look.style << std::dec
               << (look.visible ? " visible" : " hidden") << " state " << int(look.state) << " at (" << look.x
               << ", " << look.y << ") \"" << look.title << "\"";
}

NoteLook LookOf(HWND window)
{
    const NoteRecord& note = Notes.items[FindNote(window)];
    return { WindowRect(window), GetWindowLongA(window, GWL_STYLE), IsWindowVisible(window) != FALSE,
             note.state, note.x, note.y, WindowText(window) };
}

class NoteCollectionTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        StartWindowsOnly();
        // Keep the pointer off every note, so no hover report interferes.
        SetCursorPos(1000, 740);
    }

    static void SendCommand(int id)
    {
        SendMessageA(g_hMainWnd, WM_COMMAND, MAKEWPARAM(id, 0), 0);
        PumpPending();
    }
};

struct Placement {
    int32_t x, y;
    int32_t expectedX, expectedY;
};

class PlacementTest : public NoteCollectionTest, public ::testing::WithParamInterface<Placement> {};

// Zero stands for "not given" on each axis alone; every other value, negatives too, stays.
TEST_P(PlacementTest, ZeroBecomesTenPerAxis)
{
    const Placement p = GetParam();
    ASSERT_EQ(1, AddNote(p.x, p.y, nullptr, NOTE_EXPANDED));
    const NoteRecord& note = Notes.items[0];
    EXPECT_EQ(p.expectedX, note.x);
    EXPECT_EQ(p.expectedY, note.y);
    const RECT rect = WindowRect(note.hwnd);
    EXPECT_EQ(p.expectedX, rect.left) << Describe(rect);
    EXPECT_EQ(p.expectedY, rect.top) << Describe(rect);
}

INSTANTIATE_TEST_SUITE_P(Positions, PlacementTest, ::testing::Values(
    Placement{ 0, 0, 10, 10 }, Placement{ 0, 200, 10, 200 }, Placement{ -40, 0, -40, 10 },
    Placement{ 123, -5, 123, -5 }, Placement{ 1, 1, 1, 1 }));

TEST_F(NoteCollectionTest, NewExpandedNoteHasItsWindowEditBoxMenuColourAndTime)
{
    Settings.MarkColor = RGB(12, 34, 56);
    SYSTEMTIME before, after;
    GetLocalTime(&before);
    ASSERT_EQ(1, AddNote(0, 0, "první řádek\r\ndruhý", NOTE_EXPANDED));
    GetLocalTime(&after);
    ASSERT_EQ(1, Notes.count);
    const NoteRecord note = Notes.items[0];
    HWND window = note.hwnd;
    ASSERT_TRUE(IsWindow(window));
    EXPECT_EQ(NOTE_CLASS_NAME, ClassNameOf(window));

    // The system adds WS_CLIPSIBLINGS to every top-level window, and WS_EX_WINDOWEDGE to one
    // with a sizing frame; everything else is what the note asked for.
    EXPECT_EQ(0x12CF0000 | WS_CLIPSIBLINGS, GetWindowLongA(window, GWL_STYLE))
        << std::hex << GetWindowLongA(window, GWL_STYLE);
    EXPECT_EQ(0x88 | WS_EX_WINDOWEDGE, GetWindowLongA(window, GWL_EXSTYLE))
        << std::hex << GetWindowLongA(window, GWL_EXSTYLE);
    EXPECT_TRUE(SameRect(RECT{ 10, 10, 310, 260 }, WindowRect(window))) << Describe(WindowRect(window));
    EXPECT_EQ("Memovka", WindowText(window));
    EXPECT_EQ(g_hMainWnd, GetWindow(window, GW_OWNER));
    EXPECT_TRUE(IsWindowVisible(window));

    HWND edit = note.hwndEdit;
    ASSERT_TRUE(IsWindow(edit));
    EXPECT_EQ("Edit", ClassNameOf(edit));
    EXPECT_EQ(window, GetParent(edit));
    EXPECT_EQ(0, GetDlgCtrlID(edit));
    EXPECT_EQ(0x54301004, GetWindowLongA(edit, GWL_STYLE)) << std::hex << GetWindowLongA(edit, GWL_STYLE);
    EXPECT_EQ(0, GetWindowLongA(edit, GWL_EXSTYLE));
    EXPECT_EQ("první řádek\r\ndruhý", WindowText(edit));
    RECT client, editRect;
    GetClientRect(window, &client);
    editRect = WindowRect(edit);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&editRect), 2);
    EXPECT_TRUE(SameRect(client, editRect)) << "edit " << Describe(editRect) << ", client " << Describe(client);
    EXPECT_EQ(edit, GetFocus());

    ASSERT_TRUE(IsMenu(note.hmenu));
    EXPECT_EQ(note.hmenu, GetMenu(window));
    ASSERT_EQ(2, GetMenuItemCount(note.hmenu));
    EXPECT_EQ(static_cast<UINT>(IDM_PACK), GetMenuItemID(GetSubMenu(note.hmenu, 0), 0));
    EXPECT_EQ(static_cast<UINT>(IDM_ABOUT), GetMenuItemID(GetSubMenu(note.hmenu, 1), 0));

    EXPECT_EQ(RGB(12, 34, 56), note.markColor);
    EXPECT_EQ(NOTE_EXPANDED, note.state);
    EXPECT_EQ(0, note.reserved);
    EXPECT_STREQ("", note.name);
    EXPECT_EQ(10, note.x);
    EXPECT_EQ(10, note.y);

    // Read before and after, so a minute that turned during the call is no failure.
    auto sameMinute = [&note](const SYSTEMTIME& t) {
        return note.created.year == t.wYear && note.created.month == t.wMonth && note.created.day == t.wDay
            && note.created.hour == t.wHour && note.created.minute == t.wMinute;
    };
    EXPECT_TRUE(sameMinute(before) || sameMinute(after))
        << note.created.year << "-" << note.created.month << "-" << note.created.day << " "
        << note.created.hour << ":" << note.created.minute;

    // With the pointer elsewhere the flags are, and stay, at rest.
    PumpPending();
    EXPECT_EQ(0, Notes.items[0].tracking);
    EXPECT_EQ(1, Notes.items[0].armed);
    EXPECT_EQ(0, Notes.items[0].hover);
    EXPECT_EQ(0u, boxes.Count()) << boxes.Summary();
}

TEST_F(NoteCollectionTest, NullTextGivesAnEmptyEditBoxAndEveryNoteHasItsOwnMenu)
{
    HWND first = AddExpandedNote();
    HWND second = AddExpandedNote();
    ASSERT_NE(nullptr, first);
    ASSERT_NE(nullptr, second);
    EXPECT_EQ("", WindowText(Notes.items[0].hwndEdit));
    EXPECT_NE(Notes.items[0].hmenu, Notes.items[1].hmenu);
    EXPECT_EQ(Notes.items[0].hmenu, GetMenu(first));
    EXPECT_EQ(Notes.items[1].hmenu, GetMenu(second));
    EXPECT_EQ(Notes.items[1].hwndEdit, GetFocus()) << "the newest note takes the focus";
}

TEST_F(NoteCollectionTest, PackedNoteIsAMarkAndItsEditBoxGetsNoFocus)
{
    HWND expanded = AddExpandedNote("a");
    ASSERT_NE(nullptr, expanded);
    HWND packed = AddPackedNote(200, 150, "b");
    ASSERT_NE(nullptr, packed);
    const NoteRecord& note = Notes.items[1];
    EXPECT_EQ(NOTE_PACKED, note.state);
    EXPECT_TRUE(SameRect(RECT{ 200, 150, 216, 166 }, WindowRect(packed))) << Describe(WindowRect(packed));
    EXPECT_NE(note.hwndEdit, GetFocus());
    EXPECT_FALSE(IsWindowVisible(note.hwndEdit));
    EXPECT_EQ(nullptr, GetMenu(packed));
    EXPECT_TRUE(IsMenu(note.hmenu)) << "the record keeps the menu while packed";
    EXPECT_EQ("b", WindowText(note.hwndEdit));
}

// Three packed notes, so their menus hang on no window and only the removal can free them.
class RemoveOfThreeTest : public NoteCollectionTest, public ::testing::WithParamInterface<int> {};

TEST_P(RemoveOfThreeTest, KeepsTheOthersInOrderAndFreesOnlyThatMenu)
{
    for (int i = 0; i < 3; ++i)
        ASSERT_NE(nullptr, AddPackedNote(100 + 50 * i, 300, std::to_string(i).c_str()));
    const int gone = GetParam();
    std::vector<NoteRecord> before(Notes.items, Notes.items + 3);

    // The real path: the window goes, its destruction removes the record.
    ASSERT_TRUE(DestroyWindow(before[gone].hwnd));
    ASSERT_EQ(2, Notes.count);
    EXPECT_FALSE(IsMenu(before[gone].hmenu)) << "the removed note's menu survived";
    int kept = 0;
    for (int i = 0; i < 3; ++i) {
        if (i == gone)
            continue;
        SCOPED_TRACE(i);
        EXPECT_EQ(0, memcmp(&before[i], &Notes.items[kept], sizeof(NoteRecord))) << "record changed or moved out of order";
        EXPECT_TRUE(IsMenu(before[i].hmenu)) << "another note's menu was destroyed";
        EXPECT_EQ(std::to_string(i), WindowText(Notes.items[kept].hwndEdit));
        ++kept;
    }
    EXPECT_EQ(0, RemoveNote(before[gone].hwnd)) << "a second removal found a record";
    EXPECT_EQ(2, Notes.count);
}

INSTANTIATE_TEST_SUITE_P(FirstMiddleLast, RemoveOfThreeTest, ::testing::Values(0, 1, 2));

TEST_F(NoteCollectionTest, RemoveNoteItselfFreesTheMenuOfAnExpandedNote)
{
    HWND window = AddExpandedNote();
    AddExpandedNote();
    HMENU menu = Notes.items[0].hmenu;
    EXPECT_EQ(1, RemoveNote(window));
    EXPECT_FALSE(IsMenu(menu));
    ASSERT_EQ(1, Notes.count);
    EXPECT_NE(window, Notes.items[0].hwnd);
    EXPECT_TRUE(IsMenu(Notes.items[0].hmenu));
    DestroyWindow(window);
    EXPECT_EQ(1, Notes.count) << "destroying a window without a record removed another";
}

TEST_F(NoteCollectionTest, RemovingTheOnlyNoteReleasesTheArrayAndTheNextAddAllocatesAgain)
{
    HWND window = AddExpandedNote();
    ASSERT_NE(nullptr, window);
    DestroyWindow(window);
    EXPECT_EQ(0, Notes.count);
    EXPECT_EQ(nullptr, Notes.items);

    static int calls;
    calls = 0;
    g_sys.Realloc = [](void* block, size_t bytes) -> void* {
        ++calls;
        EXPECT_EQ(nullptr, block) << "growing from empty must allocate anew";
        EXPECT_EQ(sizeof(NoteRecord), bytes);
        return std::realloc(block, bytes);
    };
    ASSERT_NE(nullptr, AddExpandedNote());
    EXPECT_EQ(1, calls);
    EXPECT_EQ(1, Notes.count);
    EXPECT_NE(nullptr, Notes.items);
}

TEST_F(NoteCollectionTest, DestroyAllNotesLeavesNoWindowMenuOrRecord)
{
    AddExpandedNote("a");
    AddPackedNote(300, 300, "b");
    AddExpandedNote("c");
    ShowWindow(Notes.items[2].hwnd, SW_HIDE);
    std::vector<HWND> windows, edits;
    std::vector<HMENU> menus;
    for (int i = 0; i < Notes.count; ++i) {
        windows.push_back(Notes.items[i].hwnd);
        edits.push_back(Notes.items[i].hwndEdit);
        menus.push_back(Notes.items[i].hmenu);
    }

    DestroyAllNotes();
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_FALSE(IsWindow(windows[i]));
        EXPECT_FALSE(IsWindow(edits[i]));
        EXPECT_FALSE(IsMenu(menus[i]));
    }
    EXPECT_TRUE(TopWindows(0, NOTE_CLASS_NAME, false).empty());
    EXPECT_EQ(0, Notes.count);
    EXPECT_EQ(nullptr, Notes.items);
    EXPECT_TRUE(IsWindow(g_hMainWnd)) << "only the notes end";

    DestroyAllNotes();
    EXPECT_EQ(0, Notes.count);
    EXPECT_EQ(nullptr, Notes.items);
    EXPECT_EQ(0u, boxes.Count()) << boxes.Summary();
}

// Handles no record holds: the main window, a note's edit box, a destroyed note, none.
TEST_F(NoteCollectionTest, AccessorsOnAWindowWithoutARecordReturnZeroAndChangeNothing)
{
    HWND known = AddExpandedNote();
    HWND stale = AddExpandedNote();
    HWND edit = Notes.items[0].hwndEdit;
    DestroyWindow(stale);
    ASSERT_EQ(1, Notes.count);
    const std::vector<uint8_t> before = CollectionBytes();

    for (HWND stranger : { g_hMainWnd, edit, stale, static_cast<HWND>(nullptr) }) {
        SCOPED_TRACE(stranger == g_hMainWnd ? "main" : stranger == edit ? "edit" : stranger ? "stale" : "null");
        EXPECT_EQ(-1, FindNote(stranger));
        EXPECT_EQ(0, GetNoteTracking(stranger));
        EXPECT_EQ(0, SetNoteTracking(stranger, 1));
        EXPECT_EQ(0, GetNoteArmed(stranger));
        EXPECT_EQ(0, SetNoteArmed(stranger, 0));
        EXPECT_EQ(0, SetNoteHover(stranger, 1));
        EXPECT_EQ(0, IsNotePacked(stranger));
        EXPECT_EQ(0u, GetNoteColor(stranger));
        EXPECT_EQ(0, SetNoteColor(stranger, RGB(1, 2, 3)));
        EXPECT_EQ(0, SetNoteTime(stranger, NoteTime{ 2001, 2, 3, 4, 5 }));
        EXPECT_EQ(0, RemoveNote(stranger));
        EXPECT_EQ(before, CollectionBytes()) << "the collection changed";
    }

    // The same accessors on the known note store and read back each field alone.
    EXPECT_EQ(0, FindNote(known));
    EXPECT_EQ(1, SetNoteTracking(known, 1));
    EXPECT_EQ(1, GetNoteTracking(known));
    EXPECT_EQ(1, SetNoteArmed(known, 0));
    EXPECT_EQ(0, GetNoteArmed(known));
    EXPECT_EQ(1, SetNoteHover(known, 1));
    EXPECT_EQ(1, Notes.items[0].hover);
    EXPECT_EQ(1, SetNoteColor(known, RGB(7, 8, 9)));
    EXPECT_EQ(RGB(7, 8, 9), GetNoteColor(known));
    EXPECT_EQ(1, SetNoteTime(known, NoteTime{ 2001, 2, 3, 4, 5 }));
    const NoteTime t = Notes.items[0].created;
    EXPECT_EQ(2001, t.year);
    EXPECT_EQ(2, t.month);
    EXPECT_EQ(3, t.day);
    EXPECT_EQ(4, t.hour);
    EXPECT_EQ(5, t.minute);
    EXPECT_EQ(0, IsNotePacked(known));
    EXPECT_EQ(NOTE_EXPANDED, Notes.items[0].state) << "an accessor touched the state";
}

void* FailingRealloc(void*, size_t)
{
    return nullptr;
}

TEST_F(NoteCollectionTest, FailedGrowthIsReportedAndLeavesTheCollectionAsItWas)
{
    g_sys.Realloc = FailingRealloc;
    EXPECT_EQ(0, AddNote(0, 0, nullptr, NOTE_EXPANDED));
    EXPECT_EQ(0, Notes.count);
    EXPECT_EQ(nullptr, Notes.items);
    ASSERT_EQ(1u, boxes.Count()) << boxes.Summary();
    EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONERROR | MB_TASKMODAL | MB_TOPMOST), boxes.Boxes()[0].flags);
    EXPECT_FALSE(boxes.Boxes()[0].text.empty());
    boxes.Clear();

    g_sys.Realloc = std::realloc;
    AddExpandedNote("a");
    AddPackedNote(50, 50, "b");
    NoteRecord* items = Notes.items;
    const std::vector<uint8_t> before = CollectionBytes();
    g_sys.Realloc = FailingRealloc;
    EXPECT_EQ(0, AddNote(0, 0, "c", NOTE_EXPANDED));
    ASSERT_EQ(1u, boxes.Count()) << boxes.Summary();
    EXPECT_EQ(2, Notes.count);
    EXPECT_EQ(items, Notes.items);
    EXPECT_EQ(before, CollectionBytes());
    EXPECT_EQ(2u, TopWindows(0, NOTE_CLASS_NAME, false).size()) << "a window was made without a record";
    EXPECT_TRUE(IsWindow(g_hMainWnd)) << "running out of memory must not end the program";
}

TEST_F(NoteCollectionTest, FailedShrinkStillRemovesTheRecord)
{
    for (int i = 0; i < 3; ++i)
        AddPackedNote(100 + 30 * i, 100, std::to_string(i).c_str());
    std::vector<HWND> windows = NoteWindows();
    g_sys.Realloc = FailingRealloc;
    DestroyWindow(windows[1]);
    ASSERT_EQ(2, Notes.count);
    EXPECT_EQ(windows[0], Notes.items[0].hwnd);
    EXPECT_EQ(windows[2], Notes.items[1].hwnd);
    EXPECT_EQ("2", WindowText(Notes.items[1].hwndEdit));
    DestroyWindow(windows[0]);
    DestroyWindow(windows[2]);
    EXPECT_EQ(0, Notes.count);
    EXPECT_EQ(nullptr, Notes.items);
}

TEST_F(NoteCollectionTest, FailedWindowCreationEndsTheProgram)
{
    AddPackedNote(40, 40);
    HWND main = g_hMainWnd;
    // Without its class no note window can be made; the existing one keeps the class alive.
    DestroyAllNotes();
    ASSERT_TRUE(UnregisterClassA(NOTE_CLASS_NAME, g_hInst));

    EXPECT_EQ(0, AddNote(0, 0, nullptr, NOTE_EXPANDED));
    ASSERT_EQ(1u, boxes.Count()) << boxes.Summary();
    EXPECT_EQ("Chyba při vytvoření okna!\nAplikace bude ukončena", boxes.Boxes()[0].text);
    EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONERROR | MB_TASKMODAL | MB_TOPMOST), boxes.Boxes()[0].flags);
    EXPECT_FALSE(IsWindow(main)) << "the main window must be destroyed";
    MSG quit;
    EXPECT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE)) << "no quit message";
    // The record stays, without a window; nothing finds it by a null handle.
    ASSERT_EQ(1, Notes.count);
    EXPECT_EQ(nullptr, Notes.items[0].hwnd);
    EXPECT_EQ(-1, FindNote(nullptr));
    EXPECT_EQ(0u, GetNoteColor(nullptr));
}

// The bulk commands, given through the main window as the menus give them.
TEST_F(NoteCollectionTest, PackAllWhenAllArePackedAndUnpackAllWhenAllAreExpandedChangeNothing)
{
    HWND a = AddPackedNote(100, 100, "a");
    HWND b = AddPackedNote(200, 100, "b");
    // A dragged mark is not put back where it was packed.
    SetWindowPos(b, nullptr, 260, 180, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    const NoteLook lookA = LookOf(a), lookB = LookOf(b);
    const std::vector<uint8_t> packedBytes = CollectionBytes();
    SendCommand(IDM_PACKALL);
    EXPECT_EQ(lookA, LookOf(a));
    EXPECT_EQ(lookB, LookOf(b));
    EXPECT_EQ(packedBytes, CollectionBytes());

    DestroyAllNotes();
    HWND c = AddNote(0, 0, "c", NOTE_EXPANDED) ? Notes.items[0].hwnd : nullptr;
    HWND d = AddNote(400, 0, "d", NOTE_EXPANDED) ? Notes.items[1].hwnd : nullptr;
    ASSERT_TRUE(c && d);
    const NoteLook lookC = LookOf(c), lookD = LookOf(d);
    const std::vector<uint8_t> expandedBytes = CollectionBytes();
    SendCommand(IDM_UNPACKALL);
    EXPECT_EQ(lookC, LookOf(c)) << "expanding again would also retitle the note";
    EXPECT_EQ(lookD, LookOf(d));
    EXPECT_EQ(expandedBytes, CollectionBytes());
}

TEST_F(NoteCollectionTest, HideAllKeepsStatesAndPlacesAndPackAllShowsOnlyTheFormerlyExpanded)
{
    HWND expanded1 = AddExpandedNote("e1");
    HWND packed = AddPackedNote(400, 300, "p");
    HWND expanded2 = AddNote(50, 60, "e2", NOTE_EXPANDED) ? Notes.items[2].hwnd : nullptr;
    ASSERT_TRUE(expanded1 && packed && expanded2);
    std::vector<NoteLook> looks = { LookOf(expanded1), LookOf(packed), LookOf(expanded2) };

    SendCommand(IDM_HIDEALL);
    int i = 0;
    for (HWND note : { expanded1, packed, expanded2 }) {
        SCOPED_TRACE(i);
        NoteLook hidden = looks[i++];
        hidden.visible = false;
        hidden.style &= ~WS_VISIBLE;
        EXPECT_EQ(hidden, LookOf(note));
    }

    SendCommand(IDM_PACKALL);
    for (HWND note : { expanded1, expanded2 }) {
        EXPECT_TRUE(IsWindowVisible(note)) << "a packed note that was expanded stays hidden";
        EXPECT_TRUE(IsNotePacked(note));
    }
    EXPECT_TRUE(SameRect(RECT{ 10, 10, 26, 26 }, WindowRect(expanded1))) << Describe(WindowRect(expanded1));
    EXPECT_TRUE(SameRect(RECT{ 50, 60, 66, 76 }, WindowRect(expanded2))) << Describe(WindowRect(expanded2));
    EXPECT_FALSE(IsWindowVisible(packed)) << "a mark that was packed already must stay hidden";
    EXPECT_EQ(looks[1].rect.left, WindowRect(packed).left);

    SendCommand(IDM_SHOWALL);
    for (HWND note : { expanded1, packed, expanded2 }) {
        EXPECT_TRUE(IsWindowVisible(note));
        EXPECT_TRUE(IsNotePacked(note));
    }
    EXPECT_TRUE(SameRect(looks[1].rect, WindowRect(packed))) << Describe(WindowRect(packed));
    EXPECT_EQ(0u, boxes.Count()) << boxes.Summary();
}

TEST_F(NoteCollectionTest, ShowAllRestoresMinimizedAndMaximizedNotesToTheirPlaces)
{
    HWND minimized = AddExpandedNote("m");
    HWND maximized = AddNote(350, 200, "x", NOTE_EXPANDED) ? Notes.items[1].hwnd : nullptr;
    HWND packed = AddPackedNote(600, 500);
    ASSERT_TRUE(minimized && maximized && packed);
    const NoteLook lookMin = LookOf(minimized), lookMax = LookOf(maximized), lookPacked = LookOf(packed);
    ShowWindow(minimized, SW_MINIMIZE);
    ShowWindow(maximized, SW_MAXIMIZE);
    ASSERT_TRUE(IsIconic(minimized));
    ASSERT_TRUE(IsZoomed(maximized));

    SendCommand(IDM_SHOWALL);
    EXPECT_FALSE(IsIconic(minimized));
    EXPECT_FALSE(IsZoomed(maximized));
    EXPECT_EQ(lookMin, LookOf(minimized));
    EXPECT_EQ(lookMax, LookOf(maximized));
    EXPECT_EQ(lookPacked, LookOf(packed));

    SendCommand(IDM_HIDEALL);
    SendCommand(IDM_SHOWALL);
    EXPECT_EQ(lookMin, LookOf(minimized));
    EXPECT_EQ(lookMax, LookOf(maximized));
    EXPECT_EQ(lookPacked, LookOf(packed));
}

TEST_F(NoteCollectionTest, UnpackAllExpandsOnlyTheMarksAndLeavesExpandedNotesAlone)
{
    HWND mark1 = AddPackedNote(300, 400, "1");
    HWND note = AddNote(500, 100, "n", NOTE_EXPANDED) ? Notes.items[1].hwnd : nullptr;
    HWND mark2 = AddPackedNote(700, 300, "2");
    ASSERT_TRUE(mark1 && note && mark2);
    SetWindowPos(mark2, nullptr, 720, 320, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    const NoteLook lookNote = LookOf(note);

    SendCommand(IDM_UNPACKALL);
    EXPECT_EQ(lookNote, LookOf(note));
    for (HWND mark : { mark1, mark2 }) {
        EXPECT_FALSE(IsNotePacked(mark));
        EXPECT_TRUE(IsWindowVisible(mark));
        const RECT rect = WindowRect(mark);
        EXPECT_EQ(300, rect.right - rect.left);
        EXPECT_EQ(250, rect.bottom - rect.top);
    }
    // Expanding remembers where the mark was, dragged or not.
    EXPECT_EQ(300, Notes.items[0].x);
    EXPECT_EQ(400, Notes.items[0].y);
    EXPECT_EQ(720, Notes.items[2].x);
    EXPECT_EQ(320, Notes.items[2].y);
    EXPECT_EQ(3, Notes.count);
}

} // namespace
