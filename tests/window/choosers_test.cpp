// The colour chooser and folder browser wrappers: what they hand the system, what they make
// of its answers, the browser's callback, and the release of the chosen item list.
#include "app/system_calls.h"
#include "app/app.h"
#include "dialogs/choosers.h"
#include "tests/support/app_fixture.h"
#include "tests/support/poll.h"
#include <objidl.h>
#include <algorithm>
#include <cstring>

namespace {

// ---- Colour chooser ----

struct ColourCall {
    CHOOSECOLORA record;
    COLORREF custom[16];
};

std::vector<ColourCall> colourCalls;
BOOL colourAnswer;
COLORREF colourPicked;

// Answers like a user: picks colourPicked (also when cancelling, which must not count) and
// redefines the custom colour of the call's number.
BOOL WINAPI FakeChooseColor(LPCHOOSECOLORA cc)
{
    ColourCall call;
    call.record = *cc;
    memcpy(call.custom, cc->lpCustColors, sizeof call.custom);
    colourCalls.push_back(call);
    cc->rgbResult = colourPicked;
    cc->lpCustColors[colourCalls.size() - 1] = RGB(colourCalls.size(), 0x80, 0x40);
    return colourAnswer;
}

class ChooseColourTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        memcpy(savedCustom, CustomColours, sizeof savedCustom);
        memset(CustomColours, 0, sizeof CustomColours);
        colourCalls.clear();
        g_sys.ChooseColorA = FakeChooseColor;
    }
    void TearDown() override
    {
        memcpy(CustomColours, savedCustom, sizeof savedCustom);
        AppTest::TearDown();
    }
    COLORREF savedCustom[16];
};

TEST_F(ChooseColourTest, HandsTheSystemTheInitialColourAndTheRunLongCustomColours)
{
    colourAnswer = TRUE;
    colourPicked = RGB(1, 2, 3);
    EXPECT_EQ(RGB(1, 2, 3), ChooseColour(RGB(200, 100, 50), nullptr));
    ASSERT_EQ(1u, colourCalls.size());
    const CHOOSECOLORA& cc = colourCalls[0].record;
    EXPECT_EQ(sizeof(CHOOSECOLORA), cc.lStructSize);
    EXPECT_EQ(nullptr, cc.hwndOwner);
    EXPECT_EQ(nullptr, cc.hInstance);
    EXPECT_EQ(RGB(200, 100, 50), cc.rgbResult);
    EXPECT_EQ(CustomColours, cc.lpCustColors);
    EXPECT_EQ(3u, cc.Flags);
    EXPECT_EQ(0, cc.lCustData);
    EXPECT_EQ(nullptr, cc.lpfnHook);
    EXPECT_EQ(nullptr, cc.lpTemplateName);

    // An owner, when one is given, is passed on.
    HWND owner = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, g_hInst, nullptr);
    ChooseColour(0, owner);
    ASSERT_EQ(2u, colourCalls.size());
    EXPECT_EQ(owner, colourCalls[1].record.hwndOwner);
    DestroyWindow(owner);
}

TEST_F(ChooseColourTest, CancelGivesBackExactlyTheInitialColour)
{
    colourAnswer = FALSE;
    colourPicked = RGB(9, 9, 9);
    EXPECT_EQ(RGB(200, 100, 50), ChooseColour(RGB(200, 100, 50), nullptr));
    EXPECT_EQ(0u, ChooseColour(0, nullptr));
    EXPECT_EQ(2u, colourCalls.size());
}

TEST_F(ChooseColourTest, CustomColoursDefinedInOneChooserAreOfferedInTheNext)
{
    colourAnswer = TRUE;
    ChooseColour(0, nullptr);
    colourAnswer = FALSE;   // a cancelled chooser keeps what was defined in it too
    ChooseColour(0, nullptr);
    ChooseColour(0, nullptr);
    ASSERT_EQ(3u, colourCalls.size());
    EXPECT_EQ(0u, colourCalls[0].custom[0]) << "custom colours start black";
    EXPECT_EQ(RGB(1, 0x80, 0x40), colourCalls[1].custom[0]);
    EXPECT_EQ(RGB(1, 0x80, 0x40), colourCalls[2].custom[0]);
    EXPECT_EQ(RGB(2, 0x80, 0x40), colourCalls[2].custom[1]);
    EXPECT_EQ(0u, colourCalls[2].custom[2]);
}

// The real chooser: unowned, fully open on the initial colour, cancelled by the user.
TEST_F(ChooseColourTest, RealChooserOpensFullyOnTheColourAndCancelReturnsIt)
{
    g_sys.ChooseColorA = ChooseColorA;
    struct {
        bool seen = false;
        HWND owner = nullptr;
        std::string red, green, blue;
        bool defineButtonEnabled = true;
        bool editsInside = false;
    } chooser;
    COLORREF result;
    {
        WindowDriver driver("#32770", "Barva", [&](HWND dialog) {
            chooser.owner = GetWindow(dialog, GW_OWNER);
            chooser.red = WindowText(GetDlgItem(dialog, 706));
            chooser.green = WindowText(GetDlgItem(dialog, 707));
            chooser.blue = WindowText(GetDlgItem(dialog, 708));
            // Fully open: the button that would open the custom part is of no use.
            chooser.defineButtonEnabled = IsWindowEnabled(GetDlgItem(dialog, 719)) != FALSE;
            RECT box = WindowRect(dialog), edit = WindowRect(GetDlgItem(dialog, 706));
            chooser.editsInside = edit.right <= box.right;
            chooser.seen = true;
            PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        });
        result = ChooseColour(RGB(12, 34, 56), nullptr);
    }
    ASSERT_TRUE(chooser.seen) << "no colour chooser appeared";
    EXPECT_EQ(RGB(12, 34, 56), result);
    EXPECT_EQ(nullptr, chooser.owner);
    EXPECT_EQ("12", chooser.red);
    EXPECT_EQ("34", chooser.green);
    EXPECT_EQ("56", chooser.blue);
    EXPECT_FALSE(chooser.defineButtonEnabled) << "the chooser did not open fully";
    EXPECT_TRUE(chooser.editsInside) << "the custom part lies outside the chooser";
}

// ---- Folder browser ----

struct BrowseCall {
    BROWSEINFOA info;
    std::string title;
    std::string start;      // BrowseStartFolder when the browser opened
};

std::vector<BrowseCall> browseCalls;
PIDLIST_ABSOLUTE browseAnswer;

PIDLIST_ABSOLUTE WINAPI FakeBrowseForFolder(LPBROWSEINFOA info)
{
    browseCalls.push_back({ *info, info->lpszTitle ? info->lpszTitle : "(none)", BrowseStartFolder });
    PIDLIST_ABSOLUTE answer = browseAnswer;
    browseAnswer = nullptr;
    return answer;
}

// Sees every block freed through the task allocator, whoever frees it.
struct FreeSpy : IMallocSpy {
    std::vector<void*> freed;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (iid == __uuidof(IUnknown) || iid == __uuidof(IMallocSpy)) {
            *out = this;
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    SIZE_T STDMETHODCALLTYPE PreAlloc(SIZE_T request) override { return request; }
    void* STDMETHODCALLTYPE PostAlloc(void* actual) override { return actual; }
    void* STDMETHODCALLTYPE PreFree(void* request, BOOL) override
    {
        freed.push_back(request);
        return request;
    }
    void STDMETHODCALLTYPE PostFree(BOOL) override {}
    SIZE_T STDMETHODCALLTYPE PreRealloc(void* request, SIZE_T size, void** actual, BOOL) override
    {
        *actual = request;
        return size;
    }
    void* STDMETHODCALLTYPE PostRealloc(void* actual, BOOL) override { return actual; }
    void* STDMETHODCALLTYPE PreGetSize(void* request, BOOL) override { return request; }
    SIZE_T STDMETHODCALLTYPE PostGetSize(SIZE_T actual, BOOL) override { return actual; }
    void* STDMETHODCALLTYPE PreDidAlloc(void* request, BOOL) override { return request; }
    int STDMETHODCALLTYPE PostDidAlloc(void*, BOOL, int actual) override { return actual; }
    void STDMETHODCALLTYPE PreHeapMinimize() override {}
    void STDMETHODCALLTYPE PostHeapMinimize() override {}

    bool Freed(void* block) const { return std::find(freed.begin(), freed.end(), block) != freed.end(); }
};

// Counts how the wrapper treats the shell allocator it was given.
struct CountingAllocator : IMalloc {
    int references = 1;
    std::vector<void*> freed;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override
    {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }
    void* STDMETHODCALLTYPE Alloc(SIZE_T size) override { return CoTaskMemAlloc(size); }
    void* STDMETHODCALLTYPE Realloc(void* block, SIZE_T size) override { return CoTaskMemRealloc(block, size); }
    void STDMETHODCALLTYPE Free(void* block) override
    {
        freed.push_back(block);
        CoTaskMemFree(block);
    }
    SIZE_T STDMETHODCALLTYPE GetSize(void*) override { return 0; }
    int STDMETHODCALLTYPE DidAlloc(void*) override { return -1; }
    void STDMETHODCALLTYPE HeapMinimize() override {}
};

CountingAllocator* shellAllocator;

HRESULT WINAPI GiveCountingAllocator(IMalloc** out)
{
    shellAllocator->AddRef();
    *out = shellAllocator;
    return S_OK;
}

HRESULT WINAPI WithholdAllocator(IMalloc** out)
{
    *out = nullptr;
    return E_FAIL;
}

class BrowseForFolderTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        browseCalls.clear();
        browseAnswer = nullptr;
        g_sys.SHBrowseForFolderA = FakeBrowseForFolder;
        shellAllocator = &allocator;
        g_sys.SHGetMalloc = GiveCountingAllocator;
        BrowseStartFolder[0] = '\0';
        // Long names would be shortened by the shell; compare with the name it gives back.
        char longName[MAX_PATH];
        GetLongPathNameA(folder.Path().c_str(), longName, sizeof longName);
        chosenFolder = longName;
    }

    PIDLIST_ABSOLUTE FolderItem() const { return ILCreateFromPathA(chosenFolder.c_str()); }

    CountingAllocator allocator;
    std::string chosenFolder;
};

TEST_F(BrowseForFolderTest, HandsTheBrowserTitleFlagsAndCallbackAndNothingElse)
{
    char path[MAX_PATH] = "";
    BrowseForFolder(path, nullptr, nullptr);
    BrowseForFolder(path, nullptr, "Určit datovou složku");
    ASSERT_EQ(2u, browseCalls.size());
    EXPECT_EQ("Vyberte požadovanou složku", browseCalls[0].title);
    EXPECT_EQ("Určit datovou složku", browseCalls[1].title);
    for (const BrowseCall& call : browseCalls) {
        EXPECT_EQ(nullptr, call.info.hwndOwner);
        EXPECT_EQ(nullptr, call.info.pidlRoot);
        EXPECT_EQ(nullptr, call.info.pszDisplayName);
        EXPECT_EQ(5u, call.info.ulFlags);
        EXPECT_EQ(BrowseCallback, call.info.lpfn);
        EXPECT_EQ(0, call.info.lParam);
    }
}

TEST_F(BrowseForFolderTest, StartingFolderFromTheArgumentTheCurrentDirectoryOrTheLastCall)
{
    char path[MAX_PATH] = "";
    char before[MAX_PATH];
    GetCurrentDirectoryA(sizeof before, before);
    ASSERT_TRUE(SetCurrentDirectoryA(chosenFolder.c_str()));
    char current[MAX_PATH];
    GetCurrentDirectoryA(sizeof current, current);

    BrowseForFolder(path, "d:\\Data", nullptr);
    BrowseForFolder(path, nullptr, nullptr);
    BrowseForFolder(path, "current", nullptr);
    BrowseForFolder(path, "Current", nullptr);
    BrowseForFolder(path, "", nullptr);
    SetCurrentDirectoryA(before);

    ASSERT_EQ(5u, browseCalls.size());
    EXPECT_EQ("d:\\Data", browseCalls[0].start);
    EXPECT_EQ("d:\\Data", browseCalls[1].start) << "no starting folder keeps the last one";
    EXPECT_EQ(current, browseCalls[2].start);
    EXPECT_EQ("Current", browseCalls[3].start) << "only the exact word means the current directory";
    EXPECT_EQ("", browseCalls[4].start);
}

TEST_F(BrowseForFolderTest, OverLongStartingFolderIsCutToWhatFits)
{
    const std::string longStart = "c:\\" + std::string(297, 'x');
    char path[MAX_PATH] = "";
    BrowseForFolder(path, longStart.c_str(), nullptr);
    ASSERT_EQ(1u, browseCalls.size());
    EXPECT_EQ(longStart.substr(0, MAX_PATH - 1), browseCalls[0].start);
    EXPECT_EQ('\0', BrowseStartFolder[MAX_PATH - 1]);
}

TEST_F(BrowseForFolderTest, CancelLeavesThePathUntouchedAndReleasesTheAllocator)
{
    char path[MAX_PATH];
    memset(path, 'Q', sizeof path);
    EXPECT_EQ(0, BrowseForFolder(path, "c:\\", nullptr));
    for (char c : path)
        ASSERT_EQ('Q', c) << "the path was written on cancel";
    EXPECT_EQ(1, allocator.references) << "the shell allocator was not released";
    EXPECT_TRUE(allocator.freed.empty());
}

TEST_F(BrowseForFolderTest, ChosenFolderIsWrittenAndItsItemListFreedByTheShellAllocator)
{
    char path[MAX_PATH] = "c:\\windows";
    browseAnswer = FolderItem();
    ASSERT_NE(nullptr, browseAnswer);
    void* item = browseAnswer;
    // The path buffer is also the starting folder, as the settings dialog passes it.
    EXPECT_EQ(1, BrowseForFolder(path, path, nullptr));
    ASSERT_EQ(1u, browseCalls.size());
    EXPECT_EQ("c:\\windows", browseCalls[0].start);
    EXPECT_EQ(chosenFolder, path);
    ASSERT_EQ(1u, allocator.freed.size());
    EXPECT_EQ(item, allocator.freed[0]);
    EXPECT_EQ(1, allocator.references) << "the shell allocator was not released";
}

TEST_F(BrowseForFolderTest, ItemOutsideTheFileSystemGivesZeroAndIsStillFreed)
{
    PIDLIST_ABSOLUTE printers = nullptr;
    ASSERT_EQ(S_OK, SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &printers));
    browseAnswer = printers;
    char path[MAX_PATH] = "";
    EXPECT_EQ(0, BrowseForFolder(path, nullptr, nullptr));
    ASSERT_EQ(1u, allocator.freed.size());
    EXPECT_EQ(static_cast<void*>(printers), allocator.freed[0]);
    EXPECT_EQ(1, allocator.references);
}

TEST_F(BrowseForFolderTest, WithoutTheShellAllocatorTheItemListIsStillFreedAndThePathReturned)
{
    FreeSpy spy;
    ASSERT_EQ(S_OK, CoRegisterMallocSpy(&spy));
    g_sys.SHGetMalloc = WithholdAllocator;
    browseAnswer = FolderItem();
    void* item = browseAnswer;
    char path[MAX_PATH] = "";
    const int result = BrowseForFolder(path, nullptr, nullptr);
    const bool freed = spy.Freed(item);
    CoRevokeMallocSpy();
    EXPECT_EQ(1, result);
    EXPECT_EQ(chosenFolder, path);
    EXPECT_TRUE(freed) << "the item list leaked";
}

// The real browser: unowned, opened on the starting folder with its path as the status text,
// and confirming that selection hands it back.
TEST_F(BrowseForFolderTest, RealBrowserStartsOnTheFolderAndOkReturnsIt)
{
    g_sys.SHBrowseForFolderA = SHBrowseForFolderA;
    g_sys.SHGetMalloc = SHGetMalloc;
    struct {
        bool seen = false;
        HWND owner = nullptr;
        std::string title, status;
    } browser;
    // A folder near the root: deep ones are at times not reached by the preselection.
    char start[MAX_PATH];
    GetWindowsDirectoryA(start, sizeof start);
    char path[MAX_PATH] = "";
    int result;
    {
        WindowDriver driver("#32770", "Procházet (pro nalezení složky)", [&](HWND dialog) {
            browser.owner = GetWindow(dialog, GW_OWNER);
            browser.title = WindowText(GetDlgItem(dialog, 14146));
            // The preselection arrives through the callback after the browser shows.
            for (int i = 0; i < 500 && browser.status != start; ++i, Sleep(10))
                browser.status = WindowText(GetDlgItem(dialog, 14147));
            browser.seen = true;
            PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        });
        result = BrowseForFolder(path, start, "Určit datovou složku");
    }
    ASSERT_TRUE(browser.seen) << "no folder browser appeared";
    EXPECT_EQ(nullptr, browser.owner);
    EXPECT_EQ("Určit datovou složku", browser.title);
    EXPECT_EQ(start, browser.status);
    EXPECT_EQ(1, result);
    EXPECT_EQ(start, std::string(path));
}

// A window that keeps every message the callback sends it, with the text it points at.
struct SentMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    std::string text;
};

std::vector<SentMessage> sentToBrowser;

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message >= WM_USER)
        sentToBrowser.push_back({ message, wParam, lParam, reinterpret_cast<const char*>(lParam) });
    return DefWindowProcA(window, message, wParam, lParam);
}

TEST_F(BrowseForFolderTest, CallbackPreselectsTheStartingFolderAndShowsTheSelectedPath)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = RecordingProc;
    wc.hInstance = g_hInst;
    wc.lpszClassName = "BrowserStandIn";
    ASSERT_TRUE(RegisterClassA(&wc));
    HWND browser = CreateWindowExA(0, "BrowserStandIn", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, g_hInst, nullptr);
    ASSERT_NE(nullptr, browser);
    sentToBrowser.clear();
    lstrcpynA(BrowseStartFolder, "d:\\Poznámky", sizeof BrowseStartFolder);

    EXPECT_EQ(0, BrowseCallback(browser, BFFM_INITIALIZED, 0, 12345));
    ASSERT_EQ(1u, sentToBrowser.size());
    EXPECT_EQ(static_cast<UINT>(WM_USER + 102), sentToBrowser[0].message);
    EXPECT_EQ(1u, sentToBrowser[0].wParam);
    EXPECT_EQ(reinterpret_cast<LPARAM>(BrowseStartFolder), sentToBrowser[0].lParam);
    EXPECT_EQ("d:\\Poznámky", sentToBrowser[0].text);

    PIDLIST_ABSOLUTE item = FolderItem();
    ASSERT_NE(nullptr, item);
    EXPECT_EQ(0, BrowseCallback(browser, BFFM_SELCHANGED, reinterpret_cast<LPARAM>(item), 0));
    ASSERT_EQ(2u, sentToBrowser.size());
    EXPECT_EQ(static_cast<UINT>(WM_USER + 100), sentToBrowser[1].message);
    EXPECT_EQ(0u, sentToBrowser[1].wParam);
    EXPECT_EQ(chosenFolder, sentToBrowser[1].text);
    ILFree(item);

    // A selection outside the file system, and any other notification, leave the browser alone.
    PIDLIST_ABSOLUTE drives = nullptr;
    ASSERT_EQ(S_OK, SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &drives));
    EXPECT_EQ(0, BrowseCallback(browser, BFFM_SELCHANGED, reinterpret_cast<LPARAM>(drives), 0));
    ILFree(drives);
    EXPECT_EQ(0, BrowseCallback(browser, BFFM_VALIDATEFAILEDA, reinterpret_cast<LPARAM>("x"), 0));
    EXPECT_EQ(0, BrowseCallback(browser, BFFM_IUNKNOWN, 0, 0));
    EXPECT_EQ(2u, sentToBrowser.size());

    DestroyWindow(browser);
    UnregisterClassA("BrowserStandIn", g_hInst);
}

} // namespace
