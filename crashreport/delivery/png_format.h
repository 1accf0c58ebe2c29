#pragma once
// The forms a screenshot can be sent in, and the setting that chooses one.

#include <cstdint>

namespace brevant::crashreport {

// pf50kb … pf300kb: 256 colours, or 16 grays when the colour picture would be larger.
enum class TPngFormat : std::uint8_t { pf256Colors, pf16Grays, pf50kb, pf100kb, pf200kb, pf300kb };

// The format a "ScrShotDepth" value stands for; unknown values give 256 colours.
TPngFormat PngFormatForDepth(std::int32_t screenShotDepth);

// The size a colour picture may have before the gray one is tried instead; 0 when none applies.
std::uint32_t PngSizeLimit(TPngFormat format);

}  // namespace brevant::crashreport
