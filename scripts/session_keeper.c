/* Keeps a Wine desktop alive for a whole session. Wine ends the desktop (and its services) when
   the last program in it ends; the next program would start them anew, handing them its own
   standard output, which then stays open after that program has ended. */
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show)
{
    MSG msg;
    (void)previous; (void)commandLine; (void)show;
    CreateWindowExA(0, "STATIC", "memovky session keeper", WS_POPUP, 0, 0, 1, 1,
                    NULL, NULL, instance, NULL);
    while (GetMessageA(&msg, NULL, 0, 0) > 0)
        DispatchMessageA(&msg);
    return 0;
}
