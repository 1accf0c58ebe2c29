#pragma once
// The handling of one exception, phase by phase: handlers, pausing, screenshot and report,
// the box, and the decision to continue, restart or close.

#include "crashreport/core/except_time_history.h"
#include "crashreport/core/handling_platform.h"

namespace brevant::crashreport {

struct HandlingContext {
    HandlingPlatform& platform;
    const HandlerLists& lists;
    ExceptTimeHistory& history;
    // The thread that completes reports keeps running while others are paused.
    std::uint32_t reportThreadId = 0;
};

void ProcessException(HandlingContext& context, CrashException& exc);

// What happens after the box (or instead of it).
enum class HandlingDecision { continueProgram, restart, close };

// The automatic decision: burst rules first, an exception that cannot continue closes.
HandlingDecision AutomaticDecision(CrashException& exc, const ExceptTimeHistory& history, std::int64_t now);

}  // namespace brevant::crashreport
