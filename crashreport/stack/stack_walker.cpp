#include "crashreport/stack/stack_walker.h"

#include <functional>

#include "base/utf16_text.h"
#include "crashreport/stack/best_chains.h"
#include "crashreport/stack/item_links.h"
#include "crashreport/stack/item_naming.h"
#include "crashreport/stack/recursion_folding.h"
#include "crashreport/stack/stack_candidates.h"
#include "crashreport/stack/stack_text.h"

namespace brevant::crashreport {

namespace {

void InDeepChecks(WalkContext& walk) {
    const int count = static_cast<int>(walk.items.size());
    for (int index = walk.request.creatorAddr != 0 ? 1 : 0; index < count; ++index) {
        if (walk.Aborted()) return;
        walk.Progress(25 + index * 625 / count);
        if (!walk.Item(index).Invalid) CheckItemCode(walk, index);
    }
}

struct Phase {
    const char16_t* name;
    std::function<void()> run;
};

}  // namespace

CodeAddressFacts DescribeCodeAddress(const StackEnvironment& env, WalkCaches& caches, std::uint64_t address) {
    CodeAddressFacts facts;
    const CodeName name = caches.NameOf(env, address);
    if (name.module < 0 || name.start == 0) return facts;
    const CachedModule& module = caches.Module(name.module);
    facts.found = true;
    facts.moduleName = module.facts.fileName;
    facts.functionName = name.name;
    facts.functionStart = name.start;
    if (module.store) {
        if (const auto offset = StoreOffset(module, address)) facts.unitName = FromUtf8(module.store->UnitAt(*offset));
        facts.line = caches.LineOf(name.module, address);
        facts.functionStartLine = caches.LineOf(name.module, name.start);
    }
    return facts;
}

WalkResult WalkStack(const StackEnvironment& env, WalkCaches& caches, const WalkRequest& request) {
    WalkResult result;
    WalkContext walk(env, caches, request);
    std::optional<StackSnapshot> stack;
    NamingResult naming;
    const ComposeOptions compose{request.hideUgly, request.showRelAddrs, request.showRelLines, request.creatorAddr != 0,
                                 env.AddressDigits()};
    const Phase phases[] = {
        {u"CollectPossibleStackItems",
         [&] {
             stack = StackSnapshot::Take(env, request.stackBottom, request.stackTop, env.PointerSize());
             if (stack) CollectPossibleStackItems(walk, *stack);
         }},
        {u"RemoveRecursiveStackAreas", [&] { RemoveRecursiveAreas(walk, FoldRemoval::withLinks); }},
        {u"InDeepChecks", [&] { InDeepChecks(walk); }},
        {u"RealizeOptimalLinkChains", [&] { RealizeOptimalLinkChains(walk); }},
        {u"RemoveRecursiveAreas", [&] { RemoveRecursiveAreas(walk, FoldRemoval::markOnly); }},
        {u"FillFinalOutput", [&] { naming = FillFinalOutput(walk); }},
        {u"ComposeResult", [&] { ComposeResult(walk.items, compose, result); }},
    };
    for (const Phase& phase : phases) {
        if (walk.Aborted()) return result;
        try {
            phase.run();
        } catch (...) {
            WalkResult failed;
            failed.text = InternalFailureText(phase.name, std::nullopt);
            if (request.exceptThread) {
                const CodeAddressFacts location = DescribeCodeAddress(env, caches, request.exceptAddr);
                failed.text += u"\r\n>> original exception location: \r\n" +
                               FormatCodeAddress(request.exceptAddr, location, request.showRelAddrs,
                                                 request.showRelLines, env.AddressDigits());
            }
            return failed;
        }
        // A range that cannot be read in full gives an empty text.
        if (!stack) return result;
    }
    result.innermostAddr = static_cast<std::uintptr_t>(naming.innermostAddr);
    result.debugInfoPairs = std::move(naming.debugInfoPairs);
    return result;
}

}  // namespace brevant::crashreport
