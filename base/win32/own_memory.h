#pragma once
// Reads of this process's own memory that fail instead of faulting.
//
// The bytes are copied only after the system has said the memory is readable, never through
// ReadProcessMemory: on the own process not every system honours the protection with it, and
// where the processor is emulated (Wine under qemu) it reads other memory than the process sees.

#include <cstddef>
#include <cstdint>

namespace brevant {

// Whether memory of that state and protection (as the system's region query gives them) may be
// read: committed, neither no-access nor guarded.
bool IsReadableState(std::uint32_t state, std::uint32_t protection);
// How many bytes from address on may be read.
std::size_t ReadableBytesFrom(std::uintptr_t address);
bool IsReadable(const void* address, std::size_t size);
bool ReadOwnMemory(std::uintptr_t address, void* buffer, std::size_t size);

}  // namespace brevant
