#include "x86/memory_reader.h"

#include <cstring>

namespace brevant::x86 {

bool BufferMemoryReader::Read(std::uint64_t address, void* buffer, std::size_t size) const {
    if (address < base_) return false;
    const std::uint64_t offset = address - base_;
    if (offset > size_ || size > size_ - offset) return false;
    if (size != 0) std::memcpy(buffer, bytes_ + offset, size);
    return true;
}

}  // namespace brevant::x86
