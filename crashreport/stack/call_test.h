#pragma once
// Whether a value may be a return address: a call instruction of one of the usual forms can
// end right before it. Only the bytes are looked at; the decoder confirms later.

#include <cstdint>

#include "crashreport/stack/stack_environment.h"

namespace brevant::crashreport {

// before[k] is the byte at v - k (before[0] unused).
bool LooksLikeCallBefore(const std::uint8_t (&before)[9]);

// Reads the 8 bytes before v; false when they cannot be read or hold no call form.
bool PassesCallTest(const x86::MemoryReader& reader, std::uint64_t v);

}  // namespace brevant::crashreport
