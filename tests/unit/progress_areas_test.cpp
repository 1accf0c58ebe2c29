// The progress window's stages and its bar, and the blending of the crash reporter's images.

#include <gtest/gtest.h>

#include "crashreport/ui/image_blending.h"
#include "crashreport/ui/progress_areas.h"

namespace brevant::crashreport {
namespace {

TEST(ProgressAreas, TheBarWeighsEachAreaAndAllDoneIsTheEnd) {
    ProgressAreas areas;
    areas.AddArea(100, u"Preparing attachments...");
    areas.AddArea(300, u"");
    areas.AddArea(600, u"Sending mail...");
    EXPECT_EQ(areas.CurrentText(), u"Preparing attachments...");
    areas.SetPosition(500);
    EXPECT_EQ(areas.BarPosition(), 50);
    ASSERT_TRUE(areas.SetCurrentArea(1));
    EXPECT_EQ(areas.Position(), 0);
    EXPECT_EQ(areas.CurrentText(), u"Preparing attachments...") << "an empty text repeats the one before";
    areas.SetPosition(1000);
    EXPECT_EQ(areas.BarPosition(), 400);
    EXPECT_EQ(areas.TextsFromCurrent(), (std::vector<std::u16string>{u"Preparing attachments...", u"Sending mail..."}));
    EXPECT_FALSE(areas.SetCurrentArea(1));
    EXPECT_FALSE(areas.SetCurrentArea(4));
    ASSERT_TRUE(areas.SetCurrentArea(3));
    EXPECT_EQ(areas.BarPosition(), 1000);
    EXPECT_EQ(areas.CurrentText(), u"Sending mail...");
    areas.Clear();
    EXPECT_TRUE(areas.Empty());
    EXPECT_EQ(areas.BarPosition(), 0);
}

TEST(ProgressAreas, LargeWeightsDoNotOverflow) {
    ProgressAreas areas;
    areas.AddArea(4'000'000'000'000LL, u"a");
    areas.AddArea(4'000'000'000'000LL, u"b");
    areas.SetCurrentArea(1);
    areas.SetPosition(500);
    EXPECT_EQ(areas.BarPosition(), 750);
}

TEST(ImageBlending, EachPixelIsBlendedByItsAlphaAndOpaqueOrClearPixelsCoverOrKeep) {
    // blue, green, red, alpha
    const std::uint8_t image[] = {200, 100, 50, 255, 200, 100, 50, 0, 255, 255, 255, 127};
    std::uint8_t target[] = {10, 20, 30, 7, 10, 20, 30, 7, 0, 0, 0, 7};
    BlendImageOver(image, target, 3);
    EXPECT_EQ(target[0], 200);
    EXPECT_EQ(target[1], 100);
    EXPECT_EQ(target[2], 50);
    // alpha 0 still lets 1/256 of the picture through: (back * 255 + pixel * 1) >> 8
    EXPECT_EQ(target[4], (10 * 255 + 200) >> 8);
    EXPECT_EQ(target[5], (20 * 255 + 100) >> 8);
    EXPECT_EQ(target[6], (30 * 255 + 50) >> 8);
    EXPECT_EQ(target[8], (255 * 128) >> 8);
    EXPECT_EQ(target[3], 7) << "the fourth byte stays";
}

TEST(ImageBlending, OnlyExactSquareSizesAreImages) {
    EXPECT_EQ(SquareImageSide(40 + 32 * 32 * 4, 32), 32);
    EXPECT_EQ(SquareImageSide(40 + 16 * 16 * 4, 16), 16);
    EXPECT_EQ(SquareImageSide(40 + 32 * 32 * 4 + 1, 32), 0);
    EXPECT_EQ(SquareImageSide(40 + 16 * 16 * 4, 32), 0);
}

}  // namespace
}  // namespace brevant::crashreport
