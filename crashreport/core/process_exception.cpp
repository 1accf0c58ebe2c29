#include "crashreport/core/process_exception.h"

#include "crashreport/core/fire_event.h"
#include "crashreport/core/report_delivery.h"

namespace brevant::crashreport {

namespace {

bool FireExceptionHandlers(HandlingContext& context, CrashException& exc, TExceptPhase phase, bool handled) {
    exc.SetPhase(phase);
    return FireEvent(context.platform, context.lists, HandlerEvent::exception, TExceptAction::eaSendBugReport,
                     handled, exc);
}

void FireAction(HandlingContext& context, CrashException& exc, TExceptAction action) {
    FireEvent(context.platform, context.lists, HandlerEvent::action, action, false, exc);
}

// Handlers, screenshot, report and box; returns whether a handler handled the exception.
bool RunPhases(HandlingContext& context, CrashException& exc, bool& paused) {
    bool handled = FireExceptionHandlers(context, exc, TExceptPhase::epQuickFiltering, false);
    exc.SetPhase(TExceptPhase::epMainPhase);
    if (handled) return true;

    if (exc.GetExceptType() != TExceptType::etFrozen && exc.PausesThreads() && context.platform.HasProcessWideRole()) {
        context.platform.PauseOtherThreads(context.reportThreadId);
        paused = true;
    }
    // The picture is taken before any window of the crash reporter opens.
    if (exc.GetCreateScreenShot()) context.platform.CaptureScreenShot(exc);
    if (exc.GetCreateBugReport()) context.platform.StartBugReport(exc);
    handled = FireExceptionHandlers(context, exc, TExceptPhase::epMainPhase, handled);

    exc.SetPhase(TExceptPhase::epPostProcessing);
    if (!handled) handled = FireExceptionHandlers(context, exc, exc.GetPhase(), handled);
    // A report completed later in post-processing gets the complete-report handlers then.
    if (!handled) {
        exc.SetCompletionHook([&context, &exc] {
            FireExceptionHandlers(context, exc, TExceptPhase::epCompleteReport, false);
        });
    }
    return handled;
}

void Decide(HandlingContext& context, CrashException& exc) {
    switch (AutomaticDecision(exc, context.history, context.platform.Now())) {
        case HandlingDecision::close:
            FireAction(context, exc, TExceptAction::eaCloseApplication);
            context.platform.FinishHandling(exc, true);
            context.platform.TerminateWithExitCode();
            return;
        case HandlingDecision::restart:
            FireAction(context, exc, TExceptAction::eaRestartApplication);
            context.platform.FinishHandling(exc, true);
            context.platform.RestartProcess();
            return;
        case HandlingDecision::continueProgram:
            FireAction(context, exc, TExceptAction::eaContinueApplication);
            return;
    }
}

}  // namespace

HandlingDecision AutomaticDecision(CrashException& exc, const ExceptTimeHistory& history, std::int64_t now) {
    if (BurstRuleHolds(exc.GetAutoClose(), history, now)) return HandlingDecision::close;
    const bool restartRule = BurstRuleHolds(exc.GetAutoRestart(), history, now);
    if (!exc.GetCanContinue() && !restartRule) return HandlingDecision::close;
    if (restartRule) return HandlingDecision::restart;
    return HandlingDecision::continueProgram;
}

void ProcessException(HandlingContext& context, CrashException& exc) {
    HandlingPlatform& platform = context.platform;
    platform.DeleteTemporaryFolder();
    exc.SetPhase(TExceptPhase::epQuickFiltering);
    if (exc.GetExceptType() == TExceptType::etHidden) {
        FireEvent(platform, context.lists, HandlerEvent::hidden, TExceptAction::eaSendBugReport, true, exc);
        return;
    }
    context.history.Record(platform.Now());

    bool paused = false;
    try {
        const bool handled = RunPhases(context, exc, paused);
        if (!(handled && exc.GetCanContinue())) {
            if (!handled) {
                if (exc.GetAutoSave() || exc.GetAutoSend() || exc.GetAutoClipboard())
                    exc.RegisterBugReportCallback(AutoActionsCallback, true);
                const bool console = platform.IsConsoleProgram();
                bool presented = false;
                if (!(console && exc.GetShowSetting() == ShowSetting::ssNothing)) presented = platform.Show(exc);
                // The box carried out the user's choice when it could offer one.
                const bool userChose = presented && exc.GetCanContinue() &&
                                       exc.GetShowSetting() != ShowSetting::ssNothing && !console;
                if (!userChose) Decide(context, exc);
                platform.FinishHandling(exc, false);
            } else {
                Decide(context, exc);
            }
        }
    } catch (...) {
        // Nothing raised while handling reaches the program; the faulting thread goes on.
    }
    exc.SetCompletionHook(nullptr);
    platform.ResetFreezeWatch();
    if (paused) platform.ResumeOtherThreads();
}

}  // namespace brevant::crashreport
