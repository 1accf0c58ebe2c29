#include "crashreport/stack/best_chains.h"

#include "crashreport/stack/path_scoring.h"

namespace brevant::crashreport {

namespace {

// Chains are scored leniently: a strict score would rate every known function alike.
constexpr bool kStrictScores = false;

}  // namespace

void KeepBestChain(WalkContext& walk, int outer, int inner) {
    if (inner - outer < 2) return;
    const std::uint64_t fromOuter = outer < 0 ? 0 : ScorePath(walk, kStrictScores, outer, inner);
    const std::uint64_t fromInner = (fromOuter & kScoreReachedBit) ? 0 : ScorePath(walk, kStrictScores, inner, outer);
    for (int i = outer + 1; i < inner; ++i) walk.Item(i).Invalid = true;
    const bool outward = !(fromOuter > fromInner);
    const int direction = outward ? kOutward : kInward;
    const int end = outward ? outer : inner;
    int at = outward ? inner : outer;
    while (!walk.Aborted()) {
        const TStackLinks& links = walk.Item(at).Links[direction];
        if (links.Best < 0) return;
        const int next = links.Links[static_cast<std::size_t>(links.Best)].Link;
        if (next == end || next < 0) return;
        walk.Item(next).Invalid = false;
        at = next;
    }
}

void RealizeOptimalLinkChains(WalkContext& walk) {
    int last = walk.LastIndex();
    while (last >= 0 && walk.Item(last).Invalid) --last;
    if (last < 0) return;
    const int count = last + 1;
    int inner = last;
    for (int i = last - 1; i >= 0; --i) {
        if (walk.Aborted()) return;
        walk.Progress(650 + (last - i) * 350 / count);
        if (walk.Item(i).DontKill && !walk.Item(i).Invalid) {
            KeepBestChain(walk, i, inner);
            inner = i;
        }
    }
    KeepBestChain(walk, -1, inner);
    walk.Progress(1000);
}

}  // namespace brevant::crashreport
