#pragma once
// The prepared call stack made when an exception is raised: the candidate return addresses of
// the stack as it was then, for the walk that runs later. A byte string: a 32-bit
// little-endian count, then per entry one flag byte (1: read from a frame chain slot) and the
// address, 4 bytes on 32-bit code and 8 on 64-bit code, little-endian.

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "x86/memory_reader.h"

namespace brevant::crashreport {

struct PreparedEntry {
    bool chainSlot = false;
    std::uint64_t address = 0;

    bool operator==(const PreparedEntry&) const = default;
};

std::string EncodePreparedCallStack(const std::vector<PreparedEntry>& entries, unsigned pointerSize);
// Nothing when the text is not a complete prepared call stack of that pointer size.
std::optional<std::vector<PreparedEntry>> DecodePreparedCallStack(std::string_view text, unsigned pointerSize);

struct PrepareRequest {
    std::uint64_t bottom = 0;
    std::uint64_t top = 0;
    unsigned pointerSize = 4;
    // The frame-pointer chain is followed on 32-bit code only: 64-bit code keeps no chain
    // and gives its certain slots from the unwind information instead.
    std::uint64_t framePointer = 0;
    std::set<std::uint64_t> unwoundSlots;
    std::uint64_t stopValue = 0;
    bool stopAtValue = false;
    // Where the call tests read code; null: the reader of the stack.
    const x86::MemoryReader* codeReader = nullptr;
};

// Every slot value above 7 that passes the call test, top end first; empty text when the
// range cannot be read.
std::string PrepareCallStack(const x86::MemoryReader& reader, const PrepareRequest& request);

}  // namespace brevant::crashreport
