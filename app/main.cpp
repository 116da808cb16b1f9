#include "app/app.h"

// The command line and the show command are ignored: the program always starts in the tray.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    g_hInst = instance;
    if (!InitApplication())
        return 0;
    return RunMessageLoop();
}
