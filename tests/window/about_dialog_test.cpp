// The About box: owner, place, texts and icon, and what each way of closing it returns.
#include "app/app.h"
#include "dialogs/about_dialog.h"
#include "notes/note_collection.h"
#include "res/resource.h"
#include "tests/support/app_fixture.h"
#include "tests/support/poll.h"

namespace {

const char ABOUT_TITLE[] = "O Programu Memovky";

// What the open box looked like, gathered on the driver's thread.
struct AboutSeen {
    HWND owner = nullptr;
    bool mainEnabled = true;
    bool noteEnabled = false;
    RECT rect = {};
    std::vector<std::string> texts;     // every control, in template order
    HICON classIcon = nullptr;
    HICON pictureIcon = nullptr;
    bool staysOpenOnOtherCommands = false;
    bool looked = false;
};

void Look(HWND dialog, HWND note, AboutSeen& seen)
{
    seen.owner = GetWindow(dialog, GW_OWNER);
    seen.mainEnabled = IsWindowEnabled(g_hMainWnd) != FALSE;
    seen.noteEnabled = note && IsWindowEnabled(note);
    seen.rect = WindowRect(dialog);
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON && ClassNameOf(child) == "Static")
            seen.pictureIcon = reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
        else
            seen.texts.push_back(WindowText(child));
    }
    seen.classIcon = reinterpret_cast<HICON>(GetClassLongPtrA(dialog, GCLP_HICON));
    // Commands other than OK and Cancel leave the box open (a sent message is handled at once).
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDM_ABOUT, 0), 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(3, 0), 0);
    seen.staysOpenOnOtherCommands = IsWindowVisible(dialog) != FALSE;
    seen.looked = true;
}

void PressOk(HWND dialog)
{
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
}

class AboutDialogTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        StartWindowsOnly();
        // Another icon on the shared dialog class, so only the box itself can put the right one there.
        HWND other = CreateWindowExA(0, "#32770", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, g_hInst, nullptr);
        SetClassLongPtrA(other, GCLP_HICON, reinterpret_cast<LONG_PTR>(LoadIconA(g_hInst, MAKEINTRESOURCEA(IDI_APP))));
        DestroyWindow(other);
    }

    // Asks sender for the box, looks at it (as the note, when one asked) and presses OK.
    static AboutSeen OpenFrom(HWND sender, HWND note = nullptr)
    {
        AboutSeen seen;
        WindowDriver driver("#32770", ABOUT_TITLE, [&](HWND dialog) {
            Look(dialog, note, seen);
            PressOk(dialog);
        });
        SendMessageA(sender, WM_COMMAND, MAKEWPARAM(IDM_ABOUT, 0), 0);
        driver.Acted();
        return seen;
    }

    // Called once the driver is joined, so everything it saw is complete.
    void ExpectTheBox(const AboutSeen& seen)
    {
        ASSERT_TRUE(seen.looked) << "no About box appeared";
        EXPECT_EQ(g_hMainWnd, seen.owner);
        EXPECT_FALSE(seen.mainEnabled) << "the main window must be disabled while the box is open";
        EXPECT_EQ(LoadIconA(nullptr, IDI_INFORMATION), seen.classIcon);
        EXPECT_NE(nullptr, seen.pictureIcon) << "the program icon is missing";
        EXPECT_EQ((std::vector<std::string>{ "OK", AUTHOR_LINE, MAKER_HOST, "Memovky pro Windows  v. 1.5" }),
                  seen.texts);
        EXPECT_TRUE(seen.staysOpenOnOtherCommands);

        // Centred: across the screen, and down the part of it the taskbar leaves free.
        RECT work;
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
        const int centreX = (seen.rect.left + seen.rect.right) / 2, centreY = (seen.rect.top + seen.rect.bottom) / 2;
        EXPECT_NEAR(GetSystemMetrics(SM_CXSCREEN) / 2, centreX, 1) << Describe(seen.rect);
        EXPECT_NEAR((work.top + work.bottom) / 2, centreY, 1) << Describe(seen.rect) << " in " << Describe(work);
        EXPECT_TRUE(IsWindowEnabled(g_hMainWnd)) << "the main window stayed disabled";
    }
};

TEST_F(AboutDialogTest, FromTheMainWindowOkEndsWithOne)
{
    ExpectTheBox(OpenFrom(g_hMainWnd));
    AboutSeen again;
    int result;
    {
        WindowDriver driver("#32770", ABOUT_TITLE, [&](HWND dialog) {
            again.looked = true;
            PressOk(dialog);
        });
        result = ShowAbout();
    }
    ASSERT_TRUE(again.looked) << "no About box appeared";
    EXPECT_EQ(1, result);
    EXPECT_TRUE(TopWindows(0, "#32770").empty()) << "the box is still there";
}

TEST_F(AboutDialogTest, FromANoteTheMainWindowOwnsItAndTheNoteStaysEnabled)
{
    HWND note = AddExpandedNote("poznámka");
    ASSERT_NE(nullptr, note);
    const AboutSeen seen = OpenFrom(note, note);
    ExpectTheBox(seen);
    EXPECT_TRUE(seen.noteEnabled) << "the note that asked must stay enabled";
    EXPECT_TRUE(IsWindow(note));
    EXPECT_EQ(1, Notes.count);
}

// Each way a user closes the box, with the dialog's own result and what ShowAbout makes of it.
struct CloseWay {
    const char* name;
    void (*close)(HWND dialog);
    INT_PTR result;
};

class AboutCloseTest : public AboutDialogTest, public ::testing::WithParamInterface<CloseWay> {};

TEST_P(AboutCloseTest, EndsWithItsResult)
{
    const CloseWay way = GetParam();
    // A box that ignores the way is ended with OK after a while, so the test fails instead of hanging.
    bool ignored = false;
    int boxes = 0;
    auto closeOrForce = [&](HWND dialog) {
        ++boxes;
        way.close(dialog);
        for (int i = 0; i < 500 && IsWindowVisible(dialog); ++i)
            Sleep(10);
        if (IsWindowVisible(dialog)) {
            ignored = true;
            PressOk(dialog);
        }
    };
    INT_PTR result;
    {
        WindowDriver driver("#32770", ABOUT_TITLE, closeOrForce);
        result = DialogBoxParamA(g_hInst, MAKEINTRESOURCEA(IDD_ABOUT), g_hMainWnd, AboutDlgProc, 0);
    }
    ASSERT_EQ(1, boxes) << "no About box appeared";
    EXPECT_FALSE(ignored) << "the box did not close";
    EXPECT_EQ(way.result, result);
    int shown;
    {
        WindowDriver driver("#32770", ABOUT_TITLE, closeOrForce);
        shown = ShowAbout();
    }
    ASSERT_EQ(2, boxes) << "no About box appeared";
    EXPECT_FALSE(ignored) << "the box did not close";
    EXPECT_EQ(way.result == IDOK ? 1 : 0, shown);
}

// Real keys and clicks need the box in front; it is, since it was just activated.
void ClickOk(HWND dialog)
{
    const RECT button = WindowRect(GetDlgItem(dialog, IDOK));
    Xdo("mousemove " + std::to_string((button.left + button.right) / 2) + " "
        + std::to_string((button.top + button.bottom) / 2) + " click 1");
}

INSTANTIATE_TEST_SUITE_P(Ways, AboutCloseTest, ::testing::Values(
    CloseWay{ "OkCommand", PressOk, IDOK },
    CloseWay{ "OkClicked", ClickOk, IDOK },
    CloseWay{ "Enter", [](HWND) { Xdo("key Return"); }, IDOK },
    CloseWay{ "Escape", [](HWND) { Xdo("key Escape"); }, IDCANCEL },
    CloseWay{ "CloseBox", [](HWND dialog) { PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }, IDCANCEL }),
    [](const ::testing::TestParamInfo<CloseWay>& info) { return std::string(info.param.name); });

} // namespace
