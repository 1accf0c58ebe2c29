// Encodes a picture (a raw file: width and height as 32-bit little-endian, then blue, green,
// red, unused per pixel, bottom-up) as the screenshot attachment is encoded, several times,
// and prints the median time of the 256-colour encoding, and the sizes of the size-targeted
// and gray forms. Writes the 256-colour PNG beside the raw file.
//
//   png_benchmark RAW OUT.png ROUNDS

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "crashreport/delivery/png_encoder.h"

using namespace brevant::crashreport;

namespace {

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: png_benchmark RAW OUT.png ROUNDS\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const std::string raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (raw.size() < 8) return 3;
    const auto* header = reinterpret_cast<const std::uint8_t*>(raw.data());
    const int width = header[0] | header[1] << 8 | header[2] << 16 | header[3] << 24;
    const int height = header[4] | header[5] << 8 | header[6] << 16 | header[7] << 24;
    std::vector<std::uint8_t> pixels(raw.begin() + 8, raw.end());
    if (pixels.size() != static_cast<std::size_t>(width) * height * 4) return 3;

    const int rounds = std::max(1, std::atoi(argv[3]));
    std::vector<double> times;
    std::string png;
    for (int i = 0; i < rounds; ++i) {
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        png = AsPngBytes({width, height, pixels.data()}, TPngFormat::pf256Colors);
        QueryPerformanceCounter(&end);
        times.push_back(Milliseconds(start, end));
    }
    std::sort(times.begin(), times.end());
    std::ofstream(argv[2], std::ios::binary).write(png.data(), static_cast<std::streamsize>(png.size()));
    std::vector<std::uint8_t> copy = pixels;
    const std::size_t size100kb = AsPngBytes({width, height, copy.data()}, TPngFormat::pf100kb).size();
    copy = pixels;
    const std::size_t sizeGray = AsPngBytes({width, height, copy.data()}, TPngFormat::pf16Grays).size();
    std::printf("median_ms=%.2f size=%zu size_100kb=%zu size_16grays=%zu\n", times[times.size() / 2], png.size(),
                size100kb, sizeGray);
    return 0;
}
