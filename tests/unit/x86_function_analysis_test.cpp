#include "x86/function_analysis.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace brevant::x86 {
namespace {

constexpr std::uint64_t kBase = 0x401000;

// Machine code assembled by hand into a buffer that appears at kBase.
class Code {
public:
    std::uint64_t Here() const { return kBase + bytes_.size(); }
    Code& Bytes(std::initializer_list<std::uint8_t> bytes) {
        bytes_.insert(bytes_.end(), bytes);
        return *this;
    }
    Code& Dword(std::uint64_t value) {
        for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
        return *this;
    }
    // A rel32 call or jump (opcode bytes given) to an absolute target.
    Code& Relative(std::initializer_list<std::uint8_t> opcode, std::uint64_t target) {
        Bytes(opcode);
        return Dword(target - (Here() + 4));
    }
    // Fills in a field written before its value was known.
    void Patch(std::uint64_t address, std::uint64_t value, int size) {
        for (int i = 0; i < size; ++i) bytes_[address - kBase + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }

    TFunctionInfo Parse(std::uint64_t entry, FunctionAnalysisOptions options = {}) const {
        const BufferMemoryReader reader(kBase, bytes_.data(), bytes_.size());
        return ParseFunction(reader, entry, options);
    }

private:
    std::vector<std::uint8_t> bytes_;
};

std::vector<std::pair<std::uint64_t, std::uint64_t>> Areas(const TFunctionInfo& info) {
    std::vector<std::pair<std::uint64_t, std::uint64_t>> areas;
    for (const TCodeArea& area : info.CodeAreas) areas.emplace_back(area.AreaBegin, area.AreaEnd);
    return areas;
}

TEST(ParseFunctionTest, StraightCodeWithACallEndsAtTheReturn) {
    Code code;
    code.Bytes({0x55, 0x89, 0xE5});  // push ebp; mov ebp,esp
    const std::uint64_t call = code.Here();
    code.Relative({0xE8}, 0x402000).Bytes({0x5D, 0xC3});  // pop ebp; ret
    const std::uint64_t end = code.Here();
    code.Bytes({0xCC, 0xCC, 0x31, 0xC0, 0xC3});  // the next function

    const TFunctionInfo info = code.Parse(kBase);
    ASSERT_TRUE(info.IsValid);
    EXPECT_EQ(info.EntryPoint, kBase);
    EXPECT_EQ(info.CodeBegin, kBase);
    EXPECT_EQ(info.CodeLen, end - kBase);
    EXPECT_EQ(Areas(info), (std::vector<std::pair<std::uint64_t, std::uint64_t>>{{kBase, end - 1}}));
    ASSERT_EQ(info.FarCalls.size(), 1u);
    EXPECT_TRUE(info.FarCalls[0].Call);
    EXPECT_EQ(info.FarCalls[0].CodeAddr1, call);
    EXPECT_EQ(info.FarCalls[0].CodeAddr2, call + 5);
    EXPECT_EQ(info.FarCalls[0].Target, 0x402000u);
    EXPECT_TRUE(info.UnknownTargets.empty());

    std::uint64_t found = 0;
    EXPECT_TRUE(info.FindCallEndingAt(call + 5, found));
    EXPECT_EQ(found, call);
    EXPECT_FALSE(info.FindCallEndingAt(call + 4, found));
    EXPECT_TRUE(info.Contains(end - 1));
    EXPECT_FALSE(info.Contains(end));
}

TEST(ParseFunctionTest, BranchesLoopsAndSeparateAreas) {
    Code code;
    const std::uint64_t loop = code.Here();
    code.Bytes({0x48});              // dec eax
    code.Bytes({0x75, 0xFD});        // jnz loop
    code.Bytes({0x85, 0xC0});        // test eax,eax
    code.Bytes({0x74, 0x03});        // je +3 (over the ret and the padding)
    code.Bytes({0xC3, 0xCC, 0xCC});  // ret, padding
    const std::uint64_t second = code.Here();
    code.Bytes({0x31, 0xC0, 0xC3});  // xor eax,eax; ret
    const TFunctionInfo info = code.Parse(loop);
    EXPECT_EQ(Areas(info),
              (std::vector<std::pair<std::uint64_t, std::uint64_t>>{{kBase, second - 3}, {second, second + 2}}));
    EXPECT_TRUE(info.FarCalls.empty());
}

TEST(ParseFunctionTest, CallsToRoutinesThatNeverReturnEndTheCode) {
    constexpr std::uint64_t kAbort = 0x410000, kExitProcess = 0x7C801000;
    Code code;
    const std::uint64_t slot = code.Here();
    code.Dword(kExitProcess);  // an import slot
    const std::uint64_t thunk = code.Here();
    code.Bytes({0xFF, 0x25}).Dword(slot);  // jmp [slot]
    const std::uint64_t first = code.Here();
    code.Bytes({0x85, 0xC0, 0x75, 0x05});  // test eax,eax; jne second
    code.Relative({0xE8}, kAbort);         // call abort
    code.Bytes({0x6A, 0x01});
    code.Relative({0xE8}, thunk);  // call ExitProcess through the thunk
    const std::uint64_t afterExit = code.Here();
    code.Bytes({0x90, 0x90, 0xC3});  // unreachable

    FunctionAnalysisOptions options;
    options.noReturnTargets = {kAbort, kExitProcess};
    const TFunctionInfo info = code.Parse(first, options);
    EXPECT_EQ(Areas(info), (std::vector<std::pair<std::uint64_t, std::uint64_t>>{{first, afterExit - 1}}));
    EXPECT_EQ(info.FarCalls.size(), 2u);

    // Without knowing them, the analysis runs on into what follows.
    const TFunctionInfo unaware = code.Parse(first);
    EXPECT_EQ(unaware.CodeAreas.back().AreaEnd, afterExit + 2);
}

TEST(ParseFunctionTest, JumpsOutIndirectCallsAndSlots) {
    Code code;
    const std::uint64_t slot = code.Here();
    code.Dword(0x7C802000);
    const std::uint64_t entry = code.Here();
    code.Bytes({0xFF, 0xD0});  // call eax
    const std::uint64_t slotCall = code.Here();
    code.Bytes({0xFF, 0x15}).Dword(slot);      // call [slot]
    code.Bytes({0xFF, 0x15}).Dword(0x500000);  // call [unreadable]
    code.Bytes({0x74, 0x02});                  // je over the register jump
    code.Bytes({0xFF, 0xE1});                  // jmp ecx
    const std::uint64_t tail = code.Here();
    code.Relative({0xE9}, kBase - 0x100);  // jmp before the function: a tail call

    const TFunctionInfo info = code.Parse(entry);
    ASSERT_EQ(info.UnknownTargets.size(), 3u);
    EXPECT_TRUE(info.UnknownTargets[0].Call);
    EXPECT_EQ(info.UnknownTargets[0].CodeAddr2, entry + 2);
    EXPECT_TRUE(info.UnknownTargets[1].Call);
    EXPECT_FALSE(info.UnknownTargets[2].Call);
    ASSERT_EQ(info.FarCalls.size(), 2u);
    EXPECT_TRUE(info.FarCalls[0].Call);
    EXPECT_EQ(info.FarCalls[0].CodeAddr1, slotCall);
    EXPECT_EQ(info.FarCalls[0].Target, 0x7C802000u);
    EXPECT_FALSE(info.FarCalls[1].Call);
    EXPECT_EQ(info.FarCalls[1].CodeAddr1, tail);
    EXPECT_EQ(info.FarCalls[1].Target, kBase - 0x100);
}

TEST(ParseFunctionTest, ForwardJumpsBeyondTheKnownEndLeaveTheFunction) {
    Code code;
    code.Bytes({0x74, 0x01, 0xC3});  // je +1; ret
    const std::uint64_t jump = code.Here();
    code.Bytes({0xEB, 0x02, 0xCC, 0xCC});  // jmp over the padding
    const std::uint64_t next = code.Here();
    code.Bytes({0xC3});

    FunctionAnalysisOptions scoped;
    scoped.scopeEnd = next;
    const TFunctionInfo info = code.Parse(kBase, scoped);
    ASSERT_EQ(info.FarCalls.size(), 1u);
    EXPECT_EQ(info.FarCalls[0].CodeAddr1, jump);
    EXPECT_EQ(info.FarCalls[0].Target, next);
    EXPECT_FALSE(info.Contains(next));
    EXPECT_TRUE(code.Parse(kBase).Contains(next));  // near enough to be its own code
}

TEST(ParseFunctionTest, AbsoluteJumpTableWithABound) {
    Code code;
    code.Bytes({0x83, 0xF8, 0x02});  // cmp eax,2
    const std::uint64_t ja = code.Here();
    code.Bytes({0x77, 0x00});        // ja default
    code.Bytes({0xFF, 0x24, 0x85});  // jmp [eax*4+table]
    const std::uint64_t tableOperand = code.Here();
    code.Dword(0);
    std::vector<std::uint64_t> cases;
    for (int i = 0; i < 3; ++i) {
        code.Bytes({0xCC});  // padding keeps the cases apart
        cases.push_back(code.Here());
        code.Bytes({0xB0, static_cast<std::uint8_t>(i), 0xC3});  // mov al,i; ret
    }
    code.Bytes({0xCC});
    const std::uint64_t fallback = code.Here();
    code.Bytes({0x31, 0xC0, 0xC3});
    const std::uint64_t table = code.Here();
    for (std::uint64_t target : cases) code.Dword(target);
    code.Dword(kBase + 1);  // beyond the bound: would land inside the cmp
    code.Patch(ja + 1, fallback - (ja + 2), 1);
    code.Patch(tableOperand, table, 4);

    const TFunctionInfo info = code.Parse(kBase);
    for (std::uint64_t target : cases) EXPECT_TRUE(info.Contains(target)) << std::hex << target;
    EXPECT_TRUE(info.Contains(fallback));
    EXPECT_FALSE(info.Contains(table));
    EXPECT_EQ(info.CodeAreas.size(), 5u);
    EXPECT_TRUE(info.UnknownTargets.empty());
}

TEST(ParseFunctionTest, RelativeJumpTableOf64BitCode) {
    // lea rdx,[rip+table]; movsxd rax,DWORD PTR [rdx+rax*4]; add rax,rdx; jmp rax
    Code code;
    code.Bytes({0x48, 0x8D, 0x15});
    const std::uint64_t leaOperand = code.Here();
    code.Dword(0);
    code.Bytes({0x48, 0x63, 0x04, 0x82, 0x48, 0x01, 0xD0, 0xFF, 0xE0, 0xCC});
    const std::uint64_t case0 = code.Here();
    code.Bytes({0xB0, 0x00, 0xC3, 0xCC});
    const std::uint64_t case1 = code.Here();
    code.Bytes({0xB0, 0x01, 0xC3, 0xCC});
    const std::uint64_t table = code.Here();
    code.Dword(case0 - table).Dword(case1 - table).Dword(0x80000000);  // the last points far away
    code.Patch(leaOperand, table - (leaOperand + 4), 4);

    FunctionAnalysisOptions options;
    options.mode = Mode::Bits64;
    const TFunctionInfo info = code.Parse(kBase, options);
    EXPECT_TRUE(info.Contains(case0));
    EXPECT_TRUE(info.Contains(case1));
    EXPECT_FALSE(info.Contains(table));
    EXPECT_TRUE(info.UnknownTargets.empty());
}

TEST(ParseFunctionTest, RelativeJumpTableWhoseAddressWasLoadedBeforeALoop) {
    Code code;
    code.Bytes({0x48, 0x8D, 0x15});  // lea rdx,[rip+table], then into the loop
    const std::uint64_t leaOperand = code.Here();
    code.Dword(0);
    code.Bytes({0xEB, 0x01, 0xCC});  // jmp over a byte of padding
    code.Bytes({0x48, 0x63, 0x04, 0x82, 0x48, 0x01, 0xD0, 0xFF, 0xE0, 0xCC});
    const std::uint64_t case0 = code.Here();
    code.Bytes({0xB0, 0x00, 0xC3, 0xCC});
    const std::uint64_t table = code.Here();
    code.Dword(case0 - table).Dword(0x80000000);
    code.Patch(leaOperand, table - (leaOperand + 4), 4);

    FunctionAnalysisOptions options;
    options.mode = Mode::Bits64;
    const TFunctionInfo info = code.Parse(kBase, options);
    EXPECT_TRUE(info.Contains(case0));
    EXPECT_TRUE(info.UnknownTargets.empty());
}

TEST(ParseFunctionTest, UndecodableEntryAndCodeRunningOffTheEnd) {
    Code invalid;
    invalid.Bytes({0x0F, 0x04});
    EXPECT_FALSE(invalid.Parse(kBase).IsValid);

    Code cut;
    cut.Bytes({0x90, 0x90, 0xE8, 0x00});  // the call is cut off by the end of memory
    const TFunctionInfo info = cut.Parse(kBase);
    ASSERT_TRUE(info.IsValid);
    EXPECT_EQ(Areas(info), (std::vector<std::pair<std::uint64_t, std::uint64_t>>{{kBase, kBase + 1}}));
}

}  // namespace
}  // namespace brevant::x86
