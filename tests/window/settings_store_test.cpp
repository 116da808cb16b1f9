// The settings in the registry: defaults, each stored value read back, writing, and failures.
#include "app/message_boxes.h"
#include "storage/note_text.h"
#include "storage/settings.h"
#include "tests/support/app_fixture.h"
#include <cstring>

namespace {

// The value as the registry holds it, UTF-16 for texts, without the ANSI layer's conversion.
std::vector<uint8_t> StoredBytes(const char* name)
{
    std::vector<uint8_t> bytes;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY_PATH, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return bytes;
    std::wstring wide(name, name + strlen(name));
    DWORD size = 0;
    if (RegQueryValueExW(key, wide.c_str(), nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS && size) {
        bytes.resize(size);
        RegQueryValueExW(key, wide.c_str(), nullptr, nullptr, bytes.data(), &size);
        bytes.resize(size);
    }
    RegCloseKey(key);
    return bytes;
}

// An ANSI text in the form the registry keeps it: UTF-16, exactly its characters.
std::vector<uint8_t> Utf16Bytes(const std::string& text)
{
    const std::wstring wide = WideText(text);
    auto* raw = reinterpret_cast<const uint8_t*>(wide.data());
    return std::vector<uint8_t>(raw, raw + wide.size() * sizeof(wchar_t));
}

class SettingsStoreTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Harvelo");
        SetDefaultSettings();
    }
    void TearDown() override
    {
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Harvelo");
        AppTest::TearDown();
    }

    // Every box so far was the fixed fatal one.
    void ExpectOnlyFatalBoxes(size_t count)
    {
        ASSERT_EQ(count, boxes.Count()) << boxes.Summary();
        for (const RecordedBox& box : boxes.Boxes())
            EXPECT_STREQ(FATAL_TEXT, box.text.c_str());
    }

    static void ExpectDefaults(const char* why)
    {
        SCOPED_TRACE(why);
        ExpectDefaultSettings();
    }
};

TEST_F(SettingsStoreTest, FirstStartCreatesAnEmptyKeyAndKeepsTheDefaults)
{
    ASSERT_FALSE(SettingsKeyExists());
    FatalBoxes(LoadSettings());
    EXPECT_EQ(0u, boxes.Count()) << boxes.Summary();
    EXPECT_EQ(0, CountSettingsValues()) << "the key must exist and hold no values";
    ExpectDefaults("first start");
    EXPECT_EQ(nullptr, SettingsKey) << "the key must be closed after loading";
}

// Each value alone overlays only its own field; the sizes are taken as stored, unchecked.
struct StoredDword {
    const char* name;
    DWORD value;
};

class SingleValueTest : public SettingsStoreTest, public ::testing::WithParamInterface<StoredDword> {};

TEST_P(SingleValueTest, OverlaysOnlyItsField)
{
    const StoredDword stored = GetParam();
    WriteSettingsDword(stored.name, stored.value);
    FatalBoxes(LoadSettings());
    EXPECT_EQ(0u, boxes.Count()) << boxes.Summary();
    const std::string name = stored.name;
    EXPECT_EQ(name == "MarkColor" ? stored.value : 255u, Settings.MarkColor);
    EXPECT_EQ(name == "PopupColor" ? stored.value : GetSysColor(COLOR_INFOBK), Settings.PopupColor);
    EXPECT_EQ(name == "PackedNoteSizecx" ? static_cast<LONG>(stored.value) : 16, Settings.PackedNoteSize.cx);
    EXPECT_EQ(name == "PackedNoteSizecy" ? static_cast<LONG>(stored.value) : 16, Settings.PackedNoteSize.cy);
    EXPECT_STREQ("c:\\", Settings.DataFolder);
    EXPECT_EQ(300, Settings.NoteSize.cx);
    EXPECT_EQ(250, Settings.NoteSize.cy);
}

INSTANTIATE_TEST_SUITE_P(EachValue, SingleValueTest, ::testing::Values(
    StoredDword{ "MarkColor", 0x00123456 }, StoredDword{ "MarkColor", 0 },
    StoredDword{ "PopupColor", 0x00ABCDEF }, StoredDword{ "PackedNoteSizecx", 0 },
    StoredDword{ "PackedNoteSizecx", 500 }, StoredDword{ "PackedNoteSizecy", 0 },
    StoredDword{ "PackedNoteSizecy", 500 }, StoredDword{ "PackedNoteSizecy", 0xFFFFFFFF }));

TEST_F(SettingsStoreTest, AllValuesTogetherAndTheNoteSizeUntouched)
{
    WriteSettingsDword("MarkColor", RGB(1, 2, 3));
    WriteSettingsDword("PopupColor", RGB(4, 5, 6));
    WriteSettingsDword("PackedNoteSizecx", 40);
    WriteSettingsDword("PackedNoteSizecy", 7);
    WriteSettingsText("DataFolder", "d:\\Dokumenty\\Poznámky");
    WriteSettingsDword("NoteSizecx", 999);
    FatalBoxes(LoadSettings());
    EXPECT_EQ(0u, boxes.Count()) << boxes.Summary();
    EXPECT_EQ(RGB(1, 2, 3), Settings.MarkColor);
    EXPECT_EQ(RGB(4, 5, 6), Settings.PopupColor);
    EXPECT_EQ(40, Settings.PackedNoteSize.cx);
    EXPECT_EQ(7, Settings.PackedNoteSize.cy);
    EXPECT_STREQ("d:\\Dokumenty\\Poznámky", Settings.DataFolder);
    EXPECT_EQ(300, Settings.NoteSize.cx);
    EXPECT_EQ(250, Settings.NoteSize.cy);
}

// A colour of another type: any data of at most four bytes is the little-endian number of its bytes.
TEST_F(SettingsStoreTest, ShortColourOfAnyTypeIsZeroExtended)
{
    const BYTE three[] = { 0x11, 0x22, 0x33 };
    WriteSettingsValue("MarkColor", REG_BINARY, three, sizeof three);
    WriteSettingsValue("PopupColor", REG_SZ, "ab", 2);
    FatalBoxes(LoadSettings());
    EXPECT_EQ(0u, boxes.Count()) << boxes.Summary();
    EXPECT_EQ(0x00332211u, Settings.MarkColor);
    EXPECT_EQ(0x00006261u, Settings.PopupColor);
}

TEST_F(SettingsStoreTest, OverLongColourBringsFatalBoxKeepsTheDefaultAndLoadingGoesOn)
{
    const BYTE five[] = { 0x11, 0x22, 0x33, 0x44, 0x55 };
    WriteSettingsValue("MarkColor", REG_BINARY, five, sizeof five);
    WriteSettingsValue("PopupColor", REG_SZ, "abcdefgh", 8);
    WriteSettingsDword("PackedNoteSizecx", 33);
    WriteSettingsText("DataFolder", "e:\\data");
    FatalBoxes(LoadSettings());
    ExpectOnlyFatalBoxes(2);
    EXPECT_EQ(255u, Settings.MarkColor);
    EXPECT_EQ(GetSysColor(COLOR_INFOBK), Settings.PopupColor);
    EXPECT_EQ(33, Settings.PackedNoteSize.cx) << "later values must still be read";
    EXPECT_STREQ("e:\\data", Settings.DataFolder);
}

// The folder read back whether or not its stored data ends in a zero, and whatever its type.
struct StoredFolder {
    const char* what;
    DWORD type;
    std::string data;       // raw bytes as stored
    std::string expected;
};

class FolderTest : public SettingsStoreTest, public ::testing::WithParamInterface<StoredFolder> {};

TEST_P(FolderTest, ReadsTheStoredCharacters)
{
    const StoredFolder& stored = GetParam();
    SCOPED_TRACE(stored.what);
    WriteSettingsValue("DataFolder", stored.type, stored.data.data(), static_cast<DWORD>(stored.data.size()));
    const std::vector<uint8_t> raw(stored.data.begin(), stored.data.end());
    ASSERT_EQ(stored.type == REG_BINARY ? raw : Utf16Bytes(stored.data), StoredBytes("DataFolder"))
        << "the test did not store what it meant to";
    FatalBoxes(LoadSettings());
    EXPECT_EQ(0u, boxes.Count()) << boxes.Summary();
    EXPECT_EQ(stored.expected, Settings.DataFolder);
}

const std::string FOLDER_259 = "c:\\" + std::string(256, 'a');

INSTANTIATE_TEST_SUITE_P(Stored, FolderTest, ::testing::Values(
    StoredFolder{ "no terminator", REG_SZ, "d:\\Složka", "d:\\Složka" },
    StoredFolder{ "with terminator", REG_SZ, std::string("d:\\Složka\0", 10), "d:\\Složka" },
    StoredFolder{ "binary, no terminator", REG_BINARY, "d:\\x", "d:\\x" },
    StoredFolder{ "expandable text", REG_EXPAND_SZ, "%TEMP%", "%TEMP%" },
    StoredFolder{ "259 characters", REG_SZ, FOLDER_259, FOLDER_259 },
    StoredFolder{ "259 characters and terminator", REG_SZ, FOLDER_259 + '\0', FOLDER_259 },
    StoredFolder{ "empty keeps the default", REG_SZ, "", "c:\\" },
    StoredFolder{ "only a terminator keeps the default", REG_SZ, std::string(1, '\0'), "c:\\" }),
    [](const ::testing::TestParamInfo<StoredFolder>& info) { return "Case" + std::to_string(info.index); });

// A folder that cannot fit 259 characters and a terminator keeps what the field held.
class OverLongFolderTest : public SettingsStoreTest, public ::testing::WithParamInterface<size_t> {};

TEST_P(OverLongFolderTest, BringsFatalBoxAndKeepsThePreviousFolder)
{
    const size_t length = GetParam();
    WriteSettingsText("DataFolder", "c:\\" + std::string(length - 3, 'b'));
    FatalBoxes(LoadSettings());
    ExpectOnlyFatalBoxes(1);
    EXPECT_STREQ("c:\\", Settings.DataFolder);

    // Not only the default survives: whatever the field held stays.
    boxes.Clear();
    lstrcpynA(Settings.DataFolder, "f:\\předtím", sizeof Settings.DataFolder);
    WriteSettingsText("DataFolder", "c:\\" + std::string(length - 3, 'b'), true);
    FatalBoxes(LoadSettings());
    ExpectOnlyFatalBoxes(1);
    EXPECT_STREQ("f:\\předtím", Settings.DataFolder);
}

INSTANTIATE_TEST_SUITE_P(Lengths, OverLongFolderTest, ::testing::Values(260u, 261u, 300u, 1000u));

TEST_F(SettingsStoreTest, SaveWritesAllFiveValuesWithTheirTypesAndNoTerminator)
{
    Settings.MarkColor = 0x00A1B2C3;
    Settings.PopupColor = 0x00102030;
    Settings.PackedNoteSize = { 4, 100 };
    lstrcpynA(Settings.DataFolder, "d:\\Žluťoučký kůň", sizeof Settings.DataFolder);
    FatalBoxes(SaveSettings());
    EXPECT_EQ(0u, boxes.Count()) << boxes.Summary();
    EXPECT_EQ(5, CountSettingsValues()) << "exactly five values, the note size never stored";
    EXPECT_EQ(nullptr, SettingsKey) << "the key must be closed after saving";

    struct Expected {
        const char* name;
        std::vector<uint8_t> bytes;
    } dwords[] = {
        { "MarkColor", { 0xC3, 0xB2, 0xA1, 0x00 } },
        { "PopupColor", { 0x30, 0x20, 0x10, 0x00 } },
        { "PackedNoteSizecx", { 4, 0, 0, 0 } },
        { "PackedNoteSizecy", { 100, 0, 0, 0 } },
    };
    for (const Expected& expected : dwords) {
        SCOPED_TRACE(expected.name);
        RegValue value = ReadSettingsValue(expected.name);
        ASSERT_TRUE(value.exists);
        EXPECT_EQ(static_cast<DWORD>(REG_DWORD), value.type);
        EXPECT_EQ(expected.bytes, value.data);
    }
    RegValue folder = ReadSettingsValue("DataFolder");
    ASSERT_TRUE(folder.exists);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), folder.type);
    const std::string text = "d:\\Žluťoučký kůň";
    EXPECT_EQ(std::vector<uint8_t>(text.begin(), text.end()), folder.data) << "no terminator may be stored";
    EXPECT_EQ(Utf16Bytes(text), StoredBytes("DataFolder")) << "no terminator may be stored";

    // What was saved is what the next start reads.
    SetDefaultSettings();
    FatalBoxes(LoadSettings());
    EXPECT_EQ(0x00A1B2C3u, Settings.MarkColor);
    EXPECT_EQ(0x00102030u, Settings.PopupColor);
    EXPECT_EQ(4, Settings.PackedNoteSize.cx);
    EXPECT_EQ(100, Settings.PackedNoteSize.cy);
    EXPECT_EQ(text, Settings.DataFolder);
}

TEST_F(SettingsStoreTest, SaveOfAnEmptyFolderStoresTextWithNoData)
{
    Settings.DataFolder[0] = '\0';
    FatalBoxes(SaveSettings());
    EXPECT_EQ(0u, boxes.Count()) << boxes.Summary();
    RegValue folder = ReadSettingsValue("DataFolder");
    ASSERT_TRUE(folder.exists);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), folder.type);
    EXPECT_TRUE(folder.data.empty()) << folder.data.size() << " bytes";
    EXPECT_TRUE(StoredBytes("DataFolder").empty());
}

TEST_F(SettingsStoreTest, SubkeyIsOpenedBelowTheProgramKey)
{
    EXPECT_EQ(1, OpenSettingsKey("Pokus"));
    ASSERT_NE(nullptr, SettingsKey);
    WriteSettingDword("Hodnota", 77);
    CloseSettingsKey();
    EXPECT_EQ(0u, boxes.Count()) << boxes.Summary();
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY_PATH "\\Pokus", 0, KEY_READ, &key));
    DWORD value = 0, size = sizeof value;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "Hodnota", nullptr, nullptr,
                                              reinterpret_cast<BYTE*>(&value), &size));
    EXPECT_EQ(77u, value);
    RegCloseKey(key);
}

// A volatile parent cannot hold a lasting key, so the program's key cannot be created there.
class UnopenableKeyTest : public SettingsStoreTest {
protected:
    void SetUp() override
    {
        SettingsStoreTest::SetUp();
        HKEY parent = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Harvelo", 0, nullptr,
                                                 REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &parent, nullptr));
        RegCloseKey(parent);
    }
};

TEST_F(UnopenableKeyTest, LoadShowsABoxForOpenFlushAndCloseAndKeepsTheSettings)
{
    Settings.MarkColor = RGB(9, 9, 9);
    FatalBoxes(LoadSettings());
    // The existence tests fail quietly on the unusable handle; no value is read.
    ExpectOnlyFatalBoxes(3);
    EXPECT_EQ(RGB(9, 9, 9), Settings.MarkColor);
    EXPECT_EQ(16, Settings.PackedNoteSize.cx);
    EXPECT_STREQ("c:\\", Settings.DataFolder);
    EXPECT_FALSE(SettingsKeyExists());
}

TEST_F(UnopenableKeyTest, SaveShowsABoxForEveryStepAndGoesOn)
{
    FatalBoxes(SaveSettings());
    // Open, five writes, flush, close.
    ExpectOnlyFatalBoxes(8);
    EXPECT_FALSE(SettingsKeyExists());
}

TEST_F(UnopenableKeyTest, OpeningReportsTheFailureAndStillSaysDone)
{
    EXPECT_EQ(1, OpenSettingsKey(nullptr));
    EXPECT_EQ(1, TakeSettingsFailures());
    EXPECT_FALSE(SettingExists("MarkColor"));
    DWORD target = 1234;
    EXPECT_EQ(0, ReadSettingDword("MarkColor", &target));
    EXPECT_EQ(1234u, target);
    char text[SETTINGS_TEXT_SIZE] = "beze změny";
    EXPECT_EQ(0, ReadSettingString("DataFolder", text));
    EXPECT_STREQ("beze změny", text);
    EXPECT_EQ(0u, boxes.Count()) << "missing values are not failures: " << boxes.Summary();
    CloseSettingsKey();
    EXPECT_EQ(2, TakeSettingsFailures());
    EXPECT_EQ(0u, boxes.Count()) << "the store reports to its caller, which tells the user: " << boxes.Summary();
}

} // namespace
