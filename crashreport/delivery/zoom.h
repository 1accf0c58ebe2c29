#pragma once
// Fitting a picture into a smaller or larger frame: the size that keeps its aspect ratio, and
// resampling with the Mitchell–Netravali filter (B = C = 1/3) in 16.16 fixed point.

#include <cstdint>
#include <vector>

#include "crashreport/delivery/pixel_picture.h"

namespace brevant::crashreport {

struct ZoomSize {
    std::int32_t width = 0;
    std::int32_t height = 0;
    bool operator==(const ZoomSize&) const = default;
};

// The size within width × height that keeps the picture's aspect ratio.
ZoomSize ZoomTargetSize(std::int32_t pictureWidth, std::int32_t pictureHeight, std::int32_t width,
                        std::int32_t height);

// The source pixels of one target pixel and their 16.16 weights.
struct FilterTaps {
    std::vector<std::int32_t> sources;  // already mirrored into 0 … n − 1
    std::vector<std::int32_t> weights;
};
// Per target pixel of one axis, resampling n source pixels to m.
std::vector<FilterTaps> MitchellTaps(std::int32_t n, std::int32_t m);

// Resamples the whole source into the whole target (both 32-bit, bottom-up).
void ZoomMitchell(PixelPicture source, PixelPicture target);

}  // namespace brevant::crashreport
