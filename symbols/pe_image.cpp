#include "symbols/pe_image.h"

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "base/little_endian.h"

namespace brevant::symbols {

namespace {

constexpr std::uint32_t kSectionHeaderSize = 40;
constexpr std::uint32_t kCoffSymbolSize = 18;
constexpr std::uint32_t kResourceDirectoryIndex = 2;
constexpr std::uint32_t kHighBit = 0x80000000;

// Bounds-checked reads; a read past the end gives nothing rather than a fault.
struct Bytes {
    std::span<const std::uint8_t> data;

    bool Has(std::uint64_t offset, std::uint64_t size) const { return offset + size <= data.size(); }
    std::optional<std::uint32_t> U32(std::uint64_t offset) const {
        if (!Has(offset, 4)) return std::nullopt;
        return ReadU32(data.data() + offset);
    }
    std::optional<std::uint16_t> U16(std::uint64_t offset) const {
        if (!Has(offset, 2)) return std::nullopt;
        return ReadU16(data.data() + offset);
    }
};

}  // namespace

std::optional<PeImage> PeImage::Parse(std::span<const std::uint8_t> file) {
    PeImage image;
    image.file_ = file;
    if (!image.ParseHeaders()) return std::nullopt;
    return image;
}

bool PeImage::ParseHeaders() {
    const Bytes bytes{file_};
    if (bytes.U16(0) != 0x5A4D) return false;  // "MZ"
    const auto peOffset = bytes.U32(0x3C);
    if (!peOffset || bytes.U32(*peOffset) != 0x00004550) return false;  // "PE\0\0"
    const std::uint64_t coff = *peOffset + 4;
    const auto sectionCount = bytes.U16(coff + 2);
    const auto symbolTable = bytes.U32(coff + 8);
    const auto symbolCount = bytes.U32(coff + 12);
    const auto optionalSize = bytes.U16(coff + 16);
    const std::uint64_t optional = coff + 20;
    const auto magic = bytes.U16(optional);
    if (!sectionCount || !symbolTable || !symbolCount || !optionalSize || !magic) return false;
    if (*magic != 0x10B && *magic != 0x20B) return false;
    is64Bit_ = *magic == 0x20B;

    const auto entryPoint = bytes.U32(optional + 16);
    const auto baseLow = bytes.U32(is64Bit_ ? optional + 24 : optional + 28);
    const auto baseHigh = is64Bit_ ? bytes.U32(optional + 28) : std::optional<std::uint32_t>(0);
    const std::uint64_t directories = optional + (is64Bit_ ? 112 : 96);
    const auto directoryCount = bytes.U32(directories - 4);
    if (!entryPoint || !baseLow || !baseHigh || !directoryCount) return false;
    entryPoint_ = *entryPoint;
    imageBase_ = std::uint64_t{*baseHigh} << 32 | *baseLow;
    if (*directoryCount > kResourceDirectoryIndex) {
        const std::uint64_t resource = directories + 8 * kResourceDirectoryIndex;
        resourceAddress_ = bytes.U32(resource).value_or(0);
        resourceSize_ = bytes.U32(resource + 4).value_or(0);
    }

    const std::uint64_t sectionTable = optional + *optionalSize;
    const std::uint64_t stringTable = std::uint64_t{*symbolTable} + std::uint64_t{*symbolCount} * kCoffSymbolSize;
    for (std::uint32_t index = 0; index < *sectionCount; ++index) {
        const std::uint64_t header = sectionTable + std::uint64_t{index} * kSectionHeaderSize;
        if (!bytes.Has(header, kSectionHeaderSize)) return false;
        const std::uint8_t* raw = file_.data() + header;
        PeSection section;
        for (int at = 0; at < 8 && raw[at] != 0; ++at) section.name.push_back(static_cast<char>(raw[at]));
        section.virtualSize = ReadU32(raw + 8);
        section.address = ReadU32(raw + 12);
        section.fileSize = ReadU32(raw + 16);
        section.fileOffset = ReadU32(raw + 20);
        section.characteristics = ReadU32(raw + 36);
        if (section.name.size() > 1 && section.name[0] == '/' && *symbolTable != 0) {
            const std::uint64_t nameOffset = stringTable + std::strtoul(section.name.c_str() + 1, nullptr, 10);
            std::string longName;
            for (std::uint64_t at = nameOffset; bytes.Has(at, 1) && file_[at] != 0; ++at) {
                longName.push_back(static_cast<char>(file_[at]));
            }
            if (!longName.empty()) section.name = longName;
        }
        sections_.push_back(section);
    }
    return true;
}

const PeSection* PeImage::FindSection(std::string_view name) const {
    for (const PeSection& section : sections_) {
        if (section.name == name) return &section;
    }
    return nullptr;
}

std::optional<std::uint32_t> PeImage::FileOffsetOf(std::uint32_t address, std::uint32_t size) const {
    for (const PeSection& section : sections_) {
        if (address >= section.address &&
            std::uint64_t{address} + size <= std::uint64_t{section.address} + section.fileSize) {
            const std::uint64_t offset = std::uint64_t{section.fileOffset} + (address - section.address);
            if (offset + size <= file_.size()) return static_cast<std::uint32_t>(offset);
        }
    }
    return std::nullopt;
}

std::optional<std::uint32_t> PeImage::FindDirectoryEntry(std::uint32_t directory, std::u16string_view name) const {
    const auto base = FileOffsetOf(resourceAddress_, resourceSize_);
    if (!base) return std::nullopt;
    const Bytes resources{file_.subspan(*base, resourceSize_)};
    const auto namedCount = resources.U16(std::uint64_t{directory} + 12);
    if (!namedCount) return std::nullopt;
    for (std::uint32_t index = 0; index < *namedCount; ++index) {
        const std::uint64_t entry = std::uint64_t{directory} + 16 + 8 * index;
        const auto nameField = resources.U32(entry);
        const auto target = resources.U32(entry + 4);
        if (!nameField || !target || (*nameField & kHighBit) == 0) return std::nullopt;
        const std::uint32_t nameOffset = *nameField & ~kHighBit;
        const auto length = resources.U16(nameOffset);
        if (!length || *length != name.size() || !resources.Has(nameOffset + 2, 2u * *length)) continue;
        bool equal = true;
        for (std::size_t at = 0; at < name.size() && equal; ++at) {
            equal = ReadU16(resources.data.data() + nameOffset + 2 + 2 * at) == name[at];
        }
        if (equal) return *target;
    }
    return std::nullopt;
}

std::optional<std::uint32_t> PeImage::FirstDirectoryEntry(std::uint32_t directory) const {
    const auto base = FileOffsetOf(resourceAddress_, resourceSize_);
    if (!base) return std::nullopt;
    const Bytes resources{file_.subspan(*base, resourceSize_)};
    const auto namedCount = resources.U16(std::uint64_t{directory} + 12);
    const auto idCount = resources.U16(std::uint64_t{directory} + 14);
    if (!namedCount || !idCount || *namedCount + *idCount == 0) return std::nullopt;
    return resources.U32(std::uint64_t{directory} + 16 + 4);
}

std::optional<std::span<const std::uint8_t>> PeImage::FindResource(std::u16string_view type,
                                                                   std::u16string_view name) const {
    if (resourceSize_ == 0) return std::nullopt;
    // Three levels: type, name, language; the first two name subdirectories, the last data.
    const auto typeEntry = FindDirectoryEntry(0, type);
    if (!typeEntry || (*typeEntry & kHighBit) == 0) return std::nullopt;
    const auto nameEntry = FindDirectoryEntry(*typeEntry & ~kHighBit, name);
    if (!nameEntry || (*nameEntry & kHighBit) == 0) return std::nullopt;
    const auto languageEntry = FirstDirectoryEntry(*nameEntry & ~kHighBit);
    if (!languageEntry || (*languageEntry & kHighBit) != 0) return std::nullopt;

    const auto base = FileOffsetOf(resourceAddress_, resourceSize_);
    const Bytes resources{file_.subspan(*base, resourceSize_)};
    const auto dataAddress = resources.U32(*languageEntry);
    const auto dataSize = resources.U32(*languageEntry + 4);
    if (!dataAddress || !dataSize) return std::nullopt;
    const auto offset = FileOffsetOf(*dataAddress, *dataSize);
    if (!offset) return std::nullopt;
    return file_.subspan(*offset, *dataSize);
}

std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::string& path) {
    std::ifstream stream(path, std::ios::binary);
    if (!stream) return std::nullopt;
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
}

}  // namespace brevant::symbols
