#include "symbols/store_writer.h"

#include <map>
#include <string>

#include "base/little_endian.h"
#include "symbols/store_layout.h"

namespace brevant::symbols {

namespace {

// Equal texts share one place in the pool; templates repeat unit names a lot.
class StringPool {
public:
    std::uint32_t Add(const std::string& text) {
        auto [place, inserted] = offsets_.try_emplace(text, static_cast<std::uint32_t>(bytes_.size()));
        if (inserted) {
            bytes_.insert(bytes_.end(), text.begin(), text.end());
            bytes_.push_back(0);
        }
        return place->second;
    }
    const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

private:
    std::map<std::string, std::uint32_t> offsets_;
    std::vector<std::uint8_t> bytes_;
};

}  // namespace

std::vector<std::uint8_t> WriteStore(const SymbolTable& table) {
    StringPool pool;
    const std::uint32_t debugInfo = pool.Add(table.debugInfo);

    std::vector<std::uint8_t> records;
    for (const std::string& unit : table.units) AppendU32(records, pool.Add(unit));
    for (const PublicSymbol& symbol : table.symbols) {
        AppendU32(records, symbol.start);
        AppendU32(records, pool.Add(symbol.name));
        AppendU32(records, symbol.unit);
    }
    for (const LineRow& row : table.lines) {
        AppendU32(records, row.start);
        AppendU32(records, static_cast<std::uint32_t>(row.line));
        AppendU32(records, row.unit);
    }
    for (const Segment& segment : table.segments) {
        AppendU32(records, segment.start);
        AppendU32(records, segment.unit);
    }

    std::vector<std::uint8_t> store;
    for (std::uint32_t field :
         {layout::kMagic, layout::kVersion, table.codeStart, table.codeEnd,
          static_cast<std::uint32_t>(table.units.size()), static_cast<std::uint32_t>(table.symbols.size()),
          static_cast<std::uint32_t>(table.lines.size()), static_cast<std::uint32_t>(table.segments.size()),
          static_cast<std::uint32_t>(pool.Bytes().size()), debugInfo}) {
        AppendU32(store, field);
    }
    store.insert(store.end(), records.begin(), records.end());
    store.insert(store.end(), pool.Bytes().begin(), pool.Bytes().end());
    return store;
}

}  // namespace brevant::symbols
