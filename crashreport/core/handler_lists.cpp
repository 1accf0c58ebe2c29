#include "crashreport/core/handler_lists.h"

#include <algorithm>

namespace brevant::crashreport {

namespace {

// Handlers are called on copies, so that a handler may register or unregister others.
template <typename Entries>
Entries CopyOf(std::recursive_mutex& lock, const Entries& entries) {
    std::lock_guard guard(lock);
    return entries;
}

}  // namespace

void HandlerLists::Register(HandlerEvent event, Identity identity, Call call, TSyncType sync, TExceptPhase phase) {
    std::lock_guard guard(lock_);
    ListPair& pair = lists_[static_cast<int>(event)];
    (identity.object ? pair.methods : pair.procedures).push_back({identity, std::move(call), sync, phase});
    ++counts_[static_cast<int>(event)];
}

void HandlerLists::Unregister(HandlerEvent event, Identity identity) {
    std::lock_guard guard(lock_);
    ListPair& pair = lists_[static_cast<int>(event)];
    std::vector<Entry>& entries = identity.object ? pair.methods : pair.procedures;
    auto found = std::find_if(entries.begin(), entries.end(), [&](const Entry& e) { return e.identity == identity; });
    if (found == entries.end()) return;
    entries.erase(found);
    --counts_[static_cast<int>(event)];
}

bool HandlerLists::Empty(HandlerEvent event) const {
    return counts_[static_cast<int>(event)] == 0;
}

bool HandlerLists::HasSyncHandler(HandlerEvent event, TExceptPhase phase) const {
    std::lock_guard guard(lock_);
    for (const auto* entries : {&Lists(event).methods, &Lists(event).procedures})
        for (const Entry& entry : *entries)
            if (entry.sync != TSyncType::stDontSync && (event != HandlerEvent::exception || entry.phase == phase))
                return true;
    return false;
}

bool HandlerLists::HasExceptionHandlerFor(TExceptPhase phase) const {
    std::lock_guard guard(lock_);
    for (const auto* entries : {&Lists(HandlerEvent::exception).methods, &Lists(HandlerEvent::exception).procedures})
        for (const Entry& entry : *entries)
            if (entry.phase == phase) return true;
    return false;
}

bool HandlerLists::RunList(const std::vector<Entry>& entries, TFireHandlersParams& params, bool stopWhenHandled) const {
    bool called = false;
    for (const Entry& entry : CopyOf(lock_, entries)) {
        if ((entry.sync != TSyncType::stDontSync) != params.callSync) continue;
        if (params.syncFailed && entry.sync != TSyncType::stTrySyncCallAlways) continue;
        if (params.eventType == HandlerEvent::exception && entry.phase != params.phase) continue;
        called = true;
        try {
            entry.call(params.action, params.exc, params.handled);
        } catch (...) {
            // A failing handler must not stop the handling of the exception.
        }
        if (stopWhenHandled && params.handled) break;
    }
    return called;
}

bool HandlerLists::FireHandlers(TFireHandlersParams& params) const {
    const ListPair& pair = Lists(params.eventType);
    switch (params.eventType) {
        case HandlerEvent::exception: {
            // From post-processing on, every handler of the phase runs.
            bool stop = params.phase < TExceptPhase::epPostProcessing;
            bool called = RunList(pair.methods, params, stop);
            if (!params.handled) called |= RunList(pair.procedures, params, stop);
            return called;
        }
        case HandlerEvent::action: {
            bool called = RunList(pair.methods, params, true);
            if (!params.handled) called |= RunList(pair.procedures, params, true);
            return called;
        }
        case HandlerEvent::hidden: {
            bool called = RunList(pair.methods, params, false);
            called |= RunList(pair.procedures, params, false);
            return called;
        }
    }
    return false;
}

HandlerLists& ProcessHandlerLists() {
    static HandlerLists* lists = new HandlerLists;  // outlives every static destructor
    return *lists;
}

}  // namespace brevant::crashreport
