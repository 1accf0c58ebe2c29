#pragma once
// Finding, inside a routine, the call it makes to another routine, and the bytes that make
// that call reach a replacement instead. Used to catch every thread the system creates: the
// call that CreateThread makes to the routine doing the work is bent to the crash reporter.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "x86/instruction.h"
#include "x86/memory_reader.h"

namespace brevant::crashreport {

struct CallSite {
    std::uint64_t address = 0;   // the call instruction
    std::uint8_t length = 0;     // its bytes, all of which a redirection rewrites
    std::uint64_t callee = 0;    // the sought routine it reaches
};

// Where code at `address` really starts: jumps through an import slot (FF 25) and relative
// jumps (E9) are followed, a few at most.
std::uint64_t FollowJumpThunks(const x86::MemoryReader& code, std::uint64_t address, x86::Mode mode);

// Decodes the routine from its start up to its first return and takes the first call that
// reaches one of the sought routines: relative (E8) or through a memory slot (FF 15) that
// holds it, with jump thunks on the way followed. Nothing when there is none or the code
// cannot be decoded.
std::optional<CallSite> FindCallSite(const x86::MemoryReader& code, std::uint64_t routine, x86::Mode mode,
                                     std::span<const std::uint64_t> sought);

// The bytes of a relative call from `site` to `to`, padded with no-operation bytes to `length`;
// nothing when `to` lies beyond a 32-bit distance or the length is below 5.
std::optional<std::vector<std::uint8_t>> RelativeCallBytes(std::uint64_t site, std::uint8_t length, std::uint64_t to);

}  // namespace brevant::crashreport
