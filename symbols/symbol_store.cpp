#include "symbols/symbol_store.h"

#include <algorithm>
#include <tuple>

#include "base/little_endian.h"
#include "symbols/store_layout.h"
#include "symbols/symbol_table.h"

namespace brevant::symbols {

using namespace layout;

std::optional<SymbolStore> SymbolStore::Open(std::vector<std::uint8_t> bytes) {
    SymbolStore store;
    store.bytes_ = std::move(bytes);
    if (!store.Parse()) return std::nullopt;
    return store;
}

bool SymbolStore::Parse() {
    if (bytes_.size() < kHeaderSize) return false;
    auto field = [this](HeaderField which) { return ReadU32(bytes_.data() + 4 * which); };
    if (field(kMagicField) != kMagic || field(kVersionField) != kVersion) return false;
    codeStart_ = field(kCodeStartField);
    codeEnd_ = field(kCodeEndField);
    unitCount_ = field(kUnitCountField);
    symbolCount_ = field(kSymbolCountField);
    lineCount_ = field(kLineCountField);
    segmentCount_ = field(kSegmentCountField);
    poolSize_ = field(kStringPoolSizeField);
    debugInfo_ = field(kDebugInfoField);

    // Sizes are summed in 64 bits so that huge counts cannot wrap around into "fits".
    std::uint64_t offset = kHeaderSize;
    auto place = [&offset](std::uint32_t count, std::uint32_t recordSize) {
        const std::uint64_t start = offset;
        offset += std::uint64_t{count} * recordSize;
        return start;
    };
    const std::uint64_t units = place(unitCount_, kUnitRecordSize);
    const std::uint64_t symbols = place(symbolCount_, kSymbolRecordSize);
    const std::uint64_t lines = place(lineCount_, kLineRecordSize);
    const std::uint64_t segments = place(segmentCount_, kSegmentRecordSize);
    const std::uint64_t pool = place(poolSize_, 1);
    if (offset != bytes_.size()) return false;
    unitsOffset_ = static_cast<std::uint32_t>(units);
    symbolsOffset_ = static_cast<std::uint32_t>(symbols);
    linesOffset_ = static_cast<std::uint32_t>(lines);
    segmentsOffset_ = static_cast<std::uint32_t>(segments);
    poolOffset_ = static_cast<std::uint32_t>(pool);

    // A pool that ends in NUL terminates every text that starts inside it.
    if (poolSize_ == 0 || bytes_.back() != 0 || debugInfo_ >= poolSize_) return false;
    if (codeStart_ > codeEnd_ || !RecordsAreValid() || !TablesAreOrdered()) return false;

    symbolsByName_.resize(symbolCount_);
    for (std::uint32_t index = 0; index < symbolCount_; ++index) symbolsByName_[index] = index;
    std::stable_sort(symbolsByName_.begin(), symbolsByName_.end(), [this](std::uint32_t left, std::uint32_t right) {
        const SymbolAt a = SymbolByIndex(left), b = SymbolByIndex(right);
        return std::tie(a.unit, a.name) < std::tie(b.unit, b.name);
    });
    return true;
}

bool SymbolStore::RecordsAreValid() const {
    for (std::uint32_t index = 0; index < unitCount_; ++index) {
        if (ReadU32(Record(unitsOffset_, kUnitRecordSize, index)) >= poolSize_) return false;
    }
    auto validUnit = [this](std::uint32_t unit) { return unit == kNoUnit || unit < unitCount_; };
    for (std::uint32_t index = 0; index < symbolCount_; ++index) {
        const std::uint8_t* record = Record(symbolsOffset_, kSymbolRecordSize, index);
        if (ReadU32(record + 4) >= poolSize_ || !validUnit(ReadU32(record + 8))) return false;
    }
    for (std::uint32_t index = 0; index < lineCount_; ++index) {
        if (!validUnit(ReadU32(Record(linesOffset_, kLineRecordSize, index) + 8))) return false;
    }
    for (std::uint32_t index = 0; index < segmentCount_; ++index) {
        if (!validUnit(ReadU32(Record(segmentsOffset_, kSegmentRecordSize, index) + 4))) return false;
    }
    return true;
}

bool SymbolStore::TablesAreOrdered() const {
    auto ascending = [this](std::uint32_t tableOffset, std::uint32_t recordSize, std::uint32_t count) {
        for (std::uint32_t index = 1; index < count; ++index) {
            if (ReadU32(Record(tableOffset, recordSize, index - 1)) >=
                ReadU32(Record(tableOffset, recordSize, index))) {
                return false;
            }
        }
        return true;
    };
    return ascending(symbolsOffset_, kSymbolRecordSize, symbolCount_) &&
           ascending(linesOffset_, kLineRecordSize, lineCount_) &&
           ascending(segmentsOffset_, kSegmentRecordSize, segmentCount_);
}

const std::uint8_t* SymbolStore::Record(std::uint32_t tableOffset, std::uint32_t recordSize, std::size_t index) const {
    return bytes_.data() + tableOffset + index * recordSize;
}

std::string_view SymbolStore::Text(std::uint32_t offset) const {
    return reinterpret_cast<const char*>(bytes_.data() + poolOffset_ + offset);
}

std::string_view SymbolStore::UnitName(std::uint32_t unit) const {
    if (unit == kNoUnit) return {};
    return Text(ReadU32(Record(unitsOffset_, kUnitRecordSize, unit)));
}

std::ptrdiff_t SymbolStore::LastAtOrBefore(std::uint32_t tableOffset, std::uint32_t recordSize, std::size_t count,
                                           std::uint32_t address) const {
    std::size_t low = 0, high = count;  // first record starting after the address lies in [low, high]
    while (low < high) {
        const std::size_t middle = low + (high - low) / 2;
        if (ReadU32(Record(tableOffset, recordSize, middle)) <= address) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    return static_cast<std::ptrdiff_t>(low) - 1;
}

SymbolAt SymbolStore::SymbolByIndex(std::size_t index) const {
    const std::uint8_t* record = Record(symbolsOffset_, kSymbolRecordSize, index);
    return SymbolAt{ReadU32(record), Text(ReadU32(record + 4)), UnitName(ReadU32(record + 8))};
}

std::uint32_t SymbolStore::LineRowStart(std::size_t index) const {
    return ReadU32(Record(linesOffset_, kLineRecordSize, index));
}

std::optional<SymbolAt> SymbolStore::PublicSymbolAt(std::uint32_t address) const {
    if (address < codeStart_ || address >= codeEnd_) return std::nullopt;
    const std::ptrdiff_t index = LastAtOrBefore(symbolsOffset_, kSymbolRecordSize, symbolCount_, address);
    if (index < 0) return std::nullopt;
    return SymbolByIndex(static_cast<std::size_t>(index));
}

std::optional<std::size_t> SymbolStore::LineRowWithLineAt(std::uint32_t address) const {
    if (address < codeStart_ || address >= codeEnd_) return std::nullopt;
    const std::ptrdiff_t index = LastAtOrBefore(linesOffset_, kLineRecordSize, lineCount_, address);
    // Past the last row nothing is known; a row without a line says so explicitly.
    if (index < 0 || static_cast<std::size_t>(index) + 1 >= lineCount_) return std::nullopt;
    const std::uint8_t* record = Record(linesOffset_, kLineRecordSize, static_cast<std::size_t>(index));
    if (static_cast<std::int32_t>(ReadU32(record + 4)) <= 0) return std::nullopt;
    return static_cast<std::size_t>(index);
}

std::string_view SymbolStore::UnitAt(std::uint32_t address) const {
    if (address < codeStart_ || address >= codeEnd_) return {};
    // A line is named with the file that holds it, which for inlined code is not the
    // function's own unit; only code without a line falls back to its segment.
    if (const auto row = LineRowWithLineAt(address)) {
        const std::uint32_t unit = ReadU32(Record(linesOffset_, kLineRecordSize, *row) + 8);
        if (unit != kNoUnit) return UnitName(unit);
    }
    const std::ptrdiff_t index = LastAtOrBefore(segmentsOffset_, kSegmentRecordSize, segmentCount_, address);
    if (index < 0) return {};
    return UnitName(ReadU32(Record(segmentsOffset_, kSegmentRecordSize, static_cast<std::size_t>(index)) + 4));
}

LineAt SymbolStore::LineAtAddress(std::uint32_t address) const {
    const auto row = LineRowWithLineAt(address);
    if (!row) return {};
    const std::uint8_t* record = Record(linesOffset_, kLineRecordSize, *row);
    return LineAt{static_cast<std::int32_t>(ReadU32(record + 4)), ReadU32(record), ReadU32(record + kLineRecordSize)};
}

std::optional<std::uint32_t> SymbolStore::FindPublicSymbol(std::string_view unit, std::string_view name) const {
    const auto found = std::lower_bound(symbolsByName_.begin(), symbolsByName_.end(), std::tie(unit, name),
                                        [this](std::uint32_t index, const auto& wanted) {
                                            const SymbolAt symbol = SymbolByIndex(index);
                                            return std::tie(symbol.unit, symbol.name) < wanted;
                                        });
    if (found == symbolsByName_.end()) return std::nullopt;
    const SymbolAt symbol = SymbolByIndex(*found);
    if (symbol.unit != unit || symbol.name != name) return std::nullopt;
    return symbol.start;
}

}  // namespace brevant::symbols
