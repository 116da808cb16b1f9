// The resources linked into Memovky.exe, read back from the executable itself.
#include "res/resource.h"
#include "tests/support/helpers.h"
#include <gtest/gtest.h>
#include <cstring>

namespace {

class ResourcesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        module = LoadLibraryExA(ProgramPath().c_str(), nullptr,
                                LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    }
    static void TearDownTestSuite() { FreeLibrary(module); }

    void SetUp() override { ASSERT_NE(nullptr, module) << "cannot open " << ProgramPath(); }

    static std::vector<uint8_t> Bytes(LPCSTR type, int id)
    {
        HRSRC found = FindResourceExA(module, type, MAKEINTRESOURCEA(id), MAKELANGID(LANG_CZECH, SUBLANG_DEFAULT));
        if (!found)
            return {};
        auto* data = static_cast<const uint8_t*>(LockResource(LoadResource(module, found)));
        return std::vector<uint8_t>(data, data + SizeofResource(module, found));
    }

    static HMODULE module;
};

HMODULE ResourcesTest::module;

// One menu item as "caption=id", "-" for a separator, "caption>" for a sub-menu followed by
// its items and "<" at its end.
void DescribeMenu(HMENU menu, std::vector<std::string>& out)
{
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        char text[128] = "";
        MENUITEMINFOA info = { sizeof info };
        info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_STRING;
        info.dwTypeData = text;
        info.cch = sizeof text;
        GetMenuItemInfoA(menu, i, TRUE, &info);
        std::string flags;
        if (info.fState & MFS_CHECKED) flags += "[checked]";
        if (info.fState & MFS_DISABLED) flags += "[disabled]";
        if (info.fType & MFT_RIGHTJUSTIFY) flags += "[right]";
        if (info.fType & MFT_SEPARATOR) {
            out.push_back("-");
        } else if (info.hSubMenu) {
            out.push_back(std::string(text) + flags + ">");
            DescribeMenu(info.hSubMenu, out);
            out.push_back("<");
        } else {
            out.push_back(std::string(text) + flags + "=" + std::to_string(info.wID));
        }
    }
}

std::vector<std::string> MenuOf(HMODULE module, int id)
{
    std::vector<std::string> items;
    HMENU menu = LoadMenuA(module, MAKEINTRESOURCEA(id));
    if (!menu)
        return { "(no menu)" };
    DescribeMenu(menu, items);
    DestroyMenu(menu);
    return items;
}

using Items = std::vector<std::string>;

TEST_F(ResourcesTest, MainMenuHasItsThreePopupsInOrder)
{
    EXPECT_EQ((Items{ "&Program>", "&Nastavení=40014", "&Uložit memovky=101", "-", "&Konec=40001", "<",
                      "Me&movky>", "&Přidat=40002", "-", "&Rozbalit vše=40016", "&Sbalit vše=40017",
                      "Skrý&t vše=40018", "&Zobrazit vše=40019", "<",
                      "&Nápověda>", MAKER_HOST "=40020", "Podpora e-mailem=40021", "-", "&O programu=40003", "<" }),
              MenuOf(module, IDR_MAINMENU));
}

TEST_F(ResourcesTest, MarkMenuIsOnePopupWithColoursAndCustomColour)
{
    EXPECT_EQ((Items{ " >", "&Rozbalit=40005", "Barva>", "Če&rvená=40007", "&Modrá=40008", "Ž&lutá=40009",
                      "&Zelená=40010", "-", "&Vlastní=40015", "<", "-", "&Odstranit=40013", "<" }),
              MenuOf(module, IDR_MARKMENU));
}

TEST_F(ResourcesTest, TrayMenuPacksBeforeItExpandsAndAddsThroughASubmenu)
{
    EXPECT_EQ((Items{ " >", "&Sbalit vše=40017", "&Rozbalit vše=40016", "Skrý&t vše=40018", "&Zobrazit vše=40019",
                      "-", "&Memovka>", "&Přidat=40002", "<", "-", "Z&obrazit program=40006",
                      "O programu=40003", "-", "&Konec=40001", "<" }),
              MenuOf(module, IDR_TRAYMENU));
}

TEST_F(ResourcesTest, NoteMenuHasNoCustomColour)
{
    EXPECT_EQ((Items{ "&Memovka>", "&Sbalit=40004", "&Barva>", "Če&rvená=40007", "&Modrá=40008",
                      "Ž&lutá=40009", "&Zelená=40010", "<", "-", "&Odstranit=40013", "<",
                      "&Nápověda>", "&O programu=40003", "<" }),
              MenuOf(module, IDR_NOTEMENU));
}

// Reads a DLGTEMPLATEEX.
struct DialogItem {
    DWORD exStyle, style;
    short x, y, cx, cy;
    int id;
    std::string cls, text;
};
struct Dialog {
    WORD version = 0, signature = 0;
    DWORD helpId = 0, exStyle = 0, style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    std::string menu, cls, title, face;
    WORD points = 0, weight = 0;
    BYTE italic = 0, charset = 0;
    std::vector<DialogItem> items;
};

class TemplateReader {
public:
    explicit TemplateReader(const std::vector<uint8_t>& bytes) : p_(bytes.data()), end_(bytes.data() + bytes.size()) {}
    template <typename T> T Get()
    {
        T value{};
        if (p_ + sizeof(T) <= end_)
            memcpy(&value, p_, sizeof(T));
        p_ += sizeof(T);
        return value;
    }
    // A string, or an ordinal written as "#n"; standard classes by their names.
    std::string SzOrOrd(bool isClass = false)
    {
        WORD first = Get<WORD>();
        if (first == 0xFFFF) {
            WORD ordinal = Get<WORD>();
            if (isClass) {
                switch (ordinal) {
                case 0x80: return "button";
                case 0x81: return "edit";
                case 0x82: return "static";
                }
            }
            return "#" + std::to_string(ordinal);
        }
        std::wstring text;
        for (WORD c = first; c != 0 && p_ < end_; c = Get<WORD>())
            text += static_cast<wchar_t>(c);
        std::string narrow = Narrow(text.c_str(), static_cast<int>(text.size()));
        if (isClass)
            for (char& c : narrow)
                c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
        return narrow;
    }
    void AlignDword(const uint8_t* base) { p_ = base + ((p_ - base + 3) & ~3); }

private:
    const uint8_t* p_;
    const uint8_t* end_;
};

Dialog ParseDialog(const std::vector<uint8_t>& bytes)
{
    Dialog d;
    TemplateReader in(bytes);
    d.version = in.Get<WORD>();
    d.signature = in.Get<WORD>();
    d.helpId = in.Get<DWORD>();
    d.exStyle = in.Get<DWORD>();
    d.style = in.Get<DWORD>();
    WORD count = in.Get<WORD>();
    d.x = in.Get<short>(); d.y = in.Get<short>(); d.cx = in.Get<short>(); d.cy = in.Get<short>();
    d.menu = in.SzOrOrd();
    d.cls = in.SzOrOrd(true);
    d.title = in.SzOrOrd();
    if (d.style & DS_SETFONT) {
        d.points = in.Get<WORD>();
        d.weight = in.Get<WORD>();
        d.italic = in.Get<BYTE>();
        d.charset = in.Get<BYTE>();
        d.face = in.SzOrOrd();
    }
    for (WORD i = 0; i < count; ++i) {
        in.AlignDword(bytes.data());
        DialogItem item;
        in.Get<DWORD>();  // help id
        item.exStyle = in.Get<DWORD>();
        item.style = in.Get<DWORD>();
        item.x = in.Get<short>(); item.y = in.Get<short>(); item.cx = in.Get<short>(); item.cy = in.Get<short>();
        item.id = static_cast<int>(in.Get<DWORD>());
        item.cls = in.SzOrOrd(true);
        item.text = in.SzOrOrd();
        WORD extra = in.Get<WORD>();
        for (WORD e = 0; e < extra; ++e)
            in.Get<BYTE>();
        d.items.push_back(item);
    }
    return d;
}

std::string Describe(const DialogItem& item)
{
    char text[256];
    snprintf(text, sizeof text, "id %d %s \"%s\" at %d,%d %dx%d style %08lX ex %08lX", item.id, item.cls.c_str(),
             item.text.c_str(), item.x, item.y, item.cx, item.cy, item.style, item.exStyle);
    return text;
}

const DWORD CHILD = WS_CHILD | WS_VISIBLE;

void ExpectDialogFrame(const Dialog& d, DWORD style, short cx, short cy, const char* title)
{
    EXPECT_EQ(1, d.version);
    EXPECT_EQ(0xFFFF, d.signature) << "not an extended template";
    EXPECT_EQ(0u, d.exStyle);
    EXPECT_EQ(style, d.style);
    EXPECT_EQ(0, d.x);
    EXPECT_EQ(0, d.y);
    EXPECT_EQ(cx, d.cx);
    EXPECT_EQ(cy, d.cy);
    EXPECT_EQ("", d.menu);
    EXPECT_EQ("", d.cls);
    EXPECT_EQ(title, d.title);
    EXPECT_EQ(8, d.points);
    EXPECT_EQ(0, d.weight);
    EXPECT_EQ(0, d.italic);
    EXPECT_EQ(0, d.charset);
    EXPECT_EQ("MS Sans Serif", d.face);
}

TEST_F(ResourcesTest, AboutDialogTemplate)
{
    Dialog d = ParseDialog(Bytes(RT_DIALOG, IDD_ABOUT));
    ExpectDialogFrame(d, WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_CENTER, 170, 73,
                      "O Programu Memovky");
    std::vector<std::string> expected = {
        Describe({ 0, CHILD | BS_DEFPUSHBUTTON | WS_TABSTOP, 60, 52, 50, 14, IDOK, "button", "OK" }),
        Describe({ 0, CHILD | SS_ICON, 7, 7, 20, 20, -1, "static", "#101" }),
        Describe({ 0, CHILD | SS_LEFT | WS_GROUP, 47, 20, 81, 8, -1, "static", AUTHOR_LINE }),
        Describe({ 0, CHILD | SS_LEFT | WS_GROUP, 47, 33, 46, 8, -1, "static", MAKER_HOST }),
        Describe({ 0, CHILD | SS_LEFT | WS_GROUP, 47, 7, 99, 8, -1, "static", "Memovky pro Windows  v. 1.5" }),
    };
    std::vector<std::string> actual;
    for (const DialogItem& item : d.items)
        actual.push_back(Describe(item));
    EXPECT_EQ(expected, actual);
}

TEST_F(ResourcesTest, SettingsDialogTemplate)
{
    Dialog d = ParseDialog(Bytes(RT_DIALOG, IDD_SETTINGS));
    ExpectDialogFrame(d, WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT, 233, 137,
                      "Nastavení programu");
    const DWORD field = CHILD | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL;
    const DWORD label = CHILD | SS_LEFT | WS_GROUP;
    const DWORD push = CHILD | BS_PUSHBUTTON | WS_TABSTOP;
    std::vector<std::string> expected = {
        Describe({ 0, CHILD | BS_DEFPUSHBUTTON | WS_TABSTOP, 121, 116, 50, 14, IDOK, "button", "OK" }),
        Describe({ 0, push, 176, 116, 50, 14, IDCANCEL, "button", "Cancel" }),
        Describe({ 0, field | ES_NUMBER, 130, 14, 27, 14, IDC_MARK_CX, "edit", "" }),
        Describe({ 0, label, 162, 17, 8, 8, -1, "static", "x" }),
        Describe({ 0, field | ES_NUMBER, 171, 14, 27, 14, IDC_MARK_CY, "edit", "" }),
        Describe({ 0, label, 7, 82, 124, 8, -1, "static", "Složka pro ukádání datového souboru:" }),
        Describe({ 0, field | ES_READONLY, 7, 94, 199, 14, IDC_FOLDER, "edit", "" }),
        Describe({ 0, push, 210, 94, 16, 14, IDC_BROWSE, "button", "..." }),
        Describe({ 0, push, 130, 37, 39, 14, IDC_MARK_COLOR, "button", "Vybrat" }),
        Describe({ 0, push, 151, 61, 43, 14, IDC_POPUP_COLOR, "button", "Vybrat" }),
        Describe({ 0, CHILD | BS_GROUPBOX, 7, 7, 219, 47, -1, "button", " Značky záznamů " }),
        Describe({ 0, label, 13, 17, 109, 8, -1, "static", "Rozměry (v rozsahu 4 - 100 pixelů)" }),
        Describe({ 0, label, 15, 38, 46, 8, IDC_MARK_COLOR_LABEL, "static", "Výchozí barva" }),
        Describe({ 0, label, 7, 65, 68, 8, -1, "static", "Barva okna záznamů" }),
    };
    std::vector<std::string> actual;
    for (const DialogItem& item : d.items)
        actual.push_back(Describe(item));
    EXPECT_EQ(expected, actual);
}

// "WxH@bpp" for every image of an icon group, in group order.
std::vector<std::string> IconGroup(const std::vector<uint8_t>& bytes)
{
    std::vector<std::string> images;
    if (bytes.size() < 6)
        return { "(no group)" };
    WORD count;
    memcpy(&count, &bytes[4], 2);
    for (WORD i = 0; i < count && 6 + 14u * (i + 1) <= bytes.size(); ++i) {
        const uint8_t* entry = &bytes[6 + 14 * i];
        WORD bits;
        memcpy(&bits, entry + 6, 2);
        int w = entry[0] ? entry[0] : 256, h = entry[1] ? entry[1] : 256;
        images.push_back(std::to_string(w) + "x" + std::to_string(h) + "@" + std::to_string(bits));
    }
    return images;
}

TEST_F(ResourcesTest, IconGroupsHoldTheirImagesInOrder)
{
    EXPECT_EQ((Items{ "32x32@1", "32x32@4" }), IconGroup(Bytes(RT_GROUP_ICON, IDI_APP)));
    EXPECT_EQ((Items{ "32x32@4" }), IconGroup(Bytes(RT_GROUP_ICON, IDI_CLOCK)));
    EXPECT_EQ((Items{ "32x32@4", "16x16@4", "48x48@8", "32x32@8", "16x16@8", "48x48@32", "32x32@24", "16x16@32" }),
              IconGroup(Bytes(RT_GROUP_ICON, IDI_SETTINGS)));
    EXPECT_EQ((Items{ "32x32@4", "32x32@8", "16x16@4", "16x16@8" }), IconGroup(Bytes(RT_GROUP_ICON, IDI_SMALL)));
}

std::string VersionString(const std::vector<uint8_t>& info, const char* name)
{
    char* value = nullptr;
    UINT length = 0;
    std::string path = std::string("\\StringFileInfo\\040504b0\\") + name;
    if (!VerQueryValueA(info.data(), path.c_str(), reinterpret_cast<void**>(&value), &length) || !value)
        return "(missing)";
    return value;
}

TEST_F(ResourcesTest, VersionRecord)
{
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(ProgramPath().c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::vector<uint8_t> info(size);
    ASSERT_TRUE(GetFileVersionInfoA(ProgramPath().c_str(), 0, size, info.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(0x00010000u, fixed->dwFileVersionMS);
    EXPECT_EQ(0x00000001u, fixed->dwFileVersionLS);
    EXPECT_EQ(0x00010000u, fixed->dwProductVersionMS);
    EXPECT_EQ(0x00000001u, fixed->dwProductVersionLS);
    EXPECT_EQ(0x3Fu, fixed->dwFileFlagsMask);
    EXPECT_EQ(0u, fixed->dwFileFlags);
    EXPECT_EQ(0x40004u, fixed->dwFileOS);
    EXPECT_EQ(static_cast<DWORD>(VFT_APP), fixed->dwFileType);
    EXPECT_EQ(0u, fixed->dwFileSubtype);

    EXPECT_EQ("Memovky", VersionString(info, "FileDescription"));
    EXPECT_EQ("1, 0, 0, 1", VersionString(info, "FileVersion"));
    EXPECT_EQ("Memovky", VersionString(info, "InternalName"));
    EXPECT_EQ("Memovky.exe", VersionString(info, "OriginalFilename"));
    EXPECT_EQ("Memovky pro Windows", VersionString(info, "ProductName"));
    EXPECT_EQ("1, 0, 0, 1", VersionString(info, "ProductVersion"));
    // The copyright is held by the maker, whose name the company entry carries.
    EXPECT_EQ("Harvelo", VersionString(info, "CompanyName"));
    EXPECT_EQ("© 2026 Harvelo", VersionString(info, "LegalCopyright"));

    DWORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length));
    ASSERT_EQ(4u, length);
    EXPECT_EQ(MAKELONG(0x0405, 1200), static_cast<LONG>(*translation));
}

TEST_F(ResourcesTest, ManifestAsksForCommonControlsSixForThisProcessor)
{
    std::vector<uint8_t> bytes = Bytes(RT_MANIFEST, 1);
    std::string manifest(bytes.begin(), bytes.end());
    const std::string arch = sizeof(void*) == 8 ? "amd64" : "X86";
    EXPECT_NE(std::string::npos, manifest.find("name=\"Microsoft.Windows.Memovky\""));
    EXPECT_NE(std::string::npos, manifest.find("version=\"1.0.0.0\" processorArchitecture=\"" + arch + "\""));
    EXPECT_NE(std::string::npos, manifest.find("<description>Memovky</description>"));
    EXPECT_NE(std::string::npos, manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\" "
                                               "processorArchitecture=\"" + arch + "\" publicKeyToken=\"6595b64144ccf1df\" "
                                               "language=\"*\""));
}

// GDI scaling keeps text sharp at high DPI on Windows 10; no DPI awareness, so the program's pixels
// and stored places stay as they are. Read back as the system's manifest parser sees it.
TEST_F(ResourcesTest, ManifestAsksForGdiScalingAndNoDpiAwareness)
{
    const std::string path = ProgramPath();
    ACTCTXA request = { sizeof request, ACTCTX_FLAG_RESOURCE_NAME_VALID, path.c_str() };
    request.lpResourceName = CREATEPROCESS_MANIFEST_RESOURCE_ID;
    HANDLE context = CreateActCtxA(&request);
    ASSERT_NE(INVALID_HANDLE_VALUE, context) << "the manifest does not parse: " << GetLastError();
    auto setting = [context](const wchar_t* year, const wchar_t* name) {
        WCHAR value[32] = L"", space[64];
        SIZE_T written = 0;
        wsprintfW(space, L"http://schemas.microsoft.com/SMI/%s/WindowsSettings", year);
        return QueryActCtxSettingsW(0, context, space, name, value, 32, &written) ? Narrow(value) : "(none)";
    };
    EXPECT_EQ("true", setting(L"2017", L"gdiScaling"));
    EXPECT_EQ("(none)", setting(L"2005", L"dpiAware"));
    EXPECT_EQ("(none)", setting(L"2016", L"dpiAwareness"));
    ReleaseActCtx(context);
}

} // namespace
