#pragma once
// Fitting a picture into a smaller or larger area with a Mitchell-Netravali filter.

#include <cstdint>
#include <vector>

#include "crashreport/delivery/pixel_picture.h"

namespace brevant::crashreport {

struct PictureSize {
    std::int32_t width = 0;
    std::int32_t height = 0;
    friend bool operator==(const PictureSize&, const PictureSize&) = default;
};

// The size that fits a width x height picture into areaWidth x areaHeight with its aspect
// ratio kept; 0 x 0 when either has no area.
PictureSize ZoomTargetSize(std::int32_t width, std::int32_t height, std::int32_t areaWidth, std::int32_t areaHeight);

// The filter with B = C = 1/3.
double MitchellKernel(double x);

struct FilterTap {
    std::int32_t source = 0;  // mirrored into the source
    std::int32_t weight = 0;  // 16.16 fixed point
};

// The taps of every target pixel along one axis: target i uses taps[first[i]] up to
// taps[first[i + 1]].
struct AxisFilter {
    std::vector<std::size_t> first;
    std::vector<FilterTap> taps;
};

AxisFilter MitchellAxisFilter(std::int32_t sourceSize, std::int32_t targetSize);

// Resamples source into target, whose size and pixel memory the caller provides.
void ZoomMitchell(PixelPicture source, PixelPicture target);

}  // namespace brevant::crashreport
