// Unwinding a thread's context into the stack slots that hold return addresses.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "crashreport/stack/win32/unwound_frames.h"

namespace brevant::crashreport {
namespace {

std::uintptr_t OwnStackBase() {
    return reinterpret_cast<std::uintptr_t>(reinterpret_cast<const NT_TIB*>(NtCurrentTeb())->StackBase);
}

#ifdef _WIN64
// Unwinds from its own context while its frame is live, and finds its return slot by looking.
struct OwnUnwinding {
    std::vector<std::uintptr_t> slots;
    std::uintptr_t returnSlot = 0;
};

[[gnu::noinline]] OwnUnwinding UnwindFromHere(DWORD64 frameRegister) {
    CONTEXT context{};
    RtlCaptureContext(&context);
    OwnUnwinding result;
    const auto* slot = reinterpret_cast<void* const*>(context.Rsp);
    for (int i = 0; i < 256 && result.returnSlot == 0; ++i, ++slot)
        if (*slot == __builtin_return_address(0)) result.returnSlot = reinterpret_cast<std::uintptr_t>(slot);
    if (frameRegister != 0) context.Rbp = frameRegister;
    result.slots = UnwoundReturnSlots(context, 0, OwnStackBase());
    return result;
}

TEST(UnwoundFramesTest, FindsTheReturnSlotsOfTheLiveStack) {
    const OwnUnwinding own = UnwindFromHere(0);
    ASSERT_NE(own.returnSlot, 0u);
    ASSERT_GE(own.slots.size(), 2u);
    EXPECT_EQ(own.slots.front(), own.returnSlot);
    EXPECT_TRUE(std::is_sorted(own.slots.begin(), own.slots.end()));
}

// The context of frames that are gone (a caught exception's thrower) may hold any value in the
// frame register: the unwinding must stop there instead of reading where it points.
TEST(UnwoundFramesTest, AFrameRegisterOutsideTheStackEndsTheUnwindingWithoutAFault) {
    for (DWORD64 garbage : {DWORD64{0x10}, DWORD64{0x7FF000000000}, DWORD64{0xFFFF800000000000}})
        EXPECT_TRUE(UnwindFromHere(garbage).slots.empty()) << std::hex << garbage;
}
#endif

}  // namespace
}  // namespace brevant::crashreport
