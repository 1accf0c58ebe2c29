#pragma once
// The walk of one thread's stack, over any process that a StackEnvironment describes: collect
// candidates, fold recursion, check them against the code, keep the best chains, fold again,
// name the survivors and write the lines.

#include "crashreport/stack/code_address_text.h"
#include "crashreport/stack/stack_environment.h"
#include "crashreport/stack/stack_trace.h"
#include "crashreport/stack/walk_caches.h"

namespace brevant::crashreport {

// The request's bottom and top must be given (the Win32 edge fills in the current thread's).
WalkResult WalkStack(const StackEnvironment& env, WalkCaches& caches, const WalkRequest& request);

// What the caches know of a code address, for its one-line form.
CodeAddressFacts DescribeCodeAddress(const StackEnvironment& env, WalkCaches& caches, std::uint64_t address);

}  // namespace brevant::crashreport
