#include "app/message_boxes.h"
#include "app/app.h"
#include "app/modal_loops.h"
#include "app/system_calls.h"

const char FATAL_TEXT[] =
    "Fatální chyba\nDoporučujeme program ukončit.\nObraťte se prosím na technickou podporu";

static HHOOK BoxHook;

// Wine ignores MB_TOPMOST: the box is put above the top-most notes as it is activated.
static LRESULT CALLBACK RaiseBox(int code, WPARAM wParam, LPARAM lParam)
{
    HWND window = reinterpret_cast<HWND>(wParam);
    char className[8] = "";
    if (code == HCBT_ACTIVATE && GetClassNameA(window, className, sizeof className) && !lstrcmpA(className, "#32770"))
        SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return CallNextHookEx(BoxHook, code, wParam, lParam);
}

// A box without owner hands the activation, as it closes, to whatever window comes next, even
// another program's: the window that was active gets it back, with the focus where it was, or
// given to the window itself (a note passes it on to its text).
static void Reactivate(HWND active, HWND focus)
{
    if (!active || !IsWindow(active) || !IsWindowVisible(active) || !IsWindowEnabled(active))
        return;
    SetForegroundWindow(active);
    SetActiveWindow(active);
    // Under Wine (no window manager) the X keyboard focus is nowhere once the box is gone; only a
    // change of the focus asks X again, and X refuses a request dated before the box went. The
    // request takes the time of the thread's last message: one is posted and taken now.
    MSG now;
    PostThreadMessageA(GetCurrentThreadId(), WM_DATE_THREAD, 0, 0);
    PeekMessageA(&now, nullptr, WM_DATE_THREAD, WM_DATE_THREAD, PM_REMOVE);
    SetFocus(nullptr);
    SetFocus(focus && IsWindow(focus) && IsChild(active, focus) ? focus : active);
}

// No owner and task-modal: every window of the program is disabled while a box is open,
// even when the main window is hidden. Top-most, or it could open unseen behind the notes.
static int ShowBox(const char* text, UINT flags)
{
    HWND active = GetActiveWindow();
    HWND focus = GetFocus();
    HHOOK outer = BoxHook;
    BoxHook = SetWindowsHookExA(WH_CBT, RaiseBox, nullptr, GetCurrentThreadId());
    int answer;
    {
        ModalLoop loop;
        answer = g_sys.MessageBoxA(nullptr, text, APP_TITLE, flags | MB_TASKMODAL | MB_TOPMOST);
    }
    if (BoxHook)
        UnhookWindowsHookEx(BoxHook);
    BoxHook = outer;
    Reactivate(active, focus);
    return answer;
}

int ErrorBox(const char* text)
{
    return ShowBox(text, MB_OK | MB_ICONERROR);
}

int WarningBox(const char* text)
{
    return ShowBox(text, MB_OK | MB_ICONWARNING);
}

void FatalBox(const char* text)
{
    ShowBox(text ? text : FATAL_TEXT, MB_OK | MB_ICONERROR);
}

void FatalBoxes(int count)
{
    for (int i = 0; i < count; ++i)
        FatalBox(nullptr);
}

int AskYesNo(const char* text)
{
    return ShowBox(text, MB_YESNO | MB_ICONQUESTION) == IDYES ? 1 : 0;
}

BOOL RedrawNow(HWND window)
{
    return RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ERASENOW);
}
