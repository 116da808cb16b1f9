// Bounded waiting: pump this thread's messages until a condition holds or the time is up.
#pragma once
#include <windows.h>
#include <functional>

constexpr DWORD DEFAULT_WAIT_MS = 10000;

// A time limit stretched by the factor in MEMOVKY_WAIT_FACTOR (scripts/test32.sh sets it: under
// emulation the 32-bit Wine does everything many times slower). Every poll's limit goes through it.
DWORD WaitLimit(DWORD ms);

// Dispatches everything already queued for this thread.
void PumpPending();
// True as soon as done() holds; false when timeoutMs passed first.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = DEFAULT_WAIT_MS);
// Lets ms pass as a user's pause does, with this thread's messages dispatched meanwhile; not
// stretched under emulation, as the program's own timers are not.
void PumpFor(DWORD ms);
// Removes a WM_QUIT left by a destroyed main window, so that later modal loops run.
void DrainQuitMessage();

// A clock for benchmarks, in milliseconds from an arbitrary start.
double NowMs();
// How long action took, in milliseconds.
double TimeMs(const std::function<void()>& action);
