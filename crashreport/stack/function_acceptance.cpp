#include "crashreport/stack/function_acceptance.h"

#include "crashreport/stack/runtime_names.h"
#include "x86/instruction_decoder.h"

namespace brevant::crashreport {

namespace {

bool NamesARaise(std::u16string_view name) {
    for (std::u16string_view mark : kRaiseRoutineMarks)
        if (name.find(mark) != std::u16string_view::npos) return true;
    return false;
}

// The instruction that ends exactly at `end` when the area is decoded from its start.
bool InstructionEndingAt(const StackEnvironment& env, const x86::TCodeArea& area, std::uint64_t end,
                         std::uint64_t& instruction) {
    std::uint64_t address = area.AreaBegin;
    bool found = false;
    while (address < end) {
        x86::Instruction decoded;
        if (!x86::DecodeInstruction(env, address, env.CodeMode(), decoded)) return false;
        instruction = address;
        found = true;
        address = decoded.End();
    }
    return found && address == end;
}

// A forced item: an exception location or a thread's creator address v, whose instruction
// ends at afterInstr.
bool AcceptsForced(WalkContext& walk, int function, std::uint64_t v, std::uint64_t afterInstr, CallSite& site) {
    const x86::TFunctionInfo info = walk.caches.Function(function).info;
    site = CallSite{afterInstr, v, false, 0, function};
    if (info.CodeAreas.empty()) return info.EntryPoint == afterInstr;
    if (!walk.request.extException) {
        // A raise leaves its return address as the location: the item moves onto the call.
        for (const x86::TFarCall& call : info.FarCalls) {
            if (!call.Call || call.CodeAddr2 != v) continue;
            if (!NamesARaise(walk.caches.NameOf(walk.env, call.Target).name)) continue;
            site = CallSite{v, call.CodeAddr1, true, call.Target, function};
            return true;
        }
    }
    for (const x86::TCodeArea& area : info.CodeAreas) {
        if (!(area.AreaBegin < afterInstr && afterInstr <= area.AreaEnd + 1)) continue;
        std::uint64_t instruction = 0;
        if (!InstructionEndingAt(walk.env, area, afterInstr, instruction)) continue;
        site.callAddr = instruction;
        return true;
    }
    return false;
}

bool SymbolFunctionAccepts(WalkContext& walk, int module, bool forced, std::uint64_t v, std::uint64_t probe,
                           std::uint64_t afterInstr, CallSite& site) {
    const CodeName symbol = walk.caches.NameOf(walk.env, probe);
    if (symbol.start == 0) return false;
    const int function = walk.caches.FunctionAt(walk.env, symbol.start, symbol.name, module);
    if (function < 0) return false;
    walk.caches.Approve(walk.env, function);
    if (FunctionAccepts(walk, function, forced, v, afterInstr, site)) return true;
    // Labels of the symbol reached by its calls and jumps count as functions of their own.
    const x86::TFunctionInfo info = walk.caches.Function(function).info;
    for (const x86::TFarCall& far : info.FarCalls) {
        if (far.Target <= info.EntryPoint) continue;
        if (!info.Contains(far.Target) && walk.caches.NameOf(walk.env, far.Target).start != symbol.start) continue;
        const int label = walk.caches.FunctionAt(walk.env, far.Target, symbol.name + u".@label", module);
        if (label < 0) continue;
        walk.caches.Approve(walk.env, label);
        if (FunctionAccepts(walk, label, forced, v, afterInstr, site)) return true;
    }
    return false;
}

bool ExportFunctionAccepts(WalkContext& walk, int module, bool forced, std::uint64_t v, std::uint64_t probe,
                           std::uint64_t afterInstr, CallSite& site) {
    const CachedModule& cached = walk.caches.Module(module);
    const auto entry = walk.env.EntryAtOrBelow(cached.base, probe);
    if (!entry) return false;
    const int function = walk.caches.FunctionAt(walk.env, entry->address, entry->name, module);
    if (function < 0) return false;
    walk.caches.Approve(walk.env, function);
    if (!AreaHoldsReturn(walk.caches.Function(function).info, afterInstr)) return false;
    return FunctionAccepts(walk, function, forced, v, afterInstr, site);
}

}  // namespace

bool FindCallEndingAt(const x86::TFunctionInfo& info, std::uint64_t afterInstr, CallSite& site) {
    for (const x86::TUnknownTarget& call : info.UnknownTargets) {
        if (call.Call && call.CodeAddr2 == afterInstr) {
            site.afterInstr = afterInstr;
            site.callAddr = call.CodeAddr1;
            site.hasTarget = false;
            site.target = 0;
            return true;
        }
    }
    for (const x86::TFarCall& call : info.FarCalls) {
        if (call.Call && call.CodeAddr2 == afterInstr) {
            site.afterInstr = afterInstr;
            site.callAddr = call.CodeAddr1;
            site.hasTarget = true;
            site.target = call.Target;
            return true;
        }
    }
    return false;
}

bool AreaHoldsReturn(const x86::TFunctionInfo& info, std::uint64_t afterInstr) {
    for (const x86::TCodeArea& area : info.CodeAreas)
        if (area.AreaBegin < afterInstr && afterInstr <= area.AreaEnd + 1) return true;
    return false;
}

bool FunctionAccepts(WalkContext& walk, int function, bool forced, std::uint64_t v, std::uint64_t afterInstr,
                     CallSite& site) {
    if (function < 0 || walk.caches.Function(function).invalid) return false;
    if (forced) return AcceptsForced(walk, function, v, afterInstr, site);
    if (!FindCallEndingAt(walk.caches.Function(function).info, afterInstr, site)) return false;
    site.function = function;
    return true;
}

bool CheckCandidateFunction(WalkContext& walk, int module, bool forced, std::uint64_t v, std::uint64_t probe,
                            std::uint64_t afterInstr, CallSite& site) {
    const CachedModule& cached = walk.caches.Module(module);
    if (cached.store) return SymbolFunctionAccepts(walk, module, forced, v, probe, afterInstr, site);
    if (!cached.facts.isExecutable) return ExportFunctionAccepts(walk, module, forced, v, probe, afterInstr, site);
    return false;
}

}  // namespace brevant::crashreport
