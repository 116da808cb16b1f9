// What another process holds, counted in ways Wine supports (GetGuiResources is a stub there).
#pragma once
#include <windows.h>
#include <cstddef>

// Live entries of the process's GDI handle table, read from its memory.
int GdiObjectCount(HANDLE process);
// Windows of the process, top-level ones and all their descendants.
int WindowCount(DWORD processId);
// Private memory committed by the process (heap included), in bytes.
size_t CommittedBytes(HANDLE process);
