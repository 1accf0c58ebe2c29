#include "crashreport/stack/walk_caches.h"

#include "base/utf16_text.h"

namespace brevant::crashreport {

namespace {

// Jump chains longer than this are not followed when approving.
constexpr int kMaxApprovalDepth = 16;

}  // namespace

std::optional<std::uint32_t> StoreOffset(const CachedModule& module, std::uint64_t address) {
    if (address < module.base || address - module.base > 0xFFFFFFFFu) return std::nullopt;
    return static_cast<std::uint32_t>(address - module.base);
}

int WalkCaches::ModuleOfBase(const StackEnvironment& env, std::uint64_t allocationBase) {
    if (auto found = moduleByBase_.find(allocationBase); found != moduleByBase_.end()) return found->second;
    CachedModule module;
    module.base = allocationBase;
    module.facts = env.ModuleAt(allocationBase);
    if (module.facts.isImage) module.store = env.SymbolsOf(allocationBase);
    modules_.push_back(std::move(module));
    const int index = static_cast<int>(modules_.size() - 1);
    moduleByBase_.emplace(allocationBase, index);
    return index;
}

int WalkCaches::ModuleOfAddress(const StackEnvironment& env, std::uint64_t address) {
    const auto region = env.RegionAt(address);
    if (!region || !region->committed || region->allocationBase == 0) return -1;
    const int module = ModuleOfBase(env, region->allocationBase);
    return Module(module).facts.isImage ? module : -1;
}

int WalkCaches::FunctionAt(const StackEnvironment& env, std::uint64_t entry, const std::u16string& name, int module) {
    if (auto found = functionByEntry_.find(entry); found != functionByEntry_.end()) return found->second;
    if (!noReturn_) noReturn_ = env.NoReturnRoutines();
    x86::FunctionAnalysisOptions options;
    options.mode = env.CodeMode();
    options.noReturnTargets = *noReturn_;
    CachedFunction function;
    function.info = x86::ParseFunction(env, entry, options);
    if (!function.info.IsValid) return -1;
    function.module = module;
    function.name = name;
    functions_.push_back(std::move(function));
    const int index = static_cast<int>(functions_.size() - 1);
    functionByEntry_.emplace(entry, index);
    return index;
}

int WalkCaches::Placeholder(std::uint64_t entry, int module) {
    if (auto found = functionByEntry_.find(entry); found != functionByEntry_.end()) return found->second;
    CachedFunction function;
    function.module = module;
    function.info.EntryPoint = entry;
    function.approved = true;
    functions_.push_back(std::move(function));
    const int index = static_cast<int>(functions_.size() - 1);
    functionByEntry_.emplace(entry, index);
    return index;
}

void WalkCaches::Approve(const StackEnvironment& env, int function) {
    std::vector<std::pair<int, int>> pending{{function, 0}};
    while (!pending.empty()) {
        const auto [index, depth] = pending.back();
        pending.pop_back();
        if (index < 0 || Function(index).approved) continue;
        Function(index).approved = true;
        if (depth >= kMaxApprovalDepth) continue;
        // Copied: analysing a jump target may grow the cache and move this entry.
        const std::vector<x86::TFarCall> calls = Function(index).info.FarCalls;
        for (const x86::TFarCall& jump : calls) {
            if (jump.Call) continue;
            const CodeName target = NameOf(env, jump.Target);
            pending.emplace_back(FunctionAt(env, jump.Target, target.name, target.module), depth + 1);
        }
    }
}

CodeName WalkCaches::NameOf(const StackEnvironment& env, std::uint64_t address) {
    CodeName name;
    name.module = ModuleOfAddress(env, address);
    if (name.module < 0) return name;
    const CachedModule& module = Module(name.module);
    if (module.store) {
        const auto offset = StoreOffset(module, address);
        const auto symbol = offset ? module.store->PublicSymbolAt(*offset) : std::nullopt;
        if (symbol) {
            name.name = FromUtf8(symbol->name);
            name.start = module.base + symbol->start;
        }
        return name;
    }
    if (module.facts.isExecutable) return name;
    if (const auto entry = env.EntryAtOrBelow(module.base, address)) {
        name.name = entry->name;
        name.start = entry->address;
    }
    return name;
}

std::int32_t WalkCaches::LineOf(int module, std::uint64_t address) const {
    if (module < 0 || !Module(module).store) return 0;
    const auto offset = StoreOffset(Module(module), address);
    return offset ? Module(module).store->LineAtAddress(*offset).line : 0;
}

}  // namespace brevant::crashreport
