#pragma once
// Reads what the symbol tools need from a Windows executable file, without Win32: its
// sections and the resources of a given type and name. Every field is checked against the
// file's size, so a damaged file reads as "not an image" or "no such resource".

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace brevant::symbols {

struct PeSection {
    std::string name;           // long names ("/4" in the header) are resolved through the string table
    std::uint32_t address = 0;  // offset from the image base
    std::uint32_t virtualSize = 0;
    std::uint32_t fileOffset = 0;
    std::uint32_t fileSize = 0;
    std::uint32_t characteristics = 0;

    bool IsCode() const { return (characteristics & 0x00000020) != 0; }
    bool IsInitializedData() const { return (characteristics & 0x00000040) != 0; }
    bool IsUninitializedData() const { return (characteristics & 0x00000080) != 0; }
    std::uint32_t End() const { return address + virtualSize; }
};

class PeImage {
public:
    static std::optional<PeImage> Parse(std::span<const std::uint8_t> file);

    bool Is64Bit() const { return is64Bit_; }
    std::uint64_t ImageBase() const { return imageBase_; }
    std::uint32_t EntryPoint() const { return entryPoint_; }
    const std::vector<PeSection>& Sections() const { return sections_; }
    const PeSection* FindSection(std::string_view name) const;

    // The bytes of a resource named by strings, in its first language; nothing when absent.
    std::optional<std::span<const std::uint8_t>> FindResource(std::u16string_view type, std::u16string_view name) const;

private:
    bool ParseHeaders();
    std::optional<std::uint32_t> FileOffsetOf(std::uint32_t address, std::uint32_t size) const;
    std::optional<std::uint32_t> FindDirectoryEntry(std::uint32_t directory, std::u16string_view name) const;
    std::optional<std::uint32_t> FirstDirectoryEntry(std::uint32_t directory) const;

    std::span<const std::uint8_t> file_;
    bool is64Bit_ = false;
    std::uint64_t imageBase_ = 0;
    std::uint32_t entryPoint_ = 0;
    std::uint32_t resourceAddress_ = 0;
    std::uint32_t resourceSize_ = 0;
    std::vector<PeSection> sections_;
};

std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::string& path);

}  // namespace brevant::symbols
