#pragma once
// The symbol information of one module as plain values: what the packer gathers from the
// debug information and what the store holds. Addresses are offsets from the image base.

#include <cstdint>
#include <string>
#include <vector>

namespace brevant::symbols {

inline constexpr std::uint32_t kNoUnit = 0xFFFFFFFF;

struct PublicSymbol {
    std::uint32_t start = 0;
    std::string name;
    std::uint32_t unit = kNoUnit;  // index into SymbolTable::units
};

// A line row covers its address up to the next row; a line of 0 marks a stretch without one.
// Inlined header code and included sources put lines of other files into a function, so
// each row names the unit (file without folder and extension) that holds its line.
struct LineRow {
    std::uint32_t start = 0;
    std::int32_t line = 0;
    std::uint32_t unit = kNoUnit;  // index into SymbolTable::units
};

// A segment says which unit the code from its start up to the next segment belongs to.
struct Segment {
    std::uint32_t start = 0;
    std::uint32_t unit = kNoUnit;
};

struct SymbolTable {
    std::uint32_t codeStart = 0;  // the store answers for addresses in [codeStart, codeEnd)
    std::uint32_t codeEnd = 0;
    std::vector<std::string> units;
    std::vector<PublicSymbol> symbols;  // ascending by start
    std::vector<LineRow> lines;         // ascending by start
    std::vector<Segment> segments;      // ascending by start
    std::string debugInfo;              // the module's minimal debug information text
};

}  // namespace brevant::symbols
