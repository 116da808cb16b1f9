// The program's settings and their home in the registry of the current user.
#pragma once
#include <windows.h>
#include <string>

#define SETTINGS_KEY_PATH "Software\\Harvelo\\Memovky"
#define SETTINGS_TEXT_SIZE MAX_PATH

struct SettingsRecord {
    COLORREF MarkColor;                     // colour given to new marks
    COLORREF PopupColor;                    // background of the hover preview
    SIZE NoteSize;                          // an expanded note; never stored
    SIZE PackedNoteSize;                    // a mark
    char DataFolder[SETTINGS_TEXT_SIZE];    // as the user chose it
    char DataFile[SETTINGS_TEXT_SIZE];      // composed once at start-up; never stored
};

extern SettingsRecord Settings;
extern HKEY SettingsKey;

void SetDefaultSettings();
// Both go on past a failed step and return how many steps failed; the caller tells the user.
int LoadSettings();
int SaveSettings();
// Registry steps that failed since this was last asked (each step below counts its failures).
int TakeSettingsFailures();

// Files kept aside where nothing could name them (the end of the session): the next start names
// them. A failed step of the add has nowhere to be told; the take forgets them and returns them a
// line each.
void AddUntoldKeptFile(const std::string& path);
std::string TakeUntoldKeptFiles();

int OpenSettingsKey(const char* subkey);
void CloseSettingsKey();
bool SettingExists(const char* name);
int ReadSettingDword(const char* name, DWORD* target);
int ReadSettingString(const char* name, char (&buffer)[SETTINGS_TEXT_SIZE]);
void WriteSettingDword(const char* name, DWORD value);
void WriteSettingString(const char* name, const char* text);
