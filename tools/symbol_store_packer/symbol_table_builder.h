#pragma once
// Combines the binutils listings of one linked module into the store's symbol table.

#include <cstdint>
#include <string>
#include <vector>

#include "symbols/symbol_table.h"
#include "tools/symbol_store_packer/binutils_listings.h"

namespace brevant::symbols {

struct CodeRange {
    std::uint64_t imageBase = 0;
    std::uint32_t start = 0;  // offsets from the image base
    std::uint32_t end = 0;
};

// The offsets at which the source location of an address can change: the code's start,
// every line-table row (sequence ends included), both ends of each compilation unit's
// ranges and every symbol. Between two of them addr2line's answer stays the same (checked
// over every code byte of our programs), so asking at these offsets gives the whole table.
std::vector<std::uint32_t> LocationBreakpoints(const std::vector<std::uint64_t>& lineRows,
                                               const std::vector<AddressRange>& unitRanges,
                                               const std::vector<NmSymbol>& symbols, const CodeRange& code);

// Binutils' addr2line gives the right line but, for some functions taken from headers (the
// handlers of std::function, for one), the compilation unit's file instead of the header the
// line table names. Each location whose line a line-table row in effect at its breakpoint
// also gives takes that row's file as its lineFile.
void TakeLineFilesFromTable(std::vector<SourceLocation>& locations, const std::vector<std::uint32_t>& breakpoints,
                            std::vector<LineTableRow> rows, const CodeRange& code);

// locations[i] is the source location at breakpoints[i]. A line row names the unit of its
// lineFile (of file when that is empty); segments, and with them the units of the public
// symbols, follow file. Public symbols: every symbol in the
// code except section names; of several at one address a global one is kept.
SymbolTable BuildSymbolTable(const std::vector<NmSymbol>& symbols, const std::vector<std::uint32_t>& breakpoints,
                             const std::vector<SourceLocation>& locations, const CodeRange& code,
                             std::string debugInfo);

}  // namespace brevant::symbols
