// A note created packed is built in the mark's look at once; it must end exactly like a note
// created full and then packed, and behave the same afterwards.
#include "app/app.h"
#include "app/message_boxes.h"
#include "notes/note_collection.h"
#include "notes/note_window.h"
#include "notes/preview.h"
#include "storage/settings.h"
#include "tests/support/app_fixture.h"
#include "tests/support/poll.h"

namespace {

// Everything about one note that a user or our code can see.
struct NoteLook {
    DWORD style, exStyle;
    RECT window, client;
    bool visible, topmost, hasMenuBar, menuKept;
    std::string title;
    DWORD editStyle;
    RECT editWindow;
    bool editVisible;
    std::string editText;
    NoteRecord record;
};

NoteLook LookOf(HWND note)
{
    NoteLook look = {};
    look.style = GetWindowLongA(note, GWL_STYLE);
    look.exStyle = GetWindowLongA(note, GWL_EXSTYLE);
    look.window = WindowRect(note);
    GetClientRect(note, &look.client);
    look.visible = IsWindowVisible(note) != 0;
    look.topmost = (look.exStyle & WS_EX_TOPMOST) != 0;
    look.hasMenuBar = GetMenu(note) != nullptr;
    look.title = WindowText(note);
    look.record = Notes.items[FindNote(note)];
    look.menuKept = IsMenu(look.record.hmenu) != 0;
    HWND edit = GetWindow(note, GW_CHILD);
    look.editStyle = GetWindowLongA(edit, GWL_STYLE);
    look.editWindow = WindowRect(edit);
    OffsetRect(&look.editWindow, -look.window.left, -look.window.top);
    look.editVisible = IsWindowVisible(edit) != 0;
    look.editText = WindowText(edit);
    return look;
}

// Compares two looks, the second one of a note placed dx to the right.
void ExpectSameLook(const NoteLook& expected, const NoteLook& actual, int dx)
{
    EXPECT_EQ(expected.style, actual.style) << std::hex << expected.style << " " << actual.style;
    EXPECT_EQ(expected.exStyle, actual.exStyle) << std::hex << expected.exStyle << " " << actual.exStyle;
    RECT moved = expected.window;
    OffsetRect(&moved, dx, 0);
    EXPECT_TRUE(SameRect(moved, actual.window)) << Describe(moved) << " " << Describe(actual.window);
    EXPECT_TRUE(SameRect(expected.client, actual.client)) << Describe(actual.client);
    EXPECT_EQ(expected.visible, actual.visible);
    EXPECT_EQ(expected.topmost, actual.topmost);
    EXPECT_EQ(expected.hasMenuBar, actual.hasMenuBar);
    EXPECT_TRUE(actual.menuKept);
    EXPECT_EQ(expected.title, actual.title);
    EXPECT_EQ(expected.editStyle, actual.editStyle) << std::hex << expected.editStyle << " " << actual.editStyle;
    EXPECT_TRUE(SameRect(expected.editWindow, actual.editWindow)) << Describe(actual.editWindow);
    EXPECT_EQ(expected.editVisible, actual.editVisible);
    EXPECT_EQ(expected.editText, actual.editText);
    EXPECT_EQ(expected.record.state, actual.record.state);
    EXPECT_EQ(expected.record.markColor, actual.record.markColor);
    EXPECT_EQ(expected.record.x + dx, actual.record.x);
    EXPECT_EQ(expected.record.y, actual.record.y);
    EXPECT_EQ(expected.record.tracking, actual.record.tracking);
    EXPECT_EQ(expected.record.armed, actual.record.armed);
    EXPECT_EQ(expected.record.hover, actual.record.hover);
    EXPECT_EQ(expected.record.reserved, actual.record.reserved);
    EXPECT_STREQ(expected.record.name, actual.record.name);
}

class PackedCreationTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        StartWindowsOnly();
        SetCursorPos(900, 700);
        const char* text = "Nákup:\r\n- chleba\r\n- máslo a dlouhý řádek, který se při šestnácti bodech zalomí";
        // The way a note used to become a mark: made full, shown, then packed.
        ASSERT_EQ(1, AddNote(100, 200, text, NOTE_EXPANDED));
        reference = Notes.items[0].hwnd;
        PackNote(reference);
        // Straight into the mark's look.
        ASSERT_EQ(1, AddNote(140, 200, text, NOTE_PACKED));
        direct = Notes.items[1].hwnd;
        // One creation time for both, so that a minute turning between the two does not count.
        const NoteTime created = { 2026, 12, 6, 14, 5 };
        for (HWND note : { reference, direct }) {
            SetNoteTime(note, created);
            UpdateNoteTitle(note);
        }
        // Both have had their leave report: the pointer is elsewhere.
        PumpUntil([&] { return GetNoteArmed(reference) && GetNoteArmed(direct); });
        PumpPending();
    }

    HWND reference = nullptr;
    HWND direct = nullptr;
};

TEST_F(PackedCreationTest, EndsExactlyLikeANotePackedAfterwards)
{
    ExpectSameLook(LookOf(reference), LookOf(direct), 40);
    EXPECT_EQ(0u, boxes.Count()) << boxes.Summary();
}

TEST_F(PackedCreationTest, IsPaintedInItsColourAndOutlined)
{
    SetNoteColor(direct, RGB(0, 208, 0));
    RedrawNow(direct);
    HDC dc = GetDC(direct);
    COLORREF inside = 0, edge = 0;
    PumpUntil([&] {
        PumpPending();
        inside = GetPixel(dc, 8, 8);
        edge = GetPixel(dc, 0, 8);
        return inside == RGB(0, 208, 0) && edge == RGB(0, 0, 0);
    }, 3000);
    ReleaseDC(direct, dc);
    EXPECT_EQ(RGB(0, 208, 0), inside);
    EXPECT_EQ(RGB(0, 0, 0), edge);
}

TEST_F(PackedCreationTest, OpensItsPreviewAndExpandsLikeTheOther)
{
    // The hover protocol runs on the messages the mark receives.
    SendMessageA(direct, WM_MOUSEMOVE, 0, MAKELPARAM(4, 4));
    EXPECT_NE(nullptr, PreviewWindow);
    EXPECT_EQ(0, GetNoteArmed(direct));
    SendMessageA(direct, WM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(nullptr, PreviewWindow);
    EXPECT_EQ(1, GetNoteArmed(direct));

    UnpackNote(reference);
    UnpackNote(direct);
    NoteLook expanded = LookOf(reference);
    NoteLook other = LookOf(direct);
    EXPECT_EQ(300, other.window.right - other.window.left);
    EXPECT_EQ(250, other.window.bottom - other.window.top);
    ExpectSameLook(expanded, other, 40);
    EXPECT_EQ(GetWindow(direct, GW_CHILD), GetFocus());

    // And packed again, both go back where they were made.
    PackNote(reference);
    PackNote(direct);
    ExpectSameLook(LookOf(reference), LookOf(direct), 40);
}

} // namespace
