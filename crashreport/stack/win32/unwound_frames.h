#pragma once
// The stack slots that hold return addresses, found by unwinding with the images' unwind
// information from a thread's context (64-bit code only; 32-bit code has its frame-pointer
// chain instead and gets no slots here).

#include <windows.h>

#include <cstdint>
#include <vector>

namespace brevant::crashreport {

std::vector<std::uintptr_t> UnwoundReturnSlots(const CONTEXT& context, std::uintptr_t bottom, std::uintptr_t top);

// The same over a copy of the stack taken earlier: the stack from the context's stack pointer
// up to top, now at copy. Slots are given in the stack's own addresses.
std::vector<std::uintptr_t> UnwoundReturnSlotsOfCopy(const CONTEXT& context, std::uintptr_t top, const void* copy);

}  // namespace brevant::crashreport
