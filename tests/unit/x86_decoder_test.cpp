#include "x86/instruction_decoder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "x86/instruction_text.h"

namespace brevant::x86 {
namespace {

constexpr std::uint64_t kBase = 0x401000;

Instruction Decode(const std::vector<std::uint8_t>& bytes, Mode mode, std::uint64_t address = kBase) {
    const BufferMemoryReader reader(address, bytes.data(), bytes.size());
    Instruction instruction;
    DecodeInstruction(reader, address, mode, instruction);
    return instruction;
}

std::string Hex(const std::vector<std::uint8_t>& bytes) {
    std::string text;
    for (std::uint8_t b : bytes) text += "0123456789abcdef"[b >> 4], text += "0123456789abcdef"[b & 15], text += ' ';
    return text;
}

TEST(InstructionDecoderTest, LengthsFlowTargetsAndPatchableOperands) {
    const struct {
        Mode mode;
        std::vector<std::uint8_t> bytes;
        unsigned length;
        Flow flow;
        bool indirect;
        std::uint64_t target;         // 0: none
        std::uint64_t memoryAddress;  // 0: none
        Instruction::Field patch;
    } cases[] = {
        {Mode::Bits32, {0xE8, 0x10, 0, 0, 0}, 5, Flow::Call, false, kBase + 0x15, 0, {1, 4}},
        {Mode::Bits32, {0xE9, 0xFB, 0xFF, 0xFF, 0xFF}, 5, Flow::Jump, false, kBase, 0, {1, 4}},
        {Mode::Bits32, {0xEB, 0xFE}, 2, Flow::Jump, false, kBase, 0, {}},
        {Mode::Bits32, {0x74, 0x05}, 2, Flow::ConditionalJump, false, kBase + 7, 0, {}},
        {Mode::Bits64, {0x0F, 0x85, 0, 1, 0, 0}, 6, Flow::ConditionalJump, false, kBase + 0x106, 0, {2, 4}},
        {Mode::Bits32, {0xE3, 0x00}, 2, Flow::ConditionalJump, false, kBase + 2, 0, {}},
        {Mode::Bits32, {0x66, 0xE8, 0x00, 0x10}, 4, Flow::Call, false, (kBase + 4 + 0x1000) & 0xFFFF, 0, {}},
        {Mode::Bits32, {0xFF, 0x15, 0x78, 0x56, 0x34, 0x12}, 6, Flow::Call, true, 0, 0x12345678, {2, 4}},
        {Mode::Bits32, {0xFF, 0x25, 0x78, 0x56, 0x34, 0x12}, 6, Flow::Jump, true, 0, 0x12345678, {2, 4}},
        {Mode::Bits64, {0xFF, 0x15, 0x10, 0, 0, 0}, 6, Flow::Call, true, 0, kBase + 0x16, {2, 4}},
        {Mode::Bits64, {0x48, 0xFF, 0x25, 0xF0, 0xFF, 0xFF, 0xFF}, 7, Flow::Jump, true, 0, kBase + 7 - 0x10, {3, 4}},
        {Mode::Bits32, {0x8B, 0x15, 0x00, 0x20, 0x40, 0x00}, 6, Flow::Sequential, false, 0, 0x402000, {2, 4}},
        {Mode::Bits32, {0xC7, 0x05, 0, 0x20, 0x40, 0, 1, 0, 0, 0}, 10, Flow::Sequential, false, 0, 0x402000, {2, 4}},
        {Mode::Bits32, {0x68, 0x44, 0x33, 0x22, 0x11}, 5, Flow::Sequential, false, 0, 0, {1, 4}},
        {Mode::Bits32, {0xFF, 0xD0}, 2, Flow::Call, true, 0, 0, {}},
        {Mode::Bits32, {0xFF, 0x14, 0x85, 0, 0x20, 0x40, 0}, 7, Flow::Call, true, 0, 0, {3, 4}},
        {Mode::Bits32, {0x64, 0xFF, 0x15, 0, 0, 0, 0}, 7, Flow::Call, true, 0, 0, {3, 4}},  // fs: is per thread
        {Mode::Bits32, {0x9A, 1, 2, 3, 4, 0x1B, 0}, 7, Flow::Call, false, 0x04030201, 0, {1, 4}},
        {Mode::Bits32, {0xFF, 0x1D, 0, 0x20, 0x40, 0}, 6, Flow::Call, true, 0, 0x402000, {2, 4}},
        {Mode::Bits32, {0xC3}, 1, Flow::Return, false, 0, 0, {}},
        {Mode::Bits32, {0xF3, 0xC3}, 2, Flow::Return, false, 0, 0, {}},
        {Mode::Bits32, {0xC2, 0x08, 0x00}, 3, Flow::Return, false, 0, 0, {}},
        {Mode::Bits64, {0xCB}, 1, Flow::Return, false, 0, 0, {}},
        {Mode::Bits32, {0x0F, 0x0B}, 2, Flow::Stop, false, 0, 0, {}},
        {Mode::Bits64, {0x48, 0xB8, 1, 2, 3, 4, 5, 6, 7, 8}, 10, Flow::Sequential, false, 0, 0, {}},
        {Mode::Bits64, {0xA1, 1, 2, 3, 4, 5, 6, 7, 8}, 9, Flow::Sequential, false, 0, 0x0807060504030201, {}},
        {Mode::Bits32, {0xA1, 0, 0x20, 0x40, 0}, 5, Flow::Sequential, false, 0, 0x402000, {1, 4}},
        {Mode::Bits32, {0x67, 0x8B, 0x46, 0x02}, 4, Flow::Sequential, false, 0, 0, {}},
        {Mode::Bits32, {0x67, 0xA1, 0x34, 0x12}, 4, Flow::Sequential, false, 0, 0x1234, {}},
        {Mode::Bits64, {0x67, 0x8B, 0x05, 0x10, 0, 0, 0}, 7, Flow::Sequential, false, 0, kBase + 0x17, {3, 4}},
        {Mode::Bits32, {0x8B, 0x44, 0x24, 0x08}, 4, Flow::Sequential, false, 0, 0, {}},
        {Mode::Bits32, {0x8B, 0x04, 0x25, 0, 0x20, 0x40, 0}, 7, Flow::Sequential, false, 0, 0x402000, {3, 4}},
        {Mode::Bits64, {0x8B, 0x04, 0x25, 0, 0x20, 0x40, 0}, 7, Flow::Sequential, false, 0, 0x402000, {3, 4}},
        {Mode::Bits32, {0xC8, 0x10, 0x00, 0x01}, 4, Flow::Sequential, false, 0, 0, {}},
        {Mode::Bits32, {0xF6, 0x05, 0, 0x20, 0x40, 0, 0x80}, 7, Flow::Sequential, false, 0, 0x402000, {2, 4}},
        {Mode::Bits32, {0xF7, 0xC1, 1, 0, 0, 0}, 6, Flow::Sequential, false, 0, 0, {2, 4}},
        {Mode::Bits32, {0xF7, 0xD1}, 2, Flow::Sequential, false, 0, 0, {}},
        {Mode::Bits32, {0x0F, 0x3A, 0x0F, 0xC1, 0x08}, 5, Flow::Sequential, false, 0, 0, {}},
        {Mode::Bits32, {0x0F, 0x0F, 0xC1, 0x9E}, 4, Flow::Sequential, false, 0, 0, {}},
        {Mode::Bits32, {0x9B, 0xDF, 0xE0}, 3, Flow::Sequential, false, 0, 0, {}},
        {Mode::Bits64, {0xC5, 0xF8, 0x77}, 3, Flow::Sequential, false, 0, 0, {}},
        {Mode::Bits64, {0xC4, 0xE3, 0x7D, 0x18, 0xC1, 0x01}, 6, Flow::Sequential, false, 0, 0, {}},
        {Mode::Bits32, {0xC4, 0x01}, 2, Flow::Sequential, false, 0, 0, {}},  // LES, not VEX, in 32-bit mode
        {Mode::Bits32, {0xC7, 0xF8, 0x10, 0, 0, 0}, 6, Flow::Sequential, false, kBase + 0x16, 0, {2, 4}},  // xbegin
        // A REX before another prefix does nothing and stands alone; FWAIT takes the
        // prefixes before it, and joins the x87 instruction after it.
        {Mode::Bits64, {0x48, 0x66, 0x90}, 1, Flow::Sequential, false, 0, 0, {}},
        {Mode::Bits32, {0x66, 0x9B, 0x90}, 2, Flow::Sequential, false, 0, 0, {}},
        {Mode::Bits32, {0x9B, 0xF2, 0x90}, 1, Flow::Sequential, false, 0, 0, {}},
        {Mode::Bits32, {0x9B, 0x66, 0xD9, 0x38}, 4, Flow::Sequential, false, 0, 0, {}},
        {Mode::Bits32, {0x0F, 0x20, 0x05}, 3, Flow::Sequential, false, 0, 0, {}},  // mov ebp,cr0: mod ignored
        {Mode::Bits64, {0x62, 0xF1, 0x7C, 0x48, 0x58, 0x44, 0x24, 0x01}, 8, Flow::Sequential, false, 0, 0, {}},
        {Mode::Bits64, {0x8F, 0xE8, 0x78, 0xC1, 0x5B, 0x15, 0xCB}, 7, Flow::Sequential, false, 0, 0, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Hex(c.bytes));
        const Instruction instruction = Decode(c.bytes, c.mode);
        ASSERT_TRUE(instruction.valid);
        EXPECT_EQ(instruction.length, c.length);
        EXPECT_EQ(instruction.flow, c.flow);
        EXPECT_EQ(instruction.indirect, c.indirect);
        EXPECT_EQ(instruction.hasTarget, c.target != 0);
        if (c.target != 0) EXPECT_EQ(instruction.target, c.target);
        EXPECT_EQ(instruction.hasMemoryAddress, c.memoryAddress != 0);
        if (c.memoryAddress != 0) EXPECT_EQ(instruction.memoryAddress, c.memoryAddress);
        EXPECT_EQ(instruction.PatchableOperand().offset, c.patch.offset);
        EXPECT_EQ(instruction.PatchableOperand().width, c.patch.width);
    }
}

TEST(InstructionDecoderTest, InvalidEncodingsAreRejected) {
    const struct {
        Mode mode;
        std::vector<std::uint8_t> bytes;
    } cases[] = {
        {Mode::Bits32, {0x0F, 0x04}},  // unassigned two-byte opcode
        {Mode::Bits32, {0xFF, 0xFF}},  // FF /7
        {Mode::Bits32, {0xFF, 0xD8}},  // far call needs memory
        {Mode::Bits32, {0x8D, 0xC0}},  // lea of a register
        {Mode::Bits32, {0xD6}},
        {Mode::Bits64, {0x06}},                          // push es
        {Mode::Bits64, {0x9A, 1, 2, 3, 4, 5, 6}},        // far call with a pointer
        {Mode::Bits64, {0x66, 0xC5, 0xF8, 0x77}},        // VEX after 66
        {Mode::Bits64, {0xC4, 0xE0, 0x7D, 0x18, 0xC1}},  // VEX map 0
        {Mode::Bits32, {0x0F, 0x38, 0xFF, 0xC0}},
        {Mode::Bits32, {0xFE, 0xD0}},                         // FE /2
        {Mode::Bits32, {0x0F, 0x71, 0x00, 0x01}},             // shift group wants a register
        {Mode::Bits32, std::vector<std::uint8_t>(15, 0x66)},  // prefixes only
        {Mode::Bits32,
         {0x2E, 0x2E, 0x2E, 0x2E, 0x2E, 0x2E, 0x2E, 0x2E, 0x2E, 0x2E, 0x2E, 0x05, 1, 2, 3, 4}},  // 16 bytes
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Hex(c.bytes));
        const Instruction instruction = Decode(c.bytes, c.mode);
        EXPECT_FALSE(instruction.valid);
        EXPECT_EQ(instruction.length, 0);
        EXPECT_EQ(instruction.flow, Flow::Sequential);
    }
}

// A reader that refuses every byte outside its buffer and remembers the highest byte
// it was asked for.
class BoundedReader : public MemoryReader {
public:
    BoundedReader(std::uint64_t base, std::vector<std::uint8_t> bytes)
        : bytes_(std::move(bytes)), buffer_(base, bytes_.data(), bytes_.size()) {}

    bool Read(std::uint64_t address, void* out, std::size_t size) const override {
        const bool ok = buffer_.Read(address, out, size);
        if (ok && size != 0 && address + size > highestRead_) highestRead_ = address + size;
        return ok;
    }
    mutable std::uint64_t highestRead_ = 0;

private:
    std::vector<std::uint8_t> bytes_;
    BufferMemoryReader buffer_;
};

TEST(InstructionDecoderTest, TruncatedInstructionsAreInvalidAndReadsStayInside) {
    const std::vector<std::vector<std::uint8_t>> instructions = {
        {0xE8, 0x10, 0, 0, 0},
        {0xFF, 0x94, 0x24, 0x10, 0, 0, 0},
        {0x66, 0x0F, 0x3A, 0x0F, 0xC1, 0x08},
        {0xC4, 0xE3, 0x7D, 0x18, 0xC1, 0x01},
        {0x48, 0xB8, 1, 2, 3, 4, 5, 6, 7, 8},
        {0x81, 0x84, 0x88, 1, 2, 3, 4, 5, 6, 7, 8},
    };
    for (const auto& bytes : instructions) {
        for (std::size_t readable = 0; readable <= bytes.size(); ++readable) {
            SCOPED_TRACE(Hex(bytes) + "readable " + std::to_string(readable));
            const BoundedReader reader(kBase, std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + readable));
            Instruction instruction;
            DecodeInstruction(reader, kBase, Mode::Bits64, instruction);
            EXPECT_EQ(instruction.valid, readable == bytes.size());
            EXPECT_LE(reader.highestRead_, kBase + readable);
            if (instruction.valid) EXPECT_EQ(instruction.length, bytes.size());
        }
    }
}

// The stack walker accepts a return address v when a call instruction ends exactly at v;
// these are the call forms it looks for, at their distances before v.
TEST(InstructionDecoderTest, CallFormsAtTheWalkersDistances) {
    const struct {
        std::vector<std::uint8_t> bytes;
        bool indirect;
    } cases[] = {
        {{0xE8, 0, 0, 0, 0}, false},                   // 5: near relative
        {{0x9A, 0, 0x10, 0x40, 0, 0x1B, 0}, false},    // 7: far direct
        {{0xFF, 0xD0}, true},                          // 2: call eax
        {{0xFF, 0x10}, true},                          // 2: call [eax]
        {{0xFF, 0x18}, true},                          // 2: call far [eax]
        {{0xFF, 0x50, 0x08}, true},                    // 3: call [eax+8]
        {{0xFF, 0x14, 0x24}, true},                    // 3: call [esp]
        {{0xFF, 0x54, 0x24, 0x08}, true},              // 4: call [esp+8]
        {{0xFF, 0x5C, 0x24, 0x08}, true},              // 4: call far [esp+8]
        {{0xFF, 0x15, 0, 0x20, 0x40, 0}, true},        // 6: call [abs]
        {{0xFF, 0x90, 0x10, 0, 0, 0}, true},           // 6: call [eax+disp32]
        {{0xFF, 0x14, 0x85, 0, 0x20, 0x40, 0}, true},  // 7: call [eax*4+abs]
        {{0xFF, 0x94, 0x24, 0x10, 0, 0, 0}, true},     // 7: call [esp+disp32]
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Hex(c.bytes));
        // A return address preceded by unrelated bytes: decoding at v - length finds the call.
        std::vector<std::uint8_t> code = {0x90, 0x90, 0x90, 0x90, 0x90, 0x90, 0x90, 0x90};
        code.insert(code.end(), c.bytes.begin(), c.bytes.end());
        const std::uint64_t returnAddress = kBase + code.size();
        code.push_back(0xC3);
        const BufferMemoryReader reader(kBase, code.data(), code.size());
        Instruction instruction;
        ASSERT_TRUE(DecodeInstruction(reader, returnAddress - c.bytes.size(), Mode::Bits32, instruction));
        EXPECT_TRUE(instruction.IsCall());
        EXPECT_EQ(instruction.End(), returnAddress);
        EXPECT_EQ(instruction.indirect, c.indirect);
    }
}

TEST(InstructionTextTest, IntelSyntaxAsObjdumpWritesIt) {
    const struct {
        Mode mode;
        std::vector<std::uint8_t> bytes;
        const char* text;
    } cases[] = {
        {Mode::Bits32, {0x8B, 0x45, 0x08}, "mov    eax,DWORD PTR [ebp+0x8]"},
        {Mode::Bits32, {0x89, 0x45, 0xFC}, "mov    DWORD PTR [ebp-0x4],eax"},
        {Mode::Bits32, {0x8D, 0x74, 0x26, 0x00}, "lea    esi,[esi+eiz*1+0x0]"},
        {Mode::Bits32, {0x83, 0xE4, 0xF0}, "and    esp,0xfffffff0"},
        {Mode::Bits64, {0x48, 0x83, 0xE4, 0xF0}, "and    rsp,0xfffffffffffffff0"},
        {Mode::Bits32, {0xFF, 0x24, 0x85, 0, 0x20, 0x40, 0}, "jmp    DWORD PTR [eax*4+0x402000]"},
        {Mode::Bits32, {0xFF, 0x15, 0, 0x20, 0x40, 0}, "call   DWORD PTR ds:0x402000"},
        {Mode::Bits32, {0x64, 0xA1, 0, 0, 0, 0}, "mov    eax,fs:0x0"},
        {Mode::Bits32, {0x64, 0x8B, 0x01}, "mov    eax,DWORD PTR fs:[ecx]"},
        {Mode::Bits32, {0xF3, 0xAB}, "rep stos DWORD PTR es:[edi],eax"},
        {Mode::Bits32, {0xF3, 0xA6}, "repz cmps BYTE PTR ds:[esi],BYTE PTR es:[edi]"},
        {Mode::Bits32, {0xF0, 0x0F, 0xB1, 0x11}, "lock cmpxchg DWORD PTR [ecx],edx"},
        {Mode::Bits32, {0x67, 0x8B, 0x46, 0x02}, "mov    eax,DWORD PTR [bp+0x2]"},
        {Mode::Bits32, {0xE8, 0xFB, 0x0F, 0, 0}, "call   0x402000"},
        {Mode::Bits32, {0xD9, 0xC9}, "fxch   st(1)"},
        {Mode::Bits32, {0xDE, 0xE9}, "fsubp  st(1),st"},
        {Mode::Bits32, {0x9B, 0xDF, 0xE0}, "fstsw  ax"},
        {Mode::Bits32, {0xDF, 0xE0}, "fnstsw ax"},
        {Mode::Bits64, {0x48, 0x8B, 0x05, 0x10, 0, 0, 0}, "mov    rax,QWORD PTR [rip+0x10]        # 0x401017"},
        {Mode::Bits64, {0x66, 0x66, 0x2E, 0x0F, 0x1F, 0x84, 0, 0, 0, 0, 0}, "data16 cs nop WORD PTR [rax+rax*1+0x0]"},
        {Mode::Bits64, {0x66, 0x48, 0x0F, 0x6E, 0xC0}, "movq   xmm0,rax"},
        {Mode::Bits64, {0xF2, 0x0F, 0xC2, 0xC1, 0x01}, "cmpltsd xmm0,xmm1"},
        {Mode::Bits64, {0x48, 0xFF, 0xE0}, "rex.W jmp rax"},
        // REX bits that the instruction never consults are named; consulted ones are not.
        {Mode::Bits64, {0x40, 0x01, 0x00}, "rex add DWORD PTR [rax],eax"},
        {Mode::Bits64, {0x42, 0x01, 0x00}, "rex.X add DWORD PTR [rax],eax"},
        {Mode::Bits64, {0x41, 0x01, 0x00}, "add    DWORD PTR [r8],eax"},
        {Mode::Bits64, {0x40, 0x88, 0xF0}, "mov    al,sil"},
        {Mode::Bits64, {0x41, 0x8B, 0x05, 0x10, 0, 0, 0}, "mov    eax,DWORD PTR [rip+0x10]        # 0x401017"},
        // Without base and index, 32-bit mode keeps eiz to tell the SIB form from [offset].
        {Mode::Bits32, {0x01, 0x1C, 0x25, 0x28, 0x00, 0x00, 0xA2}, "add    DWORD PTR [eiz*1-0x5dffffd8],ebx"},
        {Mode::Bits64, {0x8B, 0x04, 0x25, 0x28, 0x00, 0x00, 0x00}, "mov    eax,DWORD PTR ds:0x28"},
        {Mode::Bits64, {0xF3, 0x0F, 0x1E, 0xFA}, "endbr64"},
        {Mode::Bits64, {0x48, 0xB8, 1, 0, 0, 0, 0, 0, 0, 0x80}, "movabs rax,0x8000000000000001"},
        {Mode::Bits32, {0x0F, 0x0B}, "ud2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Hex(c.bytes));
        const Instruction instruction = Decode(c.bytes, c.mode);
        ASSERT_TRUE(instruction.valid);
        EXPECT_EQ(FormatInstruction(instruction), c.text);
    }
}

TEST(InstructionTextTest, NamedTargetsAndSmallBuffers) {
    const Instruction call = Decode({0xE8, 0xFB, 0x0F, 0, 0}, Mode::Bits32);
    const AddressNamer namer = [](std::uint64_t address) {
        return address == 0x402000 ? std::string("Brevant.exe.LaunchTarget") : std::string();
    };
    EXPECT_EQ(FormatInstruction(call, &namer), "call   Brevant.exe.LaunchTarget");
    const Instruction other = Decode({0xE8, 0xFC, 0x0F, 0, 0}, Mode::Bits32);
    EXPECT_EQ(FormatInstruction(other, &namer), "call   0x402001");

    char small[8];
    EXPECT_EQ(FormatInstruction(call, small, sizeof small), 7u);
    EXPECT_STREQ(small, "call   ");
}

}  // namespace
}  // namespace brevant::x86
