#include "symbols/calibration_record.h"

#include "base/little_endian.h"

namespace brevant::symbols {

namespace {

constexpr std::uint32_t kDiscardable = 0x02000000;
constexpr std::uint32_t kConfigurationBias = 128;

bool IsProgramData(const PeSection& section) {
    return !section.IsCode() && (section.IsInitializedData() || section.IsUninitializedData()) &&
           (section.characteristics & kDiscardable) == 0 && section.name != ".rsrc";
}

}  // namespace

std::optional<ModuleRanges> MeasureModuleRanges(const std::vector<PeSection>& sections) {
    std::optional<std::uint32_t> codeStart, codeEnd, dataStart, dataEnd;
    std::uint32_t uninitialized = 0;
    for (const PeSection& section : sections) {
        if (section.IsCode()) {
            if (!codeStart) codeStart = section.address;
            codeEnd = section.End();
        } else if (IsProgramData(section)) {
            if (!dataStart) dataStart = section.address;
            dataEnd = section.End();
            if (section.IsUninitializedData()) uninitialized += section.virtualSize;
        }
    }
    if (!codeStart || !dataStart) return std::nullopt;
    return ModuleRanges{*codeStart, *codeEnd - *codeStart, *dataStart, *dataEnd - *dataStart - uninitialized,
                        uninitialized};
}

std::array<std::uint8_t, kCalibrationRecordSize> MakeCalibrationRecord(const ModuleRanges& ranges,
                                                                       std::uint32_t markerAddress,
                                                                       std::uint32_t configurationAddress) {
    const std::uint32_t words[] = {
        markerAddress - ranges.codeStart,
        configurationAddress + kConfigurationBias - ranges.dataStart,
        ranges.codeSize,
        ranges.initializedDataSize,
        ranges.uninitializedDataSize,
    };
    std::array<std::uint8_t, kCalibrationRecordSize> record{};
    for (std::size_t index = 0; index < std::size(words); ++index) WriteU32(record.data() + 4 * index, words[index]);
    return record;
}

}  // namespace brevant::symbols
