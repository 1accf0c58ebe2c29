#include "crashreport/core/fire_event.h"

namespace brevant::crashreport {

bool FireEvent(HandlingPlatform& platform, const HandlerLists& lists, HandlerEvent event, TExceptAction action,
               bool handled, CrashException& exc) {
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

}  // namespace brevant::crashreport
