// Dies of an access violation. CTest runs it expecting a failure: the test session must report a
// crashing program as failed, and at once, with no crash debugger waiting for someone.
#include <cstdint>

int main(int argc, char**)
{
    // An address the compiler cannot prove is null, so the store is really made.
    volatile int* nowhere = reinterpret_cast<volatile int*>(static_cast<uintptr_t>(argc - 1));
    *nowhere = 1;
    return 0;
}
