#pragma once
// The "cpu registers" and "stack dump" sections of a report.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "x86/memory_reader.h"

namespace brevant::crashreport {

struct RegisterValue {
    const char16_t* name;
    std::uint64_t value;
};

// "eax = 00000000" lines; values written with addressDigits hex digits (8 or 16).
std::u16string CpuRegistersText(const std::vector<RegisterValue>& registers, int addressDigits);

// Up to 20 lines of 16 bytes from the stack pointer up to `end` (exclusive): address, the bytes
// in hex with "- " before the ninth, then the bytes as characters.
std::u16string StackDumpText(const x86::MemoryReader& memory, std::uint64_t stackPointer, std::uint64_t end,
                             int addressDigits);

}  // namespace brevant::crashreport
