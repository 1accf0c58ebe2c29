#pragma once
// Between each two neighbouring certain items only the best-scored chain of links stays.

#include "crashreport/stack/walk_context.h"

namespace brevant::crashreport {

void KeepBestChain(WalkContext& walk, int outer, int inner);
void RealizeOptimalLinkChains(WalkContext& walk);

}  // namespace brevant::crashreport
