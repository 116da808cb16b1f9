// The boxes: caption, flags, texts, answers; and one real box seen on the screen.
#include "app/system_calls.h"
#include "app/app.h"
#include "app/message_boxes.h"
#include "tests/support/app_fixture.h"
#include "tests/support/poll.h"

namespace {

using MessageBoxesTest = AppTest;

TEST_F(MessageBoxesTest, EachBoxHasNoOwnerTheProgramCaptionAndItsFlags)
{
    ErrorBox("chyba");
    FatalBox("fatální");
    AskYesNo("otázka?");
    WarningBox("pozor");
    ASSERT_EQ(4u, boxes.Count());
    // Task-modal (0x2000) and top-most (0x40000), or a box could open unseen behind the notes.
    const UINT flags[] = { 0x42010, 0x42010, 0x42024, 0x42030 };
    const char* texts[] = { "chyba", "fatální", "otázka?", "pozor" };
    for (size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(texts[i]);
        EXPECT_EQ(nullptr, boxes.Boxes()[i].owner);
        EXPECT_EQ("Memovky 1.5", boxes.Boxes()[i].caption);
        EXPECT_EQ(flags[i], boxes.Boxes()[i].flags);
        EXPECT_EQ(texts[i], boxes.Boxes()[i].text);
    }
}

TEST_F(MessageBoxesTest, FatalBoxWithoutTextShowsTheFixedThreeLines)
{
    FatalBox(nullptr);
    ASSERT_EQ(1u, boxes.Count());
    EXPECT_EQ("Fatální chyba\nDoporučujeme program ukončit.\nObraťte se prosím na technickou podporu",
              boxes.Boxes()[0].text);
}

TEST_F(MessageBoxesTest, AskYesNoIsOneOnlyForYes)
{
    boxes.QueueAnswer(IDYES);
    boxes.QueueAnswer(IDNO);
    boxes.QueueAnswer(IDCANCEL);
    EXPECT_EQ(1, AskYesNo("a?"));
    EXPECT_EQ(0, AskYesNo("b?"));
    EXPECT_EQ(0, AskYesNo("c?"));
}

// A real box: what a user sees, and every window of the program disabled while it is open.
TEST_F(MessageBoxesTest, RealErrorBoxIsTaskModalAndShowsTextAndCaption)
{
    StartWindowsOnly();
    HWND note = AddExpandedNote();
    ASSERT_NE(nullptr, note);
    g_sys.MessageBoxA = MessageBoxA;

    std::string seenText;
    bool mainDisabled = false, noteDisabled = false, hasOk = false, hasIcon = false, topMost = false;
    WindowDriver driver("#32770", "Memovky 1.5", [&](HWND box) {
        // The box fills in its controls before it shows; wait for its text.
        for (int i = 0; i < 500 && seenText.empty(); ++i, Sleep(10)) {
            char text[256] = "";
            GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
            seenText = text;
        }
        topMost = (GetWindowLongA(box, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
        mainDisabled = !IsWindowEnabled(g_hMainWnd);
        noteDisabled = !IsWindowEnabled(note);
        hasOk = GetDlgItem(box, IDOK) != nullptr;
        for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
            if (ClassNameOf(child) == "Static" && (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
                hasIcon = true;
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(IDOK, ErrorBox("Nelze vytvořit datový soubor"));
    ASSERT_TRUE(driver.Acted()) << "no box appeared";
    EXPECT_EQ("Nelze vytvořit datový soubor", seenText);
    EXPECT_TRUE(mainDisabled) << "main window stayed enabled under a task-modal box";
    EXPECT_TRUE(noteDisabled) << "note stayed enabled under a task-modal box";
    EXPECT_TRUE(hasOk);
    EXPECT_TRUE(hasIcon);
    EXPECT_TRUE(topMost) << "the box can open behind the top-most notes";
    EXPECT_TRUE(IsWindowEnabled(g_hMainWnd)) << "main window not enabled again";
}

TEST_F(MessageBoxesTest, RedrawNowErasesAndPaintsBeforeReturning)
{
    StartWindowsOnly();
    ShowWindow(g_hMainWnd, SW_SHOW);
    UpdateWindow(g_hMainWnd);
    InvalidateRect(g_hMainWnd, nullptr, FALSE);
    ValidateRect(g_hMainWnd, nullptr);
    RECT update;
    ASSERT_FALSE(GetUpdateRect(g_hMainWnd, &update, FALSE));
    EXPECT_TRUE(RedrawNow(g_hMainWnd));
    // Invalidated (and erased) at once; painting follows through WM_PAINT.
    EXPECT_TRUE(GetUpdateRect(g_hMainWnd, &update, FALSE));
    PumpPending();
    EXPECT_FALSE(GetUpdateRect(g_hMainWnd, &update, FALSE));
}

} // namespace
