#include "crashreport/delivery/png_encoder.h"

#include <cstring>
#include <new>
#include <vector>

#include "crashreport/delivery/palette_mapping.h"
#include "crashreport/delivery/png_writer.h"
#include "crashreport/delivery/wu_quantizer.h"

namespace brevant::crashreport {
namespace {

std::vector<std::uint8_t> PaletteBytes(const WuPalette& palette) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(768);
    for (const PaletteColour& colour : palette.colours) {
        bytes.insert(bytes.end(), {colour.red, colour.green, colour.blue});
    }
    return bytes;
}

std::vector<std::uint8_t> GrayPaletteBytes() {
    std::vector<std::uint8_t> bytes;
    for (std::uint8_t level : kGrayLevels) bytes.insert(bytes.end(), {level, level, level});
    return bytes;
}

// Filter byte 0 and one index per pixel, the top row (the last stored one) first.
std::vector<std::uint8_t> ColourRows(const PixelPicture& picture, PaletteMapping& mapping) {
    const std::size_t rowSize = static_cast<std::size_t>(picture.width) + 1;
    std::vector<std::uint8_t> rows(rowSize * static_cast<std::size_t>(picture.height));
    std::uint8_t* out = rows.data();
    // Screenshots repeat pixels a lot: equal neighbours share the last index.
    std::uint32_t lastPixel = 0xFFFFFFFF;
    std::uint8_t lastIndex = 0;
    for (std::int32_t row = picture.height - 1; row >= 0; --row) {
        *out++ = 0;
        const std::uint8_t* pixel = StoredRow(picture, row);
        for (std::int32_t column = 0; column < picture.width; ++column, pixel += 4) {
            const std::uint32_t value =
                std::uint32_t{pixel[0]} | std::uint32_t{pixel[1]} << 8 | std::uint32_t{pixel[2]} << 16;
            if (value != lastPixel) {
                lastPixel = value;
                lastIndex = mapping.IndexOf(pixel[2], pixel[1], pixel[0]);
            }
            *out++ = lastIndex;
        }
    }
    return rows;
}

// Grays every pixel in place and packs two levels per byte, the first in the high nibble.
std::vector<std::uint8_t> GrayRows(PixelPicture& picture) {
    const GrayMapping mapping;
    const std::size_t rowSize = (static_cast<std::size_t>(picture.width) + 1) / 2 + 1;
    std::vector<std::uint8_t> rows(rowSize * static_cast<std::size_t>(picture.height));
    std::uint8_t* out = rows.data();
    for (std::int32_t row = picture.height - 1; row >= 0; --row) {
        std::uint8_t* rowStart = out;
        *out++ = 0;
        std::uint8_t* pixel = StoredRow(picture, row);
        for (std::int32_t column = 0; column < picture.width; ++column, pixel += 4) {
            const std::uint8_t gray = GrayValue(pixel[2], pixel[1], pixel[0]);
            pixel[0] = pixel[1] = pixel[2] = gray;
            const std::uint8_t level = mapping.LevelOf(gray);
            if (column % 2 == 0) {
                *out = static_cast<std::uint8_t>(level << 4);
            } else {
                *out++ |= level;
            }
        }
        out = rowStart + rowSize;
    }
    return rows;
}

std::string PngOf(const PixelPicture& picture, const std::vector<std::uint8_t>& palette,
                  const std::vector<std::uint8_t>& rows) {
    return PngFileBytes({picture.width, picture.height, palette.data(), palette.size(), rows.data(), rows.size()});
}

}  // namespace

std::string ColourPngBytes(const PixelPicture& picture) {
    if (!HasPixels(picture)) return {};
    const WuPalette palette = QuantizeWu(picture);
    PaletteMapping mapping(palette.colours);
    return PngOf(picture, PaletteBytes(palette), ColourRows(picture, mapping));
}

std::string GrayPngBytes(PixelPicture& picture) {
    if (!HasPixels(picture)) return {};
    return PngOf(picture, GrayPaletteBytes(), GrayRows(picture));
}

std::string AsPngBytes(PixelPicture picture, TPngFormat format) {
    try {
        std::string colour;
        if (format != TPngFormat::pf16Grays) colour = ColourPngBytes(picture);
        const std::uint32_t limit = PngSizeLimit(format);
        const bool tryGray = format == TPngFormat::pf16Grays || (limit != 0 && colour.size() > limit);
        if (!tryGray) return colour;
        std::string gray = GrayPngBytes(picture);
        if (!gray.empty() && (colour.empty() || gray.size() < colour.size())) return gray;
        return colour;
    } catch (const std::bad_alloc&) {
        return {};
    }
}

}  // namespace brevant::crashreport
