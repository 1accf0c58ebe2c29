#pragma once
// Read access to one module's symbol store: the lookups the call stacks need. Addresses are
// offsets from the module's image base. A store is checked in full when it is opened, so
// every lookup afterwards is a plain binary search that cannot run off its tables.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace brevant::symbols {

struct SymbolAt {
    std::uint32_t start = 0;
    std::string_view name;
    std::string_view unit;  // empty when unknown
};

struct LineAt {
    std::int32_t line = 0;  // 0 when the address has no line
    std::uint32_t start = 0;
    std::uint32_t end = 0;  // the row's range is [start, end)
};

class SymbolStore {
public:
    // Takes the uncompressed store; nothing when it is damaged in any way.
    static std::optional<SymbolStore> Open(std::vector<std::uint8_t> bytes);

    std::uint32_t CodeStart() const { return codeStart_; }
    std::uint32_t CodeEnd() const { return codeEnd_; }
    std::size_t SymbolCount() const { return symbolCount_; }
    std::size_t LineCount() const { return lineCount_; }
    std::size_t UncompressedSize() const { return bytes_.size(); }

    // The public symbol at or before the address.
    std::optional<SymbolAt> PublicSymbolAt(std::uint32_t address) const;
    // The unit of the file that holds the address's line; without a line, the unit of the
    // code's segment. The function's own unit is PublicSymbolAt(...).unit.
    std::string_view UnitAt(std::uint32_t address) const;
    LineAt LineAtAddress(std::uint32_t address) const;
    std::optional<std::uint32_t> FindPublicSymbol(std::string_view unit, std::string_view name) const;
    std::string_view DebugInfo() const { return Text(debugInfo_); }

    SymbolAt SymbolByIndex(std::size_t index) const;
    std::uint32_t LineRowStart(std::size_t index) const;

private:
    SymbolStore() = default;
    bool Parse();
    bool TablesAreOrdered() const;
    bool RecordsAreValid() const;
    std::string_view Text(std::uint32_t offset) const;
    std::string_view UnitName(std::uint32_t unit) const;
    const std::uint8_t* Record(std::uint32_t tableOffset, std::uint32_t recordSize, std::size_t index) const;
    // The row that gives the address its line; nothing when the address has no line.
    std::optional<std::size_t> LineRowWithLineAt(std::uint32_t address) const;
    // Index of the last record whose start is at or before the address, or -1.
    std::ptrdiff_t LastAtOrBefore(std::uint32_t tableOffset, std::uint32_t recordSize, std::size_t count,
                                  std::uint32_t address) const;

    std::vector<std::uint8_t> bytes_;
    std::uint32_t codeStart_ = 0, codeEnd_ = 0;
    std::uint32_t unitCount_ = 0, symbolCount_ = 0, lineCount_ = 0, segmentCount_ = 0;
    std::uint32_t unitsOffset_ = 0, symbolsOffset_ = 0, linesOffset_ = 0, segmentsOffset_ = 0;
    std::uint32_t poolOffset_ = 0, poolSize_ = 0, debugInfo_ = 0;
    std::vector<std::uint32_t> symbolsByName_;  // symbol indexes ordered by (unit, name)
};

}  // namespace brevant::symbols
