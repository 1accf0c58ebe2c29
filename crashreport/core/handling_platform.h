#pragma once
// What the handling of one exception needs from the process around it: threads, the main
// thread's synchronised calls, the clock, the screen, the report and the ways to end. The
// Windows edge supplies the real one; tests script their own.

#include <cstdint>

#include "crashreport/core/crash_exception.h"
#include "crashreport/core/handler_lists.h"

namespace brevant::crashreport {

enum class AssistantOutcome { confirmed, cancelled };

class HandlingPlatform {
public:
    // Whole seconds since 1601-01-01 UTC.
    virtual std::int64_t Now() = 0;
    virtual void DeleteTemporaryFolder() = 0;
    // Whether this module installs process-wide hooks (and so may pause threads).
    virtual bool HasProcessWideRole() = 0;
    virtual void PauseOtherThreads(std::uint32_t keepRunningThreadId) = 0;
    virtual void ResumeOtherThreads() = 0;
    virtual void ResetFreezeWatch() = 0;
    virtual void CaptureScreenShot(CrashException& exc) = 0;
    // Starts the report; it is completed in the background.
    virtual void StartBugReport(CrashException& exc) = 0;
    // Runs FireHandlers on the main thread and waits; false when the main thread did not
    // answer (or the call could not be made). Frozen exceptions never get here.
    virtual bool CallOnMainThread(TFireHandlersParams& params, bool resumeMainThread) = 0;
    // Presents the exception as its show setting says and returns when the box is closed:
    // true when the box offered the user the choice to continue, restart or close (and carried
    // it out), false when nothing was presented.
    virtual bool Show(CrashException& exc) = 0;
    // Runs the assistant modally over the parent window (a topmost parent stops being topmost
    // meanwhile); a confirmed assistant's contents go into the report.
    virtual AssistantOutcome RunAssistant(const BuiltAssistant& assistant, CrashException& exc, void* parentWindow) = 0;
    // Saves, sends and waits as the automatic actions say, after the decision.
    virtual void FinishHandling(CrashException& exc, bool waitForSend) = 0;
    // Both end the process at once and do not return (exit codes 1 and 2).
    virtual void TerminateWithExitCode() = 0;
    virtual void RestartProcess() = 0;
    virtual bool IsConsoleProgram() = 0;

protected:
    ~HandlingPlatform() = default;
};

}  // namespace brevant::crashreport
