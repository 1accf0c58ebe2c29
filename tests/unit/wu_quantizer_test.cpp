#include "crashreport/delivery/wu_quantizer.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <tuple>

#include "test_picture.h"

namespace brevant::crashreport {
namespace {

std::vector<PaletteColour> UsedEntries(const WuPalette& palette) {
    return {palette.colours.begin(), palette.colours.begin() + palette.colourCount};
}

void ExpectBlackFrom(const WuPalette& palette, int first) {
    for (int index = first; index < 256; ++index) EXPECT_EQ(palette.colours[index], PaletteColour{}) << index;
}

// Each case is built so that the rule decides the order of the entries: the box cut first
// keeps the lower half, the upper half becomes the next entry.
TEST(WuQuantizerTest, TiesBetweenAxesAndPositionsPickTheFirst) {
    const struct {
        const char* rule;
        std::vector<Rgb> pixels;
        std::vector<PaletteColour> expected;
    } cases[] = {
        // Cutting red or green gives the same value: red splits off black first.
        {"red before green", {{0, 0, 0}, {100, 100, 0}, {100, 0, 0}}, {{0, 0, 0}, {100, 0, 0}, {100, 100, 0}}},
        // No red cut exists; green and blue tie: green splits off black first.
        {"green before blue", {{0, 0, 0}, {0, 100, 100}, {0, 100, 0}}, {{0, 0, 0}, {0, 100, 0}, {0, 100, 100}}},
        // 0 | 100 200 and 0 100 | 200 give the same value: the lower position is taken.
        {"first position", {{0, 0, 0}, {100, 0, 0}, {200, 0, 0}}, {{0, 0, 0}, {100, 0, 0}, {200, 0, 0}}},
    };
    for (const auto& c : cases) {
        TestPicture picture = PictureOf(c.pixels);
        const WuPalette palette = QuantizeWu(picture.View());
        EXPECT_EQ(UsedEntries(palette), c.expected) << c.rule;
        ExpectBlackFrom(palette, 3);
    }
}

// One 15-bit cell with two colours has the largest variance but cannot be cut; cutting must
// go on with the next box instead of stopping or leaving a gap.
TEST(WuQuantizerTest, AnUncuttableBoxIsSkippedAndItsMeanIsTruncated) {
    TestPicture picture(2002, 1);
    for (int x = 0; x < 2000; ++x) picture.Set(x, 0, x % 2 ? Rgb{7, 7, 7} : Rgb{0, 0, 0});
    picture.Set(2000, 0, {200, 0, 0});
    picture.Set(2001, 0, {200, 16, 0});
    const WuPalette palette = QuantizeWu(picture.View());
    EXPECT_EQ(UsedEntries(palette), (std::vector<PaletteColour>{{3, 3, 3}, {200, 0, 0}, {200, 16, 0}}));
    ExpectBlackFrom(palette, 3);
}

TEST(WuQuantizerTest, FewOccupiedCellsGiveOneExactEntryEach) {
    std::mt19937 random(7);
    std::set<std::tuple<int, int, int>> colours;
    while (colours.size() < 40) colours.insert({random() % 32 * 8, random() % 32 * 8, random() % 32 * 8});
    std::vector<Rgb> pixels;
    for (const auto& [r, g, b] : colours) {
        const int count = 1 + static_cast<int>(random() % 50);
        for (int k = 0; k < count; ++k) pixels.push_back({std::uint8_t(r), std::uint8_t(g), std::uint8_t(b)});
    }
    std::shuffle(pixels.begin(), pixels.end(), random);
    TestPicture picture = PictureOf(pixels);
    const WuPalette palette = QuantizeWu(picture.View());
    ASSERT_EQ(palette.colourCount, 40);
    std::set<std::tuple<int, int, int>> entries;
    for (const PaletteColour& c : UsedEntries(palette)) entries.insert({c.red, c.green, c.blue});
    EXPECT_EQ(entries, colours);
    ExpectBlackFrom(palette, 40);

    TestPicture single(5, 3, {9, 130, 250});
    const WuPalette one = QuantizeWu(single.View());
    EXPECT_EQ(one.colourCount, 1);
    EXPECT_EQ(one.colours[0], (PaletteColour{9, 130, 250}));
    ExpectBlackFrom(one, 1);
}

TEST(WuQuantizerTest, RichPicturesUseAllEntriesCloseToTheirColours) {
    TestPicture picture(256, 128);
    for (int y = 0; y < 128; ++y) {
        for (int x = 0; x < 256; ++x) picture.Set(x, y, {std::uint8_t(x), std::uint8_t(y * 2), std::uint8_t(255 - x)});
    }
    const WuPalette palette = QuantizeWu(picture.View());
    EXPECT_EQ(palette.colourCount, 256);
    for (const PaletteColour& c : palette.colours) {
        // The gradient lies on the plane blue = 255 - red: means of its boxes do too.
        EXPECT_NEAR(c.red + c.blue, 255, 8);
    }
}

}  // namespace
}  // namespace brevant::crashreport
