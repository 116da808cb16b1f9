// "Nastavení programu" driven as a modal dialog: its fields and swatches, the size checks, the
// colour and folder buttons, what OK commits and what Cancel forgets.
#include "app/system_calls.h"
#include "app/app.h"
#include "dialogs/choosers.h"
#include "dialogs/settings_dialog.h"
#include "notes/note_collection.h"
#include "notes/preview.h"
#include "res/resource.h"
#include "storage/data_file.h"
#include "storage/note_codec.h"
#include "storage/settings.h"
#include "tests/support/app_fixture.h"
#include "tests/support/poll.h"
#include <deque>

namespace {

const char DIALOG_TITLE[] = "Nastavení programu";
const char WIDTH_ERROR[] = "Hodnota šířky značky mimo rozsah!";
const char HEIGHT_ERROR[] = "Hodnota výšky značky mimo rozsah!";

// Inside points of the two swatches and a point of the first one's outline, in client pixels.
const POINT MARK_SWATCH = { 142, 70 };
const POINT POPUP_SWATCH = { 165, 112 };
const POINT MARK_OUTLINE = { 105, 70 };

// The colour chooser as the test answers it: each call takes the next answer (-1: cancelled).
struct ChooserCall {
    COLORREF initial;
    HWND owner;
};
std::vector<ChooserCall> ChooserCalls;
std::deque<long long> ChooserAnswers;

BOOL WINAPI AnswerChooser(LPCHOOSECOLORA cc)
{
    ChooserCalls.push_back({ cc->rgbResult, cc->hwndOwner });
    long long answer = ChooserAnswers.empty() ? -1 : ChooserAnswers.front();
    if (!ChooserAnswers.empty())
        ChooserAnswers.pop_front();
    if (answer < 0)
        return FALSE;
    cc->rgbResult = static_cast<COLORREF>(answer);
    return TRUE;
}

// The folder browser as the test answers it: the folder to pick, or empty for cancel.
std::string BrowserAnswer;
std::string BrowserTitle;
std::string BrowserStart;
int BrowserCalls;

PIDLIST_ABSOLUTE WINAPI AnswerBrowser(LPBROWSEINFOA bi)
{
    ++BrowserCalls;
    BrowserTitle = bi->lpszTitle ? bi->lpszTitle : "";
    BrowserStart = BrowseStartFolder;
    return BrowserAnswer.empty() ? nullptr : ILCreateFromPathA(BrowserAnswer.c_str());
}

COLORREF PixelAt(HWND window, POINT at)
{
    HDC dc = GetDC(window);
    COLORREF colour = GetPixel(dc, at.x, at.y);
    ReleaseDC(window, dc);
    return colour;
}

// Waits (on the driver's thread) until the pixel shows colour; returns what it shows last.
COLORREF WaitForPixel(HWND window, POINT at, COLORREF colour)
{
    const DWORD start = GetTickCount();
    COLORREF seen = PixelAt(window, at);
    while (seen != colour && GetTickCount() - start < 3000) {
        Sleep(10);
        seen = PixelAt(window, at);
    }
    return seen;
}

void Click(HWND dialog, int id)
{
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

std::string FieldText(HWND dialog, int id)
{
    return WindowText(GetDlgItem(dialog, id));
}

DWORD StoredDword(const char* name)
{
    RegValue value = ReadSettingsValue(name);
    DWORD number = 0xDEADBEEF;
    if (value.exists && value.data.size() == 4)
        memcpy(&number, value.data.data(), 4);
    return number;
}

class SettingsDialogTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        g_sys.ChooseColorA = AnswerChooser;
        g_sys.SHBrowseForFolderA = AnswerBrowser;
        ChooserCalls.clear();
        ChooserAnswers.clear();
        BrowserAnswer.clear();
        BrowserTitle.clear();
        BrowserStart.clear();
        BrowserCalls = 0;
    }

    // Known settings, different from every default.
    void StartWithSettings()
    {
        StartWindowsOnly();
        Settings.PackedNoteSize = { 23, 57 };
        Settings.MarkColor = RGB(10, 20, 30);
        Settings.PopupColor = RGB(200, 100, 50);
    }

    // Opens the dialog; act runs on another thread once it is up and must end it.
    int RunDialog(const std::function<void(HWND)>& act)
    {
        int result;
        bool acted;
        dialogEnded = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        {
            WindowDriver driver("#32770", DIALOG_TITLE, act);
            result = ShowSettings();
            SetEvent(dialogEnded);
            acted = driver.Acted();
        }
        CloseHandle(dialogEnded);
        dialogEnded = nullptr;
        EXPECT_TRUE(acted) << "the dialog did not appear";
        PumpPending();
        return result;
    }

    // OK as a hand presses it: posted, not sent from the driver's thread. Then waits, without
    // asking any window, until the dialog has ended or shown a box: a click sent from another
    // thread, or that thread's questions to the windows while the program repacks its notes,
    // can leave Wine 10's server spinning for ever.
    void PressOk(HWND dialog)
    {
        ResetEvent(boxes.ShownEvent());
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
        const HANDLE taken[] = { boxes.ShownEvent(), dialogEnded };
        EXPECT_NE(static_cast<DWORD>(WAIT_TIMEOUT), WaitForMultipleObjects(2, taken, FALSE, WaitLimit(DEFAULT_WAIT_MS)))
            << "the dialog did not take OK";
    }

    HANDLE dialogEnded = nullptr;

    void ExpectSettingsUnchanged()
    {
        EXPECT_EQ(23, Settings.PackedNoteSize.cx);
        EXPECT_EQ(57, Settings.PackedNoteSize.cy);
        EXPECT_EQ(RGB(10, 20, 30), Settings.MarkColor);
        EXPECT_EQ(RGB(200, 100, 50), Settings.PopupColor);
        EXPECT_EQ(folder.Path(), Settings.DataFolder);
        EXPECT_FALSE(ReadSettingsValue("PackedNoteSizecx").exists) << "something was stored";
    }
};

TEST_F(SettingsDialogTest, OpensWithTheStoredSettingsItsIconAndAReadOnlyFolder)
{
    StartWithSettings();
    Settings.PackedNoteSize.cy = -1;   // taken from the registry unchecked: shown unsigned
    HICON icon = nullptr;
    std::string cx, cy, shownFolder;
    LONG folderStyle = 0;
    COLORREF markSwatch = 0, popupSwatch = 0, outline = 0;
    int touched = -1;
    HWND owner = nullptr;
    RECT client = {}, mainClient = {};
    const int result = RunDialog([&](HWND dialog) {
        icon = reinterpret_cast<HICON>(GetClassLongPtrA(dialog, GCLP_HICON));
        cx = FieldText(dialog, IDC_MARK_CX);
        cy = FieldText(dialog, IDC_MARK_CY);
        shownFolder = FieldText(dialog, IDC_FOLDER);
        folderStyle = GetWindowLongA(GetDlgItem(dialog, IDC_FOLDER), GWL_STYLE);
        markSwatch = WaitForPixel(dialog, MARK_SWATCH, RGB(10, 20, 30));
        popupSwatch = WaitForPixel(dialog, POPUP_SWATCH, RGB(200, 100, 50));
        outline = PixelAt(dialog, MARK_OUTLINE);
        touched = PopupColorTouched;
        owner = GetWindow(dialog, GW_OWNER);
        GetClientRect(dialog, &client);
        MapWindowPoints(dialog, nullptr, reinterpret_cast<POINT*>(&client), 2);
        GetClientRect(g_hMainWnd, &mainClient);
        MapWindowPoints(g_hMainWnd, nullptr, reinterpret_cast<POINT*>(&mainClient), 2);
        Click(dialog, IDCANCEL);
    });
    EXPECT_EQ(0, result);
    EXPECT_EQ(LoadIconA(g_hInst, MAKEINTRESOURCEA(IDI_SETTINGS)), icon);
    EXPECT_EQ("23", cx);
    EXPECT_EQ("4294967295", cy);
    EXPECT_EQ(folder.Path(), shownFolder);
    EXPECT_TRUE(folderStyle & ES_READONLY);
    EXPECT_EQ(RGB(10, 20, 30), markSwatch);
    EXPECT_EQ(RGB(200, 100, 50), popupSwatch);
    EXPECT_EQ(RGB(0, 0, 0), outline) << "swatch outline is drawn with the default black pen";
    EXPECT_EQ(0, touched);
    EXPECT_EQ(g_hMainWnd, owner);
    EXPECT_EQ(0u, boxes.Count()) << boxes.Summary();
}

// Width and height typed, then OK: either the box with the dialog left as it was, or accepted.
struct SizeCase {
    const char* cx;
    const char* cy;
    const char* error;   // null when OK must be accepted
};

class MarkSizeCheckTest : public SettingsDialogTest, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(MarkSizeCheckTest, OutOfRangeIsRefusedWithTheDialogKeptAndNothingChanged)
{
    const SizeCase size = GetParam();
    StartWithSettings();
    HWND mark = AddPackedNote(600, 500, "značka");
    bool openAfterOk = false;
    std::string cxAfter, cyAfter;
    const int result = RunDialog([&](HWND dialog) {
        SetDlgItemTextA(dialog, IDC_MARK_CX, size.cx);
        SetDlgItemTextA(dialog, IDC_MARK_CY, size.cy);
        PressOk(dialog);
        openAfterOk = IsWindow(dialog) && IsWindowVisible(dialog);
        cxAfter = FieldText(dialog, IDC_MARK_CX);
        cyAfter = FieldText(dialog, IDC_MARK_CY);
        if (openAfterOk)
            Click(dialog, IDCANCEL);
    });

    if (size.error) {
        ASSERT_EQ(1u, boxes.Count()) << boxes.Summary();
        EXPECT_EQ(size.error, boxes.Boxes()[0].text);
        EXPECT_EQ("Memovky 1.5", boxes.Boxes()[0].caption);
        EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONERROR), boxes.Boxes()[0].flags & (MB_TYPEMASK | MB_ICONMASK));
        EXPECT_TRUE(openAfterOk) << "the dialog closed on a refused size";
        EXPECT_EQ(size.cx, cxAfter);
        EXPECT_EQ(size.cy, cyAfter);
        EXPECT_EQ(0, result);
        ExpectSettingsUnchanged();
        EXPECT_TRUE(SameRect(RECT{ 600, 500, 623, 557 }, WindowRect(mark))) << Describe(WindowRect(mark));
    } else {
        EXPECT_EQ(0u, boxes.Count()) << boxes.Summary();
        EXPECT_FALSE(openAfterOk);
        EXPECT_EQ(1, result);
        const LONG cx = atoi(size.cx), cy = atoi(size.cy);
        EXPECT_EQ(cx, Settings.PackedNoteSize.cx);
        EXPECT_EQ(cy, Settings.PackedNoteSize.cy);
        EXPECT_EQ(static_cast<DWORD>(cx), StoredDword("PackedNoteSizecx"));
        EXPECT_EQ(static_cast<DWORD>(cy), StoredDword("PackedNoteSizecy"));
        EXPECT_TRUE(SameRect(RECT{ 600, 500, 600 + cx, 500 + cy }, WindowRect(mark))) << Describe(WindowRect(mark));
    }
}

INSTANTIATE_TEST_SUITE_P(Limits, MarkSizeCheckTest, ::testing::Values(
    SizeCase{ "3", "16", WIDTH_ERROR }, SizeCase{ "4", "16", nullptr }, SizeCase{ "100", "16", nullptr },
    SizeCase{ "101", "16", WIDTH_ERROR }, SizeCase{ "", "16", WIDTH_ERROR },
    SizeCase{ "16", "3", HEIGHT_ERROR }, SizeCase{ "16", "4", nullptr }, SizeCase{ "16", "100", nullptr },
    SizeCase{ "16", "101", HEIGHT_ERROR }, SizeCase{ "16", "", HEIGHT_ERROR },
    // The width is checked first; the height is then not looked at.
    SizeCase{ "0", "101", WIDTH_ERROR },
    // Beyond 32 bits is not a large size.
    SizeCase{ "4294967300", "16", WIDTH_ERROR }));

TEST_F(SettingsDialogTest, ChosenColoursShowInTheSwatchesAndCancelForgetsThem)
{
    StartWithSettings();
    const HBRUSH brush = PopupClassBrush();
    ChooserAnswers = { RGB(0, 128, 255), RGB(1, 250, 3) };
    COLORREF markSwatch = 0, popupSwatch = 0;
    const int cancelled = RunDialog([&](HWND dialog) {
        Click(dialog, IDC_MARK_COLOR);
        Click(dialog, IDC_POPUP_COLOR);
        markSwatch = WaitForPixel(dialog, MARK_SWATCH, RGB(0, 128, 255));
        popupSwatch = WaitForPixel(dialog, POPUP_SWATCH, RGB(1, 250, 3));
        Click(dialog, IDCANCEL);
    });
    EXPECT_EQ(0, cancelled);
    ASSERT_EQ(2u, ChooserCalls.size());
    EXPECT_EQ(RGB(10, 20, 30), ChooserCalls[0].initial) << "the chooser starts from the working mark colour";
    EXPECT_EQ(RGB(200, 100, 50), ChooserCalls[1].initial);
    EXPECT_EQ(nullptr, ChooserCalls[0].owner);
    EXPECT_EQ(nullptr, ChooserCalls[1].owner);
    EXPECT_EQ(RGB(0, 128, 255), markSwatch);
    EXPECT_EQ(RGB(1, 250, 3), popupSwatch);
    ExpectSettingsUnchanged();
    EXPECT_EQ(brush, PopupClassBrush()) << "Cancel re-registered the preview class";

    // The next opening starts from the stored colours again.
    COLORREF work = 0;
    markSwatch = popupSwatch = 0;
    RunDialog([&](HWND dialog) {
        work = WorkMarkColor;
        markSwatch = WaitForPixel(dialog, MARK_SWATCH, RGB(10, 20, 30));
        popupSwatch = WaitForPixel(dialog, POPUP_SWATCH, RGB(200, 100, 50));
        Click(dialog, IDCANCEL);
    });
    EXPECT_EQ(RGB(10, 20, 30), work);
    EXPECT_EQ(RGB(10, 20, 30), markSwatch);
    EXPECT_EQ(RGB(200, 100, 50), popupSwatch);
}

// OK with a new size: every note is collapsed again at that size and shown; all five values stored.
TEST_F(SettingsDialogTest, OkRepacksEveryNoteAtTheNewSizeAndStoresAllFiveValues)
{
    StartWithSettings();
    HWND packed = AddPackedNote(600, 500, "sbalená");
    HWND hidden = AddPackedNote(700, 520, "skrytá");
    HWND expanded = AddExpandedNote("rozbalená");
    SetNoteColor(packed, RGB(0, 0, 255));
    ShowWindow(hidden, SW_HIDE);
    ChooserAnswers = { RGB(0, 128, 255), RGB(1, 250, 3) };
    const int result = RunDialog([&](HWND dialog) {
        SetDlgItemTextA(dialog, IDC_MARK_CX, "30");
        SetDlgItemTextA(dialog, IDC_MARK_CY, "20");
        Click(dialog, IDC_MARK_COLOR);
        Click(dialog, IDC_POPUP_COLOR);
        PressOk(dialog);
    });
    EXPECT_EQ(1, result);
    EXPECT_EQ(0u, boxes.Count()) << boxes.Summary();
    const struct { HWND note; int x, y; } marks[] = { { packed, 600, 500 }, { hidden, 700, 520 }, { expanded, 10, 10 } };
    for (const auto& mark : marks) {
        SCOPED_TRACE(WindowText(Notes.items[FindNote(mark.note)].hwndEdit));
        EXPECT_TRUE(IsNotePacked(mark.note));
        EXPECT_TRUE(IsWindowVisible(mark.note));
        EXPECT_TRUE(SameRect(RECT{ mark.x, mark.y, mark.x + 30, mark.y + 20 }, WindowRect(mark.note)))
            << Describe(WindowRect(mark.note));
    }
    EXPECT_EQ(RGB(0, 0, 255), GetNoteColor(packed)) << "existing marks keep their colours";

    EXPECT_EQ(RGB(0, 128, 255), Settings.MarkColor);
    EXPECT_EQ(RGB(1, 250, 3), Settings.PopupColor);
    EXPECT_EQ(5, CountSettingsValues());
    EXPECT_EQ(RGB(0, 128, 255), StoredDword("MarkColor"));
    EXPECT_EQ(RGB(1, 250, 3), StoredDword("PopupColor"));
    EXPECT_EQ(30u, StoredDword("PackedNoteSizecx"));
    EXPECT_EQ(20u, StoredDword("PackedNoteSizecy"));
    RegValue stored = ReadSettingsValue("DataFolder");
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), stored.type);
    EXPECT_EQ(folder.Path(), std::string(stored.data.begin(), stored.data.end()));
    EXPECT_EQ(RGB(1, 250, 3), BrushColour(PopupClassBrush())) << "new previews must get the new colour";

    // A note added now gets the new default colour.
    HWND added = AddPackedNote(650, 600);
    EXPECT_EQ(RGB(0, 128, 255), GetNoteColor(added));
    EXPECT_TRUE(SameRect(RECT{ 650, 600, 680, 620 }, WindowRect(added)));
}

TEST_F(SettingsDialogTest, OkWithoutAnyChangeStillRepacksAndStoresEverything)
{
    StartWithSettings();
    HWND expanded = AddExpandedNote("rozbalená");
    HideAll();
    const HBRUSH brush = PopupClassBrush();
    EXPECT_EQ(1, RunDialog([&](HWND dialog) { PressOk(dialog); }));
    EXPECT_TRUE(IsNotePacked(expanded));
    EXPECT_TRUE(IsWindowVisible(expanded));
    EXPECT_EQ(5, CountSettingsValues());
    EXPECT_EQ(23u, StoredDword("PackedNoteSizecx"));
    EXPECT_EQ(57u, StoredDword("PackedNoteSizecy"));
    EXPECT_EQ(RGB(10, 20, 30), StoredDword("MarkColor"));
    EXPECT_EQ(RGB(200, 100, 50), StoredDword("PopupColor"));
    EXPECT_EQ(brush, PopupClassBrush()) << "the preview class was re-registered without its button being used";
}

// The preview colour's button counts as used even when its chooser was cancelled.
TEST_F(SettingsDialogTest, PreviewClassIsRegisteredAgainOnceItsButtonWasUsed)
{
    StartWithSettings();
    const HBRUSH before = PopupClassBrush();
    ChooserAnswers = { -1, RGB(5, 6, 7) };
    int touched = -1;
    EXPECT_EQ(1, RunDialog([&](HWND dialog) {
        Click(dialog, IDC_POPUP_COLOR);
        touched = PopupColorTouched;
        Click(dialog, IDC_MARK_COLOR);
        PressOk(dialog);
    }));
    EXPECT_EQ(1, touched);
    EXPECT_EQ(RGB(200, 100, 50), Settings.PopupColor);
    EXPECT_EQ(RGB(5, 6, 7), Settings.MarkColor);
    const HBRUSH after = PopupClassBrush();
    EXPECT_NE(before, after) << "not re-registered";
    EXPECT_EQ(RGB(200, 100, 50), BrushColour(after));
    EXPECT_EQ(0u, GetObjectType(before)) << "the old brush was not freed";

    // Only the mark colour's button: no re-registration.
    ChooserAnswers = { RGB(8, 9, 10) };
    EXPECT_EQ(1, RunDialog([&](HWND dialog) {
        Click(dialog, IDC_MARK_COLOR);
        PressOk(dialog);
    }));
    EXPECT_EQ(after, PopupClassBrush());
    EXPECT_EQ(RGB(8, 9, 10), Settings.MarkColor);
}

TEST_F(SettingsDialogTest, BrowseFillsTheFieldAndCancelledBrowsingLeavesIt)
{
    StartWithSettings();
    TempFolder other;
    BrowserAnswer = other.Path();
    std::string picked, afterCancel;
    const int result = RunDialog([&](HWND dialog) {
        Click(dialog, IDC_BROWSE);
        picked = FieldText(dialog, IDC_FOLDER);
        BrowserAnswer.clear();
        Click(dialog, IDC_BROWSE);
        afterCancel = FieldText(dialog, IDC_FOLDER);
        Click(dialog, IDCANCEL);
    });
    EXPECT_EQ(0, result);
    EXPECT_EQ(2, BrowserCalls);
    EXPECT_EQ("Určit datovou složku", BrowserTitle);
    EXPECT_EQ(other.Path(), picked);
    EXPECT_EQ(other.Path(), BrowserStart) << "the second browse must start from the field";
    EXPECT_EQ(other.Path(), afterCancel);
    EXPECT_EQ(folder.Path(), Settings.DataFolder) << "Cancel must not change the folder";
}

// A new folder is stored at once but used only from the next start.
TEST_F(SettingsDialogTest, NewFolderTakesEffectOnlyAtTheNextStart)
{
    StartWithSettings();
    TempFolder other;
    StoredNote waiting;
    waiting.x = 444;
    waiting.y = 333;
    waiting.color = 255;
    waiting.state = NOTE_PACKED;
    waiting.year = 2026;
    waiting.month = 1;
    waiting.day = 2;
    waiting.text = "v nové složce";
    ASSERT_TRUE(WriteFileBytes(other.File("notes.bin"), EncodeNotes({ waiting })));
    const std::string oldFile = Settings.DataFile;
    AddPackedNote(600, 500, "stará");
    BrowserAnswer = other.Path();
    EXPECT_EQ(1, RunDialog([&](HWND dialog) {
        Click(dialog, IDC_BROWSE);
        PressOk(dialog);
    }));
    EXPECT_EQ(other.Path(), Settings.DataFolder);
    EXPECT_EQ(oldFile, Settings.DataFile);
    RegValue stored = ReadSettingsValue("DataFolder");
    EXPECT_EQ(other.Path(), std::string(stored.data.begin(), stored.data.end()));

    // The save command still writes into the old folder and leaves the new one alone.
    SendMessageA(g_hMainWnd, WM_COMMAND, IDM_SAVE, 0);
    const std::vector<uint8_t> saved = ReadFileBytes(folder.File("notes.bin"));
    DecodedNotes inOld = DecodeNotes(saved.data(), saved.size());
    ASSERT_EQ(1u, inOld.notes.size());
    EXPECT_EQ("stará", inOld.notes[0].text);
    EXPECT_EQ(EncodeNotes({ waiting }), ReadFileBytes(other.File("notes.bin")));

    // The next start reads the registry and composes the path in the new folder.
    EndProgramInProcess();
    ASSERT_EQ(1, InitApplication());
    EXPECT_EQ(other.File("notes.bin"), Settings.DataFile);
    ASSERT_EQ(1, Notes.count);
    EXPECT_EQ("v nové složce", WindowText(Notes.items[0].hwndEdit));
    EXPECT_TRUE(SameRect(RECT{ 444, 333, 444 + 23, 333 + 57 }, WindowRect(Notes.items[0].hwnd)))
        << Describe(WindowRect(Notes.items[0].hwnd));
}

} // namespace
