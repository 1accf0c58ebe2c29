#include "crashreport/delivery/print_layout.h"

#include <gtest/gtest.h>

#include "base/utf16_text.h"

namespace brevant::crashreport {
namespace {

// A4 at 600 dpi with a printable area starting about 4 mm in.
constexpr PrinterMetrics kA4At600Dpi{4960, 7016, 210, 297, 100, 100, 600};

TEST(PrintLayoutTest, MarginsAndFontFromTheDeviceValues) {
    const std::optional<PrintPageLayout> a4 = ComputePrintPageLayout(kA4At600Dpi);
    ASSERT_TRUE(a4);
    EXPECT_EQ(a4->centimetreX, 236);
    EXPECT_EQ(a4->centimetreY, 236);
    EXPECT_EQ(a4->topMargin, 136);
    EXPECT_EQ(a4->usableBottom, 7016 - 2 * 136);
    EXPECT_EQ(a4->leftMargin, 372);
    EXPECT_EQ(a4->textWidth, 4960 + 100 - 372 - 236);
    EXPECT_EQ(a4->fontHeight, -66);

    // US Letter at 300 dpi: a centimetre of 118.11 pixels across and 118.28 down, rounded.
    const std::optional<PrintPageLayout> letter = ComputePrintPageLayout({2550, 3300, 216, 279, 50, 60, 300});
    ASSERT_TRUE(letter);
    EXPECT_EQ(letter->centimetreX, 118);
    EXPECT_EQ(letter->centimetreY, 118);
    EXPECT_EQ(letter->topMargin, 58);
    EXPECT_EQ(letter->leftMargin, 186);
    EXPECT_EQ(letter->textWidth, 2550 + 50 - 186 - 118);
    EXPECT_EQ(letter->fontHeight, -33);

    // Rounding up: 6600 pixels over 279 mm is 236.56 pixels a centimetre.
    EXPECT_EQ(ComputePrintPageLayout({5100, 6600, 216, 279, 0, 0, 600})->centimetreY, 237);
}

TEST(PrintLayoutTest, DeviceValuesWithoutRoomGiveNoLayout) {
    for (PrinterMetrics metrics :
         {PrinterMetrics{4960, 7016, 0, 297, 100, 100, 600}, PrinterMetrics{4960, 7016, 210, 0, 100, 100, 600},
          PrinterMetrics{0, 7016, 210, 297, 100, 100, 600}, PrinterMetrics{4960, 7016, 210, 297, 100, 100, 0},
          PrinterMetrics{300, 7016, 10, 297, 0, 0, 600},     // 1 cm wide
          PrinterMetrics{4960, 600, 210, 20, 0, 0, 600}}) {  // 2 cm high
        SCOPED_TRACE(metrics.horizontalResolution);
        EXPECT_FALSE(ComputePrintPageLayout(metrics));
    }
}

TEST(PrintLayoutTest, ReportLinesEndAtCrLfAndEmptyOnesPrintAsABlank) {
    const struct {
        std::u16string report;
        std::vector<std::u16string> lines;
    } cases[] = {
        {u"", {}},
        {u"\r\n", {u" "}},
        {u"date/time : now\r\n\r\nmain thread:", {u"date/time : now", u" ", u"main thread:"}},
        {u"a\r\nb\r\n", {u"a", u"b"}},
        {u"a\r\n\r\n", {u"a", u" "}},
        {u"bare\rcr\nlf", {u"bare\rcr\nlf"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(ToUtf8(c.report));
        EXPECT_EQ(ReportPrintLines(c.report), c.lines);
    }
}

TEST(PrintLayoutTest, LinesFillAPageAndThenStartTheNext) {
    const PrintPageLayout layout = *ComputePrintPageLayout(kA4At600Dpi);  // lines from 136 to 6744
    std::vector<int> heights(250, 66);
    heights[120] = 3 * 66;  // a wrapped line
    const std::vector<LinePlacement> placed = PlaceLines(heights, layout);
    ASSERT_EQ(placed.size(), heights.size());
    // 100 lines of 66 fit: the last ends at 6736.
    EXPECT_EQ(placed[0].page, 0);
    EXPECT_EQ(placed[0].top, 136);
    EXPECT_EQ(placed[99].page, 0);
    EXPECT_EQ(placed[99].top, 136 + 99 * 66);
    EXPECT_EQ(placed[100].page, 1);
    EXPECT_EQ(placed[100].top, 136);
    EXPECT_EQ(placed[120].top, 136 + 20 * 66);
    EXPECT_EQ(placed[121].top, 136 + 23 * 66);  // below the wrapped line
    EXPECT_EQ(placed[249].page, 2);
}

TEST(PrintLayoutTest, ALineEndingOnTheUsableBottomStaysAndATallLineGetsItsOwnPage) {
    PrintPageLayout layout;
    layout.topMargin = 100;
    layout.usableBottom = 1000;
    const std::vector<LinePlacement> exact = PlaceLines({450, 450, 1}, layout);
    EXPECT_EQ(exact[1].page, 0);
    EXPECT_EQ(exact[1].top, 550);
    EXPECT_EQ(exact[2].page, 1);

    const std::vector<LinePlacement> tall = PlaceLines({5000, 50, 50, 2000000000, 2000000000, 0}, layout);
    const std::vector<std::pair<int, int>> expected = {{0, 100}, {1, 100}, {1, 150}, {2, 100}, {3, 100}, {4, 100}};
    ASSERT_EQ(tall.size(), expected.size());
    for (std::size_t i = 0; i < tall.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(tall[i].page, expected[i].first);
        EXPECT_EQ(tall[i].top, expected[i].second);
    }
    EXPECT_TRUE(PlaceLines({}, layout).empty());
}

}  // namespace
}  // namespace brevant::crashreport
