#pragma once
// Everything one walk works on: the request, the process it reads, the shared caches and the
// items found so far. Each phase of the walk is a function over it.

#include <cstdint>
#include <vector>

#include "crashreport/stack/stack_environment.h"
#include "crashreport/stack/stack_trace.h"
#include "crashreport/stack/walk_caches.h"
#include "crashreport/stack/walk_items.h"

namespace brevant::crashreport {

struct WalkContext {
    WalkContext(const StackEnvironment& environment, WalkCaches& walkCaches, const WalkRequest& walkRequest)
        : env(environment), caches(walkCaches), request(walkRequest) {}

    const StackEnvironment& env;
    WalkCaches& caches;
    const WalkRequest& request;
    std::vector<TInternalStackItem> items;
    bool usePreparedStack = false;  // dropped again when the walk finds it does not apply

    bool HasException() const { return request.exceptThread; }
    bool Aborted() const { return request.abort != nullptr && request.abort->load(); }
    void Progress(int permille) const {
        if (request.progress) request.progress(permille);
    }
    int LastIndex() const { return static_cast<int>(items.size()) - 1; }
    TInternalStackItem& Item(int index) { return items[static_cast<std::size_t>(index)]; }
};

}  // namespace brevant::crashreport
