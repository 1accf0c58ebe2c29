#include "crashreport/stack/stack_candidates.h"

#include "crashreport/stack/call_test.h"
#include "crashreport/stack/function_acceptance.h"
#include "crashreport/stack/prepared_call_stack.h"
#include "x86/instruction_decoder.h"

namespace brevant::crashreport {

namespace {

// GCC's runtime has no try/finally exit routine whose return address would lie on every
// stack (cleanups are landing pads in the functions themselves), so no address is excluded.

enum class CandidateKind { stackValue, creator, exceptionLocation };

struct Candidate {
    std::uint64_t value = 0;
    CandidateKind kind = CandidateKind::stackValue;
    bool certain = false;
};

class CandidateCollector {
public:
    explicit CandidateCollector(WalkContext& walk) : walk_(walk) {}

    // True when the candidate became an item.
    bool Consider(const Candidate& candidate) {
        const std::uint64_t v = candidate.value;
        const bool forced =
            candidate.kind != CandidateKind::stackValue || (walk_.HasException() && v == walk_.request.exceptAddr);
        std::uint64_t probe = v - 1, afterInstr = v;
        bool readable = true;
        if (forced) {
            probe = v;
            x86::Instruction instruction;
            readable = x86::DecodeInstruction(walk_.env, v, walk_.env.CodeMode(), instruction);
            afterInstr = readable ? instruction.End() : v;
        } else if (v <= 7 || !PassesCallTest(walk_.env, v)) {
            return false;
        }
        int module = -1;
        if (!Plausible(v, probe, module) && !forced) return false;

        CallSite site;
        bool accepted = false;
        if (module >= 0 && walk_.caches.Module(module).facts.code.Holds(v))
            accepted = CheckCandidateFunction(walk_, module, forced, v, probe, afterInstr, site);
        bool hasCall = accepted;
        if (forced && !accepted && (!walk_.HasException() || walk_.request.extException)) {
            site = CallSite{afterInstr, probe, false, 0, -1};
            hasCall = true;
            if (walk_.request.extException && !readable) {
                site.function = walk_.caches.Placeholder(v, module);
                accepted = true;
            }
        }
        if (!forced && !accepted && !candidate.certain) return false;
        AddItem(candidate, forced, module, hasCall, accepted ? site.afterInstr : afterInstr, site);
        return true;
    }

private:
    // In committed memory, and inside the code or data of a module when it lies in one.
    bool Plausible(std::uint64_t v, std::uint64_t probe, int& module) {
        const auto region = walk_.env.RegionAt(probe);
        if (!region || !region->committed || region->allocationBase == 0) return false;
        const int base = walk_.caches.ModuleOfBase(walk_.env, region->allocationBase);
        const ModuleFacts& facts = walk_.caches.Module(base).facts;
        if (!facts.isImage) return true;
        module = base;
        return facts.code.Holds(v) || facts.data.Holds(v);
    }

    void AddItem(const Candidate& candidate, bool forced, int module, bool hasCall, std::uint64_t afterInstr,
                 const CallSite& site) {
        TInternalStackItem item;
        item.Value = candidate.value;
        item.AfterInstr = afterInstr;
        item.Module = module;
        item.DontKill = forced || candidate.certain;
        item.TopItem = forced && candidate.kind != CandidateKind::creator;
        if (hasCall) {
            TStackLink self;
            self.CodeAddr = site.callAddr;
            self.HasTarget = site.hasTarget;
            self.Target = site.target;
            self.Func = site.function;
            item.Links[kOutward].Links.push_back(self);
        }
        walk_.items.push_back(std::move(item));
    }

    WalkContext& walk_;
};

std::set<std::uint64_t> CertainSlots(const WalkContext& walk, const StackSnapshot& stack) {
    std::set<std::uint64_t> slots(walk.request.unwoundSlots.begin(), walk.request.unwoundSlots.end());
    // 64-bit code keeps no frame-pointer chain: its frame pointer may point anywhere in a frame.
    if (walk.env.CodeMode() == x86::Mode::Bits32) slots.merge(FramePointerChainSlots(stack, walk.request.framePointer));
    return slots;
}

}  // namespace

void CollectPossibleStackItems(WalkContext& walk, const StackSnapshot& stack) {
    walk.items.reserve(64);
    CandidateCollector collector(walk);
    if (walk.request.creatorAddr != 0) collector.Consider({walk.request.creatorAddr, CandidateKind::creator, true});

    auto stoppedAtTop = [&] { return !walk.items.empty() && walk.items.back().TopItem; };
    const std::uint64_t range = std::max<std::uint64_t>(stack.Top() - stack.Bottom(), 1);
    auto progress = [&](std::uint64_t slot) { walk.Progress(static_cast<int>((stack.Top() - slot) * 25 / range)); };
    const auto prepared = walk.request.preparedStack.empty()
                              ? std::nullopt
                              : DecodePreparedCallStack(walk.request.preparedStack, walk.env.PointerSize());
    walk.usePreparedStack = prepared.has_value();
    if (prepared) {
        for (const PreparedEntry& entry : *prepared) {
            if (walk.Aborted()) return;
            collector.Consider({entry.address, CandidateKind::stackValue, entry.chainSlot});
            if (stoppedAtTop()) break;
        }
    } else {
        ScanStackSlots(stack, CertainSlots(walk, stack), [&](std::uint64_t slot, std::uint64_t value, bool chain) {
            if (walk.Aborted()) return SlotVerdict::stop;
            progress(slot);
            const std::size_t before = walk.items.size();
            if (!collector.Consider({value, CandidateKind::stackValue, chain})) return SlotVerdict::rejected;
            if (stoppedAtTop()) return SlotVerdict::stop;
            // A certain item's slot lies above its frame's saved frame pointer.
            const bool certainFromSlot = walk.items.size() > before && walk.items.back().DontKill;
            return certainFromSlot ? SlotVerdict::acceptedSkipNext : SlotVerdict::accepted;
        });
    }
    if (walk.Aborted()) return;
    if (walk.HasException() && !stoppedAtTop())
        collector.Consider({walk.request.exceptAddr, CandidateKind::exceptionLocation, true});
    else
        walk.usePreparedStack = false;
    walk.items.shrink_to_fit();
    walk.Progress(25);
}

}  // namespace brevant::crashreport
