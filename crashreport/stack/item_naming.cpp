#include "crashreport/stack/item_naming.h"

#include <algorithm>

#include "base/utf16_text.h"
#include "crashreport/stack/runtime_names.h"

namespace brevant::crashreport {

namespace {

void NameByLinks(const WalkContext& walk, TInternalStackItem& item) {
    TFinalOutput& out = item.FinalOutput;
    const auto& own = item.Links[kOutward].Links;
    for (const TStackLink& link : own) {
        if (!walk.caches.IsApproved(link.Func)) continue;
        const CachedFunction& function = walk.caches.Function(link.Func);
        out.Addr = link.CodeAddr;
        out.PublicName = function.name;
        out.PublicAddr = function.info.EntryPoint;
        out.UnitName = UnitFromFunctionName(function.name);
        return;
    }
    for (const TStackLink& link : own) {
        if (link.CodeAddr == 0) continue;
        out.Addr = link.CodeAddr;
        return;
    }
    const TStackLinks& inward = item.Links[kInward];
    out.Addr = item.AfterInstr;
    if (inward.Best >= 0 && inward.Links[static_cast<std::size_t>(inward.Best)].CodeAddr != 0)
        out.Addr = inward.Links[static_cast<std::size_t>(inward.Best)].CodeAddr;
}

void NameByModule(WalkContext& walk, TInternalStackItem& item, std::vector<std::u16string>& debugInfoPairs) {
    TFinalOutput& out = item.FinalOutput;
    if (item.Module < 0) {
        out.ModuleName = u"???";
        return;
    }
    const CachedModule& module = walk.caches.Module(item.Module);
    out.ModuleName = module.facts.fileName;
    if (!module.store) return;
    const auto offset = StoreOffset(module, out.Addr);
    if (!offset) return;
    if (out.PublicName.empty()) {
        if (const auto symbol = module.store->PublicSymbolAt(*offset)) {
            out.PublicName = FromUtf8(symbol->name);
            out.PublicAddr = module.base + symbol->start;
        }
    }
    out.UnitName = FromUtf8(module.store->UnitAt(*offset));
    out.Line = module.store->LineAtAddress(*offset).line;
    if (out.Line > 0 && walk.request.showRelLines && out.PublicAddr != 0) {
        const std::int32_t startLine = walk.caches.LineOf(item.Module, out.PublicAddr);
        // A line of inlined code from another file, or above the function's first line, has
        // no meaning relative to the function: it stays absolute.
        const auto startOffset = StoreOffset(module, out.PublicAddr);
        const bool sameFile = startOffset && module.store->UnitAt(*startOffset) == module.store->UnitAt(*offset);
        if (startLine > 0 && startLine <= out.Line && sameFile) {
            out.PublicLine = out.Line;
            out.Line -= startLine;
        }
    }
    if (!module.store->DebugInfo().empty()) {
        std::u16string pair = module.facts.fileName + u"|" + FromUtf8(module.store->DebugInfo());
        if (std::find(debugInfoPairs.begin(), debugInfoPairs.end(), pair) == debugInfoPairs.end())
            debugInfoPairs.push_back(std::move(pair));
    }
}

void InvalidateInwardFrom(WalkContext& walk, int from, int keep) {
    for (int i = from; i <= walk.LastIndex(); ++i)
        if (i != keep) walk.Item(i).Invalid = true;
}

}  // namespace

std::u16string UnitFromFunctionName(std::u16string_view name) {
    int depth = 0;
    std::size_t scopeEnd = std::u16string_view::npos;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char16_t c = name[i];
        if (c == u'<') ++depth;
        if (c == u'>' && depth > 0) --depth;
        if (c == u'(' && depth == 0) break;
        if (depth == 0 && c == u':' && i + 1 < name.size() && name[i + 1] == u':') scopeEnd = i++;
    }
    return scopeEnd == std::u16string_view::npos ? std::u16string() : std::u16string(name.substr(0, scopeEnd));
}

NamingResult FillFinalOutput(WalkContext& walk) {
    NamingResult result;
    bool termination = walk.request.bcbTermination;
    bool named = false;
    bool dispatcherNext = false;
    int innermost = -1;
    for (int index = walk.LastIndex(); index >= 0; --index) {
        if (walk.Aborted()) break;
        TInternalStackItem& item = walk.Item(index);
        if (item.Invalid) continue;
        if (innermost < 0) innermost = index;
        item.FinalOutput = TFinalOutput{};
        NameByLinks(walk, item);
        NameByModule(walk, item, result.debugInfoPairs);
        if (!named) result.innermostAddr = item.FinalOutput.Addr;
        named = true;
        const std::u16string& name = item.FinalOutput.PublicName;
        if (dispatcherNext && !name.empty()) {
            dispatcherNext = false;
            if (name == kSystemExceptionDispatcher) item.Invalid = true;
        }
        if (termination && NameIsOneOf(name, kTerminationRoutines)) {
            termination = false;
            InvalidateInwardFrom(walk, index, -1);
        }
        if (walk.usePreparedStack && NameIsOneOf(name, kExceptionHandlerRoutines)) {
            walk.usePreparedStack = false;
            InvalidateInwardFrom(walk, index, innermost);
            dispatcherNext = true;
        }
    }
    return result;
}

}  // namespace brevant::crashreport
