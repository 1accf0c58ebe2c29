// Arbitrary pictures through the PNG encoder in every format, the BMP bytes and the zoom:
// the first bytes give the picture's and a zoom area's size (1..64), the rest its pixels,
// repeated. Every PNG must be well formed: chunk lengths and CRCs, the header's size and
// depth, and image data that inflates to exactly one filtered row per picture row.

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "crashreport/delivery/bmp_bytes.h"
#include "crashreport/delivery/png_encoder.h"
#include "crashreport/delivery/zoom.h"

namespace {

using namespace brevant::crashreport;

void Require(bool condition) {
    if (!condition) std::abort();
}

std::uint32_t BigEndianAt(const std::string& bytes, std::size_t offset) {
    Require(offset + 4 <= bytes.size());
    std::uint32_t value = 0;
    for (int k = 0; k < 4; ++k) value = value << 8 | static_cast<std::uint8_t>(bytes[offset + k]);
    return value;
}

std::size_t InflatedSize(const std::string& stream) {
    Require(stream.size() >= 6 && stream.compare(0, 2, "\x78\x01") == 0);
    z_stream inflater{};
    Require(inflateInit2(&inflater, -15) == Z_OK);
    std::vector<std::uint8_t> out(64 * (64 + 1) + 1);  // one byte more than any picture gives
    inflater.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(stream.data() + 2));
    inflater.avail_in = static_cast<uInt>(stream.size() - 6);
    inflater.next_out = out.data();
    inflater.avail_out = static_cast<uInt>(out.size());
    Require(inflate(&inflater, Z_FINISH) == Z_STREAM_END && inflater.avail_in == 0);
    const std::size_t size = inflater.total_out;
    inflateEnd(&inflater);
    Require(BigEndianAt(stream, stream.size() - 4) == adler32(1, out.data(), static_cast<uInt>(size)));
    return size;
}

void CheckPng(const std::string& png, std::uint32_t width, std::uint32_t height, TPngFormat format) {
    Require(png.compare(0, 8, std::string("\x89PNG\r\n\x1A\n", 8)) == 0);
    const char* types[] = {"IHDR", "PLTE", "IDAT", "IEND"};
    std::size_t offset = 8;
    int depth = 0;
    for (const char* type : types) {
        const std::uint32_t length = BigEndianAt(png, offset);
        Require(offset + 12 + length <= png.size() && png.compare(offset + 4, 4, type) == 0);
        const auto* checked = reinterpret_cast<const Bytef*>(png.data() + offset + 4);
        Require(BigEndianAt(png, offset + 8 + length) == crc32(0, checked, length + 4));
        const std::string data = png.substr(offset + 8, length);
        if (type == types[0]) {
            Require(length == 13 && BigEndianAt(data, 0) == width && BigEndianAt(data, 4) == height);
            depth = data[8];
            Require(depth == 8 || depth == 4);
            Require(format != TPngFormat::pf16Grays || depth == 4);
            Require(format != TPngFormat::pf256Colors || depth == 8);
        } else if (type == types[1]) {
            Require(length == (depth == 8 ? 768u : 48u));
        } else if (type == types[2]) {
            const std::size_t rowBytes = depth == 8 ? width : (width + 1) / 2;
            Require(InflatedSize(data) == height * (rowBytes + 1));
        } else {
            Require(length == 0);
        }
        offset += 12 + length;
    }
    Require(offset == png.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    const std::int32_t width = 1 + data[0] % 64, height = 1 + data[1] % 64;
    const std::int32_t areaWidth = 1 + data[2] % 64, areaHeight = 1 + data[3] % 64;
    const std::size_t pixelBytes = size - 4;
    std::vector<std::uint8_t> source(static_cast<std::size_t>(width) * height * 4);
    for (std::size_t k = 0; k < source.size(); ++k) source[k] = pixelBytes ? data[4 + k % pixelBytes] : 0;

    for (TPngFormat format : {TPngFormat::pf256Colors, TPngFormat::pf16Grays, TPngFormat::pf50kb, TPngFormat::pf100kb,
                              TPngFormat::pf200kb, TPngFormat::pf300kb}) {
        std::vector<std::uint8_t> bits = source;
        CheckPng(AsPngBytes({width, height, bits.data()}, format), width, height, format);
    }
    std::vector<std::uint8_t> bits = source;
    Require(AsBmpBytes({width, height, bits.data()}).size() == 54 + bits.size());

    const PictureSize target = ZoomTargetSize(width, height, areaWidth, areaHeight);
    Require(target.width >= 0 && target.width <= areaWidth && target.height >= 0 && target.height <= areaHeight);
    if (target.width > 0 && target.height > 0) {
        std::vector<std::uint8_t> zoomed(static_cast<std::size_t>(target.width) * target.height * 4, 0xAA);
        ZoomMitchell({width, height, bits.data()}, {target.width, target.height, zoomed.data()});
        for (std::size_t k = 3; k < zoomed.size(); k += 4) Require(zoomed[k] == 0);
    }
    return 0;
}
