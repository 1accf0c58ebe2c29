#include "crashreport/delivery/png_encoder.h"

#include "crashreport/delivery/palette_mapping.h"
#include "crashreport/delivery/png_writer.h"
#include "crashreport/delivery/wu_quantizer.h"

namespace brevant::crashreport {

namespace {

bool IsEmpty(PixelPicture picture) {
    return picture.width <= 0 || picture.height <= 0 || !picture.bits;
}

std::size_t Width(PixelPicture p) { return static_cast<std::size_t>(p.width); }

// Rows are stored bottom-up; the PNG wants the top row first.
const std::uint8_t* StoredRow(PixelPicture p, std::size_t rowFromTop) {
    return p.bits + (static_cast<std::size_t>(p.height) - 1 - rowFromTop) * Width(p) * 4;
}

}  // namespace

std::string ColourPngBytes(PixelPicture picture) {
    if (IsEmpty(picture)) return {};
    const QuantizedPalette palette = QuantizeWu(picture);
    NearestColourMap nearest(palette.entries);
    const std::size_t width = Width(picture), height = static_cast<std::size_t>(picture.height);
    std::string rows((width + 1) * height, '\0');
    char* out = rows.data();
    for (std::size_t y = 0; y < height; ++y) {
        *out++ = 0;  // no filter
        const std::uint8_t* p = StoredRow(picture, y);
        for (std::size_t x = 0; x < width; ++x, p += 4) *out++ = static_cast<char>(nearest.IndexOf(p[2], p[1], p[0]));
    }
    std::string plte;
    plte.reserve(768);
    for (const PaletteColour& c : palette.entries) {
        plte += static_cast<char>(c.red);
        plte += static_cast<char>(c.green);
        plte += static_cast<char>(c.blue);
    }
    return PngFileBytes(static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height), plte, rows);
}

std::string GrayPngBytes(PixelPicture picture) {
    if (IsEmpty(picture)) return {};
    const std::size_t width = Width(picture), height = static_cast<std::size_t>(picture.height);
    std::uint8_t* p = picture.bits;
    for (std::size_t i = 0; i < width * height; ++i, p += 4) p[0] = p[1] = p[2] = GrayValue(p[2], p[1], p[0]);

    const std::array<std::uint8_t, 256>& level = GrayLevelOfValue();
    const std::size_t rowBytes = (width + 1) / 2;
    std::string rows((rowBytes + 1) * height, '\0');
    char* out = rows.data();
    for (std::size_t y = 0; y < height; ++y) {
        *out++ = 0;
        const std::uint8_t* row = StoredRow(picture, y);
        for (std::size_t x = 0; x < width; x += 2) {
            int packed = level[row[x * 4]] << 4;
            if (x + 1 < width) packed |= level[row[(x + 1) * 4]];
            *out++ = static_cast<char>(packed);
        }
    }
    std::string plte;
    for (std::uint8_t gray : kGrayLevels) plte.append(3, static_cast<char>(gray));
    return PngFileBytes(static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height), plte, rows);
}

std::string AsPngBytes(PixelPicture picture, TPngFormat format) {
    if (IsEmpty(picture)) return {};
    std::string colour;
    if (format != TPngFormat::pf16Grays) {
        colour = ColourPngBytes(picture);
        const std::uint32_t limit = PngSizeLimit(format);
        if (limit == 0 || colour.size() <= limit) return colour;
    }
    std::string gray = GrayPngBytes(picture);
    if (colour.empty() || (!gray.empty() && gray.size() < colour.size())) return gray;
    return colour;
}

}  // namespace brevant::crashreport
