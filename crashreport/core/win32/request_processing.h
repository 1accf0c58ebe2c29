#pragma once
// Turning a handling request into a CrashException and handling it, with the process around
// it: threads, the main thread, the clock, restart and close.

#include "crashreport/core/except_time_history.h"
#include "crashreport/core/handle_request.h"
#include "crashreport/core/handling_platform.h"

namespace brevant::crashreport {

void ProcessRequest(const HandleRequest& request);

// The process around the handling of every exception.
HandlingPlatform& ProcessHandlingPlatform();

// The process's exception times; a restarted program inherits them.
ExceptTimeHistory& ProcessExceptTimeHistory();

// When this process was started by a restart: waits for the old instance to end and takes
// over its exception times.
void TakeOverFromRestartedInstance();

// End the process at once, without finalization: exit code 1, or a new instance and exit code 2.
[[noreturn]] void TerminateWithExitCode();
[[noreturn]] void RestartProcess(const wchar_t* commandLine);

}  // namespace brevant::crashreport
