#include "crashreport/stack/win32/unwound_frames.h"

namespace brevant::crashreport {

namespace {

// Deeper stacks than this are cut: the slots only anchor the walk, which scans every slot anyway.
constexpr int kMaxFrames = 4096;

}  // namespace

std::vector<std::uintptr_t> UnwoundReturnSlots(const CONTEXT& context, std::uintptr_t bottom, std::uintptr_t top) {
    std::vector<std::uintptr_t> slots;
#ifdef _WIN64
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
        } else {
            // A leaf function: the return address is at the stack pointer.
            frame.Rip = *reinterpret_cast<const DWORD64*>(rsp);
            frame.Rsp = rsp + sizeof(void*);
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
