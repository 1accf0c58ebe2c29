#include "crashreport/stack/call_test.h"

namespace brevant::crashreport {

bool LooksLikeCallBefore(const std::uint8_t (&before)[9]) {
    if (before[5] == 0xE8) return true;  // call rel32
    if (before[7] == 0x9A) return true;  // call far ptr16:32
    // call r/m (ModR/M reg 2 or 3) in its 2-, 3-, 4-, 6- and 7-byte forms; a REX prefix
    // comes before the 0xFF, so the 64-bit forms (call r11, call [rip+disp32]) end the same way.
    for (int k : {2, 3, 4, 6, 7})
        if (before[k] == 0xFF && (before[k - 1] & 0x30) == 0x10) return true;
    return false;
}

bool PassesCallTest(const x86::MemoryReader& reader, std::uint64_t v) {
    if (v < 8) return false;
    std::uint8_t bytes[8];
    if (!reader.Read(v - 8, bytes, sizeof(bytes))) return false;
    std::uint8_t before[9] = {};
    for (int k = 1; k <= 8; ++k) before[k] = bytes[8 - k];
    return LooksLikeCallBefore(before);
}

}  // namespace brevant::crashreport
