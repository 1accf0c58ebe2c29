#pragma once
// The process-wide lists of registered handlers and the rules by which they are called: which
// handlers a call reaches (synchronisation, phase), in what order (methods first) and when the
// calling stops.

#include <atomic>
#include <functional>
#include <mutex>
#include <vector>

#include "crashreport/crash_reporter.h"

namespace brevant::crashreport {

enum class HandlerEvent : std::uint8_t { exception = 0, action = 1, hidden = 2 };

struct TFireHandlersParams {
    HandlerEvent eventType = HandlerEvent::exception;
    TExceptAction action = TExceptAction::eaSendBugReport;
    ICrashException* exc = nullptr;
    // The exception's phase when the handlers are fired.
    TExceptPhase phase = TExceptPhase::epNotHandledYet;
    bool handled = false;
    bool callSync = false;
    bool syncFailed = false;
};

class HandlerLists {
public:
    // A registration: a plain procedure, or a callable bound to an object (a "method"). The
    // identity finds the entry again for unregistering.
    struct Identity {
        const void* code;
        const void* object;  // null for procedures
        friend bool operator==(const Identity&, const Identity&) = default;
    };
    using Call = std::function<void(TExceptAction action, ICrashException* exc, bool& handled)>;

    // Appends to the end of the matching list.
    void Register(HandlerEvent event, Identity identity, Call call, TSyncType sync, TExceptPhase phase);
    // Removes the first entry with that identity.
    void Unregister(HandlerEvent event, Identity identity);

    bool Empty(HandlerEvent event) const;
    // A handler of this event that wants the synchronised call (for exceptions: of this phase).
    bool HasSyncHandler(HandlerEvent event, TExceptPhase phase) const;
    bool HasExceptionHandlerFor(TExceptPhase phase) const;

    // Calls the handlers that the parameters select; whether any was called.
    bool FireHandlers(TFireHandlersParams& params) const;

private:
    struct Entry {
        Identity identity;
        Call call;
        TSyncType sync;
        TExceptPhase phase;
    };
    struct ListPair {
        std::vector<Entry> methods, procedures;
    };
    const ListPair& Lists(HandlerEvent event) const { return lists_[static_cast<int>(event)]; }
    bool RunList(const std::vector<Entry>& entries, TFireHandlersParams& params, bool stopWhenHandled) const;

    mutable std::recursive_mutex lock_;
    // Handlers per event, readable without the lock: every throw's end asks for hidden ones.
    std::atomic<int> counts_[3] = {};
    ListPair lists_[3];
};

// The lists of this module.
HandlerLists& ProcessHandlerLists();

}  // namespace brevant::crashreport
