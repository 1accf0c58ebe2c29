#include "crashreport/stack/win32/unwound_frames.h"

namespace brevant::crashreport {

namespace {

// Deeper stacks than this are cut: the slots only anchor the walk, which scans every slot anyway.
constexpr int kMaxFrames = 4096;

}  // namespace

std::vector<std::uintptr_t> UnwoundReturnSlots(const CONTEXT& context, std::uintptr_t bottom, std::uintptr_t top) {
    std::vector<std::uintptr_t> slots;
#ifdef _WIN64
    // The unwinding reads the stack from the context's stack pointer up to the top: that must
    // be one committed region, or the context does not belong to this stack.
    MEMORY_BASIC_INFORMATION region{};
    if (VirtualQuery(reinterpret_cast<const void*>(context.Rsp), &region, sizeof(region)) != sizeof(region) ||
        region.State != MEM_COMMIT || (region.Protect & (PAGE_GUARD | PAGE_NOACCESS)) ||
        reinterpret_cast<std::uintptr_t>(region.BaseAddress) + region.RegionSize < top)
        return slots;
    CONTEXT frame = context;
    for (int depth = 0; depth < kMaxFrames; ++depth) {
        const std::uintptr_t rsp = frame.Rsp;
        // Every read of the unwinding lies at or above the frame's stack pointer, inside the
        // stack; frames below the walked range are unwound through but not recorded.
        if (frame.Rip == 0 || rsp + sizeof(void*) > top) break;
        DWORD64 imageBase = 0;
        PRUNTIME_FUNCTION function = RtlLookupFunctionEntry(frame.Rip, &imageBase, nullptr);
        if (function) {
            void* handlerData = nullptr;
            DWORD64 establisher = 0;
            RtlVirtualUnwind(UNW_FLAG_NHANDLER, imageBase, frame.Rip, function, &frame, &handlerData, &establisher,
                             nullptr);
        } else if (depth == 0) {
            // A leaf function, which only the innermost frame can be: the return address is at
            // the stack pointer. Further out, code without unwind information ends the chain.
            frame.Rip = *reinterpret_cast<const DWORD64*>(rsp);
            frame.Rsp = rsp + sizeof(void*);
        } else {
            break;
        }
        if (frame.Rsp <= rsp || frame.Rsp > top) break;
        const std::uintptr_t slot = frame.Rsp - sizeof(void*);
        if (frame.Rip == 0 || *reinterpret_cast<const DWORD64*>(slot) != frame.Rip) break;
        if (slot >= bottom) slots.push_back(slot);
    }
#else
    (void)context;
    (void)bottom;
    (void)top;
#endif
    return slots;
}

}  // namespace brevant::crashreport
