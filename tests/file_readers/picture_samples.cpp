// Writes our PNG and BMP forms of a set of pictures into the folder named on the command
// line, each picture's source pixels beside them, and a list of what was written
// (samples.txt: "png NAME FORMAT" or "bmp NAME" per line), for check_pictures.py.
//
// NAME.raw: width and height (32-bit little-endian), then blue, green, red, unused per pixel,
// rows bottom-up as the picture holds them. NAME.FORMAT.png, NAME.bmp: the files.

#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "crashreport/delivery/bmp_bytes.h"
#include "crashreport/delivery/png_encoder.h"

namespace {

using namespace brevant::crashreport;

struct Sample {
    std::string name;
    std::int32_t width, height;
    std::vector<std::uint8_t> bits;
    PixelPicture View() { return {width, height, bits.data()}; }
};

using ColourAt = std::function<std::uint32_t(int x, int y)>;  // 0xRRGGBB, y from the top

Sample MakeSample(std::string name, std::int32_t width, std::int32_t height, const ColourAt& colourAt) {
    Sample sample{std::move(name), width, height, std::vector<std::uint8_t>(std::size_t(width) * height * 4)};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::uint32_t colour = colourAt(x, y);
            std::uint8_t* pixel = sample.bits.data() + (std::size_t(height - 1 - y) * width + x) * 4;
            pixel[0] = static_cast<std::uint8_t>(colour);
            pixel[1] = static_cast<std::uint8_t>(colour >> 8);
            pixel[2] = static_cast<std::uint8_t>(colour >> 16);
            pixel[3] = 0;
        }
    }
    return sample;
}

std::uint32_t Rgb(int red, int green, int blue) {
    return std::uint32_t(red & 0xFF) << 16 | std::uint32_t(green & 0xFF) << 8 | std::uint32_t(blue & 0xFF);
}

ColourAt Noise(unsigned seed) {
    auto random = std::make_shared<std::mt19937>(seed);
    return [random](int, int) { return (*random)() & 0xFFFFFF; };
}

std::vector<Sample> Samples() {
    std::vector<Sample> samples;
    samples.push_back(MakeSample("dot", 1, 1, [](int, int) { return Rgb(200, 100, 50); }));
    samples.push_back(MakeSample("odd_columns", 333, 7, [](int x, int y) { return Rgb(x * 255 / 332, y * 36, 128); }));
    samples.push_back(MakeSample("one_column", 1, 29, [](int, int y) { return Rgb(y * 8, 255 - y * 8, y * 3); }));
    samples.push_back(MakeSample(
        "gradient", 301, 199, [](int x, int y) { return Rgb(x * 255 / 300, y * 255 / 198, (x + 2 * y) * 255 / 700); }));
    samples.push_back(MakeSample("noise", 127, 93, Noise(5)));
    // Twelve colours whose channels are multiples of 8: each in a 15-bit cell of its own.
    const std::uint32_t few[] = {Rgb(0, 0, 0),      Rgb(248, 248, 248), Rgb(248, 0, 0),   Rgb(0, 128, 248),
                                 Rgb(64, 64, 64),   Rgb(200, 160, 8),   Rgb(8, 8, 16),    Rgb(120, 240, 56),
                                 Rgb(240, 120, 56), Rgb(56, 120, 240),  Rgb(128, 0, 128), Rgb(16, 232, 200)};
    samples.push_back(MakeSample("few_colours", 97, 61, [few](int x, int y) { return few[(x / 9 + y / 5 * 3) % 12]; }));
    return samples;
}

constexpr std::pair<TPngFormat, const char*> kFormats[] = {
    {TPngFormat::pf256Colors, "pf256Colors"}, {TPngFormat::pf16Grays, "pf16Grays"}, {TPngFormat::pf50kb, "pf50kb"},
    {TPngFormat::pf100kb, "pf100kb"},         {TPngFormat::pf200kb, "pf200kb"},     {TPngFormat::pf300kb, "pf300kb"},
};

bool WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream file(path, std::ios::binary);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file);
}

std::string RawBytes(const Sample& sample) {
    std::string bytes;
    for (std::uint32_t value : {std::uint32_t(sample.width), std::uint32_t(sample.height)}) {
        for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<char>(value >> shift));
    }
    bytes.append(reinterpret_cast<const char*>(sample.bits.data()), sample.bits.size());
    return bytes;
}

bool WriteSample(const std::string& folder, const Sample& sample,
                 const std::vector<std::pair<TPngFormat, const char*>>& formats, std::string& list) {
    const std::string base = folder + "/" + sample.name;
    bool ok = WriteFile(base + ".raw", RawBytes(sample));
    Sample bmp = sample;
    ok = ok && WriteFile(base + ".bmp", AsBmpBytes(bmp.View()));
    list += "bmp " + sample.name + "\n";
    for (const auto& [format, formatName] : formats) {
        Sample copy = sample;  // the gray form grays its picture
        ok = ok && WriteFile(base + "." + formatName + ".png", AsPngBytes(copy.View(), format));
        list += "png " + sample.name + " " + formatName + "\n";
    }
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: picture_samples FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    std::string list;
    bool ok = true;
    for (const Sample& sample : Samples()) {
        ok = ok && WriteSample(folder, sample, {std::begin(kFormats), std::end(kFormats)}, list);
    }
    // Noise this large is far above 50 KB in colour: it must come out gray.
    ok = ok && WriteSample(folder, MakeSample("large_noise", 400, 400, Noise(9)),
                           {{TPngFormat::pf256Colors, "pf256Colors"}, {TPngFormat::pf50kb, "pf50kb"}}, list);
    ok = ok && WriteFile(folder + "/samples.txt", list);
    if (!ok) std::fprintf(stderr, "picture_samples: could not write into %s\n", folder.c_str());
    return ok ? 0 : 1;
}
