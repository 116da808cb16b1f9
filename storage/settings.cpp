#include "storage/settings.h"
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

SettingsRecord Settings;
HKEY SettingsKey;

// Registry steps that failed since the caller last asked.
static int Failures;

static void Failed()
{
    ++Failures;
}

int TakeSettingsFailures()
{
    const int failures = Failures;
    Failures = 0;
    return failures;
}

void SetDefaultSettings()
{
    Settings.MarkColor = RGB(255, 0, 0);
    Settings.PopupColor = GetSysColor(COLOR_INFOBK);
    Settings.NoteSize = { 300, 250 };
    Settings.PackedNoteSize = { 16, 16 };
    lstrcpynA(Settings.DataFolder, "c:\\", sizeof Settings.DataFolder);
    Settings.DataFile[0] = '\0';
}

int OpenSettingsKey(const char* subkey)
{
    char path[256];
    if (subkey)
        snprintf(path, sizeof path, "%s\\%s", SETTINGS_KEY_PATH, subkey);
    else
        lstrcpynA(path, SETTINGS_KEY_PATH, sizeof path);
    SettingsKey = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &SettingsKey, nullptr) != ERROR_SUCCESS)
        Failed();
    return 1;
}

void CloseSettingsKey()
{
    if (RegFlushKey(SettingsKey) != ERROR_SUCCESS)
        Failed();
    if (RegCloseKey(SettingsKey) != ERROR_SUCCESS)
        Failed();
    SettingsKey = nullptr;
}

bool SettingExists(const char* name)
{
    return RegQueryValueExA(SettingsKey, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

int ReadSettingDword(const char* name, DWORD* target)
{
    if (!SettingExists(name))
        return 0;
    DWORD type, data = 0, size = sizeof data;
    // Shorter data of any type reads zero-extended; longer data does not fit.
    if (RegQueryValueExA(SettingsKey, name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size)
        != ERROR_SUCCESS) {
        Failed();
        return 0;
    }
    *target = data;
    return 1;
}

int ReadSettingString(const char* name, char (&buffer)[SETTINGS_TEXT_SIZE])
{
    if (!SettingExists(name))
        return 0;
    // Read aside so that a failed query cannot leave the caller's text half-changed.
    char text[SETTINGS_TEXT_SIZE];
    DWORD type, size = sizeof text;
    LONG result = RegQueryValueExA(SettingsKey, name, nullptr, &type,
                                   reinterpret_cast<BYTE*>(text), &size);
    // The stored text carries no terminator of its own; it must leave room for ours.
    bool fits = result == ERROR_SUCCESS
             && (size < sizeof text || memchr(text, '\0', sizeof text) != nullptr);
    if (!fits) {
        Failed();
        return 0;
    }
    if (size < sizeof text)
        text[size] = '\0';
    memcpy(buffer, text, sizeof text);
    return 1;
}

void WriteSettingDword(const char* name, DWORD value)
{
    if (RegSetValueExA(SettingsKey, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                       sizeof value) != ERROR_SUCCESS)
        Failed();
}

void WriteSettingString(const char* name, const char* text)
{
    // The ANSI call counts in a terminator it finds right after the data, so the characters
    // go from a copy that is followed by a non-zero byte instead.
    const int length = lstrlenA(text);
    std::vector<char> data(text, text + length);
    data.push_back('\x01');
    if (RegSetValueExA(SettingsKey, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.data()),
                       static_cast<DWORD>(length)) != ERROR_SUCCESS)
        Failed();
}

static void ReadSettingLong(const char* name, LONG* target)
{
    DWORD value;
    if (ReadSettingDword(name, &value))
        *target = static_cast<LONG>(value);
}

int LoadSettings()
{
    OpenSettingsKey(nullptr);
    ReadSettingDword("MarkColor", &Settings.MarkColor);
    ReadSettingDword("PopupColor", &Settings.PopupColor);
    ReadSettingLong("PackedNoteSizecx", &Settings.PackedNoteSize.cx);
    ReadSettingLong("PackedNoteSizecy", &Settings.PackedNoteSize.cy);
    // An empty folder would put the data file in the root of whatever drive is current.
    char folder[SETTINGS_TEXT_SIZE];
    if (ReadSettingString("DataFolder", folder) && folder[0] != '\0')
        lstrcpynA(Settings.DataFolder, folder, sizeof Settings.DataFolder);
    CloseSettingsKey();
    return TakeSettingsFailures();
}

int SaveSettings()
{
    OpenSettingsKey(nullptr);
    WriteSettingDword("MarkColor", Settings.MarkColor);
    WriteSettingDword("PopupColor", Settings.PopupColor);
    WriteSettingDword("PackedNoteSizecx", static_cast<DWORD>(Settings.PackedNoteSize.cx));
    WriteSettingDword("PackedNoteSizecy", static_cast<DWORD>(Settings.PackedNoteSize.cy));
    WriteSettingString("DataFolder", Settings.DataFolder);
    CloseSettingsKey();
    return TakeSettingsFailures();
}

// Each kept file on a line of its own.
static const char UNTOLD_KEPT_FILES[] = "KeptFiles";

void AddUntoldKeptFile(const std::string& path)
{
    OpenSettingsKey(nullptr);
    char known[SETTINGS_TEXT_SIZE] = "";
    std::string files = ReadSettingString(UNTOLD_KEPT_FILES, known) ? known : "";
    files += files.empty() ? path : "\n" + path;
    // A list too long for the value keeps its newest names.
    while (files.size() >= SETTINGS_TEXT_SIZE && files.find('\n') != std::string::npos)
        files.erase(0, files.find('\n') + 1);
    WriteSettingString(UNTOLD_KEPT_FILES, files.c_str());
    CloseSettingsKey();
    TakeSettingsFailures();
}

std::string TakeUntoldKeptFiles()
{
    OpenSettingsKey(nullptr);
    char files[SETTINGS_TEXT_SIZE] = "";
    if (!ReadSettingString(UNTOLD_KEPT_FILES, files))
        files[0] = '\0';
    else
        RegDeleteValueA(SettingsKey, UNTOLD_KEPT_FILES);
    CloseSettingsKey();
    // Not read: then there is nothing to name.
    TakeSettingsFailures();
    return files;
}
