#include "crashreport/delivery/png_encoder.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <string>
#include <vector>

#include "crashreport/delivery/palette_mapping.h"
#include "test_picture.h"

namespace brevant::crashreport {
namespace {

std::uint32_t BigEndianAt(const std::string& bytes, std::size_t offset) {
    std::uint32_t value = 0;
    for (int k = 0; k < 4; ++k) value = value << 8 | static_cast<std::uint8_t>(bytes.at(offset + k));
    return value;
}

struct Chunk {
    std::string type;
    std::string data;
};

// The chunks of a PNG file, checking lengths and CRCs on the way.
std::vector<Chunk> ChunksOf(const std::string& png) {
    std::vector<Chunk> chunks;
    EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1A\n", 8));
    std::size_t offset = 8;
    while (offset + 12 <= png.size()) {
        const std::uint32_t length = BigEndianAt(png, offset);
        if (offset + 12 + length > png.size()) break;
        const std::string typeAndData = png.substr(offset + 4, 4 + length);
        const auto crc = crc32(0, reinterpret_cast<const Bytef*>(typeAndData.data()), typeAndData.size());
        EXPECT_EQ(BigEndianAt(png, offset + 8 + length), crc) << typeAndData.substr(0, 4);
        chunks.push_back({typeAndData.substr(0, 4), typeAndData.substr(4)});
        offset += 12 + length;
    }
    EXPECT_EQ(offset, png.size());
    return chunks;
}

struct DecodedPng {
    std::uint32_t width = 0, height = 0;
    int bitDepth = 0;
    std::string palette;
    std::vector<std::uint8_t> rows;  // filtered, as stored in IDAT
};

DecodedPng Decode(const std::string& png) {
    DecodedPng decoded;
    const std::vector<Chunk> chunks = ChunksOf(png);
    std::vector<std::string> types;
    for (const Chunk& chunk : chunks) types.push_back(chunk.type);
    EXPECT_EQ(types, (std::vector<std::string>{"IHDR", "PLTE", "IDAT", "IEND"}));
    if (types.size() != 4) return decoded;
    const std::string& header = chunks[0].data;
    EXPECT_EQ(header.size(), 13u);
    decoded.width = BigEndianAt(header, 0);
    decoded.height = BigEndianAt(header, 4);
    decoded.bitDepth = header[8];
    EXPECT_EQ(header.substr(9), std::string("\x03\0\0\0", 4));  // palette, deflate, no filter, no interlace
    decoded.palette = chunks[1].data;
    EXPECT_TRUE(chunks[3].data.empty());

    const std::string& stream = chunks[2].data;
    EXPECT_EQ(stream.substr(0, 2), "\x78\x01");
    z_stream inflater{};
    EXPECT_EQ(inflateInit2(&inflater, -15), Z_OK);
    decoded.rows.resize(4 << 20);
    inflater.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(stream.data() + 2));
    inflater.avail_in = static_cast<uInt>(stream.size() - 6);
    inflater.next_out = decoded.rows.data();
    inflater.avail_out = static_cast<uInt>(decoded.rows.size());
    EXPECT_EQ(inflate(&inflater, Z_FINISH), Z_STREAM_END);
    EXPECT_EQ(inflater.avail_in, 0u);  // the deflate stream ends where the Adler-32 starts
    decoded.rows.resize(inflater.total_out);
    inflateEnd(&inflater);
    EXPECT_EQ(BigEndianAt(stream, stream.size() - 4), adler32(1, decoded.rows.data(), decoded.rows.size()));
    return decoded;
}

Rgb PaletteEntry(const DecodedPng& png, int index) {
    const auto* entry = reinterpret_cast<const std::uint8_t*>(png.palette.data()) + 3 * index;
    return {entry[0], entry[1], entry[2]};
}

TestPicture FewColourPicture(std::int32_t width, std::int32_t height) {
    const Rgb colours[] = {{0, 0, 0}, {248, 8, 16}, {40, 200, 96}, {255, 255, 255}, {120, 64, 32}};
    TestPicture picture(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) picture.Set(x, y, colours[(x * 3 + y * 7 + x * y) % 5]);
    }
    return picture;
}

TestPicture NoisePicture(std::int32_t width, std::int32_t height, unsigned seed) {
    std::mt19937 random(seed);
    TestPicture picture(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::uint32_t value = random();
            picture.Set(x, y, {std::uint8_t(value), std::uint8_t(value >> 8), std::uint8_t(value >> 16)});
        }
    }
    return picture;
}

TEST(PngEncoderTest, ColourPngRowsFromTheTopWithOneIndexPerPixel) {
    TestPicture picture = FewColourPicture(7, 3);
    const std::vector<std::uint8_t> before = picture.Bits();
    const DecodedPng png = Decode(AsPngBytes(picture.View(), TPngFormat::pf256Colors));
    EXPECT_EQ(png.width, 7u);
    EXPECT_EQ(png.height, 3u);
    EXPECT_EQ(png.bitDepth, 8);
    ASSERT_EQ(png.palette.size(), 768u);
    ASSERT_EQ(png.rows.size(), 3u * 8u);
    for (int y = 0; y < 3; ++y) {
        EXPECT_EQ(png.rows[y * 8], 0) << "filter byte of row " << y;
        for (int x = 0; x < 7; ++x) {
            EXPECT_EQ(PaletteEntry(png, png.rows[y * 8 + 1 + x]), picture.Get(x, y)) << x << "," << y;
        }
    }
    EXPECT_EQ(picture.Bits(), before);  // the colour form leaves the picture alone
}

TEST(PngEncoderTest, GrayPngPacksTwoLevelsPerByteAndGraysThePicture) {
    TestPicture picture(5, 2);
    const Rgb pixels[2][5] = {{{255, 255, 255}, {0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}},
                              {{100, 100, 100}, {10, 20, 30}, {200, 150, 100}, {0, 0, 0}, {64, 128, 192}}};
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 5; ++x) picture.Set(x, y, pixels[y][x]);
    }
    const DecodedPng png = Decode(AsPngBytes(picture.View(), TPngFormat::pf16Grays));
    EXPECT_EQ(png.bitDepth, 4);
    ASSERT_EQ(png.palette.size(), 48u);
    for (int level = 0; level < 16; ++level) {
        EXPECT_EQ(PaletteEntry(png, level), (Rgb{kGrayLevels[level], kGrayLevels[level], kGrayLevels[level]}));
    }
    ASSERT_EQ(png.rows.size(), 2u * 4u);
    for (int y = 0; y < 2; ++y) {
        std::uint8_t expectedRow[4] = {0, 0, 0, 0};
        for (int x = 0; x < 5; ++x) {
            const Rgb p = pixels[y][x];
            const std::uint8_t gray = static_cast<std::uint8_t>((p.red * 77 + p.green * 151 + p.blue * 28) >> 8);
            expectedRow[1 + x / 2] |= NearestGrayLevel(gray) << (x % 2 ? 0 : 4);
            EXPECT_EQ(picture.Get(x, y), (Rgb{gray, gray, gray})) << x << "," << y;
        }
        for (int k = 0; k < 4; ++k) EXPECT_EQ(png.rows[y * 4 + k], expectedRow[k]) << y << ":" << k;
    }
    // The white top-left pixel is level 15 in the high nibble; the odd fifth pixel leaves the low nibble 0.
    EXPECT_EQ(png.rows[1] >> 4, 15);
    EXPECT_EQ(png.rows[3] & 0x0F, 0);
}

TEST(PngEncoderTest, SizeLimitedFormatsFallBackToGrayOnlyWhenTooLarge) {
    TestPicture small = FewColourPicture(64, 64);
    const std::vector<std::uint8_t> smallBefore = small.Bits();
    const std::string kept = AsPngBytes(small.View(), TPngFormat::pf100kb);
    EXPECT_EQ(Decode(kept).bitDepth, 8);
    EXPECT_EQ(kept, AsPngBytes(small.View(), TPngFormat::pf256Colors));
    EXPECT_EQ(small.Bits(), smallBefore);

    // Noise of 400 x 400 pixels is about 160 KB in colour and 80 KB in gray.
    TestPicture noise = NoisePicture(400, 400, 11);
    TestPicture copy = noise;
    const std::string colour = AsPngBytes(copy.View(), TPngFormat::pf256Colors);
    ASSERT_GT(colour.size(), 102400u);
    const std::string limited = AsPngBytes(noise.View(), TPngFormat::pf100kb);
    EXPECT_EQ(Decode(limited).bitDepth, 4);
    EXPECT_LT(limited.size(), colour.size());
    for (int y = 0; y < 400; y += 7) {
        for (int x = 0; x < 400; x += 3) {
            const Rgb p = noise.Get(x, y);
            ASSERT_TRUE(p.red == p.green && p.green == p.blue) << x << "," << y;
        }
    }
    // Below the larger limit the colour form stays.
    TestPicture again = NoisePicture(400, 400, 11);
    EXPECT_EQ(AsPngBytes(again.View(), TPngFormat::pf300kb), colour);
}

TEST(PngEncoderTest, PicturesWithoutPixelsGiveNothing) {
    TestPicture picture(3, 3);
    for (TPngFormat format : {TPngFormat::pf256Colors, TPngFormat::pf16Grays, TPngFormat::pf50kb}) {
        EXPECT_EQ(AsPngBytes({0, 3, picture.View().bits}, format), "");
        EXPECT_EQ(AsPngBytes({3, -1, picture.View().bits}, format), "");
        EXPECT_EQ(AsPngBytes({3, 3, nullptr}, format), "");
    }
}

TEST(PngEncoderTest, WideOddPicturesKeepTheirRowLengths) {
    for (const auto& [width, height] : {std::pair{1, 1}, {1, 9}, {333, 2}}) {
        TestPicture picture = NoisePicture(width, height, 3);
        const DecodedPng colour = Decode(AsPngBytes(picture.View(), TPngFormat::pf256Colors));
        EXPECT_EQ(colour.rows.size(), std::size_t(height) * (width + 1)) << width;
        const DecodedPng gray = Decode(AsPngBytes(picture.View(), TPngFormat::pf16Grays));
        EXPECT_EQ(gray.rows.size(), std::size_t(height) * ((width + 1) / 2 + 1)) << width;
        EXPECT_EQ(gray.width, std::uint32_t(width));
        EXPECT_EQ(gray.height, std::uint32_t(height));
    }
}

}  // namespace
}  // namespace brevant::crashreport
