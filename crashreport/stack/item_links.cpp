#include "crashreport/stack/item_links.h"

#include <algorithm>

#include "crashreport/stack/function_acceptance.h"
#include "x86/instruction_decoder.h"

namespace brevant::crashreport {

namespace {

void RemoveLinksTo(TStackLinks& links, int item) {
    std::erase_if(links.Links, [item](const TStackLink& link) { return link.Link == item; });
    links.Best = -1;
}

int ApprovedSelfLink(const WalkContext& walk, const TInternalStackItem& item) {
    const auto& links = item.Links[kOutward].Links;
    for (std::size_t i = 0; i < links.size(); ++i)
        if (walk.caches.IsApproved(links[i].Func)) return static_cast<int>(i);
    return -1;
}

// The first approved function whose code the item's return position lies in.
int ApprovedFunctionHolding(const WalkContext& walk, std::uint64_t afterInstr) {
    for (std::size_t i = 0; i < walk.caches.FunctionCount(); ++i) {
        const int function = static_cast<int>(i);
        if (walk.caches.IsApproved(function) && AreaHoldsReturn(walk.caches.Function(function).info, afterInstr))
            return function;
    }
    return -1;
}

bool AlreadyLinked(const TInternalStackItem& caller, int callee, int function) {
    for (const TStackLink& link : caller.Links[kInward].Links)
        if (link.Link == callee && link.Func == function) return true;
    return false;
}

// Without an approved function: calls that end at the return position, decoded backwards.
void LinkByNearbyCalls(WalkContext& walk, int index) {
    const std::uint64_t afterInstr = walk.Item(index).AfterInstr;
    if (afterInstr < 8) return;
    std::uint64_t first = afterInstr - 7;
    if (const auto region = walk.env.RegionAt(afterInstr - 1)) first = std::max(first, region->base);
    for (std::uint64_t address = first; address + 2 <= afterInstr; ++address) {
        x86::Instruction call;
        if (!x86::DecodeInstruction(walk.env, address, walk.env.CodeMode(), call)) continue;
        if (!call.IsCall() || call.End() != afterInstr) continue;
        std::uint64_t target = call.target;
        bool known = call.hasTarget;
        if (!known && call.hasMemoryAddress) known = walk.env.ReadPointer(call.memoryAddress, target);
        LinkInward(walk, index, known, address, target, false);
    }
}

}  // namespace

void InvalidateItem(WalkContext& walk, int index) {
    TInternalStackItem& item = walk.Item(index);
    item.Invalid = true;
    for (int direction : {kInward, kOutward}) {
        for (const TStackLink& link : item.Links[direction].Links)
            if (link.Link >= 0) RemoveLinksTo(walk.Item(link.Link).Links[1 - direction], index);
        item.Links[direction].Links.clear();
        item.Links[direction].Best = -1;
    }
}

void InvalidateFunction(WalkContext& walk, int function) {
    if (function < 0) return;
    walk.caches.Function(function).invalid = true;
    for (TInternalStackItem& item : walk.items) {
        for (TStackLinks& links : item.Links) {
            std::erase_if(links.Links, [function](const TStackLink& link) { return link.Func == function; });
            links.Best = -1;
        }
    }
}

void LinkInward(WalkContext& walk, int index, bool targetKnown, std::uint64_t callAddr, std::uint64_t target,
                bool strict) {
    int function = -1;
    if (targetKnown) {
        const CodeName name = walk.caches.NameOf(walk.env, target);
        function = walk.caches.FunctionAt(walk.env, target, name.name, name.module);
        if (function < 0 || walk.caches.Function(function).invalid) return;
        if (strict) walk.caches.Approve(walk.env, function);
        // A jump whose target is unknown may lead anywhere: the callee may lie in any function.
        const auto& jumps = walk.caches.Function(function).info.UnknownTargets;
        if (std::any_of(jumps.begin(), jumps.end(), [](const x86::TUnknownTarget& jump) { return !jump.Call; }))
            LinkInward(walk, index, false, callAddr, 0, strict);
    } else {
        const auto& inward = walk.Item(index).Links[kInward].Links;
        if (std::any_of(inward.begin(), inward.end(), [](const TStackLink& link) { return link.Func < 0; })) return;
    }
    for (int callee = index + 1; callee <= walk.LastIndex(); ++callee) {
        TInternalStackItem& item = walk.Item(callee);
        if (!item.Invalid && !AlreadyLinked(walk.Item(index), callee, function)) {
            CallSite site;
            bool fits = function < 0 || FindCallEndingAt(walk.caches.Function(function).info, item.AfterInstr, site);
            if (fits && !strict && function >= 0) {
                for (const TStackLink& own : item.Links[kOutward].Links)
                    if (walk.caches.IsApproved(own.Func) && own.CodeAddr != site.callAddr) fits = false;
            }
            if (fits) {
                item.Links[kOutward].Links.push_back({index, site.callAddr, site.hasTarget, site.target, function, 0});
                walk.Item(index).Links[kInward].Links.push_back({callee, callAddr, targetKnown, target, function, 0});
            }
        }
        if (item.DontKill) break;
    }
}

void CheckItemCode(WalkContext& walk, int index) {
    int self = ApprovedSelfLink(walk, walk.Item(index));
    if (self < 0) {
        const int function = ApprovedFunctionHolding(walk, walk.Item(index).AfterInstr);
        if (function >= 0) {
            TInternalStackItem& item = walk.Item(index);
            CallSite site;
            if (!FunctionAccepts(walk, function, item.TopItem, item.Value, item.AfterInstr, site)) {
                InvalidateItem(walk, index);
                return;
            }
            item.AfterInstr = site.afterInstr;
            item.Links[kOutward].Links.push_back({-1, site.callAddr, site.hasTarget, site.target, function, 0});
            self = static_cast<int>(item.Links[kOutward].Links.size() - 1);
        }
    }
    if (self < 0) {
        LinkByNearbyCalls(walk, index);
        return;
    }
    const TStackLink chosen = walk.Item(index).Links[kOutward].Links[static_cast<std::size_t>(self)];
    // Functions that claim the item with another call contradict the approved one.
    std::vector<int> contradicting;
    for (const TStackLink& other : walk.Item(index).Links[kOutward].Links)
        if (other.CodeAddr != chosen.CodeAddr && other.Func >= 0 && other.Func != chosen.Func)
            contradicting.push_back(other.Func);
    for (int function : contradicting) InvalidateFunction(walk, function);
    LinkInward(walk, index, chosen.HasTarget, chosen.CodeAddr, chosen.Target, true);
}

}  // namespace brevant::crashreport
