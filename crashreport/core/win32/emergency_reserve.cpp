#include "crashreport/core/win32/emergency_reserve.h"

#include <windows.h>

namespace brevant::crashreport {

namespace {

constexpr SIZE_T kAddressSpace = 4 * 1024 * 1024;
constexpr SIZE_T kMemory = 512 * 1024;
SRWLOCK reserveLock = SRWLOCK_INIT;
void* regions[4];
void* blocks[4];

}  // namespace

void TakeEmergencyReserve() {
    AcquireSRWLockExclusive(&reserveLock);
    for (int i = 0; i < 4; ++i) {
        if (!regions[i]) regions[i] = VirtualAlloc(nullptr, kAddressSpace, MEM_RESERVE, PAGE_NOACCESS);
        if (!blocks[i]) blocks[i] = VirtualAlloc(nullptr, kMemory, MEM_COMMIT, PAGE_NOACCESS);
    }
    ReleaseSRWLockExclusive(&reserveLock);
}

void ReleaseEmergencyReserve() {
    AcquireSRWLockExclusive(&reserveLock);
    for (int i = 0; i < 4; ++i) {
        if (regions[i]) VirtualFree(regions[i], 0, MEM_RELEASE);
        if (blocks[i]) VirtualFree(blocks[i], 0, MEM_RELEASE);
        regions[i] = blocks[i] = nullptr;
    }
    ReleaseSRWLockExclusive(&reserveLock);
}

}  // namespace brevant::crashreport
