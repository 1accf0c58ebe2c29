#include "x86/instruction_text.h"

#include <cstring>
#include <string_view>

namespace brevant::x86 {
namespace {

constexpr const char* kRegisters8[16] = {"al",  "cl",  "dl",   "bl",   "spl",  "bpl",  "sil",  "dil",
                                         "r8b", "r9b", "r10b", "r11b", "r12b", "r13b", "r14b", "r15b"};
constexpr const char* kRegisters8Legacy[8] = {"al", "cl", "dl", "bl", "ah", "ch", "dh", "bh"};
constexpr const char* kRegisters16[16] = {"ax",  "cx",  "dx",   "bx",   "sp",   "bp",   "si",   "di",
                                          "r8w", "r9w", "r10w", "r11w", "r12w", "r13w", "r14w", "r15w"};
constexpr const char* kRegisters32[16] = {"eax", "ecx", "edx",  "ebx",  "esp",  "ebp",  "esi",  "edi",
                                          "r8d", "r9d", "r10d", "r11d", "r12d", "r13d", "r14d", "r15d"};
constexpr const char* kRegisters64[16] = {"rax", "rcx", "rdx", "rbx", "rsp", "rbp", "rsi", "rdi",
                                          "r8",  "r9",  "r10", "r11", "r12", "r13", "r14", "r15"};
constexpr const char* kSegments[8] = {"es", "cs", "ss", "ds", "fs", "gs", "?", "?"};
constexpr const char* kAddress16[8] = {"bx+si", "bx+di", "bp+si", "bp+di", "si", "di", "bp", "bx"};
// Predicates of cmpps and friends; the VEX forms know all 32.
constexpr std::string_view kComparePredicates[32] = {
    "eq",     "lt",     "le",    "unord",  "neq",    "nlt",      "nle",    "ord",   "eq_uq",   "nge",    "ngt",
    "false",  "neq_oq", "ge",    "gt",     "true",   "eq_os",    "lt_oq",  "le_oq", "unord_s", "neq_us", "nlt_uq",
    "nle_uq", "ord_s",  "eq_us", "nge_uq", "ngt_uq", "false_os", "neq_os", "ge_oq", "gt_oq",   "true_us"};

// A bounded text builder over the caller's buffer: no allocation.
class TextWriter {
public:
    TextWriter(char* buffer, std::size_t capacity) : buffer_(buffer), capacity_(capacity) {}

    void Put(char c) {
        if (length_ + 1 < capacity_) buffer_[length_] = c;
        ++length_;
    }
    void Put(std::string_view text) {
        for (char c : text) Put(c);
    }
    void Hex(std::uint64_t value, bool prefix = true) {
        if (prefix) Put("0x");
        char digits[16];
        int count = 0;
        do {
            digits[count++] = "0123456789abcdef"[value & 15];
            value >>= 4;
        } while (value != 0);
        while (count > 0) Put(digits[--count]);
    }
    void Decimal(unsigned value) {
        if (value >= 10) Decimal(value / 10);
        Put(static_cast<char>('0' + value % 10));
    }
    void DropLast() {
        if (length_ > 0) --length_;
    }
    void PadTo(std::size_t column) {
        while (length_ < column) Put(' ');
    }
    std::size_t Finish() {
        if (capacity_ != 0) buffer_[length_ < capacity_ ? length_ : capacity_ - 1] = '\0';
        return length_ < capacity_ ? length_ : (capacity_ == 0 ? 0 : capacity_ - 1);
    }
    std::size_t Length() const { return length_; }

private:
    char* buffer_;
    std::size_t capacity_;
    std::size_t length_ = 0;
};

std::uint64_t SizeMask(unsigned bits) {
    return bits >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << bits) - 1;
}

const char* GeneralRegister(unsigned number, unsigned bits, bool rexPresent) {
    switch (bits) {
        case 8:
            return rexPresent ? kRegisters8[number] : kRegisters8Legacy[number & 7];
        case 16:
            return kRegisters16[number];
        case 64:
            return kRegisters64[number];
        default:
            return kRegisters32[number];
    }
}

class InstructionPrinter {
public:
    InstructionPrinter(const Instruction& instruction, TextWriter& out, const AddressNamer* namer)
        : in_(instruction), entry_(*instruction.entry), out_(out), namer_(namer) {}

    void Print() {
        if (in_.rex != 0 && in_.vexMap == 0 && !in_.strayRex) rexUsed_ = RexBitsUsed();
        const std::size_t start = out_.Length();
        PrintPrefixes();
        if (in_.strayRex) return out_.DropLast();  // the prefix names are all there is
        PrintBody(start);
    }

private:
    // Which REX bits the mnemonic and operands consult (0x40: any of them, or a byte register
    // that only exists with REX), found by printing them once into a scratch buffer.
    std::uint8_t RexBitsUsed() const {
        char scratch[256];
        TextWriter writer(scratch, sizeof scratch);
        InstructionPrinter dryRun(in_, writer, nullptr);
        dryRun.PrintBody(0);
        std::uint8_t used = dryRun.rexUsed_;
        if ((in_.rex & 8) && UsesRexW()) used |= 0x48;
        return used;
    }

    // The mnemonic and the operands; the operands start in a column counted from start.
    void PrintBody(std::size_t start) {
        PrintMnemonic();
        bool first = true;
        const unsigned operandCount = OperandCount();
        for (unsigned i = 0; i < operandCount; ++i) {
            if (first) {
                out_.PadTo(start + 6);
                out_.Put(' ');
            } else {
                out_.Put(',');
            }
            first = false;
            PrintOperand(entry_.operands[i]);
        }
        if (comment_) {
            out_.Put("        # ");
            PrintAddress(commentAddress_);
        }
    }

    bool Mode64() const { return in_.mode == Mode::Bits64; }
    bool RexPresent() const { return in_.rex != 0; }
    unsigned RexBit(unsigned bit) const {
        const unsigned set = (in_.rex >> bit) & 1;
        if (set) rexUsed_ |= static_cast<std::uint8_t>(0x40 | (1u << bit));
        return set;
    }
    // A general register by number; the byte registers spl to dil need REX.
    const char* Register(unsigned number, unsigned bits) const {
        if (bits == 8 && RexPresent()) rexUsed_ |= 0x40;
        return GeneralRegister(number, bits, RexPresent());
    }
    unsigned RegField() const { return in_.Reg() | (RexBit(2) << 3); }
    unsigned RmField() const { return in_.Rm() | (RexBit(0) << 3); }
    bool MemoryForm() const { return in_.HasMemoryOperandInModRM(); }

    bool PredicateInMnemonic() const {
        if (in_.map == OpcodeMap::TwoByte && in_.opcode == 0xC2) return in_.immediate < (in_.vexMap != 0 ? 32u : 8u);
        return in_.map == OpcodeMap::ThreeByte3A && in_.opcode == 0x44 && (in_.immediate & 0xEE) == 0;
    }

    unsigned OperandCount() const {
        unsigned count = 0;
        while (count < 4 && entry_.operands[count] != Operand::None) ++count;
        if (PredicateInMnemonic()) --count;  // the predicate moves into the mnemonic
        return count;
    }

    bool HasMemoryOperand() const {
        if (MemoryForm()) return true;
        for (Operand operand : entry_.operands)
            if (operand == Operand::Ob || operand == Operand::Ov ||
                (operand >= Operand::Xb && operand <= Operand::Xlat))
                return true;
        return false;
    }

    bool DependsOnOperandSize() const {
        if (entry_.flags & (kSizeMnemonic | kString | kStringCompare)) return true;
        for (Operand operand : entry_.operands) {
            switch (operand) {
                case Operand::Ev:
                case Operand::Gv:
                case Operand::Iz:
                case Operand::Iv:
                case Operand::Ibs:
                case Operand::rAX:
                case Operand::eAX:
                case Operand::Zv:
                case Operand::Ov:
                case Operand::Xv:
                case Operand::Yv:
                case Operand::Mv:
                case Operand::Mp:
                case Operand::Ewv:
                case Operand::Rv:
                case Operand::Jz:
                case Operand::Ap:
                    return true;
                default:
                    break;
            }
        }
        return false;
    }

    // REX.W means nothing to instructions whose size is fixed at 64 bits or not sized.
    bool UsesRexW() const {
        if (entry_.flags & (kForce64 | kDefault64)) return false;
        if (DependsOnOperandSize()) return true;
        for (Operand operand : entry_.operands)
            if (operand == Operand::Ey || operand == Operand::Gy || operand == Operand::My || operand == Operand::Zy ||
                operand == Operand::Mp || operand == Operand::Mq)
                return true;
        return in_.map == OpcodeMap::TwoByte && (in_.opcode == 0xC7 || in_.opcode == 0xAE);
    }

    bool BranchLike() const { return in_.flow != Flow::Sequential && in_.flow != Flow::Stop; }

    // Prefixes that change nothing are named before the mnemonic, as objdump does.
    void PrintPrefixes() {
        const bool mandatory = in_.vexMap == 0 && (in_.mandatoryPrefixUsed || UsesSpecialPrefix());
        int lastOperand = -1, lastSegment = -1, lastAddress = -1, lastRepeat = -1;
        for (int i = 0; i < in_.prefixCount && i < 14; ++i) {
            const std::uint8_t byte = in_.prefixBytes[i];
            if (byte == 0x66) lastOperand = i;
            if (byte == 0x67) lastAddress = i;
            if (byte == 0xF2 || byte == 0xF3) lastRepeat = i;
            if (SegmentOfPrefix(byte) >= 0) lastSegment = i;
        }
        for (int i = 0; i < in_.prefixCount && i < 14; ++i) {
            const std::uint8_t byte = in_.prefixBytes[i];
            switch (byte) {
                case 0xF0:
                    out_.Put("lock ");
                    break;
                case 0xF2:
                case 0xF3:
                    if (i == lastRepeat && mandatory && in_.mandatoryPrefix >= 2) break;
                    if (entry_.flags & kString)
                        out_.Put(byte == 0xF3 ? "rep " : "repnz ");
                    else if (byte == 0xF2 && BranchLike())
                        out_.Put("bnd ");
                    else
                        out_.Put(byte == 0xF3 ? "repz " : "repnz ");
                    break;
                case 0x66:
                    if (i == lastOperand && (in_.operandSize == 16 || (mandatory && in_.mandatoryPrefix == 1)) &&
                        (DependsOnOperandSize() || mandatory))
                        break;
                    out_.Put("data16 ");
                    break;
                case 0x67:
                    if (i == lastAddress &&
                        (HasMemoryOperand() || in_.opcode == 0xE3 ||
                         (in_.map == OpcodeMap::OneByte && in_.opcode >= 0xE0 && in_.opcode <= 0xE2)))
                        break;
                    out_.Put(Mode64() ? "addr32 " : "addr16 ");
                    break;
                default:
                    if (SegmentOfPrefix(byte) >= 0) {
                        if (i != lastSegment || !SegmentShownInOperand()) {
                            out_.Put(kSegments[SegmentOfPrefix(byte)]);
                            out_.Put(' ');
                        }
                        break;
                    }
                    if ((byte & 0xF0) == 0x40) {
                        // Named when it is not the one in front of the opcode, or when the
                        // instruction leaves one of its bits unused.
                        if (i + 1 != in_.prefixCount || in_.strayRex || in_.vexMap != 0)
                            PrintRex(byte);
                        else if ((byte & 8) && !UsesRexW())
                            PrintRex(byte);
                        else if ((byte & 0x47 & ~rexUsed_) != 0)
                            PrintRex(byte);
                    }
                    break;
            }
        }
    }

    void PrintRex(std::uint8_t byte) {
        out_.Put("rex");
        if (byte & 0x0F) {
            out_.Put('.');
            if (byte & 8) out_.Put('W');
            if (byte & 4) out_.Put('R');
            if (byte & 2) out_.Put('X');
            if (byte & 1) out_.Put('B');
        }
        out_.Put(' ');
    }

    // pause and endbr are made by their F3 prefix.
    bool UsesSpecialPrefix() const {
        const OpcodeTables& tables = OpcodeTables::Get();
        return &entry_ == &tables.SpecialEntry(OpcodeTables::Special::Pause) ||
               &entry_ == &tables.SpecialEntry(OpcodeTables::Special::Endbr64) ||
               &entry_ == &tables.SpecialEntry(OpcodeTables::Special::Endbr32);
    }

    bool SegmentShownInOperand() const {
        if (!HasMemoryOperand()) return false;
        // In 64-bit mode only fs and gs still mean something.
        return !Mode64() || in_.segment == 0x64 || in_.segment == 0x65;
    }

    void PrintMnemonic() {
        std::string_view mnemonic = entry_.mnemonic;
        if (entry_.flags & kVexWMnemonic) {
            const std::size_t slash = mnemonic.find('/');
            mnemonic = in_.vexW ? mnemonic.substr(slash + 1) : mnemonic.substr(0, slash);
        } else if (entry_.flags & kSizeMnemonic) {
            const std::size_t first = mnemonic.find('/');
            const std::size_t second = mnemonic.find('/', first + 1);
            if (in_.operandSize == 16)
                mnemonic = mnemonic.substr(first + 1, second - first - 1);
            else if (in_.operandSize == 64 && second + 1 < mnemonic.size())
                mnemonic = mnemonic.substr(second + 1);
            else
                mnemonic = mnemonic.substr(0, first);
        }
        if (in_.map == OpcodeMap::OneByte && in_.opcode == 0xE3)
            mnemonic = in_.addressSize == 64 ? "jrcxz" : (in_.addressSize == 16 ? "jcxz" : "jecxz");
        if (Mode64() && in_.map == OpcodeMap::OneByte &&
            ((in_.opcode >= 0xA0 && in_.opcode <= 0xA3 && in_.addressSize == 64) ||
             (in_.opcode >= 0xB8 && in_.opcode <= 0xBF && in_.operandSize == 64)))
            mnemonic = "movabs";
        if (in_.rex & 8) mnemonic = WideForm(mnemonic);
        if (PredicateInMnemonic()) return PrintPredicateMnemonic(mnemonic);
        // FWAIT before a non-waiting x87 control instruction makes its waiting form.
        if (in_.waitPrefix && mnemonic.substr(0, 2) == "fn" && mnemonic != "fnop") {
            out_.Put('f');
            mnemonic.remove_prefix(2);
        }
        out_.Put(mnemonic);
        // The state saves name their 64-bit layouts.
        if (in_.map == OpcodeMap::TwoByte && in_.opcode == 0xAE && (in_.rex & 8) && MemoryForm() && in_.Reg() != 2 &&
            in_.Reg() != 3 && in_.Reg() != 7)
            out_.Put("64");
    }

    // Names that REX.W changes.
    static std::string_view WideForm(std::string_view mnemonic) {
        constexpr std::pair<std::string_view, std::string_view> kWide[] = {
            {"movd", "movq"},       {"pextrd", "pextrq"},   {"pinsrd", "pinsrq"},       {"vmovd", "vmovq"},
            {"vpextrd", "vpextrq"}, {"vpinsrd", "vpinsrq"}, {"cmpxchg8b", "cmpxchg16b"}};
        for (const auto& [narrow, wide] : kWide)
            if (mnemonic == narrow) return wide;
        return mnemonic;
    }

    // cmpps and pclmulqdq with an immediate that names a predicate print it in the name.
    void PrintPredicateMnemonic(std::string_view mnemonic) {
        const std::size_t stem = mnemonic.find(in_.opcode == 0xC2 ? "cmp" : "pclmul");
        out_.Put(mnemonic.substr(0, stem));  // the "v" of VEX forms
        if (in_.opcode == 0xC2) {
            out_.Put("cmp");
            out_.Put(kComparePredicates[in_.immediate]);
            return out_.Put(mnemonic.substr(stem + 3));
        }
        out_.Put("pclmul");
        out_.Put(in_.immediate & 0x01 ? "hq" : "lq");
        out_.Put(in_.immediate & 0x10 ? "hq" : "lq");
        out_.Put("dq");
    }

    unsigned VectorRegisterBits(Operand operand) const {
        const bool alwaysXmm = operand == Operand::Vo || operand == Operand::Ho || operand == Operand::Uo ||
                               operand == Operand::Wo || operand == Operand::Wq || operand == Operand::Wd ||
                               operand == Operand::Ww || operand == Operand::Wb || operand == Operand::Ws;
        return (in_.vexLong && !alwaysXmm) ? 256 : 128;
    }

    void PrintVectorRegister(unsigned number, unsigned bits) {
        out_.Put(bits == 256 ? "ymm" : "xmm");
        out_.Decimal(number);
    }

    void PrintMmxRegister(unsigned number) {
        out_.Put("mm");
        out_.Decimal(number & 7);
    }

    void PrintOperand(Operand operand) {
        const unsigned size = in_.operandSize;
        switch (operand) {
            case Operand::Eb:
                return PrintRegisterOrMemory(8, "BYTE");
            case Operand::Ew:
                return PrintRegisterOrMemory(16, "WORD");
            case Operand::Ed:
                return PrintRegisterOrMemory(32, "DWORD");
            case Operand::Eq:
                return PrintRegisterOrMemory(64, "QWORD");
            case Operand::Ev:
            case Operand::Mv:
                return PrintRegisterOrMemory(size, SizeName(size));
            case Operand::Ey:
            case Operand::My: {
                const unsigned bits = (in_.rex & 8) || in_.vexW ? 64 : 32;
                return PrintRegisterOrMemory(bits, SizeName(bits));
            }
            case Operand::Ewv:
                return PrintRegisterOrMemory(size, "WORD");
            case Operand::RdMb:
                return PrintRegisterOrMemory(32, "BYTE");
            case Operand::RdMw:
                return PrintRegisterOrMemory(32, "WORD");
            case Operand::Rv:
                return out_.Put(Register(RmField(), size));
            case Operand::Ry:
                return out_.Put(Register(RmField(), Mode64() ? 64 : 32));
            case Operand::Gb:
                return out_.Put(Register(RegField(), 8));
            case Operand::Gw:
                return out_.Put(Register(RegField(), 16));
            case Operand::Gd:
                return out_.Put(Register(RegField(), 32));
            case Operand::Gv:
                return out_.Put(Register(RegField(), size));
            case Operand::Gy:
                return out_.Put(Register(RegField(), (in_.rex & 8) || in_.vexW ? 64 : 32));
            case Operand::Hy:
                return out_.Put(Register(in_.vexRegister, in_.vexW ? 64 : 32));
            case Operand::M:
                return PrintMemory(nullptr);
            case Operand::Mb:
                return PrintMemory("BYTE");
            case Operand::Mw:
                return PrintMemory("WORD");
            case Operand::Md:
                return PrintMemory("DWORD");
            case Operand::Mq:
                return PrintMemory(in_.rex & 8 ? "OWORD" : "QWORD");
            case Operand::Mt:
                return PrintMemory("TBYTE");
            case Operand::Mx:
                return PrintMemory(in_.vexLong ? "YMMWORD" : "XMMWORD");
            case Operand::Mp:
                return PrintMemory((in_.rex & 8) ? "TBYTE" : (size == 16 ? "DWORD" : "FWORD"));
            case Operand::Ib:
                return out_.Hex(in_.immediateSize == 1 ? in_.immediate : in_.immediate2);
            case Operand::Ibs: {
                const std::uint64_t value = static_cast<std::uint64_t>(SignExtend(in_.immediate, 1));
                return out_.Hex(value & SizeMask(size));
            }
            case Operand::Iw:
                return out_.Hex(in_.immediate);
            case Operand::Iz:
            case Operand::Iv: {
                const std::uint64_t value =
                    static_cast<std::uint64_t>(SignExtend(in_.immediate, in_.immediateSize)) & SizeMask(size);
                return out_.Hex(value);
            }
            case Operand::Jb:
            case Operand::Jz:
                return PrintTarget(in_.target);
            case Operand::Ap:
                out_.Hex(in_.immediate2);
                out_.Put(':');
                return out_.Hex(in_.immediate);
            case Operand::Ob:
            case Operand::Ov:
                out_.Put(in_.segment ? kSegments[SegmentOfPrefix(in_.segment)] : "ds");
                out_.Put(':');
                return out_.Hex(static_cast<std::uint64_t>(in_.displacement) & SizeMask(in_.addressSize));
            case Operand::AL:
                return out_.Put("al");
            case Operand::AX:
                return out_.Put("ax");
            case Operand::CL:
                return out_.Put("cl");
            case Operand::DX:
                return out_.Put("dx");
            case Operand::One:
                return out_.Put("1");
            case Operand::rAX:
                return out_.Put(GeneralRegister(0, size, false));
            case Operand::eAX:
                return out_.Put(size == 16 ? "ax" : "eax");
            case Operand::Zb:
                return out_.Put(Register((in_.opcode & 7) | (RexBit(0) << 3), 8));
            case Operand::Zv:
                return out_.Put(Register((in_.opcode & 7) | (RexBit(0) << 3), size));
            case Operand::Zy:
                return out_.Put(
                    Register((in_.opcode & 7) | (RexBit(0) << 3), size == 64 ? 64 : 32));
            case Operand::SegES:
                return out_.Put("es");
            case Operand::SegCS:
                return out_.Put("cs");
            case Operand::SegSS:
                return out_.Put("ss");
            case Operand::SegDS:
                return out_.Put("ds");
            case Operand::SegFS:
                return out_.Put("fs");
            case Operand::SegGS:
                return out_.Put("gs");
            case Operand::Sw:
                return out_.Put(kSegments[in_.Reg()]);
            case Operand::Cy:
                out_.Put("cr");
                return out_.Decimal(RegField());
            case Operand::Dy:
                out_.Put("dr");
                return out_.Decimal(RegField());
            case Operand::Ty:
                out_.Put("tr");
                return out_.Decimal(RegField());
            case Operand::Xb:
                return PrintStringOperand("BYTE", 6, true);
            case Operand::Xv:
                return PrintStringOperand(SizeName(size), 6, true);
            case Operand::Yb:
                return PrintStringOperand("BYTE", 7, false);
            case Operand::Yv:
                return PrintStringOperand(SizeName(size), 7, false);
            case Operand::Xlat:
                return PrintStringOperand("BYTE", 3, true);
            case Operand::St0:
                return out_.Put("st");
            case Operand::Sti:
                out_.Put("st(");
                out_.Decimal(in_.Rm());
                return out_.Put(')');
            case Operand::Pq:
                return PrintMmxRegister(in_.Reg());
            case Operand::Nq:
                return PrintMmxRegister(in_.Rm());
            case Operand::Qq:
                if (MemoryForm()) return PrintMemory("QWORD");
                return PrintMmxRegister(in_.Rm());
            case Operand::Qd:
                if (MemoryForm()) return PrintMemory("DWORD");
                return PrintMmxRegister(in_.Rm());
            case Operand::Vx:
            case Operand::Vo:
                return PrintVectorRegister(RegField(), VectorRegisterBits(operand));
            case Operand::Hx:
            case Operand::Ho:
                return PrintVectorRegister(in_.vexRegister, VectorRegisterBits(operand));
            case Operand::Ux:
            case Operand::Uo:
                return PrintVectorRegister(RmField(), VectorRegisterBits(operand));
            case Operand::Wx:
            case Operand::Wo:
            case Operand::Wq:
            case Operand::Wd:
            case Operand::Ww:
            case Operand::Wb:
            case Operand::Ws:
            case Operand::Wdup:
                if (MemoryForm()) return PrintMemory(VectorMemorySize(operand));
                return PrintVectorRegister(RmField(), VectorRegisterBits(operand));
            case Operand::Lx:
                return PrintVectorRegister(static_cast<unsigned>(in_.immediate >> 4) & 15, VectorRegisterBits(operand));
            case Operand::Xmm0:
                return out_.Put("xmm0");
            default:
                return;
        }
    }

    const char* VectorMemorySize(Operand operand) const {
        if ((entry_.flags & kVexDoubling) && in_.vexLong) {
            if (operand == Operand::Wq) return "XMMWORD";
            if (operand == Operand::Wd) return "QWORD";
            if (operand == Operand::Ww) return "DWORD";
        }
        switch (operand) {
            case Operand::Wq:
                return "QWORD";
            case Operand::Wd:
                return "DWORD";
            case Operand::Ww:
                return "WORD";
            case Operand::Wb:
                return "BYTE";
            case Operand::Ws:
                return in_.vexW ? "QWORD" : "DWORD";
            case Operand::Wdup:
                return in_.vexLong ? "YMMWORD" : "QWORD";
            case Operand::Wo:
                return "XMMWORD";
            default:
                return in_.vexLong ? "YMMWORD" : "XMMWORD";
        }
    }

    static const char* SizeName(unsigned bits) {
        switch (bits) {
            case 8:
                return "BYTE";
            case 16:
                return "WORD";
            case 64:
                return "QWORD";
            default:
                return "DWORD";
        }
    }

    void PrintRegisterOrMemory(unsigned registerBits, const char* memorySize) {
        if (MemoryForm()) return PrintMemory(memorySize);
        out_.Put(Register(RmField(), registerBits));
    }

    void PrintTarget(std::uint64_t address) {
        if (namer_ != nullptr && *namer_) {
            const std::string name = (*namer_)(address);
            if (!name.empty()) return out_.Put(name);
        }
        out_.Hex(address);
    }

    void PrintAddress(std::uint64_t address) {
        out_.Hex(address);
        if (namer_ != nullptr && *namer_) {
            const std::string name = (*namer_)(address);
            if (!name.empty()) {
                out_.Put(" <");
                out_.Put(name);
                out_.Put('>');
            }
        }
    }

    // ds:[esi] and es:[edi] of the string instructions.
    void PrintStringOperand(const char* size, unsigned registerNumber, bool source) {
        out_.Put(size);
        out_.Put(" PTR ");
        if (source && in_.segment != 0)
            out_.Put(kSegments[SegmentOfPrefix(in_.segment)]);
        else
            out_.Put(source ? "ds" : "es");
        out_.Put(":[");
        out_.Put(GeneralRegister(registerNumber, in_.addressSize, false));
        out_.Put(']');
    }

    void PrintDisplacement(std::int64_t displacement, bool afterRegister) {
        if (!afterRegister) return out_.Hex(static_cast<std::uint64_t>(displacement) & SizeMask(in_.addressSize));
        if (displacement < 0) {
            out_.Put('-');
            out_.Hex(static_cast<std::uint64_t>(-displacement) & SizeMask(in_.addressSize));
        } else {
            out_.Put('+');
            out_.Hex(static_cast<std::uint64_t>(displacement));
        }
    }

    void PrintMemory(const char* size) {
        RexBit(0);  // a memory operand consults REX.B even when it has no base register
        if (size != nullptr && !(entry_.flags & kNoSize)) {
            out_.Put(size);
            out_.Put(" PTR ");
        }
        const bool segmentShown = in_.segment != 0 && SegmentShownInOperand();
        if (segmentShown) {
            out_.Put(kSegments[SegmentOfPrefix(in_.segment)]);
            out_.Put(':');
        }
        if (in_.addressSize == 16) return PrintMemory16(segmentShown);
        const unsigned bits = in_.addressSize;
        const unsigned mod = in_.Mod();
        if (!in_.hasSib && mod == 0 && in_.Rm() == 5) {
            if (Mode64()) {
                // objdump shows the RIP displacement as an unsigned 64-bit number.
                out_.Put(bits == 64 ? "[rip+" : "[eip+");
                out_.Hex(static_cast<std::uint64_t>(in_.displacement));
                out_.Put(']');
                comment_ = true;
                commentAddress_ = in_.memoryAddress;
                return;
            }
            if (!segmentShown) out_.Put("ds:");
            return PrintDisplacement(in_.displacement, false);
        }
        int base = -1, index = -1;
        unsigned scale = 0;
        if (in_.hasSib) {
            scale = in_.sib >> 6;
            index = ((in_.sib >> 3) & 7) | (RexBit(1) << 3);
            if (!(mod == 0 && (in_.sib & 7) == 5)) base = (in_.sib & 7) | (RexBit(0) << 3);
            if (index == 4) {
                // No index register: objdump still shows one ("eiz") unless the SIB byte
                // is the plain form that an esp/rsp base needs.
                if (base >= 0 && (base & 7) == 4 && scale == 0)
                    index = -1;
                else if (base < 0 && scale == 0 && Mode64())
                    index = -1;  // in 32-bit mode eiz*1 tells it from the plain [offset] form
            }
        } else {
            base = in_.Rm() | (RexBit(0) << 3);
        }
        if (base < 0 && index < 0) {
            if (!segmentShown) out_.Put("ds:");
            return PrintDisplacement(in_.displacement, false);
        }
        out_.Put('[');
        if (base >= 0) out_.Put(GeneralRegister(static_cast<unsigned>(base), bits, true));
        if (index >= 0) {
            if (base >= 0) out_.Put('+');
            if (index == 4)
                out_.Put(bits == 64 ? "riz" : "eiz");
            else
                out_.Put(GeneralRegister(static_cast<unsigned>(index), bits, true));
            out_.Put('*');
            out_.Decimal(1u << scale);
        }
        if (in_.displacementSize != 0) PrintDisplacement(in_.displacement, true);
        out_.Put(']');
    }

    void PrintMemory16(bool segmentShown) {
        if (in_.Mod() == 0 && in_.Rm() == 6) {
            if (!segmentShown) out_.Put("ds:");
            return out_.Hex(static_cast<std::uint64_t>(in_.displacement) & 0xFFFF);
        }
        out_.Put('[');
        out_.Put(kAddress16[in_.Rm()]);
        if (in_.displacementSize != 0) PrintDisplacement(in_.displacement, true);
        out_.Put(']');
    }

    const Instruction& in_;
    const OpcodeEntry& entry_;
    TextWriter& out_;
    const AddressNamer* namer_;
    mutable std::uint8_t rexUsed_ = 0;  // REX bits the operands consulted
    bool comment_ = false;
    std::uint64_t commentAddress_ = 0;
};

}  // namespace

std::size_t FormatInstruction(const Instruction& instruction, char* buffer, std::size_t capacity,
                              const AddressNamer* namer) {
    TextWriter out(buffer, capacity);
    if (!instruction.valid || instruction.entry == nullptr) {
        out.Put("(bad)");
    } else {
        InstructionPrinter(instruction, out, namer).Print();
    }
    return out.Finish();
}

std::string FormatInstruction(const Instruction& instruction, const AddressNamer* namer) {
    char buffer[256];
    const std::size_t length = FormatInstruction(instruction, buffer, sizeof buffer, namer);
    return std::string(buffer, length);
}

}  // namespace brevant::x86
