#pragma once
// The first phase of a walk: every stack value that may be a return address becomes a
// candidate, and those that pass the call test, lie in a module's code and are accepted by a
// function there (or are certain) become items.

#include "crashreport/stack/stack_scan.h"
#include "crashreport/stack/walk_context.h"

namespace brevant::crashreport {

void CollectPossibleStackItems(WalkContext& walk, const StackSnapshot& stack);

}  // namespace brevant::crashreport
