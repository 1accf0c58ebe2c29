#include "tools/symbol_store_packer/symbol_table_builder.h"

#include <algorithm>
#include <iterator>
#include <map>
#include <optional>

namespace brevant::symbols {

namespace {

class UnitIndex {
public:
    explicit UnitIndex(std::vector<std::string>& units) : units_(units) {}
    std::uint32_t Of(const std::string& file) {
        if (file.empty()) return kNoUnit;
        const std::string unit = UnitNameOfFile(file);
        auto [place, inserted] = indexes_.try_emplace(unit, static_cast<std::uint32_t>(units_.size()));
        if (inserted) units_.push_back(unit);
        return place->second;
    }

private:
    std::vector<std::string>& units_;
    std::map<std::string, std::uint32_t> indexes_;
};

std::optional<std::uint32_t> OffsetInCode(std::uint64_t address, const CodeRange& code) {
    if (address < code.imageBase + code.start || address >= code.imageBase + code.end) return std::nullopt;
    return static_cast<std::uint32_t>(address - code.imageBase);
}

void AddLineTables(SymbolTable& table, const std::vector<std::uint32_t>& breakpoints,
                   const std::vector<SourceLocation>& locations) {
    UnitIndex units(table.units);
    std::optional<std::pair<std::uint32_t, std::int32_t>> lastLine;
    std::optional<std::uint32_t> lastUnit;
    for (std::size_t index = 0; index < breakpoints.size() && index < locations.size(); ++index) {
        const SourceLocation& location = locations[index];
        const std::uint32_t unit = units.Of(location.file);
        const std::uint32_t lineUnit = location.lineFile.empty() ? unit : units.Of(location.lineFile);
        // A row is a stretch of one line of one file; a segment a stretch of one unit.
        if (lastLine != std::pair(lineUnit, location.line)) {
            table.lines.push_back(LineRow{breakpoints[index], location.line, lineUnit});
        }
        if (lastUnit != unit) table.segments.push_back(Segment{breakpoints[index], unit});
        lastLine = std::pair(lineUnit, location.line);
        lastUnit = unit;
    }
    // The last row closes the table: nothing is known beyond the code.
    table.lines.push_back(LineRow{table.codeEnd, 0});
}

void AddPublicSymbols(SymbolTable& table, const std::vector<NmSymbol>& symbols, const CodeRange& code) {
    std::map<std::uint32_t, const NmSymbol*> chosen;
    auto isGlobal = [](const NmSymbol& symbol) { return symbol.type >= 'A' && symbol.type <= 'Z'; };
    for (const NmSymbol& symbol : symbols) {
        const auto offset = OffsetInCode(symbol.address, code);
        if (!offset || symbol.name.empty() || symbol.name.front() == '.') continue;
        auto [place, inserted] = chosen.try_emplace(*offset, &symbol);
        if (!inserted && isGlobal(symbol) && !isGlobal(*place->second)) place->second = &symbol;
    }
    // Segments are ascending, so one pass walks them alongside the symbols.
    std::size_t segment = 0;
    std::uint32_t unit = kNoUnit;
    for (const auto& [start, symbol] : chosen) {
        while (segment < table.segments.size() && table.segments[segment].start <= start) {
            unit = table.segments[segment++].unit;
        }
        table.symbols.push_back(PublicSymbol{start, symbol->name, unit});
    }
}

}  // namespace

std::vector<std::uint32_t> LocationBreakpoints(const std::vector<std::uint64_t>& lineRows,
                                               const std::vector<AddressRange>& unitRanges,
                                               const std::vector<NmSymbol>& symbols, const CodeRange& code) {
    std::vector<std::uint32_t> breakpoints{code.start};
    auto add = [&](std::uint64_t address) {
        if (const auto offset = OffsetInCode(address, code)) breakpoints.push_back(*offset);
    };
    for (std::uint64_t address : lineRows) add(address);
    for (const AddressRange& range : unitRanges) {
        add(range.start);
        add(range.start + range.length);
    }
    for (const NmSymbol& symbol : symbols) add(symbol.address);
    std::sort(breakpoints.begin(), breakpoints.end());
    breakpoints.erase(std::unique(breakpoints.begin(), breakpoints.end()), breakpoints.end());
    return breakpoints;
}

void TakeLineFilesFromTable(std::vector<SourceLocation>& locations, const std::vector<std::uint32_t>& breakpoints,
                            std::vector<LineTableRow> rows, const CodeRange& code) {
    // Rows at one address keep the listing's order: the last of them is the one in effect.
    std::stable_sort(rows.begin(), rows.end(),
                     [](const LineTableRow& a, const LineTableRow& b) { return a.address < b.address; });
    for (std::size_t index = 0; index < breakpoints.size() && index < locations.size(); ++index) {
        SourceLocation& location = locations[index];
        if (location.line <= 0) continue;
        const std::uint64_t address = code.imageBase + breakpoints[index];
        auto row =
            std::upper_bound(rows.begin(), rows.end(), address,
                             [](std::uint64_t wanted, const LineTableRow& each) { return wanted < each.address; });
        if (row == rows.begin()) continue;
        for (const std::uint64_t inEffect = std::prev(row)->address; row != rows.begin();) {
            --row;
            if (row->address != inEffect) break;
            if (row->line == location.line) {
                location.lineFile = row->file;
                break;
            }
        }
    }
}

SymbolTable BuildSymbolTable(const std::vector<NmSymbol>& symbols, const std::vector<std::uint32_t>& breakpoints,
                             const std::vector<SourceLocation>& locations, const CodeRange& code,
                             std::string debugInfo) {
    SymbolTable table;
    table.codeStart = code.start;
    table.codeEnd = code.end;
    table.debugInfo = std::move(debugInfo);
    AddLineTables(table, breakpoints, locations);
    AddPublicSymbols(table, symbols, code);
    return table;
}

}  // namespace brevant::symbols
