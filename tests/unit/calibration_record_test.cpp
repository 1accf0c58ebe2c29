// The calibration record measured from a module's sections.

#include <gtest/gtest.h>

#include "symbols/calibration_record.h"
#include "base/little_endian.h"

namespace brevant::symbols {
namespace {

constexpr std::uint32_t kCode = 0x60000020, kData = 0xC0000040, kReadOnly = 0x40000040, kBss = 0xC0000080,
                        kDebug = 0x42000040;

// The layout MinGW's linker gives Brevant.exe, sizes invented.
const std::vector<PeSection> kSections{
    {".text", 0x1000, 0x34000, 0, 0, kCode},      {".data", 0x36000, 0x280, 0, 0, kData},
    {".rdata", 0x37000, 0x5E40, 0, 0, kReadOnly}, {".bss", 0x45000, 0xCE0, 0, 0, kBss},
    {".tls", 0x49000, 0x10, 0, 0, kData},         {".rsrc", 0x4A000, 0x438, 0, 0, kData},
    {".reloc", 0x4B000, 0x4E8, 0, 0, kDebug},     {".debug_info", 0x4C000, 0x2D9000, 0, 0, kDebug},
};

TEST(CalibrationRecordTest, CoversAllCodeAndTheProgramsDataButNotResourcesOrDebugInformation) {
    const auto ranges = MeasureModuleRanges(kSections);
    ASSERT_TRUE(ranges);
    EXPECT_EQ(ranges->codeStart, 0x1000u);
    EXPECT_EQ(ranges->codeSize, 0x34000u);
    EXPECT_EQ(ranges->dataStart, 0x36000u);
    EXPECT_EQ(ranges->uninitializedDataSize, 0xCE0u);
    // From .data to the end of .tls, less the .bss inside.
    EXPECT_EQ(ranges->initializedDataSize, 0x49010u - 0x36000u - 0xCE0u);
}

TEST(CalibrationRecordTest, WordsAreDistancesFromTheAnchorsAndTheSizes) {
    const ModuleRanges ranges{0x1000, 0x34000, 0x36000, 0x12000, 0xCE0};
    const auto record = MakeCalibrationRecord(ranges, 0x1B70, 0x37100);
    ASSERT_EQ(record.size(), 20u);
    EXPECT_EQ(ReadU32(&record[0]), 0x0B70u);  // top bit clear: the reporter's own module
    EXPECT_EQ(ReadU32(&record[4]), 0x37100u + 128 - 0x36000u);
    EXPECT_EQ(ReadU32(&record[8]), 0x34000u);
    EXPECT_EQ(ReadU32(&record[12]), 0x12000u);
    EXPECT_EQ(ReadU32(&record[16]), 0xCE0u);
}

TEST(CalibrationRecordTest, NothingToMeasureWithoutCodeOrData) {
    EXPECT_FALSE(MeasureModuleRanges({{".text", 0x1000, 0x100, 0, 0, kCode}}));
    EXPECT_FALSE(MeasureModuleRanges({{".data", 0x1000, 0x100, 0, 0, kData}}));
}

}  // namespace
}  // namespace brevant::symbols
