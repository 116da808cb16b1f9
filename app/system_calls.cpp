#include "app/system_calls.h"

SystemCalls g_sys;

void ResetSystemCalls()
{
    g_sys = SystemCalls();
}
