// Writes our ZIP archives for independent readers to check: FOLDER/<name>.zip, and beside
// each the entry names (<name>.zip.names, one UTF-8 name a line) and every entry's content
// as it should come out again (<name>.zip.<index>).
// Usage: zip_samples FOLDER

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "crashreport/delivery/zip_writer.h"

namespace {

using brevant::crashreport::DosDateTime;
using brevant::crashreport::DosStamp;
using brevant::crashreport::ZipArchiveBytes;
using brevant::crashreport::ZipEntry;

struct Sample {
    std::string archive;
    std::vector<ZipEntry> entries;
};

ZipEntry Entry(std::string name, std::string data) {
    const DosStamp stamp = DosDateTime(2024, 3, 15, 13, 45, 30);
    return ZipEntry{std::move(name), std::move(data), stamp.time, stamp.date};
}

// Bytes that deflate cannot shrink, the same on every run.
std::string PseudoRandomBytes(std::size_t size) {
    std::string bytes(size, '\0');
    std::uint32_t state = 0x9E3779B9;
    for (char& byte : bytes) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        byte = static_cast<char>(state >> 24);
    }
    return bytes;
}

std::string ReportText() {
    std::string text;
    for (int line = 0; line < 400; ++line)
        text += "date/time          : 2024-03-15, 13:45:30, 123ms\r\nline " + std::to_string(line) + "\r\n";
    return text;
}

std::vector<Sample> Samples() {
    return {
        {"single.zip", {Entry("bugreport.txt", ReportText())}},
        {"utf8_name.zip", {Entry("Bildschirmfoto \xE2\x80\x93 \xC3\xA9.png", PseudoRandomBytes(3000))}},
        {"empty_file.zip", {Entry("empty.log", "")}},
        {"incompressible.zip", {Entry("noise.bin", PseudoRandomBytes(1 << 20))}},
        {"several.zip",
         {Entry("bugreport.txt", ReportText()), Entry("screenshot.png", PseudoRandomBytes(70000)),
          Entry("logs/app.log", std::string(100000, 'a')), Entry("empty.txt", ""),
          Entry("\xD0\xBE\xD1\x82\xD1\x87\xD1\x91\xD1\x82.txt", "\xD0\xBE\xD1\x82\xD1\x87\xD1\x91\xD1\x82\r\n")}},
        {"no_entries.zip", {}},
    };
}

bool WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: zip_samples FOLDER\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);
    for (const Sample& sample : Samples()) {
        const std::string archive = ZipArchiveBytes(sample.entries);
        std::string names;
        bool written = !archive.empty() && WriteFile(folder / sample.archive, archive);
        for (std::size_t i = 0; i < sample.entries.size(); ++i) {
            names += sample.entries[i].utf8Name + "\n";
            written = written && WriteFile(folder / (sample.archive + "." + std::to_string(i)), sample.entries[i].data);
        }
        if (!written || !WriteFile(folder / (sample.archive + ".names"), names)) {
            std::fprintf(stderr, "could not write %s\n", sample.archive.c_str());
            return 1;
        }
    }
    return 0;
}
