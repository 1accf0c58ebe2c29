// Any picture from 1 × 1 up, any pixels, in every format: the PNG must be whole (every chunk
// with its CRC, the image data inflating to exactly the rows the header promises) and the
// zoom must stay inside its buffers.

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "crashreport/delivery/png_encoder.h"
#include "crashreport/delivery/zoom.h"

using namespace brevant::crashreport;

namespace {

std::uint32_t BigEndian(const std::string& s, std::size_t at) {
    return std::uint32_t(std::uint8_t(s[at])) << 24 | std::uint32_t(std::uint8_t(s[at + 1])) << 16 |
           std::uint32_t(std::uint8_t(s[at + 2])) << 8 | std::uint8_t(s[at + 3]);
}

void CheckPng(const std::string& png, std::uint32_t width, std::uint32_t height) {
    if (png.size() < 8 || png.compare(0, 8, std::string("\x89PNG\r\n\x1a\n", 8)) != 0) std::abort();
    std::string idat;
    int depth = 0;
    for (std::size_t at = 8; at < png.size();) {
        if (at + 12 > png.size()) std::abort();
        const std::uint32_t length = BigEndian(png, at);
        if (at + 12 + length > png.size()) std::abort();
        const auto crc = crc32(0, reinterpret_cast<const Bytef*>(png.data() + at + 4), 4 + length);
        if (BigEndian(png, at + 8 + length) != crc) std::abort();
        const std::string type = png.substr(at + 4, 4);
        if (type == "IHDR") {
            if (BigEndian(png, at + 8) != width || BigEndian(png, at + 12) != height) std::abort();
            depth = png[at + 16];
        }
        if (type == "IDAT") idat = png.substr(at + 8, length);
        at += 12 + length;
    }
    if (depth != 8 && depth != 4) std::abort();
    const std::size_t rowBytes = depth == 8 ? width : (width + 1) / 2;
    std::string rows((rowBytes + 1) * height + 1, '\0');
    uLongf size = rows.size();
    if (uncompress(reinterpret_cast<Bytef*>(rows.data()), &size, reinterpret_cast<const Bytef*>(idat.data()),
                   idat.size()) != Z_OK ||
        size != (rowBytes + 1) * height)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    const int width = 1 + data[0] % 64, height = 1 + data[1] % 48;
    const int zoomWidth = 1 + (data[0] >> 2) % 50, zoomHeight = 1 + (data[1] >> 2) % 37;
    const TPngFormat format = static_cast<TPngFormat>(data[2] % 6);
    data += 3;
    size -= 3;
    std::vector<std::uint8_t> pixels(std::size_t(width) * height * 4);
    for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = size ? data[i % size] : std::uint8_t(i);
    CheckPng(AsPngBytes({width, height, pixels.data()}, format), width, height);

    const ZoomSize zoomed = ZoomTargetSize(width, height, zoomWidth, zoomHeight);
    if (zoomed.width > 0 && zoomed.height > 0) {
        std::vector<std::uint8_t> target(std::size_t(zoomed.width) * zoomed.height * 4);
        ZoomMitchell({width, height, pixels.data()}, {zoomed.width, zoomed.height, target.data()});
    }
    return 0;
}
