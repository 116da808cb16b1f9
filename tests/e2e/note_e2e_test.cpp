// Marks of the real program under a real pointer: preview, drag, expanding, the context menu.
#include "res/resource.h"
#include "storage/note_codec.h"
#include "tests/e2e/program.h"
#include "tests/support/helpers.h"
#include "tests/support/poll.h"
#include <gtest/gtest.h>
#include <memory>

namespace {

// Entries of the mark context menu and of its "Barva" sub-menu (separators count).
enum { MARK_UNPACK, MARK_COLOUR, MARK_SEP, MARK_DELETE };
enum { COLOUR_RED, COLOUR_BLUE, COLOUR_YELLOW, COLOUR_GREEN, COLOUR_SEP, COLOUR_CUSTOM };

StoredNote MarkNote(int x, int y, const std::string& text)
{
    return MakeStoredNote(x, y, 0x0000FF, text);
}

// The window that has the keyboard focus on the GUI thread of the given window.
HWND FocusOnThreadOf(HWND window)
{
    GUITHREADINFO info = { sizeof info };
    return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) ? info.hwndFocus : nullptr;
}

// True when done() holds all through the given time: for what must not happen.
bool HoldsFor(const std::function<bool()>& done, DWORD ms)
{
    return !PumpUntil([&] { return !done(); }, ms);
}

class NoteE2eTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        DeleteSettingsKey();
        MoveTo(512, 100);
    }
    void TearDown() override
    {
        Xdo("mouseup 1");
        Xdo("keyup ctrl");
        DeleteSettingsKey();
    }

    // Starts the program on a data file holding these notes; they come back as marks.
    void StartWith(const std::vector<StoredNote>& notes)
    {
        ASSERT_TRUE(WriteFileBytes(folder.File("notes.bin"), EncodeNotes(notes)));
        WriteSettingsText("DataFolder", folder.Path());
        ASSERT_TRUE(program.Start());
        ASSERT_TRUE(program.WaitReady()) << "start-up did not finish";
        ASSERT_EQ(notes.size(), program.NoteWindows().size());
    }

    // The program's note window whose top-left corner is at (x, y).
    HWND NoteAt(int x, int y) const { return ::NoteAt(program, x, y, false); }

    std::vector<HWND> Previews() const { return TopWindows(program.Pid(), "DAVududPopupClass"); }

    HWND WaitForPreview()
    {
        HWND preview = nullptr;
        PumpUntil([&] {
            std::vector<HWND> found = Previews();
            preview = found.size() == 1 ? found[0] : nullptr;
            return preview != nullptr;
        });
        return preview;
    }

    static bool IsMark(HWND note)
    {
        const RECT r = WindowRect(note);
        return (GetWindowLongA(note, GWL_STYLE) & WS_CAPTION) == 0 && r.right - r.left == 16 && r.bottom - r.top == 16;
    }

    static bool IsExpandedNote(HWND note)
    {
        const RECT r = WindowRect(note);
        return (GetWindowLongA(note, GWL_STYLE) & WS_CAPTION) == WS_CAPTION && r.right - r.left == 300 &&
               r.bottom - r.top == 250;
    }

    HWND OpenMarkMenu(int x, int y)
    {
        ClickAt(x, y, 3);
        HWND menu = nullptr;
        PumpUntil([&] { return (menu = OpenMenuWindow()) != nullptr && IsWindowVisible(menu); });
        return menu;
    }

    // The menu window that is open besides the given one: a sub-menu.
    static HWND OtherMenuWindow(HWND first)
    {
        for (HWND menu : TopWindows(ANY_PROCESS, "#32768"))
            if (menu != first)
                return menu;
        return nullptr;
    }

    TempFolder folder;
    RunningProgram program;
};

TEST_F(NoteE2eTest, PreviewOpensOnArrivalStaysWhileThePointerMovesOnTheMarkAndGoesOnLeaving)
{
    StartWith({ MarkNote(300, 300, "Koupit mléko\r\na chleba"), MarkNote(600, 300, "druhá") });
    ASSERT_TRUE(Previews().empty()) << "a preview before the pointer came";

    MoveTo(306, 306);
    HWND preview = WaitForPreview();
    ASSERT_NE(nullptr, preview) << "the first move over the mark opened no preview";
    const RECT placed = WindowRect(preview);
    EXPECT_EQ(300 + 16 + 2, placed.left) << Describe(placed);
    EXPECT_EQ(300 + 16 + 2, placed.top) << Describe(placed);

    for (POINT at : { POINT{ 310, 309 }, POINT{ 303, 313 }, POINT{ 312, 302 }, POINT{ 308, 308 } }) {
        MoveTo(at.x, at.y);
        EXPECT_TRUE(HoldsFor([&] { return Previews() == std::vector<HWND>{ preview }; }, 300))
            << "the preview changed while the pointer moved on the mark to (" << at.x << ", " << at.y << ")";
    }

    MoveTo(200, 200);
    EXPECT_TRUE(PumpUntil([&] { return !IsWindow(preview); })) << "leaving did not close the preview";
    EXPECT_TRUE(Previews().empty());

    MoveTo(305, 305);
    HWND again = WaitForPreview();
    EXPECT_NE(nullptr, again) << "the next visit opened no preview";
    MoveTo(200, 200);
    ASSERT_TRUE(PumpUntil([&] { return Previews().empty(); }));
    MoveTo(606, 306);
    HWND other = WaitForPreview();
    ASSERT_NE(nullptr, other) << "the other mark opened no preview";
    EXPECT_EQ(600 + 18, WindowRect(other).left) << "not beside the other mark: " << Describe(WindowRect(other));
}

TEST_F(NoteE2eTest, DraggingMovesTheMarkButNotTheStoredPlace)
{
    StartWith({ MarkNote(300, 300, "táhni mě") });
    HWND mark = NoteAt(300, 300);
    ASSERT_NE(nullptr, mark);

    // As a hand would: rest on the mark, press, move once the moving loop has begun, and go on
    // only once the mark is seen where the pointer took it. The X server reports a pointer event
    // on the mark relative to where it shows the mark, and Wine adds where the mark is in Windows:
    // a move or a release that comes after the mark has moved in Windows but before the X server
    // has moved it too lands a whole step further on.
    auto drag = [this, mark](POINT from, POINT to) {
        MoveTo(from.x, from.y);
        EXPECT_NE(nullptr, WaitForPreview());
        const RECT start = WindowRect(mark);
        EXPECT_TRUE(PressUntil("mousedown 1", "mouseup 1", [&] { return InMoveSize(mark); }))
            << "no left press started a drag";
        for (int step = 1; step <= 5; ++step) {
            const int dx = (to.x - from.x) * step / 5, dy = (to.y - from.y) * step / 5;
            MoveTo(from.x + dx, from.y + dy);
            const POINT place = { start.left + dx, start.top + dy };
            auto shownThere = [&] {
                const POINT shown = ShownPlace(mark);
                return shown.x == place.x && shown.y == place.y;
            };
            EXPECT_TRUE(PumpUntil([&] { return NoteAt(place.x, place.y) == mark && shownThere(); }))
                << "step " << step << ": the mark is at " << Describe(WindowRect(mark)) << ", shown at ("
                << ShownPlace(mark).x << ", " << ShownPlace(mark).y << ")";
        }
        Xdo("mouseup 1");
        EXPECT_TRUE(PumpUntil([&] { return !InMoveSize(mark); })) << "the release did not end the drag";
    };
    drag({ 308, 308 }, { 408, 358 });
    ASSERT_TRUE(PumpUntil([&] { return NoteAt(400, 350) == mark; })) << "mark is at " << Describe(WindowRect(mark));
    EXPECT_TRUE(IsMark(mark)) << "the drag changed the look";

    // Alt+F4 on the mark closes it, which packs it again: back to where it was stored. The press
    // made the mark the active window; Alt+F4 anywhere else could end the whole desktop.
    ASSERT_TRUE(PumpUntil([&] { return GetForegroundWindow() == mark; }, 3000))
        << "active is " << ClassNameOf(GetForegroundWindow());
    PressKeys("alt+F4");
    EXPECT_TRUE(PumpUntil([&] { return NoteAt(300, 300) == mark; })) << "mark stayed at " << Describe(WindowRect(mark));
    EXPECT_TRUE(IsMark(mark));
    EXPECT_TRUE(IsWindow(mark)) << "closing a mark destroyed it";

    // A drop place becomes the stored place once the mark is expanded there.
    drag({ 308, 308 }, { 408, 358 });
    ASSERT_TRUE(PumpUntil([&] { return NoteAt(400, 350) == mark; }));
    ClickAt(408, 358, 2);
    ASSERT_TRUE(PumpUntil([&] { return IsExpandedNote(mark); })) << "middle press did not expand";
    EXPECT_EQ(mark, NoteAt(400, 350)) << "expanded at " << Describe(WindowRect(mark));
    POINT close;
    ASSERT_TRUE(FindHitPoint(mark, HTCLOSE, &close));
    ClickAt(close.x, close.y);
    EXPECT_TRUE(PumpUntil([&] { return IsMark(mark) && NoteAt(400, 350) == mark; }))
        << "close box left the note at " << Describe(WindowRect(mark));
}

TEST_F(NoteE2eTest, CtrlLeftPressAndMiddlePressExpandAMark)
{
    StartWith({ MarkNote(300, 300, "ctrl"), MarkNote(500, 200, "prostřední") });
    HWND first = NoteAt(300, 300), second = NoteAt(500, 200);
    ASSERT_NE(nullptr, first);
    ASSERT_NE(nullptr, second);

    MoveTo(308, 308);
    ASSERT_NE(nullptr, WaitForPreview());
    RestThenPress("keydown ctrl mousedown 1");
    EXPECT_TRUE(PumpUntil([&] { return IsExpandedNote(first); })) << "Ctrl+left press did not expand";
    Xdo("mouseup 1");
    Xdo("keyup ctrl");
    EXPECT_EQ(first, NoteAt(300, 300));
    // The title is the last thing expanding does.
    EXPECT_TRUE(PumpUntil([&] { return WindowText(first) == "Zapsáno: 6.12.2026  14:05"; }))
        << WindowText(first);
    EXPECT_NE(nullptr, GetMenu(first)) << "no menu bar";
    EXPECT_TRUE(IsMark(second)) << "the other mark was touched";

    ClickAt(508, 208, 2);
    ASSERT_TRUE(PumpUntil([&] { return IsExpandedNote(second); })) << "middle press did not expand";
    EXPECT_EQ(second, NoteAt(500, 200));
    EXPECT_TRUE(PumpUntil([&] { return WindowText(second) == "Zapsáno: 6.12.2026  14:05"; }))
        << WindowText(second);
}

TEST_F(NoteE2eTest, RightReleaseOpensTheMarkMenuAtThePointer)
{
    StartWith({ MarkNote(300, 300, "menu") });
    HWND mark = NoteAt(300, 300);
    MoveTo(306, 307);
    Xdo("mousedown 3");
    EXPECT_TRUE(HoldsFor([] { return OpenMenuWindow() == nullptr; }, 300)) << "the menu opened on the press";
    Xdo("mouseup 3");
    HWND menu = nullptr;
    ASSERT_TRUE(PumpUntil([&] { return (menu = OpenMenuWindow()) != nullptr && IsWindowVisible(menu); }))
        << "no menu opened on the release";
    const RECT frame = WindowRect(menu);
    EXPECT_EQ(306, frame.left) << Describe(frame);
    EXPECT_EQ(307, frame.top) << Describe(frame);
    EXPECT_TRUE(IsMark(mark));

    ClickMenuItem(menu, PopupItemOffsets(IDR_MARKMENU), MARK_UNPACK);
    EXPECT_TRUE(PumpUntil([&] { return IsExpandedNote(mark); })) << "Rozbalit did not expand";
    EXPECT_EQ(mark, NoteAt(300, 300));
}

TEST_F(NoteE2eTest, ColoursAndDeletionFromTheMarkMenu)
{
    StartWith({ MarkNote(300, 300, "barvy"), MarkNote(500, 200, "zůstane") });
    HWND mark = NoteAt(300, 300);
    ASSERT_NE(nullptr, mark);
    const std::vector<RECT> items = PopupItemOffsets(IDR_MARKMENU);
    const std::vector<RECT> colours = SubPopupItemOffsets(IDR_MARKMENU, MARK_COLOUR);
    ASSERT_EQ(4u, items.size());
    ASSERT_EQ(6u, colours.size());

    struct Case { int item; COLORREF value; };
    for (const Case& c : { Case{ COLOUR_BLUE, 0xFF0000 }, Case{ COLOUR_YELLOW, 0xA0FFFF },
                           Case{ COLOUR_GREEN, 0x00D000 }, Case{ COLOUR_RED, 0x0000FF } }) {
        SCOPED_TRACE(c.item);
        HWND menu = OpenMarkMenu(308, 308);
        ASSERT_NE(nullptr, menu);
        ClickMenuItem(menu, items, MARK_COLOUR);
        HWND sub = nullptr;
        ASSERT_TRUE(PumpUntil([&] { return (sub = OtherMenuWindow(menu)) != nullptr && IsWindowVisible(sub); }))
            << "Barva opened no sub-menu";
        EXPECT_GE(WindowRect(sub).left, WindowRect(menu).right - 8) << "the sub-menu must open to the side";
        ClickMenuItem(sub, colours, c.item);
        MoveTo(200, 200);
        EXPECT_TRUE(PumpUntil([&] { return ScreenPixel(308, 308) == c.value; }, 5000))
            << "mark shows " << std::hex << ScreenPixel(308, 308);
    }

    HWND menu = OpenMarkMenu(308, 308);
    ASSERT_NE(nullptr, menu);
    ClickMenuItem(menu, items, MARK_DELETE);
    HWND box = nullptr;
    ASSERT_TRUE(PumpUntil([&] { return (box = program.MessageBoxWindow()) != nullptr; })) << "no question";
    SeenBox seen;
    PumpUntil([&] { return !(seen = ReadBox(box)).text.empty(); });
    EXPECT_EQ("Opravdu odstranit tento záznam?", seen.text);
    EXPECT_TRUE(seen.yes && seen.no && !seen.ok) << "must offer Yes and No";
    EXPECT_TRUE(seen.icon);
    AnswerBox(box, IDNO);
    ASSERT_TRUE(PumpUntil([&] { return program.MessageBoxWindow() == nullptr; }));
    EXPECT_TRUE(HoldsFor([&] { return IsWindow(mark) && IsWindowVisible(mark); }, 300)) << "No deleted the note";
    EXPECT_EQ(2u, program.NoteWindows().size());

    menu = OpenMarkMenu(308, 308);
    ASSERT_NE(nullptr, menu);
    ClickMenuItem(menu, items, MARK_DELETE);
    ASSERT_TRUE(PumpUntil([&] { return (box = program.MessageBoxWindow()) != nullptr; })) << "no question";
    AnswerBox(box, IDYES);
    EXPECT_TRUE(PumpUntil([&] { return !IsWindow(mark); })) << "Yes did not delete the note";
    EXPECT_EQ(1u, program.NoteWindows().size());
    EXPECT_NE(nullptr, NoteAt(500, 200)) << "the other note must stay";
}

TEST_F(NoteE2eTest, TypingStaysInTheNoteAfterAPreviewAndAClickOnItsCaption)
{
    StartWith({ MarkNote(300, 300, ""), MarkNote(700, 300, "jiná") });
    HWND note = NoteAt(300, 300);
    ASSERT_NE(nullptr, note);
    ClickAt(308, 308, 2);
    HWND edit = GetWindow(note, GW_CHILD);
    ASSERT_TRUE(PumpUntil([&] {
        return IsExpandedNote(note) && GetForegroundWindow() == note && FocusOnThreadOf(note) == edit;
    })) << "the middle press did not expand the note with the focus in its text";
    // Where the hand then types: in the text.
    ClickAt(450, 450);

    TypeText("abc");
    ASSERT_TRUE(PumpUntil([&] { return EditText(note) == "abc"; }, 5000)) << "holds: " << EditText(note);

    MoveTo(706, 306);
    HWND preview = WaitForPreview();
    ASSERT_NE(nullptr, preview) << "the other mark opened no preview";
    EXPECT_NE(preview, GetForegroundWindow()) << "the preview became the foreground window";
    MoveTo(800, 600);
    ASSERT_TRUE(PumpUntil([&] { return Previews().empty(); }));
    TypeText("xyz");
    EXPECT_TRUE(PumpUntil([&] { return EditText(note) == "abcxyz"; }, 5000))
        << "typing after the preview was lost: " << EditText(note);

    // A click on another window first, so that the click on the caption activates the note anew.
    std::unique_ptr<HWND__, decltype(&DestroyWindow)> other(
        CreateWindowExA(0, "EDIT", "jiné okno", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 20, 560, 250, 150,
                        nullptr, nullptr, GetModuleHandleA(nullptr), nullptr), DestroyWindow);
    ClickAt(145, 650);
    ASSERT_TRUE(PumpUntil([&] { return GetForegroundWindow() == other.get(); })) << "the other window stayed inactive";
    POINT caption;
    ASSERT_TRUE(FindHitPoint(note, HTCAPTION, &caption));
    ClickAt(caption.x, caption.y);
    ASSERT_TRUE(PumpUntil([&] { return GetForegroundWindow() == note; })) << "the caption click did not activate it";
    TypeText("123");
    EXPECT_TRUE(PumpUntil([&] { return EditText(note) == "abcxyz123"; }, 5000))
        << "typing after a click on the caption was lost: " << EditText(note);
}

TEST_F(NoteE2eTest, MarkInTheLowerRightCornerStaysClickableWhileItsPreviewIsOpen)
{
    StartWith({ MarkNote(1000, 700, "v rohu\r\nobrazovky") });
    HWND mark = NoteAt(1000, 700);
    ASSERT_NE(nullptr, mark);
    const RECT markArea = WindowRect(mark);

    MoveTo(1008, 708);
    HWND preview = WaitForPreview();
    ASSERT_NE(nullptr, preview);
    const RECT shown = WindowRect(preview);
    RECT common;
    EXPECT_FALSE(IntersectRect(&common, &shown, &markArea)) << "the preview covers its mark: " << Describe(shown);
    EXPECT_TRUE(shown.left >= 0 && shown.top >= 0 && shown.right <= 1024 && shown.bottom <= 768) << Describe(shown);

    // A middle click while the preview is open.
    ClickAt(1006, 706, 2);
    ASSERT_TRUE(PumpUntil([&] { return IsExpandedNote(mark); })) << "a middle click on the mark did not expand it";
    EXPECT_EQ(mark, NoteAt(724, 518)) << "expanded at " << Describe(WindowRect(mark));
    POINT close;
    ASSERT_TRUE(FindHitPoint(mark, HTCLOSE, &close));
    ClickAt(close.x, close.y);
    ASSERT_TRUE(PumpUntil([&] { return IsMark(mark) && NoteAt(1000, 700) == mark; }));

    // A right click while the preview is open; its menu expands the note too.
    MoveTo(200, 200);
    ASSERT_TRUE(PumpUntil([&] { return Previews().empty(); }));
    MoveTo(1008, 708);
    ASSERT_NE(nullptr, WaitForPreview());
    HWND menu = OpenMarkMenu(1008, 708);
    ASSERT_NE(nullptr, menu) << "a right click on the mark opened no menu";
    ClickMenuItem(menu, PopupItemOffsets(IDR_MARKMENU), MARK_UNPACK);
    EXPECT_TRUE(PumpUntil([&] { return IsExpandedNote(mark); })) << "Rozbalit did not expand";
}

} // namespace
