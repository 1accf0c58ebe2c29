#include "crashreport/core/win32/code_patch.h"

#include "crashreport/core/call_site_search.h"

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "base/win32/own_memory.h"

namespace brevant::crashreport {

namespace {

struct CodePatch {
    std::uint8_t* target;
    std::vector<std::uint8_t> before;
    std::vector<std::uint8_t> after;
    void* ownedBlock = nullptr;  // a trampoline, released with the patch
};

SRWLOCK patchLock = SRWLOCK_INIT;
std::vector<CodePatch>& Patches() {
    static auto* patches = new std::vector<CodePatch>;
    return *patches;
}

bool WriteCode(std::uint8_t* at, const std::vector<std::uint8_t>& bytes) {
    DWORD protection = 0;
    if (!VirtualProtect(at, bytes.size(), PAGE_EXECUTE_READWRITE, &protection)) return false;
    std::memcpy(at, bytes.data(), bytes.size());
    VirtualProtect(at, bytes.size(), protection, &protection);
    FlushInstructionCache(GetCurrentProcess(), at, bytes.size());
    return true;
}

// jmp [slot]: the routine the slot points to.
std::uint8_t* FollowImportJump(std::uint8_t* routine) {
    if (!IsReadable(routine, 6) || routine[0] != 0xFF || routine[1] != 0x25) return routine;
    std::int32_t operand;
    std::memcpy(&operand, routine + 2, 4);
#if defined(__x86_64__)
    auto* slot = reinterpret_cast<std::uint8_t**>(routine + 6 + operand);
#else
    auto* slot = reinterpret_cast<std::uint8_t**>(static_cast<std::uintptr_t>(static_cast<std::uint32_t>(operand)));
#endif
    return IsReadable(slot, sizeof(*slot)) ? *slot : routine;
}

std::vector<std::uint8_t> JumpBytes(const std::uint8_t* from, const void* to) {
    const auto distance = reinterpret_cast<std::intptr_t>(to) - reinterpret_cast<std::intptr_t>(from + 5);
    std::vector<std::uint8_t> bytes;
    if (distance >= INT32_MIN && distance <= INT32_MAX) {
        const auto relative = static_cast<std::int32_t>(distance);
        bytes = {0xE9, 0, 0, 0, 0};
        std::memcpy(&bytes[1], &relative, 4);
    } else {
        // jmp [rip+0] followed by the absolute address.
        bytes = {0xFF, 0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
        const auto absolute = reinterpret_cast<std::uint64_t>(to);
        std::memcpy(&bytes[6], &absolute, 8);
    }
    return bytes;
}

bool RecordPatch(std::uint8_t* target, std::vector<std::uint8_t> after, void* ownedBlock) {
    if (!IsReadable(target, after.size())) return false;
    std::vector<std::uint8_t> before(target, target + after.size());
    if (before == after) return false;
    AcquireSRWLockExclusive(&patchLock);
    const bool written = WriteCode(target, after);
    if (written) Patches().push_back({target, std::move(before), std::move(after), ownedBlock});
    ReleaseSRWLockExclusive(&patchLock);
    return written;
}

// A block of executable memory within a 32-bit distance of `site`, or null.
void* AllocateNear(const std::uint8_t* site, std::size_t size) {
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    const std::uintptr_t granularity = system.dwAllocationGranularity;
    const auto centre = reinterpret_cast<std::uintptr_t>(site);
    const std::uintptr_t reach = 0x70000000;
    const std::uintptr_t lowest = centre > reach ? centre - reach : granularity;
    for (std::uintptr_t at = (lowest + granularity - 1) / granularity * granularity; at < centre + reach;) {
        MEMORY_BASIC_INFORMATION region;
        if (VirtualQuery(reinterpret_cast<void*>(at), &region, sizeof(region)) == 0) break;
        const auto regionEnd = reinterpret_cast<std::uintptr_t>(region.BaseAddress) + region.RegionSize;
        if (region.State == MEM_FREE && regionEnd - at >= size) {
            if (void* block = VirtualAlloc(reinterpret_cast<void*>(at), size, MEM_RESERVE | MEM_COMMIT,
                                           PAGE_EXECUTE_READWRITE))
                return block;
        }
        at = (regionEnd + granularity - 1) / granularity * granularity;
    }
    return nullptr;
}

}  // namespace

bool RedirectCallSite(const CallSite& site, const void* replacement) {
    auto* at = reinterpret_cast<std::uint8_t*>(static_cast<std::uintptr_t>(site.address));
    const auto to = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(replacement));
    if (auto bytes = RelativeCallBytes(site.address, site.length, to)) return RecordPatch(at, std::move(*bytes), nullptr);
    void* trampoline = AllocateNear(at, 64);
    if (trampoline == nullptr) return false;
    const std::vector<std::uint8_t> jump = JumpBytes(static_cast<std::uint8_t*>(trampoline), replacement);
    std::memcpy(trampoline, jump.data(), jump.size());
    FlushInstructionCache(GetCurrentProcess(), trampoline, jump.size());
    auto bytes = RelativeCallBytes(site.address, site.length, reinterpret_cast<std::uintptr_t>(trampoline));
    if (bytes && RecordPatch(at, std::move(*bytes), trampoline)) return true;
    VirtualFree(trampoline, 0, MEM_RELEASE);
    return false;
}

bool RedirectRoutine(void* routine, const void* replacement) {
    if (routine == nullptr || replacement == nullptr) return false;
    std::uint8_t* target = FollowImportJump(static_cast<std::uint8_t*>(routine));
    return RecordPatch(target, JumpBytes(target, replacement), nullptr);
}

void UndoAllPatches() {
    AcquireSRWLockExclusive(&patchLock);
    std::vector<CodePatch>& patches = Patches();
    for (auto patch = patches.rbegin(); patch != patches.rend(); ++patch) {
        if (std::memcmp(patch->target, patch->after.data(), patch->after.size()) != 0) continue;
        WriteCode(patch->target, patch->before);
        if (patch->ownedBlock) VirtualFree(patch->ownedBlock, 0, MEM_RELEASE);
    }
    patches.clear();
    ReleaseSRWLockExclusive(&patchLock);
}

}  // namespace brevant::crashreport
