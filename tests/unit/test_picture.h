#pragma once
// A picture of its own pixel memory for the image tests, addressed from the top row down as
// the picture is seen.

#include <cstdint>
#include <vector>

#include "crashreport/delivery/pixel_picture.h"

namespace brevant::crashreport {

struct Rgb {
    std::uint8_t red = 0, green = 0, blue = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

class TestPicture {
public:
    TestPicture(std::int32_t width, std::int32_t height, Rgb fill = {})
        : width_(width), height_(height), bits_(static_cast<std::size_t>(width) * height * 4) {
        for (std::int32_t y = 0; y < height; ++y) {
            for (std::int32_t x = 0; x < width; ++x) Set(x, y, fill);
        }
    }
    PixelPicture View() { return {width_, height_, bits_.data()}; }
    std::uint8_t* At(std::int32_t x, std::int32_t y) {
        return bits_.data() + (static_cast<std::size_t>(height_ - 1 - y) * width_ + x) * 4;
    }
    void Set(std::int32_t x, std::int32_t y, Rgb colour) {
        std::uint8_t* pixel = At(x, y);
        pixel[0] = colour.blue;
        pixel[1] = colour.green;
        pixel[2] = colour.red;
        pixel[3] = 0;
    }
    Rgb Get(std::int32_t x, std::int32_t y) {
        const std::uint8_t* pixel = At(x, y);
        return {pixel[2], pixel[1], pixel[0]};
    }
    const std::vector<std::uint8_t>& Bits() const { return bits_; }
    std::int32_t Width() const { return width_; }
    std::int32_t Height() const { return height_; }

private:
    std::int32_t width_, height_;
    std::vector<std::uint8_t> bits_;
};

// A picture holding the given pixels in reading order, one row.
inline TestPicture PictureOf(const std::vector<Rgb>& pixels) {
    TestPicture picture(static_cast<std::int32_t>(pixels.size()), 1);
    for (std::size_t x = 0; x < pixels.size(); ++x) picture.Set(static_cast<std::int32_t>(x), 0, pixels[x]);
    return picture;
}

}  // namespace brevant::crashreport
