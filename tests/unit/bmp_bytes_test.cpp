#include "crashreport/delivery/bmp_bytes.h"

#include <gtest/gtest.h>

#include "base/little_endian.h"
#include "test_picture.h"

namespace brevant::crashreport {
namespace {

TEST(BmpBytesTest, HeadersThenThePixelsAsStored) {
    TestPicture picture(3, 2);
    picture.Set(0, 0, {1, 2, 3});
    picture.Set(2, 1, {250, 251, 252});
    const std::string bmp = AsBmpBytes(picture.View());
    ASSERT_EQ(bmp.size(), 54u + 24u);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(bmp.data());
    EXPECT_EQ(bmp.substr(0, 2), "BM");
    EXPECT_EQ(ReadU32(bytes + 2), 78u);
    EXPECT_EQ(ReadU32(bytes + 6), 0u);
    EXPECT_EQ(ReadU32(bytes + 10), 54u);
    EXPECT_EQ(ReadU32(bytes + 14), 40u);
    EXPECT_EQ(ReadU32(bytes + 18), 3u);
    EXPECT_EQ(ReadU32(bytes + 22), 2u);  // positive: bottom-up
    EXPECT_EQ(ReadU16(bytes + 26), 1u);
    EXPECT_EQ(ReadU16(bytes + 28), 32u);
    EXPECT_EQ(ReadU32(bytes + 30), 0u);
    EXPECT_EQ(ReadU32(bytes + 34), 24u);
    for (int offset = 38; offset < 54; ++offset) EXPECT_EQ(bytes[offset], 0) << offset;
    EXPECT_EQ(std::vector<std::uint8_t>(bytes + 54, bytes + bmp.size()), picture.Bits());
    // The top-left pixel is in the last stored row, blue first.
    EXPECT_EQ(bytes[54 + 12], 3);
    EXPECT_EQ(bytes[54 + 14], 1);
}

TEST(BmpBytesTest, PicturesWithoutPixelsGiveNothing) {
    TestPicture picture(2, 2);
    EXPECT_EQ(AsBmpBytes({0, 2, picture.View().bits}), "");
    EXPECT_EQ(AsBmpBytes({2, 2, nullptr}), "");
}

}  // namespace
}  // namespace brevant::crashreport
