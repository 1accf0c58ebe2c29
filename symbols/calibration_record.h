#pragma once
// The calibration record: five 32-bit words that let the crash reporter correct its module's
// header at start-up so that the header's code and data ranges cover all code and all data:
//   0  marker routine address - code start   (top bit clear: this is the reporter's own module)
//   1  configuration block address + 128 - data start
//   2  size of code, 3  size of initialised data, 4  size of uninitialised data
// Addresses are offsets from the image base, so the record holds wherever the module loads.

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "symbols/pe_image.h"

namespace brevant::symbols {

inline constexpr std::size_t kCalibrationRecordSize = 20;

struct ModuleRanges {
    std::uint32_t codeStart = 0, codeSize = 0;
    std::uint32_t dataStart = 0, initializedDataSize = 0, uninitializedDataSize = 0;
};

// Code: from the first to the end of the last code section. Data: the data sections the
// program itself uses; resources, relocations and discardable sections (debug information)
// stay out, which also keeps the record independent of the resources it is stored among.
std::optional<ModuleRanges> MeasureModuleRanges(const std::vector<PeSection>& sections);

std::array<std::uint8_t, kCalibrationRecordSize> MakeCalibrationRecord(const ModuleRanges& ranges,
                                                                       std::uint32_t markerAddress,
                                                                       std::uint32_t configurationAddress);

}  // namespace brevant::symbols
