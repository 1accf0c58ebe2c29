#pragma once
// Whether a function accepts a return address (a call of it ends exactly there) or, for a
// forced item (an exception location, a thread's creator), which instruction the item stands
// for.

#include <cstdint>

#include "crashreport/stack/walk_context.h"

namespace brevant::crashreport {

struct CallSite {
    std::uint64_t afterInstr = 0;
    std::uint64_t callAddr = 0;
    bool hasTarget = false;
    std::uint64_t target = 0;
    int function = -1;
};

// A call of the function that ends exactly at afterInstr: one of unknown target first, then
// one of known target.
bool FindCallEndingAt(const x86::TFunctionInfo& info, std::uint64_t afterInstr, CallSite& site);

// Whether afterInstr lies in a code area of the function, as a return address may: just past
// an area's last byte counts.
bool AreaHoldsReturn(const x86::TFunctionInfo& info, std::uint64_t afterInstr);

// The function's verdict on a candidate v whose return position is afterInstr. external: the
// walked exception is an operating-system one.
bool FunctionAccepts(WalkContext& walk, int function, bool forced, std::uint64_t v, std::uint64_t afterInstr,
                     CallSite& site);

// The function check of a candidate in the code of a known module: the public symbol at the
// probe address (and the labels it jumps to), or the nearest export of a library without
// symbols.
bool CheckCandidateFunction(WalkContext& walk, int module, bool forced, std::uint64_t v, std::uint64_t probe,
                            std::uint64_t afterInstr, CallSite& site);

}  // namespace brevant::crashreport
