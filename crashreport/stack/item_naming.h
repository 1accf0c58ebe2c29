#pragma once
// Naming the surviving items: the calling instruction each line shows, its module, unit,
// line and function; the runtime's own exception machinery is hidden.

#include <string>
#include <vector>

#include "crashreport/stack/walk_context.h"

namespace brevant::crashreport {

struct NamingResult {
    std::uint64_t innermostAddr = 0;
    std::vector<std::u16string> debugInfoPairs;  // "module|minimal debug information"
};

NamingResult FillFinalOutput(WalkContext& walk);

// The scope a demangled C++ name is declared in ("ns::Class" of "ns::Class::Run(int)"); empty
// for a plain name.
std::u16string UnitFromFunctionName(std::u16string_view name);

}  // namespace brevant::crashreport
