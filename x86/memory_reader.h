#pragma once
// The decoder never touches code memory directly: it asks a MemoryReader, whose reads
// may fail (unmapped pages, a vanished module, the end of a buffer) without faulting.

#include <cstddef>
#include <cstdint>

namespace brevant::x86 {

class MemoryReader {
public:
    virtual ~MemoryReader() = default;
    // Copies `size` bytes starting at `address` into `buffer`; false when any of them
    // cannot be read (the buffer's content is then unspecified).
    virtual bool Read(std::uint64_t address, void* buffer, std::size_t size) const = 0;
};

// Code held in a byte buffer that appears at `base`; nothing outside it is readable.
class BufferMemoryReader : public MemoryReader {
public:
    BufferMemoryReader(std::uint64_t base, const std::uint8_t* bytes, std::size_t size)
        : base_(base), bytes_(bytes), size_(size) {}

    bool Read(std::uint64_t address, void* buffer, std::size_t size) const override;

private:
    std::uint64_t base_;
    const std::uint8_t* bytes_;
    std::size_t size_;
};

}  // namespace brevant::x86
