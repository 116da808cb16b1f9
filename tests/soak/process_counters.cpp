#include "tests/soak/process_counters.h"
#include <psapi.h>
#include <winternl.h>
#include <vector>

namespace {

// One entry of the GDI handle table that a process's PEB points to; the same on both targets.
struct GdiHandleEntry {
    UINT64 object;
    ULONG owner;
    USHORT unique;
    UCHAR type;
    UCHAR flags;
    UINT64 userPointer;
};
static_assert(sizeof(GdiHandleEntry) == 24, "GDI handle entry layout");

const size_t GDI_HANDLE_COUNT = 0x10000;
const size_t PEB_GDI_TABLE_OFFSET = sizeof(void*) == 8 ? 0xF8 : 0x94;

using QueryProcessFn = NTSTATUS (NTAPI *)(HANDLE, PROCESSINFOCLASS, void*, ULONG, ULONG*);

struct WindowTally {
    DWORD processId;
    int count;
};

BOOL CALLBACK CountChild(HWND, LPARAM data)
{
    ++reinterpret_cast<WindowTally*>(data)->count;
    return TRUE;
}

BOOL CALLBACK CountTop(HWND window, LPARAM data)
{
    auto* tally = reinterpret_cast<WindowTally*>(data);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == tally->processId) {
        ++tally->count;
        EnumChildWindows(window, CountChild, data);
    }
    return TRUE;
}

} // namespace

int GdiObjectCount(HANDLE process)
{
    auto query = reinterpret_cast<QueryProcessFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess")));
    PROCESS_BASIC_INFORMATION basic = {};
    if (!query || query(process, ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0)
        return -1;
    UINT_PTR table = 0;
    if (!ReadProcessMemory(process, reinterpret_cast<const char*>(basic.PebBaseAddress) + PEB_GDI_TABLE_OFFSET,
                           &table, sizeof table, nullptr) || !table)
        return -1;
    std::vector<GdiHandleEntry> entries(GDI_HANDLE_COUNT);
    if (!ReadProcessMemory(process, reinterpret_cast<const void*>(table), entries.data(),
                           entries.size() * sizeof(GdiHandleEntry), nullptr))
        return -1;
    int live = 0;
    for (const GdiHandleEntry& entry : entries)
        live += entry.type != 0;
    return live;
}

int WindowCount(DWORD processId)
{
    WindowTally tally = { processId, 0 };
    EnumWindows(CountTop, reinterpret_cast<LPARAM>(&tally));
    return tally.count;
}

size_t CommittedBytes(HANDLE process)
{
    PROCESS_MEMORY_COUNTERS counters = { sizeof counters };
    return GetProcessMemoryInfo(process, &counters, sizeof counters) ? counters.PagefileUsage : 0;
}
