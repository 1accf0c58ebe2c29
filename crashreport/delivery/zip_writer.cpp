#include "crashreport/delivery/zip_writer.h"

#include <zlib.h>

#include <algorithm>
#include <cstddef>

#include "base/little_endian.h"

namespace brevant::crashreport {
namespace {

constexpr std::uint32_t kLocalHeaderSignature = 0x04034B50;
constexpr std::uint32_t kCentralHeaderSignature = 0x02014B50;
constexpr std::uint32_t kEndRecordSignature = 0x06054B50;
constexpr std::uint16_t kVersion = 20;  // 2.0: deflate
constexpr std::uint16_t kUtf8NamesFlag = 0x0800;
constexpr std::uint16_t kDeflateMethod = 8;
// 0xFFFFFFFF and 0xFFFF mean "see the ZIP64 record", so the largest plain values are one less.
constexpr std::uint64_t kMaxPlainSize = 0xFFFFFFFE;
constexpr std::size_t kMaxPlainCount = 0xFFFF;

// What the central directory repeats of an entry already written.
struct PackedEntry {
    const ZipEntry* entry;
    std::uint32_t crc = 0;
    std::uint32_t compressedSize = 0;
    std::uint32_t offset = 0;
};

bool Fits(std::uint64_t value) {
    return value <= kMaxPlainSize;
}

std::uint32_t Crc32Of(const std::string& data) {
    uLong crc = crc32(0, nullptr, 0);
    std::size_t done = 0;
    while (done < data.size()) {
        const std::size_t chunk = std::min<std::size_t>(data.size() - done, 1u << 30);
        crc = crc32(crc, reinterpret_cast<const Bytef*>(data.data() + done), static_cast<uInt>(chunk));
        done += chunk;
    }
    return static_cast<std::uint32_t>(crc);
}

// Raw deflate (no zlib header), as ZIP stores it. False when zlib fails.
bool Deflate(const std::string& data, std::string& out) {
    z_stream stream{};
    if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) return false;
    constexpr std::size_t kChunk = 1 << 16;
    std::size_t consumed = 0;
    int status = Z_OK;
    while (status == Z_OK) {
        const std::size_t input = std::min<std::size_t>(data.size() - consumed, 1u << 30);
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data() + consumed));
        stream.avail_in = static_cast<uInt>(input);
        const std::size_t before = out.size();
        out.resize(before + kChunk);
        stream.next_out = reinterpret_cast<Bytef*>(out.data() + before);
        stream.avail_out = static_cast<uInt>(kChunk);
        const bool last = consumed + input == data.size();
        status = deflate(&stream, last ? Z_FINISH : Z_NO_FLUSH);
        consumed += input - stream.avail_in;
        out.resize(before + kChunk - stream.avail_out);
        if (status == Z_BUF_ERROR) status = Z_OK;  // no progress possible this round; go on with more room
    }
    deflateEnd(&stream);
    return status == Z_STREAM_END;
}

// The fields local and central headers share, from "version needed" to the name length.
void AppendCommonFields(std::string& out, const PackedEntry& packed) {
    AppendU16(out, kVersion);
    AppendU16(out, kUtf8NamesFlag);
    AppendU16(out, kDeflateMethod);
    AppendU16(out, packed.entry->dosTime);
    AppendU16(out, packed.entry->dosDate);
    AppendU32(out, packed.crc);
    AppendU32(out, packed.compressedSize);
    AppendU32(out, static_cast<std::uint32_t>(packed.entry->data.size()));
    AppendU16(out, static_cast<std::uint16_t>(packed.entry->utf8Name.size()));
}

void AppendLocalEntry(std::string& out, const PackedEntry& packed, const std::string& deflated) {
    AppendU32(out, kLocalHeaderSignature);
    AppendCommonFields(out, packed);
    AppendU16(out, 0);  // extra field length
    out += packed.entry->utf8Name;
    out += deflated;
}

void AppendCentralHeader(std::string& out, const PackedEntry& packed) {
    AppendU32(out, kCentralHeaderSignature);
    AppendU16(out, kVersion);  // made by: MS-DOS attributes, version 2.0
    AppendCommonFields(out, packed);
    AppendU16(out, 0);  // extra field length
    AppendU16(out, 0);  // comment length
    AppendU16(out, 0);  // disk number
    AppendU16(out, 0);  // internal attributes
    AppendU32(out, 0);  // external attributes
    AppendU32(out, packed.offset);
    out += packed.entry->utf8Name;
}

void AppendEndRecord(std::string& out, std::size_t count, std::uint64_t directoryOffset, std::uint64_t directorySize) {
    AppendU32(out, kEndRecordSignature);
    AppendU16(out, 0);  // this disk
    AppendU16(out, 0);  // disk of the central directory
    AppendU16(out, static_cast<std::uint16_t>(count));
    AppendU16(out, static_cast<std::uint16_t>(count));
    AppendU32(out, static_cast<std::uint32_t>(directorySize));
    AppendU32(out, static_cast<std::uint32_t>(directoryOffset));
    AppendU16(out, 0);  // comment length
}

int Clamped(int value, int low, int high) {
    return value < low ? low : value > high ? high : value;
}

}  // namespace

std::string ZipArchiveBytes(const std::vector<ZipEntry>& entries) {
    if (entries.size() > kMaxPlainCount) return {};
    std::vector<PackedEntry> packed;
    packed.reserve(entries.size());
    std::string archive;
    for (const ZipEntry& entry : entries) {
        if (entry.utf8Name.size() > 0xFFFF || !Fits(entry.data.size()) || !Fits(archive.size())) return {};
        std::string deflated;
        if (!Deflate(entry.data, deflated) || !Fits(deflated.size())) return {};
        const PackedEntry item{&entry, Crc32Of(entry.data), static_cast<std::uint32_t>(deflated.size()),
                               static_cast<std::uint32_t>(archive.size())};
        AppendLocalEntry(archive, item, deflated);
        packed.push_back(item);
    }
    const std::uint64_t directoryOffset = archive.size();
    for (const PackedEntry& item : packed) AppendCentralHeader(archive, item);
    const std::uint64_t directorySize = archive.size() - directoryOffset;
    if (!Fits(directoryOffset) || !Fits(directorySize)) return {};
    AppendEndRecord(archive, packed.size(), directoryOffset, directorySize);
    return archive;
}

DosStamp DosDateTime(int year, int month, int day, int hour, int minute, int second) {
    if (year < 1980) return DosDateTime(1980, 1, 1, 0, 0, 0);
    if (year > 2107) return DosDateTime(2107, 12, 31, 23, 59, 59);
    DosStamp stamp;
    stamp.date = static_cast<std::uint16_t>((year - 1980) << 9 | Clamped(month, 1, 12) << 5 | Clamped(day, 1, 31));
    stamp.time = static_cast<std::uint16_t>(Clamped(hour, 0, 23) << 11 | Clamped(minute, 0, 59) << 5 |
                                            Clamped(second, 0, 59) / 2);
    return stamp;
}

}  // namespace brevant::crashreport
