// The store reader: lookups over a small known table, and damaged stores that must be
// refused as a whole rather than answer from broken tables.

#include <gtest/gtest.h>

#include <functional>

#include "base/little_endian.h"
#include "symbols/store_layout.h"
#include "symbols/store_writer.h"
#include "symbols/symbol_store.h"

namespace brevant::symbols {
namespace {

SymbolTable SampleTable() {
    SymbolTable table;
    table.codeStart = 0x1000;
    table.codeEnd = 0x2000;
    table.units = {"main", "vector", "std_function"};
    table.symbols = {{0x1000, "Start", 0}, {0x1100, "Helper(int)", 1}, {0x1800, "Tail", kNoUnit}};
    // Start holds inlined header code at 0x1020; a row at 0x1040 has a line but no file, and
    // the row at 0x1140 names a file but has no line.
    table.lines = {{0x1000, 10, 0},       {0x1010, 11, 0},  {0x1020, 288, 2}, {0x1030, 12, 0},
                   {0x1040, 13, kNoUnit}, {0x1100, 200, 1}, {0x1140, 0, 1},   {0x2000, 0, kNoUnit}};
    table.segments = {{0x1000, 0}, {0x1100, 1}, {0x1140, kNoUnit}};
    table.debugInfo = "sample build";
    return table;
}

SymbolStore OpenSample() {
    return *SymbolStore::Open(WriteStore(SampleTable()));
}

TEST(SymbolStoreTest, AnswersEachAddressFromTheRowsAndSymbolsAtOrBeforeIt) {
    struct Case {
        std::uint32_t address;
        bool hasSymbol;
        std::uint32_t start;
        std::string_view name, functionUnit, unit;
        std::int32_t line;
        std::uint32_t lineEnd;
    };
    const Case cases[] = {
        {0x0FFF, false, 0, "", "", "", 0, 0},                                  // before the code
        {0x1000, true, 0x1000, "Start", "main", "main", 10, 0x1010},           // first byte
        {0x100F, true, 0x1000, "Start", "main", "main", 10, 0x1010},           // last byte of a row
        {0x1010, true, 0x1000, "Start", "main", "main", 11, 0x1020},           //
        {0x1020, true, 0x1000, "Start", "main", "std_function", 288, 0x1030},  // inlined header code
        {0x102F, true, 0x1000, "Start", "main", "std_function", 288, 0x1030},  //
        {0x1030, true, 0x1000, "Start", "main", "main", 12, 0x1040},           // back in the function's file
        {0x1040, true, 0x1000, "Start", "main", "main", 13, 0x1100},           // a line without file: the segment's
        {0x1100, true, 0x1100, "Helper(int)", "vector", "vector", 200, 0x1140},
        {0x113F, true, 0x1100, "Helper(int)", "vector", "vector", 200, 0x1140},
        {0x1140, true, 0x1100, "Helper(int)", "vector", "", 0, 0},  // no line: the segment's unit
        {0x1FFF, true, 0x1800, "Tail", "", "", 0, 0},               // last byte of the code
        {0x2000, false, 0, "", "", "", 0, 0},                       // just past the code
    };
    const SymbolStore store = OpenSample();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        const auto symbol = store.PublicSymbolAt(c.address);
        ASSERT_EQ(symbol.has_value(), c.hasSymbol);
        if (symbol) {
            EXPECT_EQ(symbol->start, c.start);
            EXPECT_EQ(symbol->name, c.name);
            EXPECT_EQ(symbol->unit, c.functionUnit);
        }
        EXPECT_EQ(store.UnitAt(c.address), c.unit);
        const LineAt line = store.LineAtAddress(c.address);
        EXPECT_EQ(line.line, c.line);
        if (c.line > 0) EXPECT_EQ(line.end, c.lineEnd);
    }
}

TEST(SymbolStoreTest, FindsPublicSymbolsByUnitAndName) {
    struct Case {
        std::string_view unit, name;
        std::optional<std::uint32_t> start;
    };
    const Case cases[] = {
        {"vector", "Helper(int)", 0x1100},
        {"main", "Start", 0x1000},
        {"", "Tail", 0x1800},                     // a symbol without unit is found with an empty unit
        {"main", "Helper(int)", std::nullopt},    // right name, wrong unit
        {"std_function", "Start", std::nullopt},  // inlined lines do not move a function to their unit
        {"vector", "Helper", std::nullopt},       // names must match whole
    };
    const SymbolStore store = OpenSample();
    for (const Case& c : cases) {
        EXPECT_EQ(store.FindPublicSymbol(c.unit, c.name), c.start) << c.unit << "." << c.name;
    }
    EXPECT_EQ(store.DebugInfo(), "sample build");
}

// Offsets of the tables in the sample store, from its header counts.
struct SampleOffsets {
    std::size_t units = layout::kHeaderSize;
    std::size_t symbols = units + 3 * layout::kUnitRecordSize;
    std::size_t lines = symbols + 3 * layout::kSymbolRecordSize;
    std::size_t segments = lines + 8 * layout::kLineRecordSize;
    std::size_t pool = segments + 3 * layout::kSegmentRecordSize;
};

TEST(SymbolStoreTest, RefusesDamagedStores) {
    const SampleOffsets at;
    auto field = [](std::size_t offset, std::uint32_t value) {
        return [=](std::vector<std::uint8_t>& bytes) { WriteU32(bytes.data() + offset, value); };
    };
    struct Case {
        const char* damage;
        std::function<void(std::vector<std::uint8_t>&)> apply;
    };
    const Case cases[] = {
        {"empty", [](auto& bytes) { bytes.clear(); }},
        {"header cut short", [](auto& bytes) { bytes.resize(layout::kHeaderSize - 1); }},
        {"cut in the tables", [&](auto& bytes) { bytes.resize(at.lines + 3); }},
        {"last byte missing", [](auto& bytes) { bytes.pop_back(); }},
        {"a byte too many", [](auto& bytes) { bytes.push_back(0); }},
        {"wrong magic", field(0, 0x12345678)},
        {"unknown version", field(4, layout::kVersion + 1)},
        {"code end before code start", field(12, 0x0800)},
        {"symbol count overflowing the size", field(4 * layout::kSymbolCountField, 0xFFFFFFFF)},
        {"symbols out of order", field(at.symbols + layout::kSymbolRecordSize, 0x0F00)},
        {"two symbols at one address", field(at.symbols + layout::kSymbolRecordSize, 0x1000)},
        {"lines out of order", field(at.lines + 2 * layout::kLineRecordSize, 0x1005)},
        {"segments out of order", field(at.segments + 2 * layout::kSegmentRecordSize, 0x1000)},
        {"symbol unit out of range", field(at.symbols + 8, 3)},
        {"segment unit out of range", field(at.segments + 4, 7)},
        {"line file one past the units", field(at.lines + 2 * layout::kLineRecordSize + 8, 3)},
        {"line file far outside the units", field(at.lines + 8, 0x7FFFFFFF)},
        {"symbol name outside the pool", field(at.symbols + 4, 0x10000)},
        {"unit name outside the pool", field(at.units, 0x10000)},
        {"debug information outside the pool", field(4 * layout::kDebugInfoField, 0x10000)},
        {"pool without its final NUL", [](auto& bytes) { bytes.back() = 'x'; }},
    };
    const std::vector<std::uint8_t> intact = WriteStore(SampleTable());
    ASSERT_TRUE(SymbolStore::Open(intact));
    for (const Case& c : cases) {
        std::vector<std::uint8_t> bytes = intact;
        c.apply(bytes);
        EXPECT_FALSE(SymbolStore::Open(bytes)) << c.damage;
    }
}

TEST(SymbolStoreTest, AnEmptyTableAnswersNothing) {
    SymbolTable table;
    table.codeStart = 0x1000;
    table.codeEnd = 0x2000;
    const auto store = SymbolStore::Open(WriteStore(table));
    ASSERT_TRUE(store);
    EXPECT_FALSE(store->PublicSymbolAt(0x1500));
    EXPECT_EQ(store->UnitAt(0x1500), "");
    EXPECT_EQ(store->LineAtAddress(0x1500).line, 0);
    EXPECT_FALSE(store->FindPublicSymbol("", ""));
}

}  // namespace
}  // namespace brevant::symbols
