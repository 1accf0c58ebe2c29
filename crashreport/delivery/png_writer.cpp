#include "crashreport/delivery/png_writer.h"

#include <zlib.h>

namespace brevant::crashreport {

namespace {

void AppendBigEndian(std::string& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((value >> shift) & 0xFF);
}

void AppendChunk(std::string& out, const char (&type)[5], std::string_view data) {
    AppendBigEndian(out, static_cast<std::uint32_t>(data.size()));
    const std::size_t typeStart = out.size();
    out.append(type, 4);
    out.append(data);
    const auto* covered = reinterpret_cast<const Bytef*>(out.data() + typeStart);
    AppendBigEndian(out, static_cast<std::uint32_t>(crc32(0, covered, static_cast<uInt>(4 + data.size()))));
}

}  // namespace

std::string RawDeflate(std::string_view data) {
    z_stream stream{};
    if (deflateInit2(&stream, 2, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) return {};
    // Sized as the format asks; incompressible data may need more, which the loop then gives.
    std::string out(data.size() * 11 / 10 + 12, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    int status = Z_OK;
    while (status == Z_OK || status == Z_BUF_ERROR) {
        if (stream.total_out == out.size()) out.resize(out.size() * 2);
        stream.next_out = reinterpret_cast<Bytef*>(out.data() + stream.total_out);
        stream.avail_out = static_cast<uInt>(out.size() - stream.total_out);
        status = deflate(&stream, Z_FINISH);
        if (status == Z_BUF_ERROR && stream.avail_out != 0) break;  // no progress possible
    }
    const bool done = status == Z_STREAM_END;
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return done ? out : std::string();
}

std::string PngFileBytes(std::uint32_t width, std::uint32_t height, std::string_view palette,
                         std::string_view filteredRows) {
    const std::string deflated = RawDeflate(filteredRows);
    if (deflated.empty() && !filteredRows.empty()) return {};
    std::string png("\x89PNG\r\n\x1a\n", 8);
    std::string header;
    AppendBigEndian(header, width);
    AppendBigEndian(header, height);
    header += static_cast<char>(palette.size() == 768 ? 8 : 4);
    header += '\x03';  // palette colours
    header.append(3, '\0');  // deflate, adaptive filtering, no interlace
    AppendChunk(png, "IHDR", header);
    AppendChunk(png, "PLTE", palette);
    std::string data("\x78\x01", 2);
    data += deflated;
    const auto* raw = reinterpret_cast<const Bytef*>(filteredRows.data());
    AppendBigEndian(data, static_cast<std::uint32_t>(adler32(1, raw, static_cast<uInt>(filteredRows.size()))));
    AppendChunk(png, "IDAT", data);
    AppendChunk(png, "IEND", {});
    return png;
}

}  // namespace brevant::crashreport
