#pragma once
// Running handlers on the main thread: a message on the main thread's message window, first
// as a probe (1500 ms) and then as the real call, which the main thread answers with 777.

#include "crashreport/core/handler_lists.h"

namespace brevant::crashreport {

// On the main thread: sets up the message its window answers. Without user32 in the process
// there is no window and every synchronised call falls back to the handling thread.
void RegisterSyncCallHandler();
void RemoveSyncCallHandler();

// Asks the main thread to come to its pause point (it answers a probe there).
void PostProbeToMainThread();

// True when the main thread ran FireHandlers on the parameters.
bool CallHandlersOnMainThread(TFireHandlersParams& params);

}  // namespace brevant::crashreport
