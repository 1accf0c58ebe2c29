#pragma once
// The opcode maps of the x86 instruction set, written in the operand notation of the
// processor manuals ("add Eb,Gb", "jz Jb") and turned into lookup tables once. One
// table drives both the length decoding and the instruction text.

#include <array>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

namespace brevant::x86 {

// Operand kinds in the manuals' notation: the letter says where the operand comes from,
// the suffix its size (b byte, w word, d dword, q qword, v operand size, y dword or
// qword, z word or dword, x xmm/ymm by VEX.L, o always xmm).
enum class Operand : std::uint8_t {
    None,
    // general registers or memory from ModR/M
    Eb,
    Ew,
    Ed,
    Eq,
    Ev,
    Ey,
    Gb,
    Gw,
    Gd,
    Gv,
    Gy,
    Rv,
    Ry,   // a register from ModR/M.rm, whatever the mod field says
    Ewv,  // a word in memory, an operand-size register otherwise (segment moves)
    RdMb,
    RdMw,  // a byte or word in memory, a 32-bit register otherwise (pextrb, pinsrw)
    M,
    Mb,
    Mw,
    Md,
    Mq,
    Mt,
    Mv,
    My,
    Mx,
    Mp,
    // immediates and relative targets
    Ib,
    Ibs,
    Iw,
    Iz,
    Iv,
    Id,  // always 32 bits
    Jb,
    Jz,
    Ap,
    Ob,
    Ov,
    // fixed and opcode-embedded registers
    AL,
    AX,
    CL,
    DX,
    rAX,
    eAX,
    Zb,
    Zv,
    Zy,
    One,
    SegES,
    SegCS,
    SegSS,
    SegDS,
    SegFS,
    SegGS,
    Sw,
    Cy,
    Dy,
    Ty,  // the test registers of the 386 and 486
    // string operands
    Xb,
    Xv,
    Yb,
    Yv,
    Xlat,
    // x87
    St0,
    Sti,
    // MMX and SSE/AVX
    Pq,
    Qq,
    Qd,
    Nq,
    Vx,
    Vo,
    Hx,
    Ho,
    Ux,
    Uo,
    Wx,
    Wo,
    Wq,
    Wd,
    Ww,
    Wb,
    Ws,    // scalar: dword, or qword with VEX.W
    Wdup,  // vmovddup: a qword, or with VEX.L a whole ymm
    Lx,
    Xmm0,
    Hy,  // a general register from VEX.vvvv
    Count
};

enum OpcodeFlag : std::uint32_t {
    kModRM = 1 << 0,
    kInvalid64 = 1 << 1,      // not encodable in 64-bit mode
    kOnly64 = 1 << 2,         // only in 64-bit mode
    kDefault64 = 1 << 3,      // operand size 64 in 64-bit mode unless 0x66 says 16
    kForce64 = 1 << 4,        // operand size 64 in 64-bit mode, 0x66 ignored
    kString = 1 << 5,         // takes REP (movs, stos, lods, ins, outs)
    kStringCompare = 1 << 6,  // takes REPZ/REPNZ (cmps, scas)
    kCall = 1 << 7,
    kJump = 1 << 8,
    kConditional = 1 << 9,
    kReturn = 1 << 10,
    kFar = 1 << 11,
    kStop = 1 << 12,          // execution never continues after it (ud2, hlt)
    kNoSize = 1 << 13,        // memory operand printed without a size (lea, fxsave)
    kSizeMnemonic = 1 << 14,  // mnemonic picks a form by operand size ("cwde|cbw|cdqe")
    kVexWMnemonic = 1 << 15,  // mnemonic "w0-form/w1-form" picked by VEX.W
    kVexDoubling = 1 << 16,   // VEX.L doubles the narrow memory source too (vpmovzxbw, vcvtps2pd)
};

struct OpcodeEntry {
    std::string_view mnemonic;  // empty: no instruction has this encoding
    std::array<Operand, 4> operands{};
    std::uint32_t flags = 0;

    bool Valid() const { return !mnemonic.empty(); }
};

// How a slot of an opcode map is resolved to its entry.
enum class SlotKind : std::uint8_t {
    Invalid,
    Entry,          // one entry
    Group,          // by ModR/M.reg; register forms (mod 3) may have a table of their own
    Prefixed,       // by mandatory prefix: none, 66, F3, F2
    PrefixedGroup,  // by mandatory prefix, then by ModR/M.reg
    X87,            // D8..DF
    Escape,         // 0F, 0F 38, 0F 3A
    Amd3DNow,       // 0F 0F: ModR/M, then the opcode as a trailing byte
    Vex,            // C4/C5 (and LES/LDS in 32-bit mode)
    Prefix,
};

struct OpcodeSlot {
    SlotKind kind = SlotKind::Invalid;
    std::uint16_t index = 0;          // entry, group or prefix-set index
    std::uint16_t registerForms = 0;  // Group: index of the 64-entry mod-3 table + 1, 0 none
    std::uint32_t flags = 0;          // flags shared by the slot (kModRM for lengths)
};

enum class OpcodeMap : std::uint8_t { OneByte, TwoByte, ThreeByte38, ThreeByte3A, Count };

// The tables, built on first use and never changed afterwards. Building allocates, so
// a program that decodes while handling a crash calls Get() once at start-up.
class OpcodeTables {
public:
    static const OpcodeTables& Get();

    const OpcodeSlot& Slot(OpcodeMap map, std::uint8_t opcode) const { return slots_[static_cast<int>(map)][opcode]; }
    const OpcodeEntry& Entry(std::uint16_t index) const { return entries_[index]; }
    // Group member `reg` (0..7) of group `group`.
    const OpcodeEntry& GroupMember(std::uint16_t group, unsigned reg) const { return entries_[group + reg]; }
    // Prefix variant: 0 none, 1 66, 2 F3, 3 F2.
    const OpcodeEntry& Variant(std::uint16_t first, unsigned prefix) const { return entries_[first + prefix]; }
    const OpcodeEntry& RegisterForm(std::uint16_t table, std::uint8_t modrm) const {
        return entries_[table + (modrm & 0x3F)];
    }
    const OpcodeEntry& X87Memory(std::uint8_t opcode, unsigned reg) const { return x87Memory_[opcode & 7][reg]; }
    const OpcodeEntry& X87Register(std::uint8_t opcode, std::uint8_t modrm) const {
        return x87Register_[opcode & 7][modrm & 0x3F];
    }
    // The VEX-encoded forms: map 1..3, by prefix (0 none, 1 66, 2 F3, 3 F2).
    const OpcodeEntry& VexEntry(unsigned map, std::uint8_t opcode, unsigned prefix) const {
        return vex_[map - 1][opcode][prefix];
    }
    // VEX encodings named by ModR/M.reg (shifts by an immediate, BMI1): member or nullptr.
    const OpcodeEntry* VexGroupMember(unsigned map, std::uint8_t opcode, unsigned prefix, unsigned reg) const {
        const VexGroup& group = vexGroups_[map - 1][opcode];
        if (group.first == 0 || group.prefix != prefix) return nullptr;
        return &entries_[group.first + reg];
    }
    // 0F 0F: the operation is named by the trailing byte; one entry stands for all.
    const OpcodeEntry& Amd3DNow() const { return entries_[amd3DNow_]; }
    // Encodings whose meaning a fixed prefix or ModR/M byte changes.
    enum class Special : std::uint8_t {
        Movsxd,
        Nop,
        Pause,
        Movhlps,
        Movlhps,
        Endbr64,
        Endbr32,
        VmovssLoad,
        VmovssStore,
        VmovsdLoad,
        VmovsdStore,  // register forms merge a third operand
        Vmovhlps,
        Vmovlhps,
        StrayRex,  // the prefixes up to a REX that has no effect
        Count
    };
    const OpcodeEntry& SpecialEntry(Special which) const { return entries_[special_[static_cast<int>(which)]]; }

private:
    OpcodeTables();
    friend class OpcodeTableBuilder;

    std::array<std::array<OpcodeSlot, 256>, static_cast<int>(OpcodeMap::Count)> slots_{};
    std::array<OpcodeEntry, 4096> entries_{};
    std::array<std::array<OpcodeEntry, 8>, 8> x87Memory_{};
    std::array<std::array<OpcodeEntry, 64>, 8> x87Register_{};
    std::array<std::array<std::array<OpcodeEntry, 4>, 256>, 3> vex_{};
    struct VexGroup {
        std::uint16_t first = 0;  // first of eight entries, 0 none
        std::uint8_t prefix = 0;
    };
    std::array<std::array<VexGroup, 256>, 3> vexGroups_{};
    std::uint16_t amd3DNow_ = 0;
    std::array<std::uint16_t, static_cast<int>(Special::Count)> special_{};
    std::uint16_t entryCount_ = 1;   // entry 0 stays invalid
    std::deque<std::string> names_;  // mnemonics composed while building
};

}  // namespace brevant::x86
