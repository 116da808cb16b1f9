#include "app/modal_loops.h"
#include "app/app.h"

// Window thread only.
static int Open;

void EnterModalLoop()
{
    ++Open;
}

void LeaveModalLoop()
{
    if (Open > 0 && --Open == 0 && g_hMainWnd)
        PostMessageA(g_hMainWnd, WM_SAVE_DONE, 0, 0);
}

bool InModalLoop()
{
    return Open > 0;
}
