#include "crashreport/delivery/zoom.h"

#include <cmath>

namespace brevant::crashreport {
namespace {

std::int32_t MirroredIndex(std::int64_t index, std::int32_t size) {
    if (index < 0) index = -index;
    if (index >= size) index = 2 * std::int64_t{size} - 1 - index;
    // Sources of one or two pixels can mirror past the other edge: stay inside.
    if (index < 0) return 0;
    if (index >= size) return size - 1;
    return static_cast<std::int32_t>(index);
}

void AddTap(AxisFilter& filter, std::int64_t source, std::int32_t sourceSize, double x, double scale) {
    if (std::fabs(x) > 2.0) return;
    const auto weight = static_cast<std::int32_t>(std::lround(scale * MitchellKernel(x) * 65536.0));
    if (weight != 0) filter.taps.push_back({MirroredIndex(source, sourceSize), weight});
}

std::uint8_t ClampedChannel(std::int64_t sum) {
    if (sum < 0) return 0;
    if (sum >= 0xFF0001) return 255;
    return static_cast<std::uint8_t>(sum >> 16);
}

// One pixel from the weighted pixels at base + tap.source * stride.
void FilterPixel(const std::uint8_t* base, std::size_t stride, const FilterTap* tap, const FilterTap* end,
                 std::uint8_t* out) {
    std::int64_t blue = 0, green = 0, red = 0;
    for (; tap != end; ++tap) {
        const std::uint8_t* pixel = base + static_cast<std::size_t>(tap->source) * stride;
        blue += std::int64_t{pixel[0]} * tap->weight;
        green += std::int64_t{pixel[1]} * tap->weight;
        red += std::int64_t{pixel[2]} * tap->weight;
    }
    out[0] = ClampedChannel(blue);
    out[1] = ClampedChannel(green);
    out[2] = ClampedChannel(red);
    out[3] = 0;
}

}  // namespace

PictureSize ZoomTargetSize(std::int32_t width, std::int32_t height, std::int32_t areaWidth, std::int32_t areaHeight) {
    if (width <= 0 || height <= 0 || areaWidth <= 0 || areaHeight <= 0) return {};
    const std::int64_t fittedWidth = std::int64_t{areaHeight} * width / height;
    const std::int64_t fittedHeight = std::int64_t{areaWidth} * height / width;
    PictureSize size{areaWidth, areaHeight};
    if (areaHeight < fittedHeight || areaWidth < fittedWidth) {
        if (std::int64_t{height} * 65536 / areaHeight < std::int64_t{width} * 65536 / areaWidth) {
            size.height = static_cast<std::int32_t>(fittedHeight);
        } else {
            size.width = static_cast<std::int32_t>(fittedWidth);
        }
    }
    return size;
}

double MitchellKernel(double x) {
    x = std::fabs(x);
    if (x < 1.0) return 7.0 / 6.0 * x * x * x - 2.0 * x * x + 8.0 / 9.0;
    if (x <= 2.0) return -7.0 / 18.0 * x * x * x + 2.0 * x * x - 10.0 / 3.0 * x + 16.0 / 9.0;
    return 0.0;
}

AxisFilter MitchellAxisFilter(std::int32_t sourceSize, std::int32_t targetSize) {
    AxisFilter filter;
    const std::int64_t n = sourceSize, m = targetSize;
    filter.first.reserve(static_cast<std::size_t>(m) + 1);
    for (std::int64_t i = 0; i < m; ++i) {
        filter.first.push_back(filter.taps.size());
        if (m < n) {
            const double scale = static_cast<double>(m) / static_cast<double>(n);
            for (std::int64_t j = (n * (i - 2) - m + 1) / m; j <= (m + n * (i + 2) - 1) / m; ++j) {
                AddTap(filter, j, sourceSize, static_cast<double>(i) - static_cast<double>(j) * scale, scale);
            }
        } else {
            const double scale = static_cast<double>(n) / static_cast<double>(m);
            for (std::int64_t j = (n * i - 3 * m + 1) / m; j <= (n * i + 3 * m - 1) / m; ++j) {
                AddTap(filter, j, sourceSize, static_cast<double>(i) * scale - static_cast<double>(j), 1.0);
            }
        }
    }
    filter.first.push_back(filter.taps.size());
    return filter;
}

void ZoomMitchell(PixelPicture source, PixelPicture target) {
    if (!HasPixels(source) || !HasPixels(target)) return;
    const AxisFilter horizontal = MitchellAxisFilter(source.width, target.width);
    const AxisFilter vertical = MitchellAxisFilter(source.height, target.height);
    const std::size_t sourceStride = static_cast<std::size_t>(source.width) * 4;
    const std::size_t targetStride = static_cast<std::size_t>(target.width) * 4;
    std::vector<std::uint8_t> column(static_cast<std::size_t>(source.height) * 4);
    for (std::int32_t x = 0; x < target.width; ++x) {
        const FilterTap* firstTap = horizontal.taps.data() + horizontal.first[x];
        const FilterTap* endTap = horizontal.taps.data() + horizontal.first[x + 1];
        for (std::int32_t y = 0; y < source.height; ++y) {
            FilterPixel(source.bits + y * sourceStride, 4, firstTap, endTap, column.data() + y * 4);
        }
        for (std::int32_t y = 0; y < target.height; ++y) {
            FilterPixel(column.data(), 4, vertical.taps.data() + vertical.first[y],
                        vertical.taps.data() + vertical.first[y + 1], target.bits + y * targetStride + x * 4);
        }
    }
}

}  // namespace brevant::crashreport
