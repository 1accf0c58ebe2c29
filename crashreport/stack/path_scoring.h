#pragma once
// The score of the best chain of links between two items: direct links beat detours, links
// through known and approved functions beat guesses, and lines with source information count.

#include <cstdint>

#include "crashreport/stack/walk_context.h"

namespace brevant::crashreport {

inline constexpr std::uint64_t kScoreNoPath = std::uint64_t{1} << 60;
inline constexpr std::uint64_t kScoreReachedBit = std::uint64_t{1} << 62;
inline constexpr std::uint64_t kScoreKnownBit = std::uint64_t{1} << 61;

// The best path from item `from` to item `to` (inward along Links[0] when `to` lies inward,
// outward along Links[1] otherwise; `to` may be -1, past the outermost item). Sets each
// visited item's Best link; every link is scored once.
std::uint64_t ScorePath(WalkContext& walk, bool strict, int from, int to);

}  // namespace brevant::crashreport
