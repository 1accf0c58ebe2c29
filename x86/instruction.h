#pragma once
// One decoded instruction: its encoding fields, its length and what it does to the flow
// of control. Plain data, filled by DecodeInstruction without allocating.

#include <cstdint>

#include "x86/opcode_table.h"

namespace brevant::x86 {

enum class Mode : std::uint8_t { Bits32, Bits64 };

enum class Flow : std::uint8_t {
    Sequential,       // execution goes on with the next instruction
    Call,             // near or far call
    Jump,             // unconditional jump
    ConditionalJump,  // jcc, loop, jecxz: both ways possible
    Return,           // ret, retf, iret
    Stop,             // ud2, hlt: execution does not go on
};

// Prefix bytes seen, in the order of their bits; used both for decoding and for text.
enum PrefixBit : std::uint16_t {
    kPrefixLock = 1 << 0,
    kPrefixRepne = 1 << 1,  // F2
    kPrefixRep = 1 << 2,    // F3
    kPrefixOperandSize = 1 << 3,
    kPrefixAddressSize = 1 << 4,
    kPrefixSegment = 1 << 5,
    kPrefixRex = 1 << 6,
    kPrefixVex = 1 << 7,
};

// Segment override prefixes in segment register order (es, cs, ss, ds, fs, gs); -1 for
// any other byte.
constexpr int SegmentOfPrefix(std::uint8_t byte) {
    constexpr std::uint8_t kSegmentPrefixes[6] = {0x26, 0x2E, 0x36, 0x3E, 0x64, 0x65};
    for (int i = 0; i < 6; ++i)
        if (kSegmentPrefixes[i] == byte) return i;
    return -1;
}

constexpr bool IsLegacyPrefix(std::uint8_t byte) {
    return SegmentOfPrefix(byte) >= 0 || byte == 0x66 || byte == 0x67 || byte == 0xF0 || byte == 0xF2 || byte == 0xF3;
}

// The value of a little field of `bytes` bytes (1 to 8) as a signed number.
constexpr std::int64_t SignExtend(std::uint64_t value, unsigned bytes) {
    if (bytes == 0 || bytes >= 8) return static_cast<std::int64_t>(value);
    const unsigned shift = 64 - 8 * bytes;
    return static_cast<std::int64_t>(value << shift) >> shift;
}

struct Instruction {
    std::uint64_t address = 0;
    std::uint8_t length = 0;  // 0 when not valid
    bool valid = false;
    Mode mode = Mode::Bits32;

    // Encoding
    OpcodeMap map = OpcodeMap::OneByte;
    std::uint8_t opcode = 0;
    bool hasModRM = false;
    std::uint8_t modrm = 0;
    bool hasSib = false;
    std::uint8_t sib = 0;
    std::uint16_t prefixes = 0;    // PrefixBit
    std::uint8_t segment = 0;      // last segment override byte (26, 2E, ...), 0 none
    std::uint8_t rex = 0;          // REX byte when it takes effect, else 0
    std::uint8_t prefixCount = 0;  // legacy prefix and REX bytes before the opcode
    std::uint8_t prefixBytes[14] = {};
    bool waitPrefix = false;           // FWAIT joined to the x87 instruction after it
    std::uint8_t waitPrefixIndex = 0;  // prefixes before the (last) FWAIT
    bool strayRex = false;             // only prefixes, ending in a REX that another prefix follows
    bool modIgnored = false;           // ModR/M names registers whatever its mod field says
    std::uint8_t mandatoryPrefix = 0;  // 0 none, 1 66, 2 F3, 3 F2 (SSE forms)
    bool mandatoryPrefixUsed = false;  // the prefix above chose the instruction's form
    std::uint8_t vexMap = 0;           // 1..3 for VEX encodings, 0 otherwise
    std::uint8_t vexRegister = 0;      // VEX.vvvv, already inverted
    bool vexLong = false;              // VEX.L: 256-bit vectors
    bool vexW = false;
    std::uint8_t operandSize = 32;  // 16, 32 or 64
    std::uint8_t addressSize = 32;  // 16, 32 or 64
    const OpcodeEntry* entry = nullptr;

    // Operand fields, with their offsets from the start of the instruction.
    std::int64_t displacement = 0;
    std::uint8_t displacementOffset = 0;
    std::uint8_t displacementSize = 0;  // 0, 1, 2, 4 or 8 (moffs)
    std::uint64_t immediate = 0;        // raw, zero-extended
    std::uint8_t immediateOffset = 0;
    std::uint8_t immediateSize = 0;  // 0, 1, 2, 4 or 8
    std::uint64_t immediate2 = 0;    // enter's second operand, a far pointer's selector
    std::uint8_t immediate2Size = 0;

    // Control flow
    Flow flow = Flow::Sequential;
    bool indirect = false;   // the target comes from a register or memory
    bool far = false;        // changes the code segment
    bool hasTarget = false;  // direct target known
    std::uint64_t target = 0;
    // The memory operand's address when it is absolute or RIP-relative (for indirect
    // calls and jumps: the slot that holds the target).
    bool hasMemoryAddress = false;
    std::uint64_t memoryAddress = 0;

    std::uint64_t End() const { return address + length; }
    bool IsCall() const { return flow == Flow::Call; }
    bool IsJump() const { return flow == Flow::Jump || flow == Flow::ConditionalJump; }
    bool IsReturn() const { return flow == Flow::Return; }
    bool IsRelative() const;  // a direct near call or jump with an offset from its end
    std::uint8_t Mod() const { return modrm >> 6; }
    bool HasMemoryOperandInModRM() const { return hasModRM && Mod() != 3 && !modIgnored; }
    std::uint8_t Reg() const { return (modrm >> 3) & 7; }
    std::uint8_t Rm() const { return modrm & 7; }

    // The 32-bit field a code redirection may rewrite: the rel32 of a call or jump, the
    // 32-bit displacement of a memory operand, or failing those a 32-bit immediate.
    // Offset from the instruction's start; width 0 when the instruction has none.
    struct Field {
        std::uint8_t offset = 0;
        std::uint8_t width = 0;
    };
    Field PatchableOperand() const;
};

}  // namespace brevant::x86
