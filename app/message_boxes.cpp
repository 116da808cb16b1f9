#include "app/message_boxes.h"
#include "app/app.h"

MessageBoxFn g_pfnMessageBox = MessageBoxA;

const char FATAL_TEXT[] =
    "Fatální chyba\nDoporučujeme program ukončit.\nObraťte se prosím na technickou podporu";

// No owner and task-modal: every window of the program is disabled while a box is open,
// even when the main window is hidden.
static int ShowBox(const char* text, UINT flags)
{
    return g_pfnMessageBox(nullptr, text, APP_TITLE, flags | MB_TASKMODAL);
}

int ErrorBox(const char* text)
{
    return ShowBox(text, MB_OK | MB_ICONERROR);
}

void FatalBox(const char* text)
{
    ShowBox(text ? text : FATAL_TEXT, MB_OK | MB_ICONERROR);
}

int AskYesNo(const char* text)
{
    return ShowBox(text, MB_YESNO | MB_ICONQUESTION) == IDYES ? 1 : 0;
}

BOOL RedrawNow(HWND window)
{
    return RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ERASENOW);
}
