#include "x86/instruction_decoder.h"

#include <algorithm>

namespace brevant::x86 {

bool Instruction::IsRelative() const {
    return hasTarget && !indirect && !far && (flow == Flow::Call || IsJump());
}

Instruction::Field Instruction::PatchableOperand() const {
    if (IsRelative() && immediateSize == 4) return {immediateOffset, 4};
    if (displacementSize == 4) return {displacementOffset, 4};
    if (immediateSize == 4) return {immediateOffset, 4};
    return {};
}

namespace {

using Special = OpcodeTables::Special;

// Bounded reading of the instruction bytes; running past the end marks it truncated.
class ByteCursor {
public:
    ByteCursor(const std::uint8_t* bytes, std::size_t available)
        : bytes_(bytes), available_(std::min(available, kMaxInstructionLength)) {}

    bool Has(std::size_t count) const { return available_ - position_ >= count; }
    std::uint8_t Peek() const { return Has(1) ? bytes_[position_] : 0; }
    std::uint8_t PeekAt(std::size_t ahead) const { return Has(ahead + 1) ? bytes_[position_ + ahead] : 0; }
    std::uint8_t Next() {
        if (!Has(1)) {
            truncated_ = true;
            return 0;
        }
        return bytes_[position_++];
    }
    // Little-endian value of `size` bytes.
    std::uint64_t Value(std::size_t size) {
        if (!Has(size)) {
            truncated_ = true;
            position_ = available_;
            return 0;
        }
        std::uint64_t value = 0;
        for (std::size_t i = 0; i < size; ++i) value |= std::uint64_t{bytes_[position_ + i]} << (8 * i);
        position_ += size;
        return value;
    }
    std::size_t Position() const { return position_; }
    bool Truncated() const { return truncated_; }

private:
    const std::uint8_t* bytes_;
    std::size_t available_;
    std::size_t position_ = 0;
    bool truncated_ = false;
};

void RecordPrefix(std::uint8_t byte, Instruction& out) {
    if (out.prefixCount < sizeof out.prefixBytes) out.prefixBytes[out.prefixCount] = byte;
    ++out.prefixCount;
}

void ReadPrefixes(ByteCursor& cursor, Instruction& out) {
    const bool mode64 = out.mode == Mode::Bits64;
    std::uint8_t lastRepeat = 0;
    while (cursor.Has(1)) {
        const std::uint8_t byte = cursor.Peek();
        if (mode64 && (byte & 0xF0) == 0x40) {
            out.rex = byte;  // takes effect only when the opcode follows at once
            // A REX before another prefix does nothing. objdump then shows it as an
            // instruction of its own, and so do we: the boundaries stay comparable.
            const std::uint8_t next = cursor.PeekAt(1);
            if (cursor.Has(2) && (IsLegacyPrefix(next) || (next & 0xF0) == 0x40 || next == 0x9B)) {
                RecordPrefix(byte, out);
                cursor.Next();
                out.strayRex = true;
                break;
            }
        } else if (byte == 0x9B) {
            // FWAIT is an instruction, but before an x87 instruction it makes that
            // instruction's waiting form, like a prefix. Prefixes before it belong to it.
            out.waitPrefix = true;
            out.waitPrefixIndex = out.prefixCount;
            cursor.Next();
            if (out.prefixCount > 0 || out.rex != 0) break;
            continue;
        } else if (IsLegacyPrefix(byte)) {
            out.rex = 0;
            switch (byte) {
                case 0xF0:
                    out.prefixes |= kPrefixLock;
                    break;
                case 0xF2:
                    out.prefixes |= kPrefixRepne;
                    lastRepeat = byte;
                    break;
                case 0xF3:
                    out.prefixes |= kPrefixRep;
                    lastRepeat = byte;
                    break;
                case 0x66:
                    out.prefixes |= kPrefixOperandSize;
                    break;
                case 0x67:
                    out.prefixes |= kPrefixAddressSize;
                    break;
                default:
                    out.prefixes |= kPrefixSegment;
                    out.segment = byte;
                    break;
            }
        } else {
            break;
        }
        RecordPrefix(byte, out);
        cursor.Next();
    }
    if (out.rex != 0) out.prefixes |= kPrefixRex;
    // Of F2 and F3 the last one counts; either wins over 66 as the SSE selector.
    if (lastRepeat == 0xF3)
        out.mandatoryPrefix = 2;
    else if (lastRepeat == 0xF2)
        out.mandatoryPrefix = 3;
    else if (out.prefixes & kPrefixOperandSize)
        out.mandatoryPrefix = 1;
}

// 66, F2, F3, LOCK and REX before VEX, EVEX or XOP make it invalid (objdump decodes it
// anyway).
bool PrefixesAllowVectorEscape(const Instruction& out) {
    return !(out.prefixes & (kPrefixRex | kPrefixOperandSize | kPrefixRep | kPrefixRepne | kPrefixLock));
}

// The fields VEX, EVEX and XOP share: R, X and B inverted in the top bits of one byte,
// W and the inverted extra source register in another.
void SetVectorFields(std::uint8_t rxb, std::uint8_t wvvvv, unsigned map, Instruction& out) {
    if (out.mode == Mode::Bits64) {
        out.rex = static_cast<std::uint8_t>(0x40 | ((~rxb >> 5) & 7) | ((wvvvv & 0x80) ? 8 : 0));
        if (out.rex == 0x40) out.rex = 0;
    }
    out.vexW = wvvvv & 0x80;
    out.vexRegister = (~wvvvv >> 3) & (out.mode == Mode::Bits64 ? 0x0F : 0x07);
    out.vexMap = static_cast<std::uint8_t>(map);
    out.prefixes |= kPrefixVex;
}

void ReadOpcodeAndModRM(ByteCursor& cursor, Instruction& out) {
    out.opcode = cursor.Next();
    out.hasModRM = true;
    out.modrm = cursor.Next();
}

// VEX prefix (C4/C5) already identified; reads its payload and the opcode.
bool ReadVex(ByteCursor& cursor, std::uint8_t escape, Instruction& out) {
    if (!PrefixesAllowVectorEscape(out)) return false;
    const std::uint8_t first = cursor.Next();
    if (escape == 0xC5) {  // two-byte form: R and vvvv, L, pp; map 1, W 0
        SetVectorFields(static_cast<std::uint8_t>(first | 0x60), first & 0x7F, 1, out);
    } else {
        SetVectorFields(first, cursor.Peek(), first & 0x1F, out);
    }
    const std::uint8_t payload = escape == 0xC5 ? first : cursor.Next();
    out.vexLong = payload & 0x04;
    out.mandatoryPrefix = payload & 3;
    if (out.vexMap < 1 || out.vexMap > 3) return false;
    out.map = static_cast<OpcodeMap>(out.vexMap);
    out.opcode = cursor.Next();
    return !cursor.Truncated();
}

// Map 3 always has an immediate byte, map 1 for the shifts, compares and shuffles.
bool HasVexImmediate(unsigned map, std::uint8_t opcode) {
    return map == 3 || (map == 1 && ((opcode >= 0x70 && opcode <= 0x73) || (opcode >= 0xC2 && opcode <= 0xC6)));
}

const OpcodeEntry* ResolveVexEntry(const OpcodeTables& tables, Instruction& out) {
    if (out.vexMap == 1 && out.opcode == 0x77) return nullptr;  // vzeroupper, vzeroall: no ModR/M
    const OpcodeEntry& entry = tables.VexEntry(out.vexMap, out.opcode, out.mandatoryPrefix);
    if (entry.Valid()) return &entry;
    // Unnamed VEX encodings still have a known shape: ModR/M, and an immediate in map 3.
    static const OpcodeEntry unnamed{"(vex)", {Operand::Vx, Operand::Hx, Operand::Wx}, kModRM};
    static const OpcodeEntry unnamedWithImmediate{
        "(vex)", {Operand::Vx, Operand::Hx, Operand::Wx, Operand::Ib}, kModRM};
    return HasVexImmediate(out.vexMap, out.opcode) ? &unnamedWithImmediate : &unnamed;
}

// Resolves a slot to its entry once the ModR/M byte is known.
const OpcodeEntry* ResolveEntry(const OpcodeTables& tables, const OpcodeSlot& slot, Instruction& out) {
    const unsigned reg = out.Reg();
    const bool registerForm = out.Mod() == 3;
    switch (slot.kind) {
        case SlotKind::Entry:
        case SlotKind::Vex:
            return &tables.Entry(slot.index);
        case SlotKind::Group:
            if (registerForm && slot.registerForms != 0) {
                const OpcodeEntry& form = tables.RegisterForm(slot.registerForms - 1, out.modrm);
                return &form;
            }
            return &tables.GroupMember(slot.index, reg);
        case SlotKind::Prefixed:
            return &tables.Variant(slot.index, out.mandatoryPrefix);
        case SlotKind::PrefixedGroup:
            return &tables.GroupMember(static_cast<std::uint16_t>(slot.index + 8 * out.mandatoryPrefix), reg);
        case SlotKind::X87:
            return registerForm ? &tables.X87Register(out.opcode, out.modrm) : &tables.X87Memory(out.opcode, reg);
        case SlotKind::Amd3DNow:
            return &tables.Amd3DNow();
        default:
            return nullptr;
    }
}

// Encodings where a prefix or the ModR/M byte picks another instruction than the table.
const OpcodeEntry* ApplySpecialForms(const OpcodeTables& tables, const OpcodeEntry* entry, Instruction& out) {
    if (out.map == OpcodeMap::OneByte) {
        if (out.opcode == 0x90 && !(out.rex & 1)) {
            if (out.mandatoryPrefix == 2) return &tables.SpecialEntry(Special::Pause);
            if (!(out.prefixes & kPrefixOperandSize)) return &tables.SpecialEntry(Special::Nop);
        }
        if (out.opcode == 0x63 && out.mode == Mode::Bits64) return &tables.SpecialEntry(Special::Movsxd);
    } else if (out.map == OpcodeMap::TwoByte && out.vexMap == 0) {
        if ((out.opcode == 0x12 || out.opcode == 0x16) && out.mandatoryPrefix == 0 && out.Mod() == 3)
            return &tables.SpecialEntry(out.opcode == 0x12 ? Special::Movhlps : Special::Movlhps);
        if (out.opcode == 0x1E && out.mandatoryPrefix == 2 && (out.modrm == 0xFA || out.modrm == 0xFB))
            return &tables.SpecialEntry(out.modrm == 0xFA ? Special::Endbr64 : Special::Endbr32);
    }
    return entry;
}

// VEX forms chosen by ModR/M: groups by its reg field, and vmovss and vmovsd between
// registers, which take the upper part from VEX.vvvv.
const OpcodeEntry* ApplyVexSpecialForms(const OpcodeTables& tables, const OpcodeEntry* entry, const Instruction& out) {
    if (const OpcodeEntry* member = tables.VexGroupMember(out.vexMap, out.opcode, out.mandatoryPrefix, out.Reg()))
        return member;
    if (out.vexMap != 1 || out.Mod() != 3) return entry;
    if ((out.opcode == 0x12 || out.opcode == 0x16) && out.mandatoryPrefix == 0)
        return &tables.SpecialEntry(out.opcode == 0x12 ? Special::Vmovhlps : Special::Vmovlhps);
    if ((out.opcode != 0x10 && out.opcode != 0x11) || out.mandatoryPrefix < 2) return entry;
    const bool single = out.mandatoryPrefix == 2;
    if (out.opcode == 0x10) return &tables.SpecialEntry(single ? Special::VmovssLoad : Special::VmovsdLoad);
    return &tables.SpecialEntry(single ? Special::VmovssStore : Special::VmovsdStore);
}

// A mandatory prefix selects SSE forms; where 66 leaves the instruction as it is without
// it (bsf, movbe), it still sets the operand size.
bool UsesMandatoryPrefix(const OpcodeTables& tables, const OpcodeSlot& slot, const Instruction& out) {
    if (out.vexMap != 0 || slot.kind == SlotKind::PrefixedGroup) return true;
    if (slot.kind != SlotKind::Prefixed) return false;
    if (out.mandatoryPrefix != 1) return out.mandatoryPrefix != 0;
    const OpcodeEntry& plain = tables.Variant(slot.index, 0);
    const OpcodeEntry& prefixed = tables.Variant(slot.index, 1);
    return plain.mnemonic != prefixed.mnemonic || plain.operands != prefixed.operands;
}

void SetSizes(const OpcodeEntry& entry, bool mandatoryPrefixUsed, Instruction& out) {
    const bool operandPrefix =
        (out.prefixes & kPrefixOperandSize) && !(mandatoryPrefixUsed && out.mandatoryPrefix == 1);
    if (out.mode == Mode::Bits64) {
        if ((out.rex & 8) || (entry.flags & kForce64))
            out.operandSize = 64;
        else if (operandPrefix)
            out.operandSize = 16;
        else
            out.operandSize = (entry.flags & kDefault64) ? 64 : 32;
        out.addressSize = (out.prefixes & kPrefixAddressSize) ? 32 : 64;
    } else {
        out.operandSize = operandPrefix ? 16 : 32;
        out.addressSize = (out.prefixes & kPrefixAddressSize) ? 16 : 32;
    }
}

bool IsMemoryOnly(Operand operand) {
    return operand >= Operand::M && operand <= Operand::Mp;
}
bool IsRegisterOnly(Operand operand) {
    return operand == Operand::Ux || operand == Operand::Uo || operand == Operand::Nq;
}

// ModR/M memory operand: SIB and displacement. Register forms need nothing more.
void ReadMemoryOperand(ByteCursor& cursor, Instruction& out) {
    const unsigned mod = out.Mod();
    const unsigned rm = out.Rm();
    if (mod == 3) return;
    unsigned displacementSize = 0;
    if (out.addressSize == 16) {
        if (mod == 1)
            displacementSize = 1;
        else if (mod == 2 || (mod == 0 && rm == 6))
            displacementSize = 2;
    } else {
        if (rm == 4) {
            out.hasSib = true;
            out.sib = cursor.Next();
        }
        if (mod == 1)
            displacementSize = 1;
        else if (mod == 2)
            displacementSize = 4;
        else if (rm == 5 || (out.hasSib && (out.sib & 7) == 5))
            displacementSize = 4;
    }
    if (displacementSize != 0) {
        out.displacementOffset = static_cast<std::uint8_t>(cursor.Position());
        out.displacementSize = static_cast<std::uint8_t>(displacementSize);
        out.displacement = SignExtend(cursor.Value(displacementSize), displacementSize);
    }
}

unsigned ImmediateSize(Operand operand, const Instruction& out) {
    switch (operand) {
        case Operand::Ib:
        case Operand::Ibs:
        case Operand::Jb:
        case Operand::Lx:  // the register number in the high bits of an immediate byte
            return 1;
        case Operand::Iw:
            return 2;
        case Operand::Id:
            return 4;
        case Operand::Iz:
            return out.operandSize == 16 ? 2 : 4;
        case Operand::Iv:
            return out.operandSize / 8;
        case Operand::Jz:
            // 66 makes the offset 16-bit, in 64-bit mode too as on AMD processors and in objdump.
            return ((out.prefixes & kPrefixOperandSize) && !(out.rex & 8)) ? 2 : 4;
        case Operand::Ap:
            return out.operandSize == 16 ? 2 : 4;
        default:
            return 0;
    }
}

void ReadImmediates(ByteCursor& cursor, const OpcodeEntry& entry, Instruction& out) {
    for (Operand operand : entry.operands) {
        if (operand == Operand::Ob || operand == Operand::Ov) {
            const unsigned size = out.addressSize / 8;
            out.displacementOffset = static_cast<std::uint8_t>(cursor.Position());
            out.displacementSize = static_cast<std::uint8_t>(size);
            out.displacement = static_cast<std::int64_t>(cursor.Value(size));
            continue;
        }
        const unsigned size = ImmediateSize(operand, out);
        if (size == 0) continue;
        if (out.immediateSize == 0) {
            out.immediateOffset = static_cast<std::uint8_t>(cursor.Position());
            out.immediateSize = static_cast<std::uint8_t>(size);
            out.immediate = cursor.Value(size);
        } else {
            out.immediate2Size = static_cast<std::uint8_t>(size);
            out.immediate2 = cursor.Value(size);
        }
        if (operand == Operand::Ap) {  // the selector follows the offset
            out.immediate2Size = 2;
            out.immediate2 = cursor.Value(2);
        }
    }
}

bool HasBaseOrIndex(const Instruction& out) {
    if (out.Mod() == 3) return true;
    if (out.addressSize == 16) return !(out.Mod() == 0 && out.Rm() == 6);
    if (!out.hasSib) return !(out.Mod() == 0 && out.Rm() == 5);
    const bool noIndex = ((out.sib >> 3) & 7) == 4 && !(out.rex & 2);
    const bool noBase = out.Mod() == 0 && (out.sib & 7) == 5;
    return !(noIndex && noBase);
}

bool IsRipRelative(const Instruction& out) {
    return out.mode == Mode::Bits64 && out.addressSize != 16 && out.Mod() == 0 && out.Rm() == 5 && !out.hasSib;
}

void SetMemoryAddress(const OpcodeEntry& entry, Instruction& out) {
    // fs: and gs: point into per-thread blocks, not at a linear address we know.
    if (out.segment == 0x64 || out.segment == 0x65) return;
    const std::uint64_t mask =
        out.addressSize == 64 ? ~std::uint64_t{0} : (out.addressSize == 32 ? 0xFFFFFFFF : 0xFFFF);
    for (Operand operand : entry.operands) {
        if (operand == Operand::Ob || operand == Operand::Ov) {
            out.hasMemoryAddress = true;
            out.memoryAddress = static_cast<std::uint64_t>(out.displacement) & mask;
            return;
        }
    }
    if (!out.HasMemoryOperandInModRM()) return;
    if (IsRipRelative(out)) {
        out.hasMemoryAddress = true;
        out.memoryAddress = out.End() + static_cast<std::uint64_t>(out.displacement);
        if (out.addressSize == 32) out.memoryAddress &= 0xFFFFFFFF;
    } else if (!HasBaseOrIndex(out)) {
        out.hasMemoryAddress = true;
        out.memoryAddress = static_cast<std::uint64_t>(out.displacement) & mask;
    }
}

// Relative targets, also of instructions that do not branch at once (xbegin).
void SetRelativeTarget(const OpcodeEntry& entry, Instruction& out) {
    if (entry.operands[0] != Operand::Jb && entry.operands[0] != Operand::Jz) return;
    out.hasTarget = true;
    std::uint64_t target = out.End() + static_cast<std::uint64_t>(SignExtend(out.immediate, out.immediateSize));
    if (out.immediateSize == 2)
        target &= 0xFFFF;
    else if (out.mode == Mode::Bits32)
        target &= 0xFFFFFFFF;
    out.target = target;
}

void SetFlow(const OpcodeEntry& entry, Instruction& out) {
    const std::uint32_t flags = entry.flags;
    if (flags & kCall)
        out.flow = Flow::Call;
    else if (flags & kJump)
        out.flow = (flags & kConditional) ? Flow::ConditionalJump : Flow::Jump;
    else if (flags & kReturn)
        out.flow = Flow::Return;
    else if (flags & kStop)
        out.flow = Flow::Stop;
    else
        return;
    out.far = flags & kFar;
    const Operand first = entry.operands[0];
    if (first == Operand::Ap) {
        out.hasTarget = true;
        out.target = out.immediate;
    } else if (!out.hasTarget && (out.flow == Flow::Call || out.flow == Flow::Jump)) {
        out.indirect = true;
    }
}

// EVEX (AVX-512) instructions are decoded for their length: four bytes of prefix, the
// opcode, ModR/M with its address, and an immediate where the VEX forms have one.
const OpcodeEntry* ReadEvexInstruction(ByteCursor& cursor, Instruction& out) {
    if (!PrefixesAllowVectorEscape(out)) return nullptr;
    const std::uint8_t p0 = cursor.Next();
    const std::uint8_t p1 = cursor.Next();
    const std::uint8_t p2 = cursor.Next();
    const unsigned map = p0 & 7;
    if (map == 0 || map == 4 || map == 7 || !(p1 & 0x04)) return nullptr;
    SetVectorFields(p0, p1, map, out);
    out.vexLong = ((p2 >> 5) & 3) == 1;
    out.mandatoryPrefix = p1 & 3;
    ReadOpcodeAndModRM(cursor, out);
    static const OpcodeEntry evex{"(evex)", {Operand::Vx, Operand::Hx, Operand::Wx}, kModRM};
    static const OpcodeEntry evexWithImmediate{"(evex)", {Operand::Vx, Operand::Hx, Operand::Wx, Operand::Ib}, kModRM};
    return HasVexImmediate(map, out.opcode) ? &evexWithImmediate : &evex;
}

const OpcodeEntry* ReadVexInstruction(ByteCursor& cursor, std::uint8_t escape, const OpcodeTables& tables,
                                      Instruction& out) {
    if (!ReadVex(cursor, escape, out)) return nullptr;
    const OpcodeEntry* entry = ResolveVexEntry(tables, out);
    if (entry == nullptr) {  // vzeroupper / vzeroall: no ModR/M
        static const OpcodeEntry zeroUpper{"vzeroupper", {}, 0};
        static const OpcodeEntry zeroAll{"vzeroall", {}, 0};
        return out.vexLong ? &zeroAll : &zeroUpper;
    }
    if (entry->flags & kModRM) {
        out.hasModRM = true;
        out.modrm = cursor.Next();
    }
    return ApplyVexSpecialForms(tables, entry, out);
}

// FWAIT that no x87 instruction follows: the instruction is FWAIT with the prefixes
// before it; those after it belong to the next instruction.
bool DecodeWait(const OpcodeTables& tables, Instruction& out) {
    out.waitPrefix = false;
    out.prefixCount = out.waitPrefixIndex;
    out.opcode = 0x9B;
    out.entry = &tables.Entry(tables.Slot(OpcodeMap::OneByte, 0x9B).index);
    out.length = static_cast<std::uint8_t>(out.waitPrefixIndex + 1);
    return true;
}

// AMD's XOP instructions (8F with a map number of 8 and above where POP needs reg 0),
// decoded for their length: map 8 has an immediate byte, map 0A a 32-bit immediate.
const OpcodeEntry* ReadXopInstruction(ByteCursor& cursor, Instruction& out) {
    if (!PrefixesAllowVectorEscape(out)) return nullptr;
    const std::uint8_t first = cursor.Next();
    const std::uint8_t second = cursor.Next();
    const unsigned map = first & 0x1F;
    if (map > 10) return nullptr;
    SetVectorFields(first, second, map, out);
    out.vexLong = second & 0x04;
    ReadOpcodeAndModRM(cursor, out);
    static const OpcodeEntry xop{"(xop)", {Operand::Vx, Operand::Hx, Operand::Wx}, kModRM};
    static const OpcodeEntry xopByte{"(xop)", {Operand::Vx, Operand::Hx, Operand::Wx, Operand::Ib}, kModRM};
    static const OpcodeEntry xopDword{"(xop)", {Operand::Gy, Operand::Ey, Operand::Id}, kModRM};
    if (map == 8) return &xopByte;
    return map == 10 ? &xopDword : &xop;
}

bool Decode(ByteCursor& cursor, Instruction& out) {
    const OpcodeTables& tables = OpcodeTables::Get();
    ReadPrefixes(cursor, out);
    if (out.strayRex) {
        out.entry = &tables.SpecialEntry(Special::StrayRex);
        // After a leading FWAIT objdump ends the instruction with that FWAIT.
        out.length = static_cast<std::uint8_t>(out.waitPrefix ? out.prefixCount : cursor.Position());
        return true;
    }
    if (out.waitPrefix && (!cursor.Has(2) || (cursor.Peek() & 0xF8) != 0xD8)) return DecodeWait(tables, out);
    std::uint8_t opcode = cursor.Next();
    const OpcodeSlot* slot = &tables.Slot(OpcodeMap::OneByte, opcode);
    const OpcodeEntry* entry = nullptr;
    // C4, C5 and 62 are VEX and EVEX in 64-bit mode, elsewhere when a register form follows.
    const bool vectorEscape = out.mode == Mode::Bits64 || (cursor.Peek() & 0xC0) == 0xC0;
    static const OpcodeSlot vexSlot{SlotKind::Prefixed};
    if (slot->kind == SlotKind::Vex && vectorEscape) {
        entry = ReadVexInstruction(cursor, opcode, tables, out);
        slot = &vexSlot;
    } else if (opcode == 0x62 && vectorEscape) {
        entry = ReadEvexInstruction(cursor, out);
        slot = &vexSlot;
    } else if (opcode == 0x8F && (cursor.Peek() & 0x1F) >= 8) {
        entry = ReadXopInstruction(cursor, out);
        slot = &vexSlot;
    } else {
        if (slot->kind == SlotKind::Escape) {
            opcode = cursor.Next();
            out.map = OpcodeMap::TwoByte;
            if (opcode == 0x38 || opcode == 0x3A) {
                out.map = opcode == 0x38 ? OpcodeMap::ThreeByte38 : OpcodeMap::ThreeByte3A;
                opcode = cursor.Next();
            }
            slot = &tables.Slot(out.map, opcode);
        }
        out.opcode = opcode;
        if (cursor.Truncated() || slot->kind == SlotKind::Invalid || slot->kind == SlotKind::Prefix) return false;
        if (slot->flags & kModRM) {
            out.hasModRM = true;
            out.modrm = cursor.Next();
        }
        entry = ApplySpecialForms(tables, ResolveEntry(tables, *slot, out), out);
    }
    if (entry == nullptr || !entry->Valid() || cursor.Truncated()) return false;
    if (out.mode == Mode::Bits64 && (entry->flags & kInvalid64)) return false;
    out.entry = entry;
    out.mandatoryPrefixUsed = UsesMandatoryPrefix(tables, *slot, out);
    SetSizes(*entry, out.mandatoryPrefixUsed, out);
    // Moves to and from control and debug registers ignore the mod field.
    out.modIgnored = (entry->operands[0] >= Operand::Cy && entry->operands[0] <= Operand::Ty) ||
                     (entry->operands[1] >= Operand::Cy && entry->operands[1] <= Operand::Ty);
    if (out.hasModRM && !out.modIgnored) {
        for (Operand operand : entry->operands) {
            if (out.Mod() == 3 && IsMemoryOnly(operand)) return false;
            if (out.Mod() != 3 && IsRegisterOnly(operand)) return false;
        }
        ReadMemoryOperand(cursor, out);
    }
    ReadImmediates(cursor, *entry, out);
    if (cursor.Truncated()) return false;
    out.length = static_cast<std::uint8_t>(cursor.Position());
    SetMemoryAddress(*entry, out);
    SetRelativeTarget(*entry, out);
    SetFlow(*entry, out);
    return true;
}

}  // namespace

bool DecodeInstruction(const std::uint8_t* bytes, std::size_t available, std::uint64_t address, Mode mode,
                       Instruction& out) {
    out = Instruction{};
    out.address = address;
    out.mode = mode;
    ByteCursor cursor(bytes, available);
    out.valid = Decode(cursor, out);
    if (!out.valid) {
        out.length = 0;
        out.flow = Flow::Sequential;
        out.hasTarget = out.hasMemoryAddress = out.indirect = false;
    }
    return out.valid;
}

bool DecodeInstruction(const MemoryReader& reader, std::uint64_t address, Mode mode, Instruction& out) {
    std::uint8_t bytes[kMaxInstructionLength];
    std::size_t available = kMaxInstructionLength;
    if (!reader.Read(address, bytes, available)) {
        // Find how many bytes can be read: the readable run is a prefix of the 15.
        std::size_t low = 0, high = kMaxInstructionLength - 1;
        while (low < high) {
            const std::size_t middle = (low + high + 1) / 2;
            if (reader.Read(address, bytes, middle))
                low = middle;
            else
                high = middle - 1;
        }
        available = low;
        if (available != 0 && !reader.Read(address, bytes, available)) available = 0;
    }
    return DecodeInstruction(bytes, available, address, mode, out);
}

}  // namespace brevant::x86
