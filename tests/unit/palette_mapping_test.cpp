#include "crashreport/delivery/palette_mapping.h"

#include <gtest/gtest.h>

#include "test_picture.h"

namespace brevant::crashreport {
namespace {

std::array<PaletteColour, 256> WhitePalette() {
    std::array<PaletteColour, 256> palette;
    palette.fill({255, 255, 255});
    return palette;
}

TEST(PaletteMappingTest, NearestEntryByChannelDistanceWithLowestIndexOnTies) {
    std::array<PaletteColour, 256> palette = WhitePalette();
    palette[3] = {110, 100, 100};
    palette[7] = {100, 100, 100};
    palette[9] = {100, 100, 100};
    palette[200] = {0, 0, 60};
    palette[255] = {10, 10, 10};
    const struct {
        Rgb colour;
        int expected;
    } cases[] = {
        {{105, 100, 100}, 3},                       // 5 from entries 3 and 7
        {{100, 100, 100}, 7},                       // the same colour twice
        {{101, 101, 101}, 7}, {{10, 10, 12}, 255},  // the last entry is searched too
        {{0, 0, 40}, 200},                          // 20 away, where 255 is 10 + 10 + 30 = 50 away
        {{250, 255, 255}, 0},                       // every white entry is as near: the first
    };
    for (const auto& c : cases) {
        EXPECT_EQ(NearestPaletteIndex(palette, c.colour.red, c.colour.green, c.colour.blue), c.expected)
            << int(c.colour.red) << "," << int(c.colour.green) << "," << int(c.colour.blue);
    }
}

TEST(PaletteMappingTest, CacheAnswersPerFifteenBitCell) {
    EXPECT_EQ(FifteenBitCell(8, 0, 0), 1);
    EXPECT_EQ(FifteenBitCell(0, 8, 0), 32);
    EXPECT_EQ(FifteenBitCell(0, 0, 8), 1024);
    EXPECT_EQ(FifteenBitCell(255, 255, 255), 32767);

    std::array<PaletteColour, 256> palette = WhitePalette();
    palette[1] = {0, 0, 0};
    palette[2] = {7, 7, 7};
    palette[3] = {64, 0, 128};
    PaletteMapping mapping(palette);
    // The first colour of a cell is searched; later colours of that cell get its answer.
    EXPECT_EQ(mapping.IndexOf(1, 1, 1), NearestPaletteIndex(palette, 1, 1, 1));
    EXPECT_EQ(mapping.IndexOf(1, 1, 1), 1);
    EXPECT_EQ(mapping.IndexOf(7, 7, 7), 1);
    EXPECT_EQ(NearestPaletteIndex(palette, 7, 7, 7), 2);
    // Neighbouring cells are separate, whichever channel differs.
    EXPECT_EQ(mapping.IndexOf(66, 2, 130), 3);
    EXPECT_EQ(mapping.IndexOf(8, 8, 8), 2);
    EXPECT_EQ(mapping.IndexOf(250, 250, 250), 0);
}

TEST(PaletteMappingTest, GrayValuesAndNearestLevelsWithTheLowerOnTies) {
    EXPECT_EQ(GrayValue(255, 255, 255), 255);
    EXPECT_EQ(GrayValue(255, 0, 0), 76);
    EXPECT_EQ(GrayValue(0, 255, 0), 150);
    EXPECT_EQ(GrayValue(0, 0, 255), 27);
    EXPECT_EQ(GrayValue(10, 20, 30), (10 * 77 + 20 * 151 + 30 * 28) >> 8);
    const struct {
        int gray;
        int level;
    } cases[] = {
        {0, 0},   {14, 0},  {15, 1},  {28, 1},  {40, 1},   {41, 2},   {62, 2},   {63, 3},   {100, 4},
        {101, 5}, {133, 7}, {147, 7}, {148, 8}, {234, 13}, {248, 14}, {249, 15}, {255, 15},
    };
    const GrayMapping mapping;
    for (const auto& c : cases) {
        EXPECT_EQ(NearestGrayLevel(static_cast<std::uint8_t>(c.gray)), c.level) << c.gray;
        EXPECT_EQ(mapping.LevelOf(static_cast<std::uint8_t>(c.gray)), c.level) << c.gray;
    }
}

}  // namespace
}  // namespace brevant::crashreport
