#include "crashreport/stack/win32/unwound_frames.h"

#include <cstddef>

namespace brevant::crashreport {

namespace {

// Deeper stacks than this are cut: the slots only anchor the walk, which scans every slot anyway.
constexpr int kMaxFrames = 4096;

}  // namespace

#ifdef _WIN64
namespace {

// Registers that point into the stack, moved by the distance between the stack and the copy
// the unwinding reads.
void MoveStackRegisters(CONTEXT& frame, std::uintptr_t low, std::uintptr_t high, std::intptr_t distance) {
    for (DWORD64* value : {&frame.Rsp, &frame.Rbp, &frame.Rbx, &frame.Rsi, &frame.Rdi, &frame.R12, &frame.R13,
                           &frame.R14, &frame.R15}) {
        if (*value >= low && *value <= high) *value += distance;
    }
}

// A function that addresses its frame through a frame register is unwound from that register:
// its value must lie in the stack, between the frame's stack pointer and the top. (A context
// whose frames are gone may hold anything there, and the unwinding reads where it points.)
static_assert(offsetof(CONTEXT, R15) - offsetof(CONTEXT, Rax) == 15 * sizeof(DWORD64));

bool FrameRegisterInStack(const CONTEXT& frame, DWORD64 imageBase, const RUNTIME_FUNCTION& function,
                          std::uintptr_t top) {
    const auto* info = reinterpret_cast<const std::uint8_t*>(imageBase + function.UnwindData);
    const unsigned frameRegister = info[3] & 0x0F;
    if (frameRegister == 0) return true;
    const DWORD64 value = (&frame.Rax)[frameRegister];  // the registers in their encoding's order
    return value >= frame.Rsp && value < top;
}

// Unwinds frame by frame over the stack bytes at `distance` from the stack's own addresses (0:
// the live stack) and records the return slots at or above bottom.
std::vector<std::uintptr_t> UnwindSlots(const CONTEXT& context, std::uintptr_t bottom, std::uintptr_t top,
                                        std::intptr_t distance) {
    std::vector<std::uintptr_t> slots;
    const std::uintptr_t low = context.Rsp;
    CONTEXT frame = context;
    for (int depth = 0; depth < kMaxFrames; ++depth) {
        const std::uintptr_t rsp = frame.Rsp;
        // Every read of the unwinding lies at or above the frame's stack pointer, inside the
        // stack; frames below the walked range are unwound through but not recorded.
        if (frame.Rip == 0 || rsp < low || rsp + sizeof(void*) > top) break;
        auto at = [distance](std::uintptr_t address) { return *reinterpret_cast<const DWORD64*>(address + distance); };
        DWORD64 imageBase = 0;
        PRUNTIME_FUNCTION function = RtlLookupFunctionEntry(frame.Rip, &imageBase, nullptr);
        if (function && !FrameRegisterInStack(frame, imageBase, *function, top)) break;
        if (function) {
            void* handlerData = nullptr;
            DWORD64 establisher = 0;
            MoveStackRegisters(frame, low, top, distance);
            RtlVirtualUnwind(UNW_FLAG_NHANDLER, imageBase, frame.Rip, function, &frame, &handlerData, &establisher,
                             nullptr);
            MoveStackRegisters(frame, low + distance, top + distance, -distance);
        } else if (depth == 0) {
            // A leaf function, which only the innermost frame can be: the return address is at
            // the stack pointer. Further out, code without unwind information ends the chain.
            frame.Rip = at(rsp);
            frame.Rsp = rsp + sizeof(void*);
        } else {
            break;
        }
        if (frame.Rsp <= rsp || frame.Rsp > top) break;
        const std::uintptr_t slot = frame.Rsp - sizeof(void*);
        if (frame.Rip == 0 || at(slot) != frame.Rip) break;
        if (slot >= bottom) slots.push_back(slot);
    }
    return slots;
}

}  // namespace
#endif

std::vector<std::uintptr_t> UnwoundReturnSlots(const CONTEXT& context, std::uintptr_t bottom, std::uintptr_t top) {
#ifdef _WIN64
    // The unwinding reads the stack from the context's stack pointer up to the top: that must
    // be one committed region, or the context does not belong to this stack.
    MEMORY_BASIC_INFORMATION region{};
    if (VirtualQuery(reinterpret_cast<const void*>(context.Rsp), &region, sizeof(region)) != sizeof(region) ||
        region.State != MEM_COMMIT || (region.Protect & (PAGE_GUARD | PAGE_NOACCESS)) ||
        reinterpret_cast<std::uintptr_t>(region.BaseAddress) + region.RegionSize < top)
        return {};
    return UnwindSlots(context, bottom, top, 0);
#else
    (void)context;
    (void)bottom;
    (void)top;
    return {};
#endif
}

std::vector<std::uintptr_t> UnwoundReturnSlotsOfCopy(const CONTEXT& context, std::uintptr_t top, const void* copy) {
#ifdef _WIN64
    if (copy == nullptr || top <= context.Rsp) return {};
    return UnwindSlots(context, context.Rsp, top,
                       reinterpret_cast<std::intptr_t>(copy) - static_cast<std::intptr_t>(context.Rsp));
#else
    (void)context;
    (void)top;
    (void)copy;
    return {};
#endif
}

}  // namespace brevant::crashreport
