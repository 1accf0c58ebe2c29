#include "crashreport/delivery/png_writer.h"

#include <zlib.h>

#include <limits>

namespace brevant::crashreport {
namespace {

constexpr char kSignature[] = "\x89PNG\r\n\x1A\n";

void AppendBigEndian(std::string& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>(value >> shift));
}

void AppendChunk(std::string& out, const char (&type)[5], const std::string& data) {
    AppendBigEndian(out, static_cast<std::uint32_t>(data.size()));
    const std::size_t typeStart = out.size();
    out.append(type, 4);
    out += data;
    const auto* checked = reinterpret_cast<const Bytef*>(out.data() + typeStart);
    AppendBigEndian(out, static_cast<std::uint32_t>(
                             crc32(crc32(0, nullptr, 0), checked, static_cast<uInt>(out.size() - typeStart))));
}

std::string HeaderChunkData(const PngImage& image) {
    std::string data;
    AppendBigEndian(data, static_cast<std::uint32_t>(image.width));
    AppendBigEndian(data, static_cast<std::uint32_t>(image.height));
    data.push_back(image.paletteSize == 768 ? 8 : 4);
    data.push_back(3);     // colour type: palette
    data.append(3, '\0');  // compression, filter, interlace
    return data;
}

// Raw deflate into out after its current end; false when zlib fails.
bool AppendRawDeflate(std::string& out, const std::uint8_t* data, std::size_t size) {
    z_stream stream{};
    // Level 2 is zlib's greedy matcher with good 4, lazy (max insert) 5, nice 16, chain 8;
    // -15: raw deflate with the 32 KB window; memory level 8: 15 hash bits, 16 KB literals.
    if (deflateInit2(&stream, 2, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) return false;
    stream.next_in = const_cast<Bytef*>(data);
    stream.avail_in = static_cast<uInt>(size);
    const std::size_t start = out.size();
    // Incompressible data can come out larger than this first guess: the buffer then grows
    // and deflate goes on, so no picture fails for its content.
    std::size_t capacity = size * 11 / 10 + 12;
    int status = Z_OK;
    while (status == Z_OK || status == Z_BUF_ERROR) {
        const std::size_t written = start + stream.total_out;
        out.resize(start + capacity);
        stream.next_out = reinterpret_cast<Bytef*>(out.data() + written);
        stream.avail_out = static_cast<uInt>(start + capacity - written);
        status = deflate(&stream, Z_FINISH);
        if (status == Z_BUF_ERROR && stream.avail_out != 0) break;  // no progress possible
        capacity += capacity / 2 + 64;
    }
    out.resize(start + stream.total_out);
    deflateEnd(&stream);
    return status == Z_STREAM_END;
}

}  // namespace

std::string ImageDataStream(const std::uint8_t* data, std::size_t size) {
    if (size > std::numeric_limits<uInt>::max() / 2) return {};
    std::string stream = "\x78\x01";
    if (!AppendRawDeflate(stream, data, size)) return {};
    const uLong adler = adler32(adler32(0, nullptr, 0), data, static_cast<uInt>(size));
    AppendBigEndian(stream, static_cast<std::uint32_t>(adler));
    return stream;
}

std::string PngFileBytes(const PngImage& image) {
    const std::string imageData = ImageDataStream(image.filteredRows, image.filteredSize);
    if (imageData.empty()) return {};
    std::string file(kSignature, 8);
    AppendChunk(file, "IHDR", HeaderChunkData(image));
    AppendChunk(file, "PLTE", std::string(reinterpret_cast<const char*>(image.palette), image.paletteSize));
    AppendChunk(file, "IDAT", imageData);
    AppendChunk(file, "IEND", std::string());
    return file;
}

}  // namespace brevant::crashreport
