// Boxes, dialogs, menus and drag loops each run a message loop of their own, inside which the
// program's messages go on. What the background has to tell waits until the last has ended.
#pragma once

void EnterModalLoop();
// The last one to end posts WM_SAVE_DONE to the main window, so that what waited is told.
void LeaveModalLoop();
bool InModalLoop();

// One modal loop for as long as it lives.
class ModalLoop {
public:
    ModalLoop() { EnterModalLoop(); }
    ~ModalLoop() { LeaveModalLoop(); }
    ModalLoop(const ModalLoop&) = delete;
    ModalLoop& operator=(const ModalLoop&) = delete;
};
