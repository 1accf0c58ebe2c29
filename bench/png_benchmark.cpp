// Encodes a picture as the screenshot's PNG several times and prints the median time of
// AsPngBytes alone, for png_benchmark.py.
//
// png_benchmark RAW_FILE OUTPUT_FOLDER [ROUNDS]
// RAW_FILE: width and height (32-bit little-endian), then blue, green, red, unused per pixel,
// rows bottom-up. Writes pf256Colors.png, pf100kb.png and pf16Grays.png into OUTPUT_FOLDER
// and prints "median_ms", then "size FORMAT BYTES" per format.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "crashreport/delivery/png_encoder.h"

namespace {

using namespace brevant::crashreport;

bool ReadPicture(const char* path, std::int32_t& width, std::int32_t& height, std::vector<std::uint8_t>& bits) {
    std::ifstream file(path, std::ios::binary);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    if (bytes.size() < 8) return false;
    auto u32 = [&](std::size_t at) {
        return std::uint32_t{bytes[at]} | std::uint32_t{bytes[at + 1]} << 8 | std::uint32_t{bytes[at + 2]} << 16 |
               std::uint32_t{bytes[at + 3]} << 24;
    };
    width = static_cast<std::int32_t>(u32(0));
    height = static_cast<std::int32_t>(u32(4));
    if (width <= 0 || height <= 0 || bytes.size() != 8 + std::size_t(width) * height * 4) return false;
    bits.assign(bytes.begin() + 8, bytes.end());
    return true;
}

bool WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream file(path, std::ios::binary);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: png_benchmark RAW_FILE OUTPUT_FOLDER [ROUNDS]\n");
        return 2;
    }
    std::int32_t width = 0, height = 0;
    std::vector<std::uint8_t> bits;
    if (!ReadPicture(argv[1], width, height, bits)) {
        std::fprintf(stderr, "png_benchmark: %s is not a picture\n", argv[1]);
        return 1;
    }
    const int rounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 7;
    std::vector<double> times;
    std::string colour;
    for (int round = 0; round < rounds; ++round) {
        const auto start = std::chrono::steady_clock::now();
        colour = AsPngBytes({width, height, bits.data()}, TPngFormat::pf256Colors);
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    std::printf("median_ms %.2f\n", times[times.size() / 2]);

    const std::string folder = argv[2];
    bool ok = WriteFile(folder + "/pf256Colors.png", colour);
    std::printf("size pf256Colors %zu\n", colour.size());
    for (const auto& [format, name] :
         {std::pair{TPngFormat::pf100kb, "pf100kb"}, {TPngFormat::pf16Grays, "pf16Grays"}}) {
        std::vector<std::uint8_t> copy = bits;  // the gray form grays its picture
        const std::string png = AsPngBytes({width, height, copy.data()}, format);
        ok = ok && WriteFile(folder + "/" + name + ".png", png);
        std::printf("size %s %zu\n", name, png.size());
    }
    return ok && !colour.empty() ? 0 : 1;
}
