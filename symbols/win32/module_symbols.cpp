#include "symbols/win32/module_symbols.h"

#include <windows.h>

#include <map>
#include <memory>
#include <mutex>

#include "base/utf16_text.h"
#include "symbols/embedded_store.h"

namespace brevant::symbols {

namespace {

std::optional<SymbolStore> LoadStore(HMODULE module) {
    const std::wstring type(kStoreResourceType.begin(), kStoreResourceType.end());
    const std::wstring name(kStoreResourceName.begin(), kStoreResourceName.end());
    HRSRC resource = FindResourceW(module, name.c_str(), type.c_str());
    if (!resource) return std::nullopt;
    HGLOBAL loaded = LoadResource(module, resource);
    const auto* bytes = static_cast<const std::uint8_t*>(loaded ? LockResource(loaded) : nullptr);
    const DWORD size = SizeofResource(module, resource);
    if (!bytes || size == 0) return std::nullopt;
    return OpenPackedStore(std::span(bytes, size));
}

// Where an address lies: its module, that module's store and the offset inside it.
struct Placement {
    const void* module = nullptr;
    const SymbolStore* store = nullptr;
    std::uint32_t offset = 0;
};

Placement Place(std::uintptr_t address) {
    Placement placement;
    placement.module = ModuleOfAddress(address);
    if (!placement.module) return placement;
    const auto base = reinterpret_cast<std::uintptr_t>(placement.module);
    if (address - base > 0xFFFFFFFFu) return placement;
    placement.store = ModuleSymbolStore(placement.module);
    placement.offset = static_cast<std::uint32_t>(address - base);
    return placement;
}

}  // namespace

const void* ModuleOfAddress(std::uintptr_t address) {
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(address), &module)) {
        return nullptr;
    }
    return module;
}

const SymbolStore* ModuleSymbolStore(const void* module) {
    static std::mutex lock;
    // Entries are never removed, so a pointer handed out stays valid; nullptr marks "none".
    static std::map<const void*, std::unique_ptr<SymbolStore>> stores;
    if (!module) return nullptr;
    try {
        std::lock_guard guard(lock);
        auto [place, inserted] = stores.try_emplace(module);
        if (inserted) {
            if (auto store = LoadStore(static_cast<HMODULE>(const_cast<void*>(module)))) {
                place->second = std::make_unique<SymbolStore>(std::move(*store));
            }
        }
        return place->second.get();
    } catch (...) {
        return nullptr;  // out of memory while unpacking: no symbols rather than a failure
    }
}

bool ModuleHasSymbols(const void* module) {
    return ModuleSymbolStore(module) != nullptr;
}

std::optional<PublicSymbolInfo> PublicSymbolAt(std::uintptr_t address) {
    const Placement placement = Place(address);
    if (!placement.store) return std::nullopt;
    const auto symbol = placement.store->PublicSymbolAt(placement.offset);
    if (!symbol) return std::nullopt;
    return PublicSymbolInfo{reinterpret_cast<std::uintptr_t>(placement.module) + symbol->start, FromUtf8(symbol->name),
                            FromUtf8(symbol->unit)};
}

std::u16string UnitAt(std::uintptr_t address) {
    const Placement placement = Place(address);
    return placement.store ? FromUtf8(placement.store->UnitAt(placement.offset)) : std::u16string();
}

std::int32_t SourceLineAt(std::uintptr_t address) {
    const Placement placement = Place(address);
    return placement.store ? placement.store->LineAtAddress(placement.offset).line : 0;
}

std::uintptr_t LineRangeEnd(std::uintptr_t address) {
    const Placement placement = Place(address);
    if (!placement.store) return 0;
    const LineAt line = placement.store->LineAtAddress(placement.offset);
    return line.line > 0 ? reinterpret_cast<std::uintptr_t>(placement.module) + line.end : 0;
}

std::optional<std::uintptr_t> FindPublicSymbol(const void* module, std::u16string_view unit, std::u16string_view name) {
    const SymbolStore* store = ModuleSymbolStore(module);
    if (!store) return std::nullopt;
    const auto start = store->FindPublicSymbol(ToUtf8(unit), ToUtf8(name));
    if (!start) return std::nullopt;
    return reinterpret_cast<std::uintptr_t>(module) + *start;
}

std::u16string ModuleDebugInfo(const void* module) {
    const SymbolStore* store = ModuleSymbolStore(module);
    return store ? FromUtf8(store->DebugInfo()) : std::u16string();
}

}  // namespace brevant::symbols
