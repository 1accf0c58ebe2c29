#include "crashreport/delivery/wu_quantizer.h"

#include <memory>
#include <vector>

namespace brevant::crashreport {

namespace {

constexpr int kSide = 33;  // five bits per channel, and index 0 of each axis left empty
constexpr int kCells = kSide * kSide * kSide;
constexpr int kMaxColours = 256;

constexpr int Cell(int r, int g, int b) { return (r * kSide + g) * kSide + b; }

// The five moment tables. Sums are kept in 64 bits: a large picture's sums pass 32 bits.
struct Moments {
    std::vector<std::int64_t> weight = std::vector<std::int64_t>(kCells);
    std::vector<std::int64_t> red = std::vector<std::int64_t>(kCells);
    std::vector<std::int64_t> green = std::vector<std::int64_t>(kCells);
    std::vector<std::int64_t> blue = std::vector<std::int64_t>(kCells);
    std::vector<double> squares = std::vector<double>(kCells);
};

struct Box {
    int r0 = 0, r1 = 0, g0 = 0, g1 = 0, b0 = 0, b1 = 0;  // lower bounds exclusive, upper inclusive
    int volume = 0;
};

enum class Axis { red, green, blue };

void Histogram(PixelPicture picture, Moments& m) {
    const std::size_t pixels = static_cast<std::size_t>(picture.width) * static_cast<std::size_t>(picture.height);
    const std::uint8_t* p = picture.bits;
    for (std::size_t i = 0; i < pixels; ++i, p += 4) {
        const int b = p[0], g = p[1], r = p[2];
        const int cell = Cell((r >> 3) + 1, (g >> 3) + 1, (b >> 3) + 1);
        ++m.weight[cell];
        m.red[cell] += r;
        m.green[cell] += g;
        m.blue[cell] += b;
        m.squares[cell] += static_cast<double>(r * r + g * g + b * b);
    }
}

// Turns the histogram into cumulative moments: each cell sums every cell at or below it.
template <typename Value>
void Accumulate(std::vector<Value>& table) {
    for (int r = 1; r < kSide; ++r) {
        Value area[kSide] = {};
        for (int g = 1; g < kSide; ++g) {
            Value line = 0;
            for (int b = 1; b < kSide; ++b) {
                line += table[Cell(r, g, b)];
                area[b] += line;
                table[Cell(r, g, b)] = table[Cell(r - 1, g, b)] + area[b];
            }
        }
    }
}

template <typename Value>
Value Volume(const Box& c, const std::vector<Value>& m) {
    return m[Cell(c.r1, c.g1, c.b1)] - m[Cell(c.r1, c.g1, c.b0)] - m[Cell(c.r1, c.g0, c.b1)] +
           m[Cell(c.r1, c.g0, c.b0)] - m[Cell(c.r0, c.g1, c.b1)] + m[Cell(c.r0, c.g1, c.b0)] +
           m[Cell(c.r0, c.g0, c.b1)] - m[Cell(c.r0, c.g0, c.b0)];
}

// The part of the box's sum below its lower bound on the axis, with the sign the cut needs.
template <typename Value>
Value Bottom(const Box& c, Axis axis, const std::vector<Value>& m) {
    switch (axis) {
        case Axis::red:
            return -m[Cell(c.r0, c.g1, c.b1)] + m[Cell(c.r0, c.g1, c.b0)] + m[Cell(c.r0, c.g0, c.b1)] -
                   m[Cell(c.r0, c.g0, c.b0)];
        case Axis::green:
            return -m[Cell(c.r1, c.g0, c.b1)] + m[Cell(c.r1, c.g0, c.b0)] + m[Cell(c.r0, c.g0, c.b1)] -
                   m[Cell(c.r0, c.g0, c.b0)];
        case Axis::blue:
            return -m[Cell(c.r1, c.g1, c.b0)] + m[Cell(c.r1, c.g0, c.b0)] + m[Cell(c.r0, c.g1, c.b0)] -
                   m[Cell(c.r0, c.g0, c.b0)];
    }
    return 0;
}

// The box's sum up to position on the axis, without the part Bottom gives.
template <typename Value>
Value Top(const Box& c, Axis axis, int position, const std::vector<Value>& m) {
    switch (axis) {
        case Axis::red:
            return m[Cell(position, c.g1, c.b1)] - m[Cell(position, c.g1, c.b0)] - m[Cell(position, c.g0, c.b1)] +
                   m[Cell(position, c.g0, c.b0)];
        case Axis::green:
            return m[Cell(c.r1, position, c.b1)] - m[Cell(c.r1, position, c.b0)] - m[Cell(c.r0, position, c.b1)] +
                   m[Cell(c.r0, position, c.b0)];
        case Axis::blue:
            return m[Cell(c.r1, c.g1, position)] - m[Cell(c.r1, c.g0, position)] - m[Cell(c.r0, c.g1, position)] +
                   m[Cell(c.r0, c.g0, position)];
    }
    return 0;
}

double Variance(const Box& c, const Moments& m) {
    const std::int64_t count = Volume(c, m.weight);
    if (count == 0) return 0;
    const double r = static_cast<double>(Volume(c, m.red));
    const double g = static_cast<double>(Volume(c, m.green));
    const double b = static_cast<double>(Volume(c, m.blue));
    return Volume(c, m.squares) - (r * r + g * g + b * b) / static_cast<double>(count);
}

struct CutChoice {
    double value = 0;
    int position = -1;  // -1: no position splits the box
};

// The position on the axis that maximises the summed squared means of the two halves,
// weighted by their counts; the first maximum wins.
CutChoice Maximize(const Box& c, Axis axis, int first, int last, const Moments& m, std::int64_t wholeR,
                   std::int64_t wholeG, std::int64_t wholeB, std::int64_t wholeW) {
    const std::int64_t baseR = Bottom(c, axis, m.red), baseG = Bottom(c, axis, m.green);
    const std::int64_t baseB = Bottom(c, axis, m.blue), baseW = Bottom(c, axis, m.weight);
    CutChoice best;
    for (int i = first; i < last; ++i) {
        const std::int64_t halfR = baseR + Top(c, axis, i, m.red), halfG = baseG + Top(c, axis, i, m.green);
        const std::int64_t halfB = baseB + Top(c, axis, i, m.blue), halfW = baseW + Top(c, axis, i, m.weight);
        if (halfW == 0) continue;
        const std::int64_t otherW = wholeW - halfW;
        if (otherW == 0) continue;
        auto squared = [](std::int64_t v) { return static_cast<double>(v) * static_cast<double>(v); };
        const double lower = (squared(halfR) + squared(halfG) + squared(halfB)) / static_cast<double>(halfW);
        const double upper = (squared(wholeR - halfR) + squared(wholeG - halfG) + squared(wholeB - halfB)) /
                             static_cast<double>(otherW);
        if (lower + upper > best.value) best = {lower + upper, i};
    }
    return best;
}

int VolumeOf(const Box& c) { return (c.r1 - c.r0) * (c.g1 - c.g0) * (c.b1 - c.b0); }

// Cuts box one in two, the upper part becoming box two; false when the box cannot be cut.
bool Cut(Box& one, Box& two, const Moments& m) {
    const std::int64_t wholeR = Volume(one, m.red), wholeG = Volume(one, m.green);
    const std::int64_t wholeB = Volume(one, m.blue), wholeW = Volume(one, m.weight);
    const CutChoice red = Maximize(one, Axis::red, one.r0 + 1, one.r1, m, wholeR, wholeG, wholeB, wholeW);
    const CutChoice green = Maximize(one, Axis::green, one.g0 + 1, one.g1, m, wholeR, wholeG, wholeB, wholeW);
    const CutChoice blue = Maximize(one, Axis::blue, one.b0 + 1, one.b1, m, wholeR, wholeG, wholeB, wholeW);
    Axis axis;
    if (red.value >= green.value && red.value >= blue.value) {
        axis = Axis::red;
        if (red.position < 0) return false;
    } else if (green.value >= red.value && green.value >= blue.value) {
        axis = Axis::green;
    } else {
        axis = Axis::blue;
    }
    two.r1 = one.r1;
    two.g1 = one.g1;
    two.b1 = one.b1;
    switch (axis) {
        case Axis::red:
            two.r0 = one.r1 = red.position;
            two.g0 = one.g0;
            two.b0 = one.b0;
            break;
        case Axis::green:
            two.g0 = one.g1 = green.position;
            two.r0 = one.r0;
            two.b0 = one.b0;
            break;
        case Axis::blue:
            two.b0 = one.b1 = blue.position;
            two.r0 = one.r0;
            two.g0 = one.g0;
            break;
    }
    one.volume = VolumeOf(one);
    two.volume = VolumeOf(two);
    return true;
}

}  // namespace

QuantizedPalette QuantizeWu(PixelPicture picture) {
    QuantizedPalette palette;
    if (picture.width <= 0 || picture.height <= 0 || !picture.bits) return palette;
    auto moments = std::make_unique<Moments>();
    Moments& m = *moments;
    Histogram(picture, m);
    Accumulate(m.weight);
    Accumulate(m.red);
    Accumulate(m.green);
    Accumulate(m.blue);
    Accumulate(m.squares);

    Box boxes[kMaxColours];
    double variance[kMaxColours] = {};
    boxes[0].r1 = boxes[0].g1 = boxes[0].b1 = kSide - 1;
    boxes[0].volume = VolumeOf(boxes[0]);
    int colours = kMaxColours;
    int next = 0;
    for (int i = 1; i < kMaxColours; ++i) {
        if (Cut(boxes[next], boxes[i], m)) {
            variance[next] = boxes[next].volume > 1 ? Variance(boxes[next], m) : 0;
            variance[i] = boxes[i].volume > 1 ? Variance(boxes[i], m) : 0;
        } else {
            variance[next] = 0;  // this box is not tried again
            --i;
        }
        next = 0;
        double largest = variance[0];
        for (int k = 1; k <= i; ++k) {
            if (variance[k] > largest) {
                largest = variance[k];
                next = k;
            }
        }
        if (largest <= 0) {
            colours = i + 1;
            break;
        }
    }
    palette.colours = colours;
    for (int k = 0; k < colours; ++k) {
        const std::int64_t count = Volume(boxes[k], m.weight);
        if (count == 0) continue;
        palette.entries[k] = {static_cast<std::uint8_t>(Volume(boxes[k], m.red) / count),
                              static_cast<std::uint8_t>(Volume(boxes[k], m.green) / count),
                              static_cast<std::uint8_t>(Volume(boxes[k], m.blue) / count)};
    }
    return palette;
}

}  // namespace brevant::crashreport
