#pragma once
// Turns a symbol table into the uncompressed store bytes (see store_layout.h).

#include <cstdint>
#include <vector>

#include "symbols/symbol_table.h"

namespace brevant::symbols {

std::vector<std::uint8_t> WriteStore(const SymbolTable& table);

}  // namespace brevant::symbols
