#include "crashreport/core/fire_event.h"

#include <optional>

namespace brevant::crashreport {

namespace {

bool FireHandlersOfEvent(HandlingPlatform& platform, const HandlerLists& lists, HandlerEvent event,
                         TExceptAction action, bool handled, CrashException& exc) {
    // Whoever receives the complete report gets it before the process ends.
    const bool ending = event == HandlerEvent::action && (action == TExceptAction::eaRestartApplication ||
                                                          action == TExceptAction::eaCloseApplication);
    if (ending && (exc.CriticalBugReportCallbackExists() ||
                   (exc.GetCallHandlers() && lists.HasExceptionHandlerFor(TExceptPhase::epCompleteReport))))
        exc.GetBugReport();
    if (!exc.GetCallHandlers() || lists.Empty(event)) return handled;
    TFireHandlersParams params;
    params.eventType = event;
    params.action = action;
    params.exc = &exc;
    params.phase = exc.GetPhase();
    params.handled = handled;
    bool called = lists.FireHandlers(params);
    if ((!params.handled || !called) && lists.HasSyncHandler(event, params.phase)) {
        params.callSync = true;
        bool synchronised = exc.GetExceptType() != TExceptType::etFrozen &&
                            platform.CallOnMainThread(params, exc.PausesThreads());
        if (!synchronised) {
            params.syncFailed = true;
            lists.FireHandlers(params);
        }
    }
    return params.handled;
}

struct AssistantStep {
    std::u16string name;
    TExceptAction secondAction;
};

std::optional<AssistantStep> AssistantStepOf(CrashException& exc, TExceptAction action) {
    switch (action) {
        case TExceptAction::eaSendBugReport: return AssistantStep{exc.GetSendAssistant(), TExceptAction::eaSendBugReport2};
        case TExceptAction::eaSaveBugReport: return AssistantStep{exc.GetSaveAssistant(), TExceptAction::eaSaveBugReport2};
        case TExceptAction::eaPrintBugReport:
            return AssistantStep{exc.GetPrintAssistant(), TExceptAction::eaPrintBugReport2};
        default: return std::nullopt;
    }
}

}  // namespace

bool FireEvent(HandlingPlatform& platform, const HandlerLists& lists, HandlerEvent event, TExceptAction action,
               bool handled, CrashException& exc, void* parentWindow) {
    handled = FireHandlersOfEvent(platform, lists, event, action, handled, exc);
    if (event != HandlerEvent::action || parentWindow == nullptr || handled) return handled;
    const std::optional<AssistantStep> step = AssistantStepOf(exc, action);
    if (!step) return handled;
    if (!step->name.empty()) {
        if (AssistantRef assistant = exc.GetAssistant(step->name)) {
            const AssistantOutcome outcome = platform.RunAssistant(*assistant, exc, parentWindow);
            exc.FillFormCache(assistant.get());
            if (outcome == AssistantOutcome::cancelled) return true;
        }
    }
    return FireHandlersOfEvent(platform, lists, event, step->secondAction, false, exc);
}

}  // namespace brevant::crashreport
