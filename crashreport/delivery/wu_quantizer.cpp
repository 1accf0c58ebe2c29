#include "crashreport/delivery/wu_quantizer.h"

#include <vector>

namespace brevant::crashreport {
namespace {

// 32 cells of five bits per channel plus the empty index 0 that makes the sums cumulative.
constexpr int kSide = 33;
constexpr int kCells = kSide * kSide * kSide;
constexpr int kRed = 0, kGreen = 1, kBlue = 2;

constexpr int CellIndex(int red, int green, int blue) {
    return (red * kSide + green) * kSide + blue;
}

// Unsigned sums wrap, but every box sum is a difference of them that fits in 32 bits, so box
// sums stay exact for pictures of up to 2^32 / 255 pixels.
struct MomentTables {
    std::vector<std::uint32_t> weight = std::vector<std::uint32_t>(kCells);
    std::vector<std::uint32_t> red = std::vector<std::uint32_t>(kCells);
    std::vector<std::uint32_t> green = std::vector<std::uint32_t>(kCells);
    std::vector<std::uint32_t> blue = std::vector<std::uint32_t>(kCells);
    std::vector<double> squares = std::vector<double>(kCells);
};

struct ColourBox {
    int low[3] = {0, 0, 0};  // exclusive
    int high[3] = {kSide - 1, kSide - 1, kSide - 1};
    int Volume() const { return (high[0] - low[0]) * (high[1] - low[1]) * (high[2] - low[2]); }
};

struct BoxSums {
    std::uint32_t weight = 0, red = 0, green = 0, blue = 0;
    BoxSums operator-(const BoxSums& other) const {
        return {weight - other.weight, red - other.red, green - other.green, blue - other.blue};
    }
    // The squared mean weighted by the count; 0 for an empty box is never asked for.
    double WeightedSquaredMean() const {
        const double r = red, g = green, b = blue;
        return (r * r + g * g + b * b) / weight;
    }
};

// Counts runs of equal pixels at once: screenshots are mostly long runs of one colour.
void AddRun(MomentTables& tables, std::uint32_t pixel, std::uint32_t run) {
    const std::uint32_t blue = pixel & 0xFF, green = (pixel >> 8) & 0xFF, red = (pixel >> 16) & 0xFF;
    const int cell =
        CellIndex(static_cast<int>(red >> 3) + 1, static_cast<int>(green >> 3) + 1, static_cast<int>(blue >> 3) + 1);
    tables.weight[cell] += run;
    tables.red[cell] += run * red;
    tables.green[cell] += run * green;
    tables.blue[cell] += run * blue;
    tables.squares[cell] += static_cast<double>(run) * static_cast<double>(red * red + green * green + blue * blue);
}

std::uint32_t PixelAt(const std::uint8_t* bytes) {
    return std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 | std::uint32_t{bytes[2]} << 16;
}

void FillHistogram(const PixelPicture& picture, MomentTables& tables) {
    const std::uint8_t* bytes = picture.bits;
    const std::uint8_t* end = bytes + PixelCount(picture) * 4;
    std::uint32_t current = PixelAt(bytes);
    std::uint32_t run = 0;
    for (; bytes != end; bytes += 4) {
        const std::uint32_t pixel = PixelAt(bytes);
        if (pixel != current) {
            AddRun(tables, current, run);
            current = pixel;
            run = 0;
        }
        ++run;
    }
    AddRun(tables, current, run);
}

// Each cell becomes the sum of all cells at or below it on every axis.
template <typename Value>
void MakeCumulative(std::vector<Value>& table) {
    for (int r = 1; r < kSide; ++r) {
        Value area[kSide] = {};
        for (int g = 1; g < kSide; ++g) {
            Value line = 0;
            for (int b = 1; b < kSide; ++b) {
                const int cell = CellIndex(r, g, b);
                line += table[cell];
                area[b] += line;
                table[cell] = table[CellIndex(r - 1, g, b)] + area[b];
            }
        }
    }
}

template <typename Value>
Value BoxVolumeSum(const ColourBox& box, const std::vector<Value>& table) {
    const int r0 = box.low[kRed], r1 = box.high[kRed], g0 = box.low[kGreen], g1 = box.high[kGreen];
    const int b0 = box.low[kBlue], b1 = box.high[kBlue];
    return table[CellIndex(r1, g1, b1)] - table[CellIndex(r1, g1, b0)] - table[CellIndex(r1, g0, b1)] +
           table[CellIndex(r1, g0, b0)] - table[CellIndex(r0, g1, b1)] + table[CellIndex(r0, g1, b0)] +
           table[CellIndex(r0, g0, b1)] - table[CellIndex(r0, g0, b0)];
}

BoxSums SumsOf(const ColourBox& box, const MomentTables& tables) {
    return {BoxVolumeSum(box, tables.weight), BoxVolumeSum(box, tables.red), BoxVolumeSum(box, tables.green),
            BoxVolumeSum(box, tables.blue)};
}

double Variance(const ColourBox& box, const MomentTables& tables) {
    if (box.Volume() <= 1) return 0.0;
    const BoxSums sums = SumsOf(box, tables);
    if (sums.weight == 0) return 0.0;
    return BoxVolumeSum(box, tables.squares) - sums.WeightedSquaredMean();
}

struct BestCut {
    double value = 0.0;
    int position = -1;  // none
};

// The cut along one axis that maximises the summed weighted squared means of the halves;
// cuts that leave a half without pixels are never taken.
BestCut MaximizeAlong(const ColourBox& box, int axis, const BoxSums& whole, const MomentTables& tables) {
    BestCut best;
    for (int position = box.low[axis] + 1; position < box.high[axis]; ++position) {
        ColourBox lower = box;
        lower.high[axis] = position;
        const BoxSums lowerSums = SumsOf(lower, tables);
        if (lowerSums.weight == 0) continue;
        const BoxSums upperSums = whole - lowerSums;
        if (upperSums.weight == 0) continue;
        const double value = lowerSums.WeightedSquaredMean() + upperSums.WeightedSquaredMean();
        if (value > best.value) best = {value, position};
    }
    return best;
}

// Splits box into itself and second; false when the box cannot be split.
bool Cut(ColourBox& box, ColourBox& second, const MomentTables& tables) {
    const BoxSums whole = SumsOf(box, tables);
    const BestCut red = MaximizeAlong(box, kRed, whole, tables);
    const BestCut green = MaximizeAlong(box, kGreen, whole, tables);
    const BestCut blue = MaximizeAlong(box, kBlue, whole, tables);
    int axis = kBlue;
    int position = blue.position;
    if (red.value >= green.value && red.value >= blue.value) {
        if (red.position < 0) return false;
        axis = kRed;
        position = red.position;
    } else if (green.value >= blue.value) {
        axis = kGreen;
        position = green.position;
    }
    second = box;
    second.low[axis] = position;
    box.high[axis] = position;
    return true;
}

PaletteColour MeanColour(const ColourBox& box, const MomentTables& tables) {
    const BoxSums sums = SumsOf(box, tables);
    if (sums.weight == 0) return {};
    return {static_cast<std::uint8_t>(sums.red / sums.weight), static_cast<std::uint8_t>(sums.green / sums.weight),
            static_cast<std::uint8_t>(sums.blue / sums.weight)};
}

int LargestVarianceBox(const double* variances, int boxCount) {
    int largest = 0;
    for (int box = 1; box < boxCount; ++box) {
        if (variances[box] > variances[largest]) largest = box;
    }
    return largest;
}

}  // namespace

WuPalette QuantizeWu(const PixelPicture& picture) {
    WuPalette palette;
    if (!HasPixels(picture)) return palette;
    MomentTables tables;
    FillHistogram(picture, tables);
    MakeCumulative(tables.weight);
    MakeCumulative(tables.red);
    MakeCumulative(tables.green);
    MakeCumulative(tables.blue);
    MakeCumulative(tables.squares);

    ColourBox boxes[256];
    double variances[256] = {};
    int boxCount = 1;
    int next = 0;
    while (boxCount < 256) {
        if (Cut(boxes[next], boxes[boxCount], tables)) {
            variances[next] = Variance(boxes[next], tables);
            variances[boxCount] = Variance(boxes[boxCount], tables);
            ++boxCount;
        } else {
            // Never tried again; the same box number is offered to the next candidate.
            variances[next] = 0.0;
        }
        next = LargestVarianceBox(variances, boxCount);
        if (variances[next] <= 0.0) break;
    }
    palette.colourCount = boxCount;
    for (int box = 0; box < boxCount; ++box) palette.colours[box] = MeanColour(boxes[box], tables);
    return palette;
}

}  // namespace brevant::crashreport
