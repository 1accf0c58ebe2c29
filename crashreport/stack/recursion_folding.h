#pragma once
// Recursion folding: of two adjacent equal runs of frames the inner one is removed, until no
// run repeats, so deep recursion shows as a single pass.

#include "crashreport/stack/walk_context.h"

namespace brevant::crashreport {

enum class FoldRemoval {
    withLinks,  // before linking: removed items lose their links too
    markOnly,   // after the chains are chosen: removed items are only marked invalid
};

void RemoveRecursiveAreas(WalkContext& walk, FoldRemoval removal);

}  // namespace brevant::crashreport
