#pragma once
// Just enough of the PE file format to find the code in an executable or DLL: the
// machine (i686 or x86-64), the image base and the sections with their bytes.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "x86/instruction.h"
#include "x86/memory_reader.h"

namespace brevant::x86 {

struct PeSection {
    std::string name;
    std::uint32_t virtualAddress = 0;  // relative to the image base
    std::uint32_t virtualSize = 0;
    std::uint32_t characteristics = 0;
    std::vector<std::uint8_t> bytes;  // the raw data, at most virtualSize bytes

    bool Executable() const { return characteristics & 0x20000000; }
};

struct PeFile {
    Mode mode = Mode::Bits32;
    std::uint64_t imageBase = 0;
    std::uint32_t entryPoint = 0;  // relative
    std::vector<PeSection> sections;

    // The section holding the relative address, or nullptr.
    const PeSection* SectionAt(std::uint32_t rva) const;
};

// The file's sections as they appear in memory at the image base (raw data only).
class PeImageReader : public MemoryReader {
public:
    explicit PeImageReader(const PeFile& file) : file_(file) {}
    bool Read(std::uint64_t address, void* buffer, std::size_t size) const override;

private:
    const PeFile& file_;
};

// Parses a PE image held in memory; nothing when it is not a PE file of a machine we know.
std::optional<PeFile> ParsePeFile(const std::vector<std::uint8_t>& image);
std::optional<PeFile> ReadPeFile(const std::string& path);

}  // namespace brevant::x86
