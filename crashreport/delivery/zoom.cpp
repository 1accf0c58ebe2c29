#include "crashreport/delivery/zoom.h"

#include <cmath>

namespace brevant::crashreport {

namespace {

double Mitchell(double x) {
    x = std::fabs(x);
    if (x < 1) return 7.0 / 6 * x * x * x - 2 * x * x + 8.0 / 9;
    if (x <= 2) return -7.0 / 18 * x * x * x + 2 * x * x - 10.0 / 3 * x + 16.0 / 9;
    return 0;
}

std::int32_t Mirrored(std::int64_t j, std::int32_t n) {
    if (j < 0) j = -j;
    if (j >= n) j = 2 * static_cast<std::int64_t>(n) - 1 - j;
    // A picture narrower than the filter would need a second reflection: the edge pixel serves.
    if (j < 0) j = 0;
    if (j >= n) j = n - 1;
    return static_cast<std::int32_t>(j);
}

std::uint8_t Clamped(std::int64_t sum) {
    if (sum < 0) return 0;
    if (sum >= 0xFF0001) return 255;
    return static_cast<std::uint8_t>(sum >> 16);
}

}  // namespace

ZoomSize ZoomTargetSize(std::int32_t pictureWidth, std::int32_t pictureHeight, std::int32_t width,
                        std::int32_t height) {
    if (pictureWidth <= 0 || pictureHeight <= 0 || width <= 0 || height <= 0) return {};
    const std::int64_t W = pictureWidth, H = pictureHeight;
    const auto fittedWidth = static_cast<std::int32_t>(height * W / H);
    const auto fittedHeight = static_cast<std::int32_t>(width * H / W);
    ZoomSize size{width, height};
    if (height < fittedHeight || width < fittedWidth) {
        if (H * 65536 / height < W * 65536 / width) size.height = fittedHeight;
        else size.width = fittedWidth;
    }
    return size;
}

std::vector<FilterTaps> MitchellTaps(std::int32_t n, std::int32_t m) {
    std::vector<FilterTaps> taps(static_cast<std::size_t>(m > 0 ? m : 0));
    const std::int64_t N = n, M = m;
    for (std::int64_t i = 0; i < M; ++i) {
        FilterTaps& t = taps[static_cast<std::size_t>(i)];
        std::int64_t first, last;
        if (M < N) {
            first = (N * (i - 2) - M + 1) / M;
            last = (M + N * (i + 2) - 1) / M;
        } else {
            first = (N * i - 3 * M + 1) / M;
            last = (N * i + 3 * M - 1) / M;
        }
        for (std::int64_t j = first; j <= last; ++j) {
            double x, weight;
            if (M < N) {
                const double f = static_cast<double>(M) / static_cast<double>(N);
                x = static_cast<double>(i) - static_cast<double>(j) * f;
                weight = f * Mitchell(x);
            } else {
                const double s = static_cast<double>(N) / static_cast<double>(M);
                x = static_cast<double>(i) * s - static_cast<double>(j);
                weight = Mitchell(x);
            }
            if (std::fabs(x) > 2) continue;
            t.sources.push_back(Mirrored(j, n));
            t.weights.push_back(static_cast<std::int32_t>(std::lround(weight * 65536)));
        }
    }
    return taps;
}

void ZoomMitchell(PixelPicture source, PixelPicture target) {
    if (source.width <= 0 || source.height <= 0 || target.width <= 0 || target.height <= 0) return;
    const std::vector<FilterTaps> across = MitchellTaps(source.width, target.width);
    const std::vector<FilterTaps> down = MitchellTaps(source.height, target.height);
    const std::size_t sourceRow = static_cast<std::size_t>(source.width) * 4;
    const std::size_t targetRow = static_cast<std::size_t>(target.width) * 4;
    std::vector<std::uint8_t> column(static_cast<std::size_t>(source.height) * 4);
    for (std::int32_t x = 0; x < target.width; ++x) {
        const FilterTaps& h = across[static_cast<std::size_t>(x)];
        for (std::int32_t y = 0; y < source.height; ++y) {
            const std::uint8_t* row = source.bits + static_cast<std::size_t>(y) * sourceRow;
            std::int64_t sum[3] = {};
            for (std::size_t k = 0; k < h.sources.size(); ++k) {
                const std::uint8_t* p = row + static_cast<std::size_t>(h.sources[k]) * 4;
                for (int c = 0; c < 3; ++c) sum[c] += static_cast<std::int64_t>(p[c]) * h.weights[k];
            }
            std::uint8_t* out = &column[static_cast<std::size_t>(y) * 4];
            for (int c = 0; c < 3; ++c) out[c] = Clamped(sum[c]);
        }
        for (std::int32_t y = 0; y < target.height; ++y) {
            const FilterTaps& v = down[static_cast<std::size_t>(y)];
            std::int64_t sum[3] = {};
            for (std::size_t k = 0; k < v.sources.size(); ++k) {
                const std::uint8_t* p = &column[static_cast<std::size_t>(v.sources[k]) * 4];
                for (int c = 0; c < 3; ++c) sum[c] += static_cast<std::int64_t>(p[c]) * v.weights[k];
            }
            std::uint8_t* out = target.bits + static_cast<std::size_t>(y) * targetRow + static_cast<std::size_t>(x) * 4;
            for (int c = 0; c < 3; ++c) out[c] = Clamped(sum[c]);
            out[3] = 0;
        }
    }
}

}  // namespace brevant::crashreport
