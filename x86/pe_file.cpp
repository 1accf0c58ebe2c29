#include "x86/pe_file.h"

#include <algorithm>
#include <fstream>
#include <iterator>

namespace brevant::x86 {
namespace {

constexpr std::uint16_t kMachineI386 = 0x014C;
constexpr std::uint16_t kMachineAmd64 = 0x8664;

class LittleEndianView {
public:
    explicit LittleEndianView(const std::vector<std::uint8_t>& bytes) : bytes_(bytes) {}

    bool Has(std::size_t offset, std::size_t size) const {
        return offset <= bytes_.size() && size <= bytes_.size() - offset;
    }
    std::uint64_t Value(std::size_t offset, std::size_t size) const {
        std::uint64_t value = 0;
        for (std::size_t i = 0; i < size; ++i) value |= std::uint64_t{bytes_[offset + i]} << (8 * i);
        return value;
    }

private:
    const std::vector<std::uint8_t>& bytes_;
};

}  // namespace

const PeSection* PeFile::SectionAt(std::uint32_t rva) const {
    for (const PeSection& section : sections)
        if (rva >= section.virtualAddress && rva - section.virtualAddress < section.virtualSize) return &section;
    return nullptr;
}

bool PeImageReader::Read(std::uint64_t address, void* buffer, std::size_t size) const {
    if (address < file_.imageBase || address - file_.imageBase > 0xFFFFFFFF) return false;
    const PeSection* section = file_.SectionAt(static_cast<std::uint32_t>(address - file_.imageBase));
    if (section == nullptr) return false;
    const BufferMemoryReader bytes(file_.imageBase + section->virtualAddress, section->bytes.data(),
                                   section->bytes.size());
    return bytes.Read(address, buffer, size);
}

std::optional<PeFile> ParsePeFile(const std::vector<std::uint8_t>& image) {
    const LittleEndianView view(image);
    if (!view.Has(0, 64) || view.Value(0, 2) != 0x5A4D) return std::nullopt;
    const std::size_t header = view.Value(0x3C, 4);
    if (!view.Has(header, 24) || view.Value(header, 4) != 0x00004550) return std::nullopt;
    const auto machine = static_cast<std::uint16_t>(view.Value(header + 4, 2));
    const auto sectionCount = static_cast<std::size_t>(view.Value(header + 6, 2));
    const auto optionalSize = static_cast<std::size_t>(view.Value(header + 20, 2));
    const std::size_t optional = header + 24;
    if (!view.Has(optional, optionalSize) || optionalSize < 32) return std::nullopt;

    PeFile file;
    if (machine == kMachineI386) {
        file.mode = Mode::Bits32;
        file.imageBase = view.Value(optional + 28, 4);
    } else if (machine == kMachineAmd64) {
        file.mode = Mode::Bits64;
        file.imageBase = view.Value(optional + 24, 8);
    } else {
        return std::nullopt;
    }
    file.entryPoint = static_cast<std::uint32_t>(view.Value(optional + 16, 4));

    const std::size_t table = optional + optionalSize;
    for (std::size_t i = 0; i < sectionCount; ++i) {
        const std::size_t entry = table + i * 40;
        if (!view.Has(entry, 40)) return std::nullopt;
        PeSection section;
        for (std::size_t c = 0; c < 8 && image[entry + c] != 0; ++c)
            section.name += static_cast<char>(image[entry + c]);
        section.virtualSize = static_cast<std::uint32_t>(view.Value(entry + 8, 4));
        section.virtualAddress = static_cast<std::uint32_t>(view.Value(entry + 12, 4));
        const auto rawSize = static_cast<std::size_t>(view.Value(entry + 16, 4));
        const auto rawOffset = static_cast<std::size_t>(view.Value(entry + 20, 4));
        section.characteristics = static_cast<std::uint32_t>(view.Value(entry + 36, 4));
        if (section.virtualSize == 0) section.virtualSize = static_cast<std::uint32_t>(rawSize);
        const std::size_t size = std::min<std::size_t>(rawSize, section.virtualSize);
        if (!view.Has(rawOffset, size)) return std::nullopt;
        section.bytes.assign(image.begin() + static_cast<std::ptrdiff_t>(rawOffset),
                             image.begin() + static_cast<std::ptrdiff_t>(rawOffset + size));
        file.sections.push_back(std::move(section));
    }
    return file;
}

std::optional<PeFile> ReadPeFile(const std::string& path) {
    std::ifstream stream(path, std::ios::binary);
    if (!stream) return std::nullopt;
    const std::vector<std::uint8_t> image((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
    return ParsePeFile(image);
}

}  // namespace brevant::x86
