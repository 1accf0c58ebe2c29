#pragma once
// Decoding of one x86 or x86-64 instruction: prefixes, opcode, ModR/M, SIB,
// displacement and immediates, and the instruction's effect on the flow of control.

#include <cstddef>
#include <cstdint>

#include "x86/instruction.h"
#include "x86/memory_reader.h"

namespace brevant::x86 {

constexpr std::size_t kMaxInstructionLength = 15;

// Decodes the instruction at `address` from `available` bytes at `bytes`. Returns
// `out.valid`; an invalid or truncated encoding leaves `out.valid` false and length 0.
bool DecodeInstruction(const std::uint8_t* bytes, std::size_t available, std::uint64_t address, Mode mode,
                       Instruction& out);

// The same through a reader: reads at most 15 bytes, fewer where the readable memory
// ends, and never more than the reader allows.
bool DecodeInstruction(const MemoryReader& reader, std::uint64_t address, Mode mode, Instruction& out);

}  // namespace brevant::x86
