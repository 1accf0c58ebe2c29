// The screenshot's encodings: Wu's palette, the nearest-colour mapping, the gray levels, the
// PNG bytes (read back with zlib), the size-targeted choice, BMP bytes and the zoom.

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <set>
#include <vector>

#include "base/little_endian.h"
#include "crashreport/delivery/bmp_bytes.h"
#include "crashreport/delivery/palette_mapping.h"
#include "crashreport/delivery/png_encoder.h"
#include "crashreport/delivery/wu_quantizer.h"
#include "crashreport/delivery/zoom.h"

namespace brevant::crashreport {
namespace {

// A picture of its own pixels (blue, green, red, unused; bottom-up).
struct TestPicture {
    TestPicture(int width, int height) : width(width), height(height), bytes(std::size_t(width) * height * 4) {}
    void Set(int x, int yFromTop, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
        std::uint8_t* p = &bytes[(std::size_t(height - 1 - yFromTop) * width + x) * 4];
        p[0] = b;
        p[1] = g;
        p[2] = r;
    }
    void Fill(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) Set(x, y, r, g, b);
    }
    PixelPicture View() { return {width, height, bytes.data()}; }
    int width, height;
    std::vector<std::uint8_t> bytes;
};

std::uint32_t BigEndian(const std::string& s, std::size_t at) {
    return std::uint32_t(std::uint8_t(s[at])) << 24 | std::uint32_t(std::uint8_t(s[at + 1])) << 16 |
           std::uint32_t(std::uint8_t(s[at + 2])) << 8 | std::uint8_t(s[at + 3]);
}

struct Chunk {
    std::string type, data;
};

// The chunks of a PNG, each checked against its CRC.
std::vector<Chunk> ReadChunks(const std::string& png) {
    std::vector<Chunk> chunks;
    EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
    for (std::size_t at = 8; at + 12 <= png.size();) {
        const std::uint32_t length = BigEndian(png, at);
        Chunk chunk{png.substr(at + 4, 4), png.substr(at + 8, length)};
        const auto crc = crc32(0, reinterpret_cast<const Bytef*>(png.data() + at + 4), 4 + length);
        EXPECT_EQ(BigEndian(png, at + 8 + length), crc) << chunk.type;
        chunks.push_back(chunk);
        at += 12 + length;
    }
    return chunks;
}

std::string Inflate(const std::string& idat) {
    EXPECT_EQ(idat.substr(0, 2), std::string("\x78\x01", 2));
    std::string out(1 << 24, '\0');
    uLongf size = out.size();
    EXPECT_EQ(uncompress(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(idat.data()),
                         idat.size()),
              Z_OK);
    out.resize(size);
    return out;
}

TEST(WuQuantizer, FewOccupiedCellsGiveOneExactEntryEachAndStopEarly) {
    TestPicture picture(6, 4);
    picture.Fill(8, 16, 24);
    picture.Set(0, 0, 200, 40, 0);
    picture.Set(1, 0, 200, 40, 0);
    picture.Set(5, 3, 0, 0, 248);
    const QuantizedPalette palette = QuantizeWu(picture.View());
    EXPECT_EQ(palette.colours, 3);
    std::set<std::tuple<int, int, int>> found;
    for (int k = 0; k < 3; ++k) found.insert({palette.entries[k].red, palette.entries[k].green, palette.entries[k].blue});
    EXPECT_EQ(found, (std::set<std::tuple<int, int, int>>{{8, 16, 24}, {200, 40, 0}, {0, 0, 248}}));
    for (int k = 3; k < 256; ++k) EXPECT_EQ(palette.entries[k], PaletteColour{}) << k;
}

TEST(WuQuantizer, AnEntryIsTheTruncatedMeanOfItsBoxAndTiesCutAlongRedFirst) {
    // Two colours of one 15-bit cell mean to one entry, truncated.
    TestPicture same(2, 1);
    same.Set(0, 0, 100, 101, 102);
    same.Set(1, 0, 101, 102, 103);
    const QuantizedPalette one = QuantizeWu(same.View());
    EXPECT_EQ(one.colours, 1);
    EXPECT_EQ(one.entries[0], (PaletteColour{100, 101, 102}));
    // Black and white split equally well along every axis: red is cut, at its first best
    // place, so black keeps box 0 and white becomes box 1.
    TestPicture two(2, 1);
    two.Set(0, 0, 255, 255, 255);
    two.Set(1, 0, 0, 0, 0);
    const QuantizedPalette split = QuantizeWu(two.View());
    EXPECT_EQ(split.colours, 2);
    EXPECT_EQ(split.entries[0], (PaletteColour{0, 0, 0}));
    EXPECT_EQ(split.entries[1], (PaletteColour{255, 255, 255}));
}

TEST(WuQuantizer, ARichPictureUsesTheWholePalette) {
    TestPicture picture(64, 64);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) picture.Set(x, y, std::uint8_t(x * 4), std::uint8_t(y * 4), std::uint8_t(x ^ y));
    EXPECT_EQ(QuantizeWu(picture.View()).colours, 256);
}

TEST(PaletteMapping, TheNearestEntryWinsTheLowestIndexOnTiesAndACellKeepsItsFirstAnswer) {
    std::array<PaletteColour, 256> palette{};
    for (auto& entry : palette) entry = {250, 250, 250};
    palette[3] = {10, 10, 10};
    palette[7] = {30, 10, 10};
    palette[9] = {10, 30, 10};
    NearestColourMap map(palette);
    EXPECT_EQ(map.IndexOf(20, 10, 10), 3) << "3 and 7 are both 10 away: the lower index";
    EXPECT_EQ(map.IndexOf(16, 30, 10), 9);
    // 17, 30, 10 lies in the 15-bit cell of 16, 30, 10: the first answer stands.
    EXPECT_EQ(map.IndexOf(17, 30, 10), 9);
    NearestColourMap fresh(palette);
    EXPECT_EQ(fresh.IndexOf(255, 255, 255), 0) << "all 256 entries are searched, the first of equals wins";
}

TEST(PaletteMapping, GrayValuesGoToTheNearestLevelTheLowerOnATie) {
    const auto& level = GrayLevelOfValue();
    EXPECT_EQ(level[0], 0);
    EXPECT_EQ(level[14], 0);   // 14 from 0 and from 28
    EXPECT_EQ(level[15], 1);
    EXPECT_EQ(level[40], 1);   // 12 from 28 and from 52
    EXPECT_EQ(level[248], 14); // 7 from 241 and from 255
    EXPECT_EQ(level[249], 15);
    EXPECT_EQ(level[255], 15);
    EXPECT_EQ(GrayValue(255, 255, 255), 255);
    EXPECT_EQ(GrayValue(255, 0, 0), 76);
}

TEST(PngEncoder, TheColourPngHasItsChunksAndRowsFromTheTopDown) {
    TestPicture picture(3, 2);
    picture.Fill(0, 0, 0);
    picture.Set(0, 0, 248, 0, 0);  // top left red
    picture.Set(2, 1, 0, 0, 248);  // bottom right blue
    const std::string png = AsPngBytes(picture.View(), TPngFormat::pf256Colors);
    const std::vector<Chunk> chunks = ReadChunks(png);
    ASSERT_EQ(chunks.size(), 4u);
    EXPECT_EQ(chunks[0].type, "IHDR");
    EXPECT_EQ(chunks[0].data, std::string("\0\0\0\x03\0\0\0\x02\x08\x03\0\0\0", 13));
    EXPECT_EQ(chunks[1].type, "PLTE");
    ASSERT_EQ(chunks[1].data.size(), 768u);
    EXPECT_EQ(chunks[2].type, "IDAT");
    EXPECT_EQ(chunks[3].type, "IEND");
    EXPECT_TRUE(chunks[3].data.empty());
    const std::string rows = Inflate(chunks[2].data);
    ASSERT_EQ(rows.size(), 8u);
    auto colourAt = [&](int row, int x) {
        const int index = std::uint8_t(rows[row * 4 + 1 + x]);
        return std::make_tuple(int(std::uint8_t(chunks[1].data[index * 3])),
                               int(std::uint8_t(chunks[1].data[index * 3 + 1])),
                               int(std::uint8_t(chunks[1].data[index * 3 + 2])));
    };
    EXPECT_EQ(rows[0], 0);
    EXPECT_EQ(rows[4], 0);
    EXPECT_EQ(colourAt(0, 0), std::make_tuple(248, 0, 0));
    EXPECT_EQ(colourAt(1, 2), std::make_tuple(0, 0, 248));
    EXPECT_EQ(colourAt(1, 0), std::make_tuple(0, 0, 0));
}

TEST(PngEncoder, SixteenGraysPackTwoPixelsPerByteAndGrayThePicture) {
    TestPicture picture(3, 1);
    picture.Set(0, 0, 255, 255, 255);
    picture.Set(1, 0, 0, 0, 0);
    picture.Set(2, 0, 255, 0, 0);  // gray 76: level 3 (73)
    const std::string png = AsPngBytes(picture.View(), TPngFormat::pf16Grays);
    const std::vector<Chunk> chunks = ReadChunks(png);
    ASSERT_EQ(chunks.size(), 4u);
    EXPECT_EQ(chunks[0].data[8], 4) << "bit depth";
    ASSERT_EQ(chunks[1].data.size(), 48u);
    EXPECT_EQ(chunks[1].data.substr(3, 3), std::string(3, char(28)));
    EXPECT_EQ(Inflate(chunks[2].data), std::string("\x00\xF0\x30", 3));
    EXPECT_EQ(picture.bytes[8], 76);
    EXPECT_EQ(picture.bytes[9], 76);
    EXPECT_EQ(picture.bytes[10], 76) << "the picture itself is gray afterwards";
}

TEST(PngEncoder, ASizeTargetKeepsASmallColourPngAndTakesTheSmallerGrayOtherwise) {
    TestPicture small(40, 30);
    small.Fill(10, 200, 30);
    const std::string kept = AsPngBytes(small.View(), TPngFormat::pf100kb);
    EXPECT_EQ(kept[24], 8) << "the colour version stays";

    TestPicture noise(400, 400);
    std::mt19937 random(7);
    for (std::uint8_t& byte : noise.bytes) byte = std::uint8_t(random());
    const std::string colour = ColourPngBytes(noise.View());
    ASSERT_GT(colour.size(), 102400u);
    const std::string chosen = AsPngBytes(noise.View(), TPngFormat::pf100kb);
    EXPECT_EQ(chosen[24], 4) << "too large in colour: the gray version";
    EXPECT_LT(chosen.size(), colour.size());
}

TEST(PngEncoder, AnEmptyPictureGivesNothing) {
    EXPECT_TRUE(AsPngBytes({0, 5, nullptr}, TPngFormat::pf256Colors).empty());
    EXPECT_TRUE(AsBmpBytes({5, 0, nullptr}).empty());
}

TEST(BmpBytes, AHeaderOfFiftyFourBytesAndThePixelsAsStored) {
    TestPicture picture(2, 3);
    picture.Set(1, 0, 1, 2, 3);
    const std::string bmp = AsBmpBytes(picture.View());
    ASSERT_EQ(bmp.size(), 54u + 24u);
    const auto* b = reinterpret_cast<const std::uint8_t*>(bmp.data());
    EXPECT_EQ(bmp.substr(0, 2), "BM");
    EXPECT_EQ(ReadU32(b + 2), 78u);
    EXPECT_EQ(ReadU32(b + 10), 54u);
    EXPECT_EQ(ReadU32(b + 14), 40u);
    EXPECT_EQ(ReadU32(b + 18), 2u);
    EXPECT_EQ(ReadU32(b + 22), 3u);
    EXPECT_EQ(ReadU16(b + 26), 1u);
    EXPECT_EQ(ReadU16(b + 28), 32u);
    EXPECT_EQ(ReadU32(b + 34), 24u);
    EXPECT_EQ(bmp.substr(54), std::string(picture.bytes.begin(), picture.bytes.end()));
}

TEST(Zoom, TheTargetKeepsTheAspectRatio) {
    EXPECT_EQ(ZoomTargetSize(100, 50, 200, 200), (ZoomSize{200, 100}));
    EXPECT_EQ(ZoomTargetSize(100, 50, 100, 25), (ZoomSize{50, 25}));
    EXPECT_EQ(ZoomTargetSize(100, 50, 300, 150), (ZoomSize{300, 150}));
    EXPECT_EQ(ZoomTargetSize(0, 50, 300, 150), ZoomSize{});
}

TEST(Zoom, TheWeightsOfEachTargetPixelSumToOneAndAUniformPictureStaysUniform) {
    for (auto [n, m] : {std::pair{100, 37}, std::pair{37, 100}, std::pair{50, 50}, std::pair{3, 1}}) {
        const std::vector<FilterTaps> taps = MitchellTaps(n, m);
        ASSERT_EQ(taps.size(), std::size_t(m));
        for (const FilterTaps& t : taps) {
            long sum = 0;
            for (std::int32_t w : t.weights) sum += w;
            EXPECT_NEAR(sum, 65536, 600) << n << " to " << m;
            for (std::int32_t s : t.sources) {
                EXPECT_GE(s, 0);
                EXPECT_LT(s, n);
            }
        }
    }
    TestPicture source(100, 50), target(37, 18);
    source.Fill(90, 160, 230);
    ZoomMitchell(source.View(), target.View());
    // Each pass truncates its 16.16 sums: a level or two may go.
    for (std::size_t i = 0; i < target.bytes.size(); i += 4) {
        EXPECT_NEAR(target.bytes[i], 230, 3);
        EXPECT_NEAR(target.bytes[i + 1], 160, 3);
        EXPECT_NEAR(target.bytes[i + 2], 90, 3);
        EXPECT_EQ(target.bytes[i + 3], 0);
    }
}

}  // namespace
}  // namespace brevant::crashreport
