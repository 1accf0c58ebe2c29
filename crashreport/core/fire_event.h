#pragma once
// Firing the handlers of one event of an exception: on the handling thread first, then, for
// handlers that asked for it, synchronised on the main thread.

#include "crashreport/core/handling_platform.h"

namespace brevant::crashreport {

// Returns whether the event ended up handled. An action of sending, saving or printing with a
// parent window runs its assistant, when one is set, and then fires its second action
// (eaSendBugReport2 ...); a cancelled assistant counts as handled.
bool FireEvent(HandlingPlatform& platform, const HandlerLists& lists, HandlerEvent event, TExceptAction action,
               bool handled, CrashException& exc, void* parentWindow = nullptr);

}  // namespace brevant::crashreport
