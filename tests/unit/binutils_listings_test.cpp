// The packer's readers of binutils listings, on excerpts of real output.

#include <gtest/gtest.h>

#include "tools/symbol_store_packer/binutils_listings.h"

namespace brevant::symbols {
namespace {

TEST(BinutilsListingsTest, ReadsDemangledNmLines) {
    const auto symbols = ParseNmListing(
        "0000000140001000 t __mingw_invalidParameterHandler\n"
        "0000000140001550 t brevant::(anonymous namespace)::RunProgram()\n"
        "00401b40 T wWinMain@16\n"
        "garbage line\n"
        "         U undefined_is_skipped\n");
    ASSERT_EQ(symbols.size(), 3u);
    EXPECT_EQ(symbols[0].address, 0x140001000u);
    EXPECT_EQ(symbols[0].type, 't');
    EXPECT_EQ(symbols[1].name, "brevant::(anonymous namespace)::RunProgram()");
    EXPECT_EQ(symbols[2].address, 0x401b40u);
    EXPECT_EQ(symbols[2].type, 'T');
    EXPECT_EQ(symbols[2].name, "wWinMain@16");
}

TEST(BinutilsListingsTest, ReadsTheAddressOfEveryLineRowAndSequenceEnd) {
    const auto rows = ParseLineListing(
        "CU: ./mingw-w64-crt/crt/ucrtexe.c:\n"
        "File name                            Line number    Starting address    View    Stmt\n"
        "crtexe.c                                     118         0x140001000               x\n"
        "crtexe.c                                     118         0x140001000       1\n"
        "crtexe.c                                     351         0x14000101b        \n"
        "stl_vector.h                                   -         0x14002f430\n"
        "stl_vector.h                                 728                   0               x\n"
        "my file.cpp                                   12         0x140002000               x\n");
    EXPECT_EQ(rows, (std::vector<std::uint64_t>{0x140001000, 0x140001000, 0x14000101b, 0x14002f430, 0, 0x140002000}));
}

TEST(BinutilsListingsTest, ReadsTheFileAndLineOfEveryLineRow) {
    const auto rows = ParseLineTableRows(
        "/usr/lib/gcc/x86_64-w64-mingw32/12-posix/include/c++/bits/std_function.h:\n"
        "std_function.h                               288         0x140036bb0               x\n"
        "ini_file.cpp                                  63         0x140036bbb       1\n"
        "stl_vector.h                                   -         0x14002f430\n"
        "my file.cpp                                   12         0x140002000               x\n");
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].file, "std_function.h");
    EXPECT_EQ(rows[0].line, 288);
    EXPECT_EQ(rows[0].address, 0x140036bb0u);
    EXPECT_EQ(rows[1].file, "ini_file.cpp");
    EXPECT_EQ(rows[1].line, 63);
    EXPECT_EQ(rows[2].line, 0);  // a sequence end
    EXPECT_EQ(rows[3].file, "my file.cpp");
    EXPECT_EQ(rows[3].line, 12);
}

TEST(BinutilsListingsTest, ReadsUnitRangesWithoutTheirTerminators) {
    const auto ranges = ParseArangesListing(
        "  Length:                   44\n"
        "  Version:                  2\n"
        "    Address            Length\n"
        "    0000000140001000 0000000000000524\n"
        "    0000000000000000 0000000000000000\n"
        "    00401550 00000615\n");
    ASSERT_EQ(ranges.size(), 2u);
    EXPECT_EQ(ranges[0].start, 0x140001000u);
    EXPECT_EQ(ranges[0].length, 0x524u);
    EXPECT_EQ(ranges[1].start, 0x401550u);
}

TEST(BinutilsListingsTest, ReadsAddr2lineLocations) {
    const auto locations = ParseAddr2lineListing(
        "0x0000000140001000\n/build/mingw-w64-crt/crtexe.c:123\n"
        "0x0000000140001010\nbasic_string.h:283 (discriminator 2)\n"
        "0x00000001400039fa\nhost_unit_0.cp:?\n"
        "0x0000000140020000\n??:0\n");
    ASSERT_EQ(locations.size(), 4u);
    EXPECT_EQ(locations[0].file, "/build/mingw-w64-crt/crtexe.c");
    EXPECT_EQ(locations[0].line, 123);
    EXPECT_EQ(locations[1].file, "basic_string.h");
    EXPECT_EQ(locations[1].line, 283);
    EXPECT_EQ(locations[2].file, "host_unit_0.cp");
    EXPECT_EQ(locations[2].line, 0);
    EXPECT_EQ(locations[3].file, "");
    EXPECT_EQ(locations[3].line, 0);
}

TEST(BinutilsListingsTest, NamesUnitsAfterTheFileWithoutFolderAndExtension) {
    const std::pair<const char*, const char*> cases[] = {
        {"/home/dev/brevant/launcher/launcher.cpp", "launcher"},
        {"C:\\src\\unit.pas", "unit"},
        {"basic_string.tcc", "basic_string"},
        {"/usr/include/c++/12/vector", "vector"},
        {".hidden", ".hidden"},
        {"archive.tar.gz", "archive.tar"},
    };
    for (const auto& [file, unit] : cases) EXPECT_EQ(UnitNameOfFile(file), unit) << file;
}

}  // namespace
}  // namespace brevant::symbols
