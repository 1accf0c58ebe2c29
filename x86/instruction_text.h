#pragma once
// The Intel-syntax text of a decoded instruction, spelled the way GNU objdump spells it
// ("mov    eax,DWORD PTR [ebp+0x8]"), so that listings can be checked against it.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "x86/instruction.h"

namespace brevant::x86 {

// Gives a name for a code or data address, or an empty text when there is none.
using AddressNamer = std::function<std::string(std::uint64_t address)>;

// Writes the text into `buffer` (always NUL-terminated when capacity > 0) and returns
// its length; a text longer than the buffer is cut. Without a namer, targets appear as
// bare hexadecimal numbers; with one, a named target appears as its name.
std::size_t FormatInstruction(const Instruction& instruction, char* buffer, std::size_t capacity,
                              const AddressNamer* namer = nullptr);
std::string FormatInstruction(const Instruction& instruction, const AddressNamer* namer = nullptr);

}  // namespace brevant::x86
