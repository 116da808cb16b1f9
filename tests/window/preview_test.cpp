// The hover preview: one at a time, its window, size, place, painting and its class's colour.
#include "app/app.h"
#include "notes/note_collection.h"
#include "notes/preview.h"
#include "notes/text_measure.h"
#include "storage/settings.h"
#include "tests/support/app_fixture.h"
#include "tests/support/poll.h"
#include "tests/window/message_log.h"
#include <map>
#include <set>

namespace {

using PreviewTest = AppTest;

// Size of text drawn with the system font, the font every fresh device context starts with.
SIZE SystemFontExtent(const char* text)
{
    HDC dc = CreateCompatibleDC(nullptr);
    SIZE size = {};
    GetTextExtentPoint32A(dc, text, lstrlenA(text), &size);
    DeleteDC(dc);
    return size;
}

SIZE SizeOf(HWND window)
{
    const RECT r = WindowRect(window);
    return { r.right - r.left, r.bottom - r.top };
}

TEST_F(PreviewTest, ClassIsRegisteredWithABrushOfThePreviewColour)
{
    StartWindowsOnly();
    WNDCLASSEXA wc = { sizeof wc };
    ASSERT_TRUE(GetClassInfoExA(g_hInst, "DAVududPopupClass", &wc));
    EXPECT_EQ(11u, wc.style);
    EXPECT_EQ(reinterpret_cast<WNDPROC>(PopupWndProc), wc.lpfnWndProc);
    EXPECT_EQ(0, wc.cbClsExtra);
    EXPECT_EQ(0, wc.cbWndExtra);
    EXPECT_EQ(LoadCursorA(nullptr, IDC_ARROW), wc.hCursor);
    EXPECT_NE(nullptr, wc.hIcon);
    EXPECT_NE(nullptr, wc.hIconSm);
    EXPECT_EQ(nullptr, wc.lpszMenuName);
    ASSERT_EQ(OBJ_BRUSH, static_cast<int>(GetObjectType(wc.hbrBackground)));
    LOGBRUSH lb = {};
    GetObjectA(wc.hbrBackground, sizeof lb, &lb);
    EXPECT_EQ(static_cast<UINT>(BS_SOLID), lb.lbStyle);
    EXPECT_EQ(Settings.PopupColor, lb.lbColor);
}

TEST_F(PreviewTest, OnePreviewWithItsOwnCopyOfTheTextSizedByTheSystemFont)
{
    StartWindowsOnly();
    HWND mark = AddPackedNote(200, 200, "první\r\ndruhá delší");
    HWND other = AddPackedNote(400, 400, "jiná");

    ASSERT_EQ(1, ShowPopup(mark));
    HWND preview = PreviewWindow;
    ASSERT_NE(nullptr, preview);
    EXPECT_TRUE(IsWindowVisible(preview));
    EXPECT_EQ("DAVududPopupClass", ClassNameOf(preview));
    EXPECT_EQ("popup", WindowText(preview));
    EXPECT_EQ(g_hMainWnd, GetWindow(preview, GW_OWNER));
    EXPECT_EQ(static_cast<DWORD>(WS_POPUP | WS_BORDER),
              GetWindowLongA(preview, GWL_STYLE) & ~(WS_VISIBLE | WS_CLIPSIBLINGS))
        << std::hex << GetWindowLongA(preview, GWL_STYLE);
    EXPECT_EQ(static_cast<DWORD>(WS_EX_TOPMOST | WS_EX_NOACTIVATE),
              GetWindowLongA(preview, GWL_EXSTYLE) & ~WS_EX_WINDOWEDGE)
        << std::hex << GetWindowLongA(preview, GWL_EXSTYLE);
    ASSERT_NE(nullptr, PreviewText);
    EXPECT_STREQ(L"první\r\ndruhá delší", PreviewText);

    const SIZE first = SystemFontExtent("první"), second = SystemFontExtent("druhá delší");
    const SIZE want = { std::max(first.cx, second.cx) + 5, first.cy + second.cy + 8 };
    EXPECT_EQ(want.cx, SizeOf(preview).cx);
    EXPECT_EQ(want.cy, SizeOf(preview).cy);

    // The preview keeps the text it was opened with.
    SetWindowTextA(Notes.items[FindNote(mark)].hwndEdit, "přepsáno");
    EXPECT_STREQ(L"první\r\ndruhá delší", PreviewText);

    // Only one preview: asking again, for this mark or another, changes nothing.
    EXPECT_EQ(0, ShowPopup(other));
    EXPECT_EQ(0, ShowPopup(mark));
    EXPECT_EQ(preview, PreviewWindow);
    EXPECT_STREQ(L"první\r\ndruhá delší", PreviewText);
    EXPECT_EQ(1u, TopWindows(0, "DAVududPopupClass").size());

    EXPECT_EQ(1, HidePopup());
    EXPECT_FALSE(IsWindow(preview));
    EXPECT_EQ(nullptr, PreviewWindow);
    EXPECT_EQ(nullptr, PreviewText);
    EXPECT_EQ(0, HidePopup()) << "nothing left to hide";

    ASSERT_EQ(1, ShowPopup(other)) << "a new preview after the old one went";
    EXPECT_STREQ(L"jiná", PreviewText);
}

TEST_F(PreviewTest, TellsTheMainWindowWhenItIsDestroyed)
{
    StartWindowsOnly();
    HWND mark = AddPackedNote(200, 200, "x");
    ASSERT_EQ(1, ShowPopup(mark));
    HWND preview = PreviewWindow;
    MessageLog log(g_hMainWnd);
    HidePopup();
    const std::vector<LoggedMessage> told = log.Of(WM_POPUP_DESTROYED);
    ASSERT_EQ(1u, told.size());
    EXPECT_EQ(32770u, told[0].message);
    EXPECT_EQ(reinterpret_cast<WPARAM>(preview), told[0].wParam);
    EXPECT_EQ(reinterpret_cast<LPARAM>(preview), told[0].lParam);
}

TEST_F(PreviewTest, MovingFromOneMarkToAnotherShowsNoSecondPreview)
{
    StartWindowsOnly();
    SetCursorPos(900, 100);
    HWND first = AddPackedNote(200, 200, "první");
    HWND second = AddPackedNote(216, 200, "druhá");
    PumpPending();
    SendMessageA(first, WM_MOUSEMOVE, 0, 0);
    HWND preview = PreviewWindow;
    ASSERT_NE(nullptr, preview);
    // The second mark's move comes before the first one's leave.
    SendMessageA(second, WM_MOUSEMOVE, 0, 0);
    EXPECT_EQ(preview, PreviewWindow);
    EXPECT_STREQ(L"první", PreviewText);
    SendMessageA(first, WM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(nullptr, PreviewWindow) << "any mark's leave removes the preview";
}

// Opens the preview of a mark put at (x, y) and returns where the preview went.
class PreviewPlaceTest : public PreviewTest {
protected:
    RECT PreviewOfMarkAt(int x, int y, const char* text)
    {
        HidePopup();
        HWND mark = AddPackedNote(x, y, text);
        EXPECT_TRUE(SameRect(RECT{ x, y, x + 16, y + 16 }, WindowRect(mark)));
        EXPECT_EQ(1, ShowPopup(mark));
        const RECT placed = PreviewWindow ? WindowRect(PreviewWindow) : RECT{};
        HidePopup();
        DestroyWindow(mark);
        return placed;
    }
};

const char TWO_LINES[] = "dva\r\nřádky";

TEST_F(PreviewPlaceTest, BesideTheMarksLowerRightCornerWhenThereIsRoom)
{
    StartWindowsOnly();
    const RECT r = PreviewOfMarkAt(200, 150, TWO_LINES);
    EXPECT_EQ(200 + 16 + 2, r.left) << Describe(r);
    EXPECT_EQ(150 + 16 + 2, r.top) << Describe(r);
}

TEST_F(PreviewPlaceTest, AtTheRightEdgeItsRightEdgeIsTheMarks)
{
    StartWindowsOnly();
    const RECT r = PreviewOfMarkAt(1000, 150, TWO_LINES);
    EXPECT_EQ(1000 + 16, r.right) << Describe(r);
    EXPECT_EQ(150 + 16 + 2, r.top) << Describe(r);
}

TEST_F(PreviewPlaceTest, GoesAboveWhenLessThanTwiceItsHeightIsLeftBelow)
{
    StartWindowsOnly();
    const RECT probe = PreviewOfMarkAt(100, 100, TWO_LINES);
    const int h = probe.bottom - probe.top;
    // Exactly twice its height below the anchor: it stays below.
    const int lowestBelow = 768 - 2 * h - 18;
    RECT r = PreviewOfMarkAt(100, lowestBelow, TWO_LINES);
    EXPECT_EQ(lowestBelow + 18, r.top) << "h " << h << ", " << Describe(r);
    // One pixel lower there is room for it once, but not twice: above, bottom on the mark's.
    r = PreviewOfMarkAt(100, lowestBelow + 1, TWO_LINES);
    EXPECT_EQ(lowestBelow + 1 + 16, r.bottom) << "h " << h << ", " << Describe(r);
    EXPECT_LT(r.bottom + 2 + h, 768) << "the case must be one where it would have fitted once";
    EXPECT_EQ(118, r.left);
}

TEST_F(PreviewPlaceTest, InTheLowerRightCornerItGoesAboveAndLeftOfTheMarkNotOverIt)
{
    StartWindowsOnly();
    const RECT r = PreviewOfMarkAt(1000, 740, TWO_LINES);
    EXPECT_EQ(1000 - 2, r.right) << Describe(r);
    EXPECT_EQ(740 - 2, r.bottom) << Describe(r);
}

// The window takes the clipped size: a line wider than the screen is cut at both its edges.
TEST_F(PreviewPlaceTest, WiderThanTheScreenItIsClippedToItBelowTheMark)
{
    StartWindowsOnly();
    const std::string wide(150, 'W');
    ASSERT_GT(SystemFontExtent(wide.c_str()).cx, 1024) << "text not wide enough for this case";
    const RECT r = PreviewOfMarkAt(10, 100, wide.c_str());
    EXPECT_TRUE(SameRect(RECT{ 0, 118, 1024, 118 + SystemFontExtent(wide.c_str()).cy + 8 }, r)) << Describe(r);
}

// Client pixels of the open preview that differ from its background, with their colours.
std::map<std::pair<int, int>, COLORREF> InkColoursOfPreview(const char* text)
{
    std::map<std::pair<int, int>, COLORREF> ink;
    HidePopup();
    HWND mark = Notes.items[Notes.count - 1].hwnd;
    SetWindowTextA(Notes.items[Notes.count - 1].hwndEdit, text);
    if (ShowPopup(mark) != 1)
        return ink;
    UpdateWindow(PreviewWindow);
    RECT client;
    GetClientRect(PreviewWindow, &client);
    HDC dc = GetDC(PreviewWindow);
    for (int y = 0; y < client.bottom; ++y)
        for (int x = 0; x < client.right; ++x)
            if (GetPixel(dc, x, y) != Settings.PopupColor)
                ink[{ x, y }] = GetPixel(dc, x, y);
    ReleaseDC(PreviewWindow, dc);
    HidePopup();
    return ink;
}

// The same, as (x, y) pairs.
std::set<std::pair<int, int>> InkOfPreview(const char* text)
{
    std::set<std::pair<int, int>> ink;
    for (const auto& pixel : InkColoursOfPreview(text))
        ink.insert(pixel.first);
    return ink;
}

TEST(PreviewTextColour, BlackOnLightAndWhiteOnDarkBackgrounds)
{
    const COLORREF black = RGB(0, 0, 0), white = RGB(255, 255, 255);
    struct Case { COLORREF background, text; } cases[] = {
        { RGB(255, 255, 225), black },  // the usual tooltip yellow
        { white, black },
        { RGB(255, 255, 0), black },    // bright although two channels only
        { RGB(0, 208, 0), black },
        { black, white },               // high-contrast tooltips
        { RGB(0, 0, 255), white },      // saturated but dark
        { RGB(128, 0, 0), white },
        { RGB(100, 100, 100), white },
        { RGB(160, 160, 160), black },
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.text, ReadableTextColour(c.background)) << "background " << std::hex << c.background;
}

TEST_F(PreviewTest, OnADarkPreviewColourTheTextIsWhite)
{
    StartWindowsOnly();
    Settings.PopupColor = RGB(0, 0, 96);
    ReregisterPopupClass();
    AddPackedNote(300, 300, "");
    const auto ink = InkColoursOfPreview("Tmavý náhled");
    ASSERT_FALSE(ink.empty()) << "no text drawn";
    int white = 0, black = 0;
    for (const auto& pixel : ink) {
        white += pixel.second == RGB(255, 255, 255);
        black += pixel.second == RGB(0, 0, 0);
    }
    EXPECT_GT(white, 0) << "no white ink on the dark preview";
    EXPECT_EQ(0, black) << "black ink on a dark preview cannot be read";
}

int RightmostInk(const std::set<std::pair<int, int>>& ink)
{
    int right = -1;
    for (const auto& p : ink)
        right = std::max(right, p.first);
    return right;
}

TEST_F(PreviewTest, AmpersandIsDrawnAsAnUnderlineOfTheNextCharacter)
{
    StartWindowsOnly();
    AddPackedNote(300, 300, "");
    // A second line of spaces widens every preview alike, so that no line is cut at the margin.
    const std::string spaces = "\r\n" + std::string(30, ' ');
    const auto plain = InkOfPreview(("ab" + spaces).c_str());
    const auto prefixed = InkOfPreview(("a&b" + spaces).c_str());
    const auto literal = InkOfPreview(("a&&b" + spaces).c_str());
    ASSERT_FALSE(plain.empty()) << "no text drawn";
    // "a&b" shows "ab" with one more line of ink below it, and no "&".
    std::set<int> extraRows;
    int missing = 0;
    for (const auto& p : plain)
        missing += prefixed.count(p) == 0;
    for (const auto& p : prefixed)
        if (!plain.count(p))
            extraRows.insert(p.second);
    EXPECT_EQ(0, missing) << "\"a&b\" does not show \"ab\"";
    EXPECT_FALSE(extraRows.empty()) << "no underline";
    EXPECT_LE(extraRows.size(), 2u) << "more than an underline was added";
    // The letters end where they end without the "&"; the underline may reach a pixel further.
    std::set<std::pair<int, int>> letters;
    for (const auto& p : prefixed)
        if (!extraRows.count(p.second))
            letters.insert(p);
    EXPECT_EQ(RightmostInk(plain), RightmostInk(letters)) << "the & was drawn";
    EXPECT_GT(RightmostInk(literal), RightmostInk(plain)) << "\"&&\" must show one &";
}

TEST_F(PreviewTest, MeasuringWithARealFontFollowsLineBreaksOnlyAtCr)
{
    HDC dc = CreateCompatibleDC(nullptr);
    auto extent = [dc](const wchar_t* text) {
        SIZE size = {};
        GetTextExtentPoint32W(dc, text, lstrlenW(text), &size);
        return size;
    };
    auto expectSize = [](SIZE want, SIZE got, const char* what) {
        EXPECT_EQ(want.cx, got.cx) << what;
        EXPECT_EQ(want.cy, got.cy) << what;
    };
    const SIZE a = extent(L"a"), b = extent(L"b"), ab = extent(L"ab"), empty = extent(L"");
    ASSERT_GT(a.cy, 0);
    expectSize({ empty.cx + 5, empty.cy + 10 }, MeasureNoteText(dc, L""), "empty text");
    expectSize({ std::max(a.cx, b.cx) + 5, a.cy + b.cy + 8 }, MeasureNoteText(dc, L"a\r\nb"), "a CR LF b");
    expectSize({ ab.cx + 5, 2 * ab.cy + 8 }, MeasureNoteText(dc, L"ab\r\n"), "trailing CR LF");
    expectSize({ ab.cx + 5, ab.cy + 8 }, MeasureNoteText(dc, L"ab\r"), "lone trailing CR");
    const SIZE lf = extent(L"a\nb");
    expectSize({ lf.cx + 5, lf.cy + 8 }, MeasureNoteText(dc, L"a\nb"), "a lone LF is a character");
    const SIZE breaks = extent(L"\r\n");
    expectSize({ breaks.cx + 5, breaks.cy + 10 }, MeasureNoteText(dc, L"\r\n"), "only a line break");
    const SIZE cyrillic = extent(L"Привет →");
    ASSERT_NE(extent(L"?????? ?").cx, cyrillic.cx) << "the case cannot tell the text from its code page form";
    expectSize({ cyrillic.cx + 5, cyrillic.cy + 8 }, MeasureNoteText(dc, L"Привет →"), "outside the code page");
    DeleteDC(dc);
}

TEST_F(PreviewTest, NoWindowNoPreviewStateAndTheTextIsFreed)
{
    StartWindowsOnly();
    HWND mark = AddPackedNote(200, 200, "text");
    HBRUSH brush = PopupClassBrush();
    ASSERT_TRUE(UnregisterClassA(POPUP_CLASS_NAME, g_hInst));
    DeleteObject(brush);
    EXPECT_EQ(0, ShowPopup(mark));
    EXPECT_EQ(nullptr, PreviewWindow);
    EXPECT_EQ(nullptr, PreviewText);
    EXPECT_EQ(0, HidePopup());
    // With the class back, previews work again.
    ASSERT_EQ(1, RegisterPopupClass());
    EXPECT_EQ(1, ShowPopup(mark));
}

TEST_F(PreviewTest, NewColourClosesTheOpenPreviewAndPaintsTheNextOne)
{
    StartWindowsOnly();
    HWND mark = AddPackedNote(200, 200, "barva");
    ASSERT_EQ(1, ShowPopup(mark));
    HWND open = PreviewWindow;
    HBRUSH oldBrush = PopupClassBrush();
    ASSERT_EQ(OBJ_BRUSH, static_cast<int>(GetObjectType(oldBrush)));

    Settings.PopupColor = RGB(40, 200, 120);
    ReregisterPopupClass();
    EXPECT_EQ(0u, boxes.Count()) << boxes.Summary();
    EXPECT_FALSE(IsWindow(open)) << "the open preview must go first";
    EXPECT_EQ(nullptr, PreviewWindow);
    EXPECT_EQ(nullptr, PreviewText);
    EXPECT_EQ(0u, GetObjectType(oldBrush)) << "the old class brush was not deleted";
    HBRUSH newBrush = PopupClassBrush();
    ASSERT_NE(nullptr, newBrush);
    EXPECT_EQ(RGB(40, 200, 120), BrushColour(newBrush));

    ASSERT_EQ(1, ShowPopup(mark));
    UpdateWindow(PreviewWindow);
    HDC dc = GetDC(PreviewWindow);
    const COLORREF background = GetPixel(dc, 1, 1);
    ReleaseDC(PreviewWindow, dc);
    EXPECT_EQ(RGB(40, 200, 120), background) << std::hex << background;
}

TEST_F(PreviewTest, ABrokenBrushIsReportedAndTheClassStillComesBack)
{
    StartWindowsOnly();
    DeleteObject(PopupClassBrush());
    Settings.PopupColor = RGB(1, 2, 3);
    ReregisterPopupClass();
    ASSERT_EQ(1u, boxes.Count()) << boxes.Summary();
    EXPECT_EQ("Chyba DeleteObject", boxes.Boxes()[0].text);
    EXPECT_EQ(static_cast<UINT>(MB_ICONERROR), boxes.Boxes()[0].flags & MB_ICONMASK);
    EXPECT_EQ(RGB(1, 2, 3), BrushColour(PopupClassBrush())) << "re-registration did not go ahead";
}

TEST_F(PreviewTest, WithoutAClassOnlyTheBrushIsReported)
{
    StartWindowsOnly();
    HBRUSH brush = PopupClassBrush();
    ASSERT_TRUE(UnregisterClassA(POPUP_CLASS_NAME, g_hInst));
    DeleteObject(brush);
    ReregisterPopupClass();
    // Nothing to unregister, so nothing is registered and nothing more is said.
    ASSERT_EQ(1u, boxes.Count()) << boxes.Summary();
    EXPECT_EQ("Chyba DeleteObject", boxes.Boxes()[0].text);
    EXPECT_EQ(nullptr, PopupClassBrush());
}

} // namespace
