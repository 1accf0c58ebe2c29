#include "crashreport/report/cpu_state_text.h"

#include "base/number_text.h"

namespace brevant::crashreport {

namespace {

constexpr int kDumpLines = 20;
constexpr int kBytesPerLine = 16;

// Bytes below the end that cannot be read show as "??", so a vanished page keeps its place.
std::u16string DumpLine(const x86::MemoryReader& memory, std::uint64_t lineAddress, std::uint64_t end,
                        int addressDigits) {
    std::u16string hex, characters;
    for (int position = 0; position < kBytesPerLine; ++position) {
        const std::uint64_t address = lineAddress + position;
        const bool present = address < end && address >= lineAddress;
        if (position == 8) hex += present ? u"- " : u"  ";
        if (!present) {
            hex += u"   ";
            continue;
        }
        std::uint8_t byte = 0;
        if (!memory.Read(address, &byte, 1)) {
            hex += u"?? ";
            characters += u'.';
            continue;
        }
        hex += AddressHex(byte, 2) + u" ";
        characters += byte >= 32 && byte <= 126 ? static_cast<char16_t>(byte) : u'.';
    }
    return AddressHex(lineAddress, addressDigits) + u"  " + hex + u" " + characters;
}

}  // namespace

std::u16string CpuRegistersText(const std::vector<RegisterValue>& registers, int addressDigits) {
    std::u16string text;
    for (const RegisterValue& reg : registers) {
        if (!text.empty()) text += u"\r\n";
        text += std::u16string(reg.name) + u" = " + AddressHex(reg.value, addressDigits);
    }
    return text;
}

std::u16string StackDumpText(const x86::MemoryReader& memory, std::uint64_t stackPointer, std::uint64_t end,
                             int addressDigits) {
    std::u16string text;
    for (int line = 0; line < kDumpLines; ++line) {
        const std::uint64_t lineAddress = stackPointer + static_cast<std::uint64_t>(line) * kBytesPerLine;
        if (lineAddress >= end || lineAddress < stackPointer) break;
        if (line > 0) text += u"\r\n";
        text += DumpLine(memory, lineAddress, end, addressDigits);
    }
    return text;
}

}  // namespace brevant::crashreport
