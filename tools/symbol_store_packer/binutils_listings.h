#pragma once
// Parsers for the binutils listings the packer reads: `nm -n --defined-only -C` (symbols),
// `objdump -w --dwarf=decodedline` (line tables), `objdump --dwarf=aranges` (the address
// ranges of each compilation unit) and `addr2line -a` (source locations).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace brevant::symbols {

struct NmSymbol {
    std::uint64_t address = 0;
    char type = 0;
    std::string name;  // demangled
};

struct AddressRange {
    std::uint64_t start = 0;
    std::uint64_t length = 0;
};

struct SourceLocation {
    std::string file;       // empty when unknown ("??")
    std::int32_t line = 0;  // 0 when unknown ("?")
    std::string lineFile;   // the line table's file for the line; empty when not known
};

// One row of the decoded line table; the file is named as the listing names it.
struct LineTableRow {
    std::uint64_t address = 0;
    std::string file;
    std::int32_t line = 0;  // 0 for a sequence end
};

std::vector<NmSymbol> ParseNmListing(std::string_view listing);
// Every row, sequence ends included, in the listing's order.
std::vector<LineTableRow> ParseLineTableRows(std::string_view listing);
// The address of every row, sequence ends included.
std::vector<std::uint64_t> ParseLineListing(std::string_view listing);
std::vector<AddressRange> ParseArangesListing(std::string_view listing);
// One location per address asked, in order; fewer when the listing is cut short.
std::vector<SourceLocation> ParseAddr2lineListing(std::string_view listing);

// "path/to/launcher.cpp" -> "launcher"; "vector" stays.
std::string UnitNameOfFile(std::string_view file);

}  // namespace brevant::symbols
