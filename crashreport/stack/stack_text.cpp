#include "crashreport/stack/stack_text.h"

#include <algorithm>

#include "base/number_text.h"
#include "base/utf16_text.h"
#include "crashreport/stack/callstack_crc.h"

namespace brevant::crashreport {

namespace {

struct Columns {
    std::size_t offset = 0, module = 0, unit = 0, publicLine = 0, line = 0;
};

std::size_t HexDigits(std::uint64_t value) {
    std::size_t digits = 1;
    while (value >>= 4) ++digits;
    return digits;
}

std::size_t DecimalDigits(std::int64_t value) {
    return DecimalText(value).size();
}

bool IsShown(const TInternalStackItem& item, std::size_t index, const ComposeOptions& options) {
    if (item.Invalid) return false;
    if (item.TopItem || (index == 0 && options.hasCreator)) return true;
    const TFinalOutput& out = item.FinalOutput;
    // A call on a function's first line has relative line 0 but still a source line.
    const bool hasLine = out.Line > 0 || out.PublicLine > 0;
    return !out.PublicName.empty() && (hasLine || !options.hideUgly);
}

bool HasOffset(const TFinalOutput& out) {
    return out.PublicAddr != 0 && out.PublicAddr < out.Addr;
}

bool RelativeLine(const TFinalOutput& out, const ComposeOptions& options) {
    return options.showRelLines && out.PublicLine > 0;
}

Columns Measure(const std::vector<const TInternalStackItem*>& shown, const ComposeOptions& options) {
    Columns widths;
    for (const TInternalStackItem* item : shown) {
        const TFinalOutput& out = item->FinalOutput;
        if (options.showRelAddrs && HasOffset(out))
            widths.offset = std::max(widths.offset, HexDigits(out.Addr - out.PublicAddr) + 2);
        if (!out.ModuleName.empty()) widths.module = std::max(widths.module, out.ModuleName.size() + 1);
        if (!out.UnitName.empty()) widths.unit = std::max(widths.unit, out.UnitName.size() + 1);
        if (out.PublicLine > 0) widths.publicLine = std::max(widths.publicLine, DecimalDigits(out.PublicLine) + 1);
        if (out.Line > 0 || out.PublicLine > 0)
            widths.line = std::max(widths.line, DecimalDigits(out.Line) + (RelativeLine(out, options) ? 2 : 1));
    }
    return widths;
}

std::u16string PadRight(std::u16string text, std::size_t width) {
    if (text.size() < width) text.append(width - text.size(), u' ');
    return text;
}

std::u16string PadLeft(const std::u16string& text, std::size_t width) {
    return text.size() < width ? std::u16string(width - text.size(), u' ') + text : text;
}

std::u16string LineText(const TFinalOutput& out, const Columns& widths, const ComposeOptions& options) {
    std::u16string line = AddressHex(out.Addr, options.addressDigits) + u" ";
    if (widths.offset > 0) {
        const std::uint64_t offset = HasOffset(out) ? out.Addr - out.PublicAddr : 0;
        line += u"+" + AddressHex(offset, static_cast<int>(widths.offset - 2)) + u" ";
    }
    line += PadRight(out.ModuleName, widths.module);
    line += PadRight(out.UnitName, widths.unit);
    if (widths.publicLine > 0)
        line += PadLeft(out.PublicLine > 0 ? DecimalText(out.PublicLine) : u"", widths.publicLine - 1) + u" ";
    if (widths.line > 0) {
        std::u16string number;
        if (out.Line > 0 || out.PublicLine > 0)
            number = (RelativeLine(out, options) ? u"+" : u"") + DecimalText(out.Line);
        line += PadLeft(number, widths.line - 1) + u" ";
    }
    return line + out.PublicName;
}

TStackItem StructuredLine(const TFinalOutput& out) {
    TStackItem line;
    line.Addr = static_cast<std::uintptr_t>(out.Addr);
    line.relAddr = HasOffset(out) ? static_cast<std::uintptr_t>(out.Addr - out.PublicAddr) : 0;
    line.ModuleName = out.ModuleName;
    line.UnitName = out.UnitName;
    const bool anyLine = out.Line > 0 || out.PublicLine > 0;
    line.Line = out.PublicLine;
    line.relLine = anyLine ? out.Line : 0;
    line.FunctionName = out.PublicName;
    return line;
}

}  // namespace

std::uint32_t CrcLineValue(const TStackItem& line, std::uint64_t functionStart) {
    if (functionStart == 0 || line.ModuleName.empty() || line.FunctionName.empty())
        return static_cast<std::uint32_t>(line.Addr);
    std::uint32_t value = static_cast<std::uint32_t>(line.Addr - functionStart);
    value = CrcStepLowerName(value, line.ModuleName);
    if (!line.UnitName.empty()) value = CrcStepLowerName(value, line.UnitName);
    return CrcStepLowerName(value, line.FunctionName);
}

void ComposeResult(const std::vector<TInternalStackItem>& items, const ComposeOptions& options, WalkResult& result) {
    std::vector<const TInternalStackItem*> shown;
    for (std::size_t index = items.size(); index-- > 0;)
        if (IsShown(items[index], index, options)) shown.push_back(&items[index]);
    const Columns widths = Measure(shown, options);

    std::u16string text;
    bool first = true, disassemblyFromLine = false, haveFallback = false;
    std::uint64_t previous = 0;
    for (const TInternalStackItem* item : shown) {
        const TFinalOutput& out = item->FinalOutput;
        if (out.PublicAddr != 0 && out.PublicLine > 0 && !disassemblyFromLine) {
            result.functionStart = static_cast<std::uintptr_t>(out.PublicAddr);
            result.codeAddress = static_cast<std::uintptr_t>(out.Addr);
            disassemblyFromLine = true;
        }
        if (!first && out.Addr == previous) continue;
        text += u"\r\n" + LineText(out, widths, options);
        const TStackItem line = StructuredLine(out);
        const std::uint32_t value = CrcLineValue(line, out.PublicAddr);
        if (first)
            result.firstValue = result.blockCrc = value;
        else
            result.blockCrc = CrcStepValue(result.blockCrc, value);
        if (line.Line > 0 || line.relLine > 0) result.hasLine = true;
        if (!disassemblyFromLine && !haveFallback && out.PublicAddr != 0) {
            result.functionStart = static_cast<std::uintptr_t>(out.PublicAddr);
            result.codeAddress = static_cast<std::uintptr_t>(out.Addr);
            haveFallback = true;
        }
        result.callstack.push_back(line);
        previous = out.Addr;
        first = false;
    }
    result.text = text.empty() ? text : text.substr(2);
}

}  // namespace brevant::crashreport
