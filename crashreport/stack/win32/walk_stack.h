#pragma once
// The call stacks of the running process: a thread's stack walked into report lines, the
// prepared call stack recorded when an exception is raised, and one code address as a line.

#include <cstdint>
#include <memory>
#include <string>

#include "crashreport/stack/stack_trace.h"

namespace brevant::crashreport {

// One walk at a time in the process; the module and function caches stay for later walks.
// Bottom 0: the caller's stack pointer; top 0: the calling thread's stack base. On 64-bit
// code the slots unwound from the request's context (or the caller's, when walking its own
// stack) anchor the walk.
WalkResult WalkStack(const WalkRequest& request);

// The candidate return addresses of the stack between bottom (0: the caller's stack pointer)
// and top (0: the calling thread's stack base), ending before the first slot holding the stop
// value when stopAtValue is set. Empty when the range cannot be read.
std::string PrepareCallStack(std::uintptr_t bottom, std::uintptr_t top, std::uintptr_t framePointer,
                             std::uintptr_t stopValue, bool stopAtValue);

// The calling thread's stack as a throw leaves it, copied: the call stack is prepared from it
// later, when (if ever) the exception is reported, so that a throw costs a copy, not a walk.
// Null when the stack cannot be copied. A spare snapshot that nobody else holds any more is
// filled again instead of a new one. With a context of the calling thread captured just
// before (a CONTEXT, by a caller further up), the copy starts where that context stands.
struct StackSnapshot;
std::shared_ptr<StackSnapshot> SnapshotOwnStack(std::uintptr_t framePointer, std::shared_ptr<StackSnapshot> spare,
                                                const void* capturedContext = nullptr);
// The prepared call stack of the snapshot, as PrepareCallStack would have made it then.
std::string PrepareCallStack(const StackSnapshot& snapshot);

std::u16string FormatCodeAddress(std::uintptr_t address, bool relAddrs, bool relLines);

}  // namespace brevant::crashreport
