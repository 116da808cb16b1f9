// Checks the test environment, not the program: a thread that Wine signals (here by suspending
// it) must still see its own thread block afterwards. QEMU before 8.0 shares one descriptor table
// among the threads of a 32-bit process, and the signalled thread wakes up with the newest
// thread's TEB: test programs with a helper thread then hang or crash at random.
#include <windows.h>
#include <cstdio>

namespace {
HANDLE mainThread;
volatile LONG suspended;

DWORD WINAPI SuspendMain(void*)
{
    SuspendThread(mainThread);
    ResumeThread(mainThread);
    InterlockedExchange(&suspended, 1);
    Sleep(INFINITE);
    return 0;
}
} // namespace

int main()
{
    const DWORD before = GetCurrentThreadId();
    DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &mainThread, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
    if (!CreateThread(nullptr, 0, SuspendMain, nullptr, 0, nullptr))
        return 2;
    while (!suspended) {
    }
    const DWORD after = GetCurrentThreadId();
    std::printf("thread id %lu before, %lu after being suspended by another thread\n", before, after);
    std::fflush(stdout);
    ExitProcess(before == after ? 0 : 1);
}
