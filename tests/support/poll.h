// Bounded waiting: pump this thread's messages until a condition holds or the time is up.
#pragma once
#include <windows.h>
#include <functional>

constexpr DWORD DEFAULT_WAIT_MS = 10000;

// Dispatches everything already queued for this thread.
void PumpPending();
// True as soon as done() holds; false when timeoutMs passed first.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = DEFAULT_WAIT_MS);
// Removes a WM_QUIT left by a destroyed main window, so that later modal loops run.
void DrainQuitMessage();
