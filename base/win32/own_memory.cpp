#include "base/win32/own_memory.h"

#include <windows.h>

#include <cstring>

namespace brevant {

bool IsReadableState(std::uint32_t state, std::uint32_t protection) {
    constexpr DWORD kReadable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                                PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
    return state == MEM_COMMIT && (protection & kReadable) != 0 && (protection & PAGE_GUARD) == 0;
}

std::size_t ReadableBytesFrom(std::uintptr_t address) {
    MEMORY_BASIC_INFORMATION region{};
    if (VirtualQuery(reinterpret_cast<const void*>(address), &region, sizeof region) != sizeof region) return 0;
    if (!IsReadableState(region.State, region.Protect)) return 0;
    return reinterpret_cast<std::uintptr_t>(region.BaseAddress) + region.RegionSize - address;
}

// Region by region: a range may span several regions of different protection.
bool IsReadable(const void* address, std::size_t size) {
    if (address == nullptr) return false;
    auto at = reinterpret_cast<std::uintptr_t>(address);
    const std::uintptr_t end = at + size;
    if (end < at) return false;
    while (at < end) {
        const std::size_t readable = ReadableBytesFrom(at);
        if (readable == 0) return false;
        at += readable;
        if (at < readable) break;  // the last region ends at the top of the address space
    }
    return true;
}

bool ReadOwnMemory(std::uintptr_t address, void* buffer, std::size_t size) {
    if (size == 0) return true;
    if (!IsReadable(reinterpret_cast<const void*>(address), size)) return false;
    std::memcpy(buffer, reinterpret_cast<const void*>(address), size);
    return true;
}

}  // namespace brevant
