#pragma once
// Reads of this process's memory that fail instead of faulting.

#include <cstdint>

#include "base/win32/own_memory.h"
#include "x86/memory_reader.h"

namespace brevant::crashreport {

class ProcessMemoryReader : public x86::MemoryReader {
public:
    bool Read(std::uint64_t address, void* buffer, std::size_t size) const override {
        return address <= UINTPTR_MAX && ReadOwnMemory(static_cast<std::uintptr_t>(address), buffer, size);
    }
};

inline constexpr x86::Mode kOwnCodeMode = sizeof(void*) == 8 ? x86::Mode::Bits64 : x86::Mode::Bits32;

}  // namespace brevant::crashreport
