#pragma once
// Checking items against the code: an item's function must call the functions its inward
// neighbours lie in. Links join each caller item to the callee items its call can explain.

#include "crashreport/stack/walk_context.h"

namespace brevant::crashreport {

void CheckItemCode(WalkContext& walk, int item);
void LinkInward(WalkContext& walk, int item, bool targetKnown, std::uint64_t callAddr, std::uint64_t target,
                bool strict);

// Marks the item invalid and removes its links and their counterparts on the linked items.
void InvalidateItem(WalkContext& walk, int item);
// Marks the function invalid and deletes every link naming it from all items.
void InvalidateFunction(WalkContext& walk, int function);

}  // namespace brevant::crashreport
