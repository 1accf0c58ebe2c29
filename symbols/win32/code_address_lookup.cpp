#include "symbols/win32/code_address_lookup.h"

#include <windows.h>

#include <iterator>

#include "symbols/win32/module_symbols.h"

namespace brevant::symbols {

namespace {

std::u16string ModuleFileName(const void* module) {
    wchar_t path[MAX_PATH + 1];
    const DWORD length =
        GetModuleFileNameW(static_cast<HMODULE>(const_cast<void*>(module)), path, static_cast<DWORD>(std::size(path)));
    if (length == 0 || length >= std::size(path)) return {};
    std::u16string text(path, path + length);
    const std::size_t slash = text.find_last_of(u"\\/");
    return slash == std::u16string::npos ? text : text.substr(slash + 1);
}

}  // namespace

CodeAddressInfo LookupCodeAddress(std::uintptr_t address) {
    if (address == 0) address = reinterpret_cast<std::uintptr_t>(__builtin_return_address(0));
    CodeAddressInfo info;
    const void* module = ModuleOfAddress(address);
    if (!module) return info;
    info.moduleName = ModuleFileName(module);
    const auto symbol = PublicSymbolAt(address);
    if (!symbol) return info;
    info.functionStart = symbol->start;
    info.functionName = symbol->name;
    info.unitName = UnitAt(address);
    info.line = SourceLineAt(address);
    info.found = true;
    return info;
}

std::int32_t LineAtAddress(std::uintptr_t address, LineCache& cache) {
    if (address >= cache.start && address < cache.end) return cache.line;
    cache.line = SourceLineAt(address);
    cache.start = address;
    cache.end = cache.line > 0 ? LineRangeEnd(address) : address + 1;
    return cache.line;
}

std::u16string ProcNameAtAddress(std::uintptr_t address) {
    const auto symbol = PublicSymbolAt(address);
    if (!symbol || symbol->start != address) return {};
    const std::u16string& unit = symbol->unit;
    std::u16string text = unit.empty() ? symbol->name : unit + u"." + symbol->name;
    if (text.find(u'%') != std::u16string::npos) text += u" (" + ModuleFileName(ModuleOfAddress(address)) + u")";
    return text;
}

}  // namespace brevant::symbols
