#pragma once
// The symbol store of each loaded module, found through its "QRX"/"EXCEPT" resource. A store
// is unpacked on the first lookup in its module and kept for the life of the process; a
// module whose store is missing or damaged counts as having none.

#include <cstdint>
#include <optional>
#include <string>

#include "symbols/symbol_store.h"

namespace brevant::symbols {

// The module that holds the address, or nullptr.
const void* ModuleOfAddress(std::uintptr_t address);
// The store of a loaded module (its base address), or nullptr. Safe from several threads.
const SymbolStore* ModuleSymbolStore(const void* module);

struct PublicSymbolInfo {
    std::uintptr_t start = 0;
    std::u16string name;
    std::u16string unit;  // the function's own unit, which inlined lines inside it may not share
};

bool ModuleHasSymbols(const void* module);
std::optional<PublicSymbolInfo> PublicSymbolAt(std::uintptr_t address);
// The unit of the file that holds the address's line (a header for inlined code).
std::u16string UnitAt(std::uintptr_t address);
// The source line of the address; 0 when none.
std::int32_t SourceLineAt(std::uintptr_t address);
// The end of the address range the address's line covers; 0 when it has no line.
std::uintptr_t LineRangeEnd(std::uintptr_t address);
std::optional<std::uintptr_t> FindPublicSymbol(const void* module, std::u16string_view unit, std::u16string_view name);
std::u16string ModuleDebugInfo(const void* module);

}  // namespace brevant::symbols
