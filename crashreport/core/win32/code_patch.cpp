#include "crashreport/core/win32/code_patch.h"

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "crashreport/core/win32/exception_objects.h"

namespace brevant::crashreport {

namespace {

struct CodePatch {
    std::uint8_t* target;
    std::vector<std::uint8_t> before;
    std::vector<std::uint8_t> after;
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

}  // namespace

bool RedirectRoutine(void* routine, const void* replacement) {
    if (routine == nullptr || replacement == nullptr) return false;
    std::uint8_t* target = FollowImportJump(static_cast<std::uint8_t*>(routine));
    std::vector<std::uint8_t> after = JumpBytes(target, replacement);
    if (!IsReadable(target, after.size())) return false;
    std::vector<std::uint8_t> before(target, target + after.size());
    if (before == after) return false;
    AcquireSRWLockExclusive(&patchLock);
    const bool written = WriteCode(target, after);
    if (written) Patches().push_back({target, std::move(before), std::move(after)});
    ReleaseSRWLockExclusive(&patchLock);
    return written;
}

void UndoAllPatches() {
    AcquireSRWLockExclusive(&patchLock);
    std::vector<CodePatch>& patches = Patches();
    for (auto patch = patches.rbegin(); patch != patches.rend(); ++patch) {
        if (std::memcmp(patch->target, patch->after.data(), patch->after.size()) == 0)
            WriteCode(patch->target, patch->before);
    }
    patches.clear();
    ReleaseSRWLockExclusive(&patchLock);
}

}  // namespace brevant::crashreport
