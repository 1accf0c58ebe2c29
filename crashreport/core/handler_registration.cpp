// The registration functions of the public header, over this module's handler lists.
#include "crashreport/core/handler_lists.h"

namespace brevant::crashreport {

namespace {

HandlerLists::Identity ProcedureIdentity(const void* code) {
    return {code, nullptr};
}

template <typename Procedure>
const void* CodeOf(Procedure procedure) {
    return reinterpret_cast<const void*>(procedure);
}

}  // namespace

void RegisterExceptionHandler(ExceptionHandler handler, TSyncType sync, TExceptPhase phase) {
    if (!handler) return;
    ProcessHandlerLists().Register(
        HandlerEvent::exception, ProcedureIdentity(CodeOf(handler)),
        [handler](TExceptAction, ICrashException* exc, bool& handled) { handler(exc, handled); }, sync, phase);
}

void UnregisterExceptionHandler(ExceptionHandler handler) {
    ProcessHandlerLists().Unregister(HandlerEvent::exception, ProcedureIdentity(CodeOf(handler)));
}

void RegisterExceptActionHandler(ExceptActionHandler handler, TSyncType sync) {
    if (!handler) return;
    ProcessHandlerLists().Register(HandlerEvent::action, ProcedureIdentity(CodeOf(handler)), handler, sync,
                                   TExceptPhase::epNotHandledYet);
}

void UnregisterExceptActionHandler(ExceptActionHandler handler) {
    ProcessHandlerLists().Unregister(HandlerEvent::action, ProcedureIdentity(CodeOf(handler)));
}

void RegisterHiddenExceptionHandler(ExceptionHandler handler, TSyncType sync) {
    if (!handler) return;
    ProcessHandlerLists().Register(
        HandlerEvent::hidden, ProcedureIdentity(CodeOf(handler)),
        [handler](TExceptAction, ICrashException* exc, bool& handled) { handler(exc, handled); }, sync,
        TExceptPhase::epNotHandledYet);
}

void UnregisterHiddenExceptionHandler(ExceptionHandler handler) {
    ProcessHandlerLists().Unregister(HandlerEvent::hidden, ProcedureIdentity(CodeOf(handler)));
}

}  // namespace brevant::crashreport
