#include "crashreport/delivery/zoom.h"

#include <gtest/gtest.h>

#include "test_picture.h"

namespace brevant::crashreport {
namespace {

TEST(ZoomTest, TargetSizeKeepsTheAspectRatio) {
    const struct {
        std::int32_t width, height, areaWidth, areaHeight;
        PictureSize expected;
    } cases[] = {
        {100, 50, 200, 200, {200, 100}}, {100, 50, 100, 25, {50, 25}},
        {100, 50, 200, 100, {200, 100}},  // fits exactly
        {50, 100, 200, 200, {100, 200}}, {1920, 1080, 320, 240, {320, 180}},
        {3, 7, 1000, 10, {4, 10}},  // 10 * 3 / 7 truncated
        {0, 50, 200, 200, {0, 0}},       {100, 50, 0, 200, {0, 0}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ZoomTargetSize(c.width, c.height, c.areaWidth, c.areaHeight), c.expected)
            << c.width << "x" << c.height << " into " << c.areaWidth << "x" << c.areaHeight;
    }
}

TEST(ZoomTest, KernelValues) {
    EXPECT_NEAR(MitchellKernel(0), 8.0 / 9.0, 1e-12);
    EXPECT_NEAR(MitchellKernel(1), 1.0 / 18.0, 1e-12);
    EXPECT_NEAR(MitchellKernel(-1), 1.0 / 18.0, 1e-12);
    EXPECT_NEAR(MitchellKernel(0.5), 7.0 / 48.0 - 0.5 + 8.0 / 9.0, 1e-12);
    EXPECT_NEAR(MitchellKernel(1.5), -7.0 / 18.0 * 3.375 + 4.5 - 5.0 + 16.0 / 9.0, 1e-12);
    EXPECT_EQ(MitchellKernel(2.5), 0.0);
}

// Whether shrinking or enlarging, every target pixel's weights add up to one, and every tap
// reads inside the source, also next to the edges.
TEST(ZoomTest, WeightsOfEveryTargetPixelSumToOne) {
    for (const auto& [source, target] :
         {std::pair{100, 50}, {1920, 320}, {7, 3}, {50, 100}, {3, 17}, {9, 9}, {1, 5}, {2, 1}}) {
        const AxisFilter filter = MitchellAxisFilter(source, target);
        ASSERT_EQ(filter.first.size(), std::size_t(target) + 1);
        for (int i = 0; i < target; ++i) {
            std::int64_t sum = 0;
            for (std::size_t k = filter.first[i]; k < filter.first[i + 1]; ++k) {
                sum += filter.taps[k].weight;
                ASSERT_GE(filter.taps[k].source, 0);
                ASSERT_LT(filter.taps[k].source, source);
            }
            // Rounding each weight to 1/65536 and the shrink windows' edges cost a little.
            EXPECT_NEAR(double(sum), 65536.0, 65536.0 * 0.02) << source << "->" << target << " at " << i;
        }
    }
    // Enlarging 2x puts the biggest weight on the source pixel under the target one.
    const AxisFilter enlarge = MitchellAxisFilter(10, 20);
    FilterTap heaviest{};
    for (std::size_t k = enlarge.first[8]; k < enlarge.first[9]; ++k) {
        if (enlarge.taps[k].weight > heaviest.weight) heaviest = enlarge.taps[k];
    }
    EXPECT_EQ(heaviest.source, 4);
    EXPECT_EQ(heaviest.weight, 58254);  // 8/9 of 65536, rounded
}

// Each pass truncates its sum, and rounded weights may add up to just under one, so a pass
// can lose one level; more, or wrapping at 255, would be a fault.
TEST(ZoomTest, UniformPicturesStayUniform) {
    for (const auto& [from, to] : {std::pair{PictureSize{100, 50}, PictureSize{50, 25}},
                                   {PictureSize{13, 7}, PictureSize{40, 21}},
                                   {PictureSize{1, 1}, PictureSize{3, 2}}}) {
        const Rgb colour{37, 180, 255};
        TestPicture source(from.width, from.height, colour);
        TestPicture target(to.width, to.height, {1, 2, 3});
        ZoomMitchell(source.View(), target.View());
        for (int y = 0; y < to.height; ++y) {
            for (int x = 0; x < to.width; ++x) {
                const Rgb p = target.Get(x, y);
                for (const auto& [got, wanted] :
                     {std::pair{p.red, colour.red}, {p.green, colour.green}, {p.blue, colour.blue}}) {
                    EXPECT_LE(got, wanted) << x << "," << y;
                    EXPECT_GE(got + 2, wanted) << x << "," << y;
                }
                EXPECT_EQ(target.At(x, y)[3], 0);
            }
        }
    }
}

// Mitchell's negative lobes overshoot at a hard edge; clamped, the edge rises steadily.
TEST(ZoomTest, EdgesClampInsteadOfWrapping) {
    TestPicture source(8, 1);
    for (int x = 4; x < 8; ++x) source.Set(x, 0, {255, 255, 255});
    TestPicture target(32, 1);
    ZoomMitchell(source.View(), target.View());
    for (int x = 1; x < 32; ++x) EXPECT_GE(target.Get(x, 0).red, target.Get(x - 1, 0).red) << x;
    EXPECT_EQ(target.Get(0, 0).red, 0);
    EXPECT_EQ(target.Get(31, 0).red, 255);
}

}  // namespace
}  // namespace brevant::crashreport
