// Turning binutils' answers into the store's tables.

#include <gtest/gtest.h>

#include <tuple>

#include "symbols/store_writer.h"
#include "symbols/symbol_store.h"
#include "tools/symbol_store_packer/symbol_table_builder.h"

namespace brevant::symbols {
namespace {

constexpr CodeRange kCode{0x400000, 0x1000, 0x2000};

TEST(SymbolTableBuilderTest, BreakpointsAreSortedUniqueAndInsideTheCode) {
    const auto breakpoints =
        LocationBreakpoints({0x401100, 0x401010, 0x401010, 0, 0x402000}, {{0x401000, 0x80}, {0x401800, 0x1000}},
                            {{0x401040, 't', "f"}, {0x500000, 'D', "data"}}, kCode);
    EXPECT_EQ(breakpoints, (std::vector<std::uint32_t>{0x1000, 0x1010, 0x1040, 0x1080, 0x1100, 0x1800}));
}

TEST(SymbolTableBuilderTest, MergesEqualLocationsAndSplitsAtEveryChangeOfUnitOrLine) {
    const std::vector<std::uint32_t> breakpoints{0x1000, 0x1010, 0x1020, 0x1030, 0x1040, 0x1050};
    const std::vector<SourceLocation> locations{
        {"/src/main.cpp", 10, ""},
        {"/src/main.cpp", 10, ""},  // same place twice: one row
        {"/inc/vector", 10, ""},    // same line, other unit: new row and segment
        {"/inc/vector", 12, ""},    // other line, same unit: new row only
        {"", 0, ""},                // nothing known
        {"/src/main.cpp", 0, ""},   // a unit without a line
    };
    const SymbolTable table = BuildSymbolTable({}, breakpoints, locations, kCode, "info");
    EXPECT_EQ(table.units, (std::vector<std::string>{"main", "vector"}));
    // Each row names the unit of its own file.
    std::vector<std::tuple<std::uint32_t, std::int32_t, std::uint32_t>> lines;
    for (const LineRow& row : table.lines) lines.emplace_back(row.start, row.line, row.unit);
    EXPECT_EQ(lines, (std::vector<std::tuple<std::uint32_t, std::int32_t, std::uint32_t>>{{0x1000, 10, 0},
                                                                                          {0x1020, 10, 1},
                                                                                          {0x1030, 12, 1},
                                                                                          {0x1040, 0, kNoUnit},
                                                                                          {0x1050, 0, 0},
                                                                                          {0x2000, 0, kNoUnit}}));
    std::vector<std::pair<std::uint32_t, std::uint32_t>> segments;
    for (const Segment& segment : table.segments) segments.emplace_back(segment.start, segment.unit);
    EXPECT_EQ(segments, (std::vector<std::pair<std::uint32_t, std::uint32_t>>{
                            {0x1000, 0}, {0x1020, 1}, {0x1040, kNoUnit}, {0x1050, 0}}));
    EXPECT_EQ(table.debugInfo, "info");
}

TEST(SymbolTableBuilderTest, KeepsOneCodeSymbolPerAddressPreferringGlobalOnes) {
    const std::vector<NmSymbol> symbols{
        {0x401000, 't', ".text"},                                           // section names are no functions
        {0x401000, 't', "local_first"},  {0x401000, 'T', "global_second"},  // wins over the local one at its address
        {0x401000, 'T', "global_third"},                                    // the first global stays
        {0x401800, 't', "helper"},       {0x403000, 'D', "some_data"},      // outside the code
    };
    const SymbolTable table =
        BuildSymbolTable(symbols, {0x1000, 0x1800}, {{"/src/a.cpp", 1, ""}, {"/src/b.cpp", 5, ""}}, kCode, "");
    ASSERT_EQ(table.symbols.size(), 2u);
    EXPECT_EQ(table.symbols[0].start, 0x1000u);
    EXPECT_EQ(table.symbols[0].name, "global_second");
    EXPECT_EQ(table.units[table.symbols[0].unit], "a");
    EXPECT_EQ(table.symbols[1].name, "helper");
    EXPECT_EQ(table.units[table.symbols[1].unit], "b");
}

TEST(SymbolTableBuilderTest, InlinedHeaderCodeIsNamedWithTheHeaderWhileTheFunctionKeepsItsUnit) {
    const std::vector<NmSymbol> symbols{{0x401000, 'T', "brevant::IniFile::Read()"},
                                        {0x401040, 't', "std::_Function_base::_M_invoke()"}};
    const std::vector<std::uint32_t> breakpoints{0x1000, 0x1010, 0x1020, 0x1030, 0x1040};
    const std::vector<SourceLocation> locations{
        {"/src/launcher/ini_file.cpp", 40, ""},
        {"/usr/include/c++/bits/std_function.h", 288, ""},  // inlined into Read
        {"/src/launcher/ini_file.cpp", 41, ""},
        {"/src/launcher/ini_file.cpp", 0, ""},
        {"/usr/include/c++/bits/std_function.h", 290, ""},
    };
    const auto store = SymbolStore::Open(WriteStore(BuildSymbolTable(symbols, breakpoints, locations, kCode, "")));
    ASSERT_TRUE(store);
    struct Case {
        std::uint32_t address;
        std::string_view unit;
        std::int32_t line;
        std::string_view functionUnit;
    };
    const Case cases[] = {
        {0x1000, "ini_file", 40, "ini_file"},          {0x100F, "ini_file", 40, "ini_file"},
        {0x1010, "std_function", 288, "ini_file"},     {0x101F, "std_function", 288, "ini_file"},
        {0x1020, "ini_file", 41, "ini_file"},          {0x1030, "ini_file", 0, "ini_file"},
        {0x1040, "std_function", 290, "std_function"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        EXPECT_EQ(store->UnitAt(c.address), c.unit);
        EXPECT_EQ(store->LineAtAddress(c.address).line, c.line);
        ASSERT_TRUE(store->PublicSymbolAt(c.address));
        EXPECT_EQ(store->PublicSymbolAt(c.address)->unit, c.functionUnit);
    }
    EXPECT_EQ(store->FindPublicSymbol("ini_file", "brevant::IniFile::Read()"), 0x1000u);
    EXPECT_FALSE(store->FindPublicSymbol("std_function", "brevant::IniFile::Read()"));
    EXPECT_EQ(store->FindPublicSymbol("std_function", "std::_Function_base::_M_invoke()"), 0x1040u);
}

TEST(SymbolTableBuilderTest, LinesTakeTheirFileFromTheLineTableWhereItGivesTheSameLine) {
    const std::vector<LineTableRow> rows{
        {0x401000, "ini_file.cpp", 60},    {0x401010, "ini_file.cpp", 61},
        {0x401010, "std_function.h", 288},  // the later row at one address is in effect
        {0x401020, "std_function.h", 290}, {0x401030, "stl_vector.h", 100},
        {0x401040, "ini_file.cpp", 0},   // a sequence end
        {0x401008, "ini_file.cpp", 60},  // listed out of order
    };
    const std::vector<std::uint32_t> breakpoints{0x1000, 0x1008, 0x1010, 0x1018, 0x1020, 0x1030, 0x1040};
    // Binutils' addr2line names the compilation unit's file for the header lines.
    std::vector<SourceLocation> locations{
        {"/src/ini_file.cpp", 60, ""},  {"/src/ini_file.cpp", 60, ""},  {"/src/ini_file.cpp", 288, ""},
        {"/src/ini_file.cpp", 288, ""}, {"/src/ini_file.cpp", 291, ""}, {"??", 0, ""},
        {"/src/ini_file.cpp", 0, ""},
    };
    TakeLineFilesFromTable(locations, breakpoints, rows, kCode);
    std::vector<std::string> lineFiles;
    for (const SourceLocation& location : locations) lineFiles.push_back(location.lineFile);
    EXPECT_EQ(lineFiles, (std::vector<std::string>{"ini_file.cpp", "ini_file.cpp", "std_function.h", "std_function.h",
                                                   "",  // the table's row gives another line: nothing is taken
                                                   "", ""}));

    // The line rows name the header; segments and the function's unit keep addr2line's file.
    const SymbolTable table =
        BuildSymbolTable({{0x401000, 'T', "brevant::IniFile::Load()"}}, breakpoints, locations, kCode, "");
    std::vector<std::pair<std::uint32_t, std::string>> lineUnits;
    for (const LineRow& row : table.lines) {
        if (row.line > 0) lineUnits.emplace_back(row.start, table.units[row.unit]);
    }
    EXPECT_EQ(lineUnits, (std::vector<std::pair<std::uint32_t, std::string>>{
                             {0x1000, "ini_file"}, {0x1010, "std_function"}, {0x1020, "ini_file"}}));
    ASSERT_EQ(table.segments.size(), 3u);
    EXPECT_EQ(table.units[table.segments[0].unit], "ini_file");
    EXPECT_EQ(table.units[table.symbols[0].unit], "ini_file");
}

}  // namespace
}  // namespace brevant::symbols
