// A running copy of the program inside the test process: settings, classes, main window and
// menus as start-up makes them, with boxes recorded and the data file in a fresh folder.
#pragma once
#include "tests/support/box_recorder.h"
#include "tests/support/helpers.h"
#include "tests/support/tray_recorder.h"
#include <gtest/gtest.h>

class AppTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Start-up as the program does it (registry, classes, main window, stored notes, tray).
    void StartProgram();
    // Only what notes need: defaults, classes, the main window and the menus; no registry, no tray.
    void StartWindowsOnly();

    HWND AddExpandedNote(const char* text = nullptr);
    HWND AddPackedNote(int x, int y, const char* text = nullptr);
    HWND NoteWindowAt(int index);

    BoxRecorder boxes;
    TrayRecorder tray;
    TempFolder folder;
};

// What StartWindowsOnly makes, with notes.bin in dataFolder; false when a class or the main
// window cannot be made.
bool StartWindowsIn(const std::string& dataFolder);

// The background brush of the preview class, or null when the class is not registered.
HBRUSH PopupClassBrush();
COLORREF BrushColour(HBRUSH brush);

// Every settings field but the data file holds its default.
void ExpectDefaultSettings();

// Destroys the notes, the main window, the tray icon and menu, and unregisters the classes,
// leaving the process as before start-up.
void EndProgramInProcess();

// Unregisters the three window classes (and frees the preview brush), so start-up can run again.
void UnregisterProgramClasses();
