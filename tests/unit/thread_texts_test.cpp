// Packed thread-name strings and the display text of a thread.
#include <gtest/gtest.h>

#include "crashreport/core/thread_texts.h"

namespace brevant::crashreport {
namespace {

// Windows-1252 for the units the tests use: Latin-1 except the euro sign at 0x80.
const CodePage kWestern{
    [](std::u16string_view text) -> std::optional<std::string> {
        std::string out;
        for (char16_t unit : text) {
            if (unit == u'\u20ac') out += '\x80';
            else if (unit < 256 && (unit < 0x80 || unit >= 0xA0)) out += static_cast<char>(unit);
            else return std::nullopt;
        }
        return out;
    },
    [](std::string_view bytes) {
        std::u16string out;
        for (unsigned char byte : bytes) out += byte == 0x80 ? u'\u20ac' : static_cast<char16_t>(byte);
        return out;
    },
};

std::u16string RoundTrip(std::u16string_view text, std::size_t* size = nullptr) {
    std::vector<std::uint8_t> packed = PackString(text, kWestern);
    if (size) *size = packed.size();
    return UnpackString(packed.data(), packed.size(), kWestern);
}

TEST(PackedStringTest, EightBitWhenTheCodePageKeepsTheTextElseUtf16Follows) {
    std::size_t size = 0;
    EXPECT_EQ(RoundTrip(u"main thread", &size), u"main thread");
    EXPECT_EQ(size, 12u) << "8-bit text and its zero only";
    EXPECT_EQ(RoundTrip(u"K\u00f6ln", &size), u"K\u00f6ln");
    EXPECT_EQ(size, 5u);
    EXPECT_EQ(RoundTrip(u"worker \u4e2d\u6587", &size), u"worker \u4e2d\u6587");
    EXPECT_EQ(size, 10u + 20u);
    EXPECT_EQ(RoundTrip(u"price \u20ac", &size), u"price \u20ac") << "above 255 though the code page has it";
    EXPECT_EQ(size, 8u + 16u);
    EXPECT_EQ(RoundTrip(u"", &size), u"");
}

TEST(PackedStringTest, ReadersNeverPassTheBlockAndOlderShortBlocksGiveTheEightBitPart) {
    std::vector<std::uint8_t> packed = PackString(u"\u4e2d\u6587", kWestern);
    for (std::size_t cut = 0; cut <= packed.size(); ++cut) {
        std::vector<std::uint8_t> block(packed.begin(), packed.begin() + cut);
        UnpackString(block.data(), block.size(), kWestern);  // the sanitizers watch the reads
    }
    const std::uint8_t unterminated[] = {'a', 'b', 'c'};
    EXPECT_EQ(UnpackString(unterminated, 3, kWestern), u"abc");
    const std::uint8_t eightBitOnly[] = {'a', 'b', 0, 'x', 0, 0};
    EXPECT_EQ(UnpackString(eightBitOnly, 6, kWestern), u"ab") << "6 is not more than three times 2";
}

TEST(ThreadDisplayTextTest, NamedUnnamedClassNamedAndInternalThreads) {
    EXPECT_EQ(ThreadDisplayText(6700, u"main thread", u"", false), u"main thread ($1a2c)");
    EXPECT_EQ(ThreadDisplayText(6700, u"worker", u"TDownloadThread", false), u"worker ($1a2c)");
    EXPECT_EQ(ThreadDisplayText(6700, u"", u"TDownloadThread", false), u"thread $1a2c (TDownloadThread)");
    EXPECT_EQ(ThreadDisplayText(6700, u"", u"", false), u"thread $1a2c");
    EXPECT_EQ(ThreadDisplayText(6700, u"-", u"TWorker", true), u"thread $1a2c (TWorker)");
    for (const char16_t* internal : {u"-", u"Quarrex - AntiFreezeThread", u"Quarrex - HandleExceptionThread",
                                     u"Quarrex - TraceProcessThread"})
        EXPECT_EQ(ThreadDisplayText(1, internal, u"", false), u"") << std::string(internal, internal + 3);
    EXPECT_EQ(ThreadDisplayText(0x10, u"Quarrex - HandleExceptionThread", u"", true),
              u"Quarrex - HandleExceptionThread ($10)");
}

}  // namespace
}  // namespace brevant::crashreport
