// Writes our PNG and BMP files of chosen pictures into a folder, for independent readers
// (check_pictures.py). Per sample NAME: NAME.png or NAME.bmp, NAME.raw (width and height as
// 32-bit little-endian, then the source pixels blue, green, red, unused, bottom-up, as they
// were before encoding) and a line "NAME KIND" in manifest.txt; KIND says what a reader must
// find: exact (the source colours), close (a good likeness), gray (the 16 levels of the
// source's gray values) or bmp (the source pixels, bit for bit).

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "base/little_endian.h"
#include "crashreport/delivery/bmp_bytes.h"
#include "crashreport/delivery/png_encoder.h"

using namespace brevant;
using namespace brevant::crashreport;

namespace {

struct Sample {
    int width, height;
    std::vector<std::uint8_t> bits;
    void Set(int x, int y, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
        std::uint8_t* p = &bits[(static_cast<std::size_t>(y) * width + x) * 4];
        p[0] = b;
        p[1] = g;
        p[2] = r;
    }
};

Sample Make(int width, int height) { return {width, height, std::vector<std::uint8_t>(std::size_t(width) * height * 4)}; }

void Write(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void Emit(const std::string& folder, std::ofstream& manifest, const std::string& name, const char* kind, Sample sample,
          TPngFormat format) {
    std::string raw;
    AppendU32(raw, static_cast<std::uint32_t>(sample.width));
    AppendU32(raw, static_cast<std::uint32_t>(sample.height));
    raw.append(sample.bits.begin(), sample.bits.end());
    Write(folder + "/" + name + ".raw", raw);
    PixelPicture picture{sample.width, sample.height, sample.bits.data()};
    const bool bmp = std::string(kind) == "bmp";
    Write(folder + "/" + name + (bmp ? ".bmp" : ".png"), bmp ? AsBmpBytes(picture) : AsPngBytes(picture, format));
    manifest << name << ' ' << kind << '\n';
}

Sample Gradient(int width, int height) {
    Sample s = Make(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            s.Set(x, y, std::uint8_t(x * 255 / (width - 1)), std::uint8_t(y * 255 / (height - 1)),
                  std::uint8_t(128 + (x - y) / 4));
    return s;
}

Sample Noise(int width, int height, unsigned seed) {
    Sample s = Make(width, height);
    std::mt19937 random(seed);
    for (std::uint8_t& byte : s.bits) byte = std::uint8_t(random());
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: picture_samples FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    std::ofstream manifest(folder + "/manifest.txt");

    Sample one = Make(1, 1);
    one.Set(0, 0, 37, 99, 201);
    Emit(folder, manifest, "one_pixel", "exact", one, TPngFormat::pf256Colors);

    // Colours that are whole 15-bit cells: every one keeps its palette entry exactly.
    Sample few = Make(33, 17);
    const std::uint8_t colours[5][3] = {{0, 0, 0}, {248, 0, 0}, {16, 200, 64}, {120, 120, 120}, {255, 255, 255}};
    for (int y = 0; y < few.height; ++y)
        for (int x = 0; x < few.width; ++x) {
            const auto* c = colours[(x / 7 + y / 5) % 5];
            few.Set(x, y, c[0], c[1], c[2]);
        }
    Emit(folder, manifest, "few_colours", "exact", few, TPngFormat::pf256Colors);
    Emit(folder, manifest, "gradient", "close", Gradient(256, 97), TPngFormat::pf256Colors);
    Emit(folder, manifest, "gradient_200kb", "close", Gradient(320, 200), TPngFormat::pf200kb);
    Emit(folder, manifest, "gray_noise", "gray", Noise(101, 37, 3), TPngFormat::pf16Grays);
    Emit(folder, manifest, "gray_odd", "gray", Gradient(5, 3), TPngFormat::pf16Grays);
    Emit(folder, manifest, "gray_fallback_50kb", "gray", Noise(300, 300, 5), TPngFormat::pf50kb);
    Emit(folder, manifest, "gradient_bmp", "bmp", Gradient(61, 23), TPngFormat::pf256Colors);
    return 0;
}
