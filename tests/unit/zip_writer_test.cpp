#include "crashreport/delivery/zip_writer.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "base/little_endian.h"

namespace brevant::crashreport {
namespace {

std::uint16_t U16At(const std::string& bytes, std::size_t offset) {
    return ReadU16(reinterpret_cast<const std::uint8_t*>(bytes.data() + offset));
}
std::uint32_t U32At(const std::string& bytes, std::size_t offset) {
    return ReadU32(reinterpret_cast<const std::uint8_t*>(bytes.data() + offset));
}

std::string Inflated(std::string_view deflated, std::size_t size) {
    std::string out(size, '\0');
    z_stream stream{};
    EXPECT_EQ(inflateInit2(&stream, -15), Z_OK);
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(deflated.data()));
    stream.avail_in = static_cast<uInt>(deflated.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(inflate(&stream, Z_FINISH), Z_STREAM_END);
    EXPECT_EQ(stream.avail_in, 0u);
    EXPECT_EQ(stream.avail_out, 0u);
    inflateEnd(&stream);
    return out;
}

TEST(ZipWriterTest, HeadersDirectoryAndEndRecordDescribeEveryEntry) {
    const std::string report = "date/time: 2024-03-15\r\n";
    const std::vector<ZipEntry> entries = {
        {"bugreport.txt", report, 0x6DAF, 0x586F},
        {"Bildschirmfoto \xE2\x80\x93 \xC3\xA9.png", std::string(5000, 'x'), 1, 2},
        {"empty.log", "", 0, 0x21},
    };
    const std::string zip = ZipArchiveBytes(entries);
    ASSERT_GT(zip.size(), 22u);

    const std::size_t end = zip.size() - 22;
    EXPECT_EQ(U32At(zip, end), 0x06054B50u);
    EXPECT_EQ(U16At(zip, end + 4), 0);
    EXPECT_EQ(U16At(zip, end + 6), 0);
    EXPECT_EQ(U16At(zip, end + 8), 3);
    EXPECT_EQ(U16At(zip, end + 10), 3);
    const std::uint32_t directorySize = U32At(zip, end + 12);
    std::size_t central = U32At(zip, end + 16);
    EXPECT_EQ(central + directorySize, end);
    EXPECT_EQ(U16At(zip, end + 20), 0);

    std::size_t expectedLocal = 0;
    for (const ZipEntry& entry : entries) {
        SCOPED_TRACE(entry.utf8Name);
        ASSERT_EQ(U32At(zip, central), 0x02014B50u);
        EXPECT_EQ(U16At(zip, central + 4), 20);      // made by
        EXPECT_EQ(U16At(zip, central + 6), 20);      // needed
        EXPECT_EQ(U16At(zip, central + 8), 0x0800);  // UTF-8 names
        EXPECT_EQ(U16At(zip, central + 10), 8);      // deflate
        EXPECT_EQ(U16At(zip, central + 12), entry.dosTime);
        EXPECT_EQ(U16At(zip, central + 14), entry.dosDate);
        const std::uint32_t crc = U32At(zip, central + 16);
        const std::uint32_t compressed = U32At(zip, central + 20);
        EXPECT_EQ(U32At(zip, central + 24), entry.data.size());
        const std::uint16_t nameLength = U16At(zip, central + 28);
        EXPECT_EQ(U16At(zip, central + 30), 0);   // extra
        EXPECT_EQ(U16At(zip, central + 32), 0);   // comment
        EXPECT_EQ(U32At(zip, central + 38), 0u);  // external attributes
        const std::uint32_t local = U32At(zip, central + 42);
        EXPECT_EQ(zip.substr(central + 46, nameLength), entry.utf8Name);
        central += 46 + nameLength;

        EXPECT_EQ(local, expectedLocal);
        ASSERT_EQ(U32At(zip, local), 0x04034B50u);
        // The local header repeats the central one from "version needed" to the name.
        EXPECT_EQ(zip.substr(local + 4, 26), zip.substr(central - 46 - nameLength + 6, 26));
        EXPECT_EQ(U16At(zip, local + 28), 0);
        EXPECT_EQ(zip.substr(local + 30, nameLength), entry.utf8Name);
        const std::string_view data = std::string_view(zip).substr(local + 30 + nameLength, compressed);
        EXPECT_EQ(Inflated(data, entry.data.size()), entry.data);
        EXPECT_EQ(crc, static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(entry.data.data()),
                                                        static_cast<uInt>(entry.data.size()))));
        expectedLocal = local + 30 + nameLength + compressed;
    }
    EXPECT_EQ(expectedLocal, U32At(zip, end + 16));
    // A known value, so that a CRC of the wrong bytes (or of none) shows.
    EXPECT_EQ(U32At(zip, 14), 0xA175C93Fu);
    // Repeated data is really compressed.
    EXPECT_LT(U32At(zip, U32At(zip, end + 16) + 46 + 13 + 20), 200u);
}

TEST(ZipWriterTest, EmptyArchiveAndRefusedInputs) {
    const std::string empty = ZipArchiveBytes({});
    ASSERT_EQ(empty.size(), 22u);
    EXPECT_EQ(U32At(empty, 0), 0x06054B50u);
    EXPECT_EQ(U16At(empty, 10), 0);
    EXPECT_EQ(U32At(empty, 16), 0u);

    EXPECT_TRUE(ZipArchiveBytes(std::vector<ZipEntry>(65536)).empty());
    EXPECT_TRUE(ZipArchiveBytes({ZipEntry{std::string(65536, 'n'), "x"}}).empty());
    EXPECT_FALSE(ZipArchiveBytes({ZipEntry{std::string(65535, 'n'), "x"}}).empty());
}

TEST(ZipWriterTest, DosDateTimeFieldsAndTheirRange) {
    const struct {
        int year, month, day, hour, minute, second;
        std::uint16_t date, time;
    } cases[] = {
        {2024, 3, 15, 13, 45, 31, (44 << 9) | (3 << 5) | 15, (13 << 11) | (45 << 5) | 15},
        {1980, 1, 1, 0, 0, 0, 0x21, 0},
        {1979, 12, 31, 23, 59, 59, 0x21, 0},
        {2107, 12, 31, 23, 59, 59, (127 << 9) | (12 << 5) | 31, (23 << 11) | (59 << 5) | 29},
        {2150, 6, 1, 12, 0, 0, (127 << 9) | (12 << 5) | 31, (23 << 11) | (59 << 5) | 29},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.year);
        const DosStamp stamp = DosDateTime(c.year, c.month, c.day, c.hour, c.minute, c.second);
        EXPECT_EQ(stamp.date, c.date);
        EXPECT_EQ(stamp.time, c.time);
    }
}

}  // namespace
}  // namespace brevant::crashreport
