#include "crashreport/stack/path_scoring.h"

namespace brevant::crashreport {

namespace {

bool HasLine(const WalkContext& walk, const TInternalStackItem& item) {
    return walk.caches.LineOf(item.Module, item.AfterInstr - 1) != 0;
}

// The exponent's share for source lines at both ends of the link.
int LineBonus(const WalkContext& walk, const TInternalStackItem& from, const TInternalStackItem& linked) {
    if (from.Module < 0 || linked.Module < 0 || !walk.caches.Module(from.Module).store) return 0;
    if (!HasLine(walk, from)) return 3;
    return HasLine(walk, linked) ? 9 : 6;
}

// Whether `item` lies on the way from a link's start towards `to` (not beyond it).
bool NotBeyond(int item, int to, int direction) {
    return direction == kInward ? item <= to : item >= to;
}

}  // namespace

std::uint64_t ScorePath(WalkContext& walk, bool strict, int from, int to) {
    if (walk.Aborted()) return kScoreNoPath;
    const int direction = to > from ? kInward : kOutward;
    std::uint64_t best = kScoreNoPath;
    int bestLink = -1;
    const std::size_t count = walk.Item(from).Links[direction].Links.size();
    for (std::size_t i = 0; i < count; ++i) {
        TStackLink link = walk.Item(from).Links[direction].Links[i];
        if (link.Link < 0 || !NotBeyond(link.Link, to, direction)) continue;
        if (link.Quality == 0) {
            const bool known = link.Func >= 0;
            std::uint64_t base = 0;
            if (link.Link == to)
                base = (known ? 7 : 5) * kScoreNoPath;
            else
                base = ScorePath(walk, strict && known, link.Link, to);
            int exponent = 0;
            if (!known) {
                base &= ~kScoreKnownBit;
            } else {
                exponent = (strict || (base & kScoreKnownBit)) ? 28 : 14;
                if (walk.caches.IsApproved(link.Func)) exponent += 14;
            }
            exponent += LineBonus(walk, walk.Item(from), walk.Item(link.Link));
            link.Quality = base + (std::uint64_t{1} << exponent);
            walk.Item(from).Links[direction].Links[i].Quality = link.Quality;
        }
        if (link.Quality > best) {
            best = link.Quality;
            bestLink = static_cast<int>(i);
        }
    }
    walk.Item(from).Links[direction].Best = bestLink;
    return best;
}

}  // namespace brevant::crashreport
