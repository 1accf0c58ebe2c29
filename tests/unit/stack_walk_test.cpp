// The stack walker over hand-made processes: a 32-bit image with a frame-pointer chain, a
// 64-bit one with unwound slots and a library known only by its exports, stacks that mix
// the true return addresses with values that merely look like them.

#include <gtest/gtest.h>

#include <atomic>

#include "crashreport/stack/prepared_call_stack.h"
#include "crashreport/stack/stack_walker.h"
#include "synthetic_process.h"

namespace brevant::crashreport {
namespace {

using testing::CodeAssembler;
using testing::StackBuilder;
using testing::SyntheticProcess;

// Bit by bit, to check the table-driven crc against.
std::uint32_t BitwiseCrc(std::uint32_t crc, const std::vector<std::uint8_t>& bytes) {
    for (std::uint8_t byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ ((crc & 1) ? 0xEDB88320u : 0);
    }
    return crc;
}
std::vector<std::uint8_t> Utf16Bytes(std::string_view lowerAscii) {
    std::vector<std::uint8_t> bytes;
    for (char c : lowerAscii) bytes.insert(bytes.end(), {static_cast<std::uint8_t>(c), 0});
    return bytes;
}
std::vector<std::uint8_t> Le32(std::uint32_t v) {
    return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v >> 16),
            static_cast<std::uint8_t>(v >> 24)};
}

constexpr std::uint64_t kImage = 0x400000;
constexpr std::uint64_t kStackTop = 0x20000;

// Functions of the 32-bit sample, each at a multiple of 16.
struct Sample32 {
    std::uint64_t start = 0x401000, outer = 0x401010, middle = 0x401020, inner = 0x401030, leaf = 0x401040,
                  other = 0x401050, unrelated = 0x401060, recurse = 0x401070, entry2 = 0x401080, thrower = 0x401090,
                  throwHook = 0x4010A0, mainFn = 0x4010B0;
    std::uint64_t retStart = 0, retOuter = 0, retMiddle = 0, retInner = 0, retOther = 0, retRecurse = 0, retEntry2 = 0,
                  retThrower = 0, retMain = 0;
    std::uint64_t fault = 0x401043;  // mov eax,[0] in Leaf
};

// push ebp; mov ebp,esp; call target; pop ebp; ret
std::uint64_t FramedCall(CodeAssembler& code, std::uint64_t at, std::uint64_t target) {
    code.At(at).Bytes({0x55, 0x89, 0xE5});
    const std::uint64_t back = code.Call(target);
    code.Bytes({0x5D, 0xC3});
    return back;
}

symbols::SymbolTable Sample32Symbols() {
    symbols::SymbolTable table;
    table.codeStart = 0x1000;
    table.codeEnd = 0x2000;
    table.units = {"walk_sample"};
    const std::pair<std::uint32_t, const char*> names[] = {{0x1000, "Start"},
                                                           {0x1010, "Outer"},
                                                           {0x1020, "Middle"},
                                                           {0x1030, "Inner"},
                                                           {0x1040, "Leaf"},
                                                           {0x1050, "Other"},
                                                           {0x1060, "Unrelated"},
                                                           {0x1070, "Recurse"},
                                                           {0x1080, "Entry2"},
                                                           {0x1090, "Thrower"},
                                                           {0x10A0, "__wrap___cxa_throw"},
                                                           {0x10B0, "Main"}};
    for (const auto& [start, name] : names) table.symbols.push_back({start, name, 0});
    // Inner, Leaf, Unrelated and the throw hook have no lines.
    table.lines = {{0x1000, 100}, {0x1003, 101}, {0x1008, 102},  {0x1010, 200},  {0x1013, 202}, {0x1018, 203},
                   {0x1020, 300}, {0x1023, 305}, {0x1028, 306},  {0x1030, 0},    {0x1050, 600}, {0x1053, 601},
                   {0x1060, 0},   {0x1070, 700}, {0x1073, 702},  {0x1080, 800},  {0x1083, 801}, {0x1090, 900},
                   {0x1093, 904}, {0x10A0, 0},   {0x10B0, 1000}, {0x10B3, 1002}, {0x10C0, 0}};
    table.segments = {{0x1000, 0}};
    table.debugInfo = "sample build 1";
    return table;
}

class Walk32Test : public ::testing::Test {
protected:
    Walk32Test() : process_(x86::Mode::Bits32) {
        CodeAssembler code(s_.start);
        s_.retStart = FramedCall(code, s_.start, s_.outer);
        s_.retOuter = FramedCall(code, s_.outer, s_.middle);
        s_.retMiddle = FramedCall(code, s_.middle, s_.inner);
        s_.retInner = FramedCall(code, s_.inner, s_.leaf);
        code.At(s_.leaf).Bytes({0x55, 0x89, 0xE5, 0xA1, 0, 0, 0, 0, 0x5D, 0xC3});
        s_.retOther = FramedCall(code, s_.other, s_.unrelated);
        code.At(s_.unrelated).Bytes({0x31, 0xC0, 0xC3});
        s_.retRecurse = FramedCall(code, s_.recurse, s_.recurse);
        s_.retEntry2 = FramedCall(code, s_.entry2, s_.recurse);
        s_.retThrower = FramedCall(code, s_.thrower, s_.throwHook);
        code.At(s_.throwHook).Bytes({0x55, 0x89, 0xE5, 0x0F, 0x0B});
        s_.retMain = FramedCall(code, s_.mainFn, s_.thrower);
        process_.AddBlock(kImage, 0x3000);
        process_.Write(s_.start, code.Code());
        ModuleFacts facts;
        facts.isImage = facts.isExecutable = true;
        facts.fileName = u"sample.exe";
        facts.code = {0x401000, 0x402000};
        facts.data = {0x402000, 0x403000};
        process_.AddModule(kImage, facts);
        process_.AddStore(kImage, Sample32Symbols());
        process_.AddBlock(0x10000, 0x10000);
    }

    // Thread start -> Outer -> Middle -> Inner -> Leaf, which faults; with values on the
    // stack that look like return addresses but are not.
    StackBuilder CrashStack(std::uint64_t& framePointer) {
        StackBuilder stack(kStackTop, 4);
        stack.Push(0);
        const std::uint64_t ebpStart = stack.Push(0);
        stack.Push(s_.retOther);  // Other's call of Unrelated: nobody here called Unrelated
        stack.Push(s_.retStart);
        const std::uint64_t ebpOuter = stack.Push(ebpStart);
        stack.Push(s_.outer + 1);  // no call ends there
        stack.Push(s_.retOuter);
        const std::uint64_t ebpMiddle = stack.Push(ebpOuter);
        stack.Push(s_.retOther);
        stack.Push(s_.retMiddle);
        const std::uint64_t ebpInner = stack.Push(ebpMiddle);
        stack.Push(s_.retInner);
        framePointer = stack.Push(ebpInner);
        stack.Push(s_.retMiddle);  // a stale copy left by an earlier call
        return stack;
    }

    WalkRequest CrashRequest(const StackBuilder& stack, std::uint64_t framePointer) {
        process_.Write(stack.Bottom(), stack.Bytes());
        WalkRequest request;
        request.stackBottom = stack.Bottom();
        request.stackTop = stack.Top();
        request.framePointer = framePointer;
        request.exceptAddr = s_.fault;
        request.exceptThread = true;
        request.extException = true;
        return request;
    }

    WalkResult Walk(const WalkRequest& request) { return WalkStack(process_, caches_, request); }

    Sample32 s_;
    SyntheticProcess process_;
    WalkCaches caches_;
};

TEST_F(Walk32Test, FindsTheTrueChainInnermostFirstWithAlignedColumns) {
    std::uint64_t framePointer = 0;
    const StackBuilder stack = CrashStack(framePointer);
    const WalkResult result = Walk(CrashRequest(stack, framePointer));
    // Inner has no source line and is hidden; Leaf has none either but is the crash location.
    EXPECT_EQ(result.text,
              u"00401043 +3 sample.exe walk_sample        Leaf\r\n"
              u"00401023 +3 sample.exe walk_sample 305 +5 Middle\r\n"
              u"00401013 +3 sample.exe walk_sample 202 +2 Outer\r\n"
              u"00401003 +3 sample.exe walk_sample 101 +1 Start");
    ASSERT_EQ(result.callstack.size(), 4u);
    const TStackItem& middle = result.callstack[1];
    EXPECT_EQ(middle.Addr, 0x401023u);
    EXPECT_EQ(middle.relAddr, 3u);
    EXPECT_EQ(middle.ModuleName, u"sample.exe");
    EXPECT_EQ(middle.UnitName, u"walk_sample");
    EXPECT_EQ(middle.Line, 305);
    EXPECT_EQ(middle.relLine, 5);
    EXPECT_EQ(middle.FunctionName, u"Middle");
    EXPECT_EQ(result.callstack[0].Line, 0);
    EXPECT_EQ(result.callstack[0].relLine, 0);
    EXPECT_EQ(result.innermostAddr, s_.fault);
    // The disassembly shows the first line that has a source line.
    EXPECT_EQ(result.functionStart, s_.middle);
    EXPECT_EQ(result.codeAddress, 0x401023u);
    EXPECT_TRUE(result.hasLine);
    EXPECT_EQ(result.debugInfoPairs, std::vector<std::u16string>{u"sample.exe|sample build 1"});
}

TEST_F(Walk32Test, CrcValuesFollowTheShownLines) {
    std::uint64_t framePointer = 0;
    const StackBuilder stack = CrashStack(framePointer);
    const WalkResult result = Walk(CrashRequest(stack, framePointer));
    auto lineValue = [](std::string_view function) {
        std::uint32_t v = 3;  // every shown call lies 3 bytes into its function
        v = BitwiseCrc(v, Utf16Bytes("sample.exe"));
        v = BitwiseCrc(v, Utf16Bytes("walk_sample"));
        return BitwiseCrc(v, Utf16Bytes(function));
    };
    const std::uint32_t first = lineValue("leaf");
    std::uint32_t block = first;
    for (std::string_view function : {"middle", "outer", "start"}) block = BitwiseCrc(block, Le32(lineValue(function)));
    EXPECT_EQ(result.firstValue, first);
    EXPECT_EQ(result.blockCrc, block);
}

TEST_F(Walk32Test, ShowingUglyItemsKeepsLinesWithoutSourceLine) {
    std::uint64_t framePointer = 0;
    const StackBuilder stack = CrashStack(framePointer);
    WalkRequest request = CrashRequest(stack, framePointer);
    request.hideUgly = false;
    request.showRelLines = false;
    request.showRelAddrs = false;
    const WalkResult result = Walk(request);
    EXPECT_EQ(result.text,
              u"00401043 sample.exe walk_sample     Leaf\r\n"
              u"00401033 sample.exe walk_sample     Inner\r\n"
              u"00401023 sample.exe walk_sample 305 Middle\r\n"
              u"00401013 sample.exe walk_sample 202 Outer\r\n"
              u"00401003 sample.exe walk_sample 101 Start");
    ASSERT_EQ(result.callstack.size(), 5u);
    // Without relative lines the absolute line is the relative field's.
    EXPECT_EQ(result.callstack[2].Line, 0);
    EXPECT_EQ(result.callstack[2].relLine, 305);
}

TEST_F(Walk32Test, APreparedCallStackGivesTheSameWalk) {
    std::uint64_t framePointer = 0;
    const StackBuilder stack = CrashStack(framePointer);
    const WalkRequest direct = CrashRequest(stack, framePointer);
    PrepareRequest prepare{stack.Bottom(), stack.Top(), 4, framePointer, {}, 0, false};
    WalkRequest fromPrepared = direct;
    fromPrepared.preparedStack = PrepareCallStack(process_, prepare);
    fromPrepared.framePointer = 0;
    EXPECT_EQ(Walk(fromPrepared).text, Walk(direct).text);
}

TEST_F(Walk32Test, PreparedCallStackRecordsCallTestedSlotsWithTheirChainFlag) {
    std::uint64_t framePointer = 0;
    const StackBuilder stack = CrashStack(framePointer);
    process_.Write(stack.Bottom(), stack.Bytes());
    PrepareRequest prepare{stack.Bottom(), stack.Top(), 4, framePointer, {}, 0, false};
    const std::string text = PrepareCallStack(process_, prepare);
    // Top end first; chain slots flagged; Outer+1 has no call before it; saved frame pointers
    // are skipped after chain slots.
    const std::vector<PreparedEntry> expected = {{false, s_.retOther}, {true, s_.retStart},  {true, s_.retOuter},
                                                 {false, s_.retOther}, {true, s_.retMiddle}, {true, s_.retInner},
                                                 {false, s_.retMiddle}};
    std::string bytes("\x07\x00\x00\x00", 4);
    for (const PreparedEntry& entry : expected) {
        bytes.push_back(entry.chainSlot ? 1 : 0);
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<char>(entry.address >> (8 * i)));
    }
    EXPECT_EQ(text, bytes);
    EXPECT_EQ(DecodePreparedCallStack(text, 4), expected);

    prepare.stopValue = s_.retMiddle;
    prepare.stopAtValue = true;
    const auto stopped = DecodePreparedCallStack(PrepareCallStack(process_, prepare), 4);
    ASSERT_TRUE(stopped);
    EXPECT_EQ(*stopped, std::vector<PreparedEntry>(expected.begin(), expected.begin() + 4));

    prepare.top = 0x30000;  // beyond the stack's memory
    EXPECT_EQ(PrepareCallStack(process_, prepare), "");
    EXPECT_FALSE(DecodePreparedCallStack(text.substr(0, text.size() - 1), 4));
    EXPECT_FALSE(DecodePreparedCallStack(text, 8));
}

TEST_F(Walk32Test, TheSlotBelowAChainSlotIsSkippedEvenWhenItLooksLikeAReturn) {
    StackBuilder stack(kStackTop, 4);
    stack.Push(0);
    const std::uint64_t outerFrame = stack.Push(0);
    stack.Push(0);
    stack.Push(0xE8000000);  // puts 0xE8 five bytes below outerFrame: the frame's address passes the call test
    stack.Push(s_.retStart);
    const std::uint64_t innerFrame = stack.Push(outerFrame);
    process_.Write(stack.Bottom(), stack.Bytes());
    const PrepareRequest prepare{stack.Bottom(), stack.Top(), 4, innerFrame, {}, 0, false};
    EXPECT_EQ(DecodePreparedCallStack(PrepareCallStack(process_, prepare), 4),
              (std::vector<PreparedEntry>{{true, s_.retStart}}));
    // Without the chain nothing is certain and nothing is skipped.
    const PrepareRequest unchained{stack.Bottom(), stack.Top(), 4, 0, {}, 0, false};
    EXPECT_EQ(DecodePreparedCallStack(PrepareCallStack(process_, unchained), 4),
              (std::vector<PreparedEntry>{{false, s_.retStart}, {false, outerFrame}}));
}

TEST_F(Walk32Test, DeepRecursionFoldsToOnePass) {
    StackBuilder stack(kStackTop, 4);
    stack.Push(0);
    const std::uint64_t ebpEntry = stack.Push(0);
    stack.Push(s_.retEntry2);
    std::uint64_t ebp = stack.Push(ebpEntry);
    for (int depth = 0; depth < 1000; ++depth) {
        stack.Push(s_.retRecurse);
        ebp = stack.Push(ebp);
    }
    process_.Write(stack.Bottom(), stack.Bytes());
    WalkRequest request;
    request.stackBottom = stack.Bottom();
    request.stackTop = stack.Top();
    request.framePointer = ebp;
    const WalkResult result = Walk(request);
    EXPECT_EQ(result.text,
              u"00401073 +3 sample.exe walk_sample 702 +2 Recurse\r\n"
              u"00401083 +3 sample.exe walk_sample 801 +1 Entry2");
}

TEST_F(Walk32Test, ARaisedExceptionShowsTheCallOfTheRaise) {
    StackBuilder stack(kStackTop, 4);
    stack.Push(0);
    const std::uint64_t ebpMain = stack.Push(0);
    stack.Push(s_.retMain);
    const std::uint64_t ebpThrower = stack.Push(ebpMain);
    stack.Push(s_.retThrower);
    const std::uint64_t ebpHook = stack.Push(ebpThrower);
    stack.Push(s_.retOther);  // inside the raise: collection ends at the raise location
    process_.Write(stack.Bottom(), stack.Bytes());
    WalkRequest request;
    request.stackBottom = stack.Bottom();
    request.stackTop = stack.Top();
    request.framePointer = ebpHook;
    request.exceptAddr = s_.retThrower;
    request.exceptThread = true;
    const WalkResult result = Walk(request);
    EXPECT_EQ(result.text,
              u"00401093 +3 sample.exe walk_sample  904 +4 Thrower\r\n"
              u"004010b3 +3 sample.exe walk_sample 1002 +2 Main");
    EXPECT_EQ(result.innermostAddr, 0x401093u);
}

TEST_F(Walk32Test, AbortAndUnreadableStacksGiveEmptyText) {
    std::uint64_t framePointer = 0;
    const StackBuilder stack = CrashStack(framePointer);
    WalkRequest request = CrashRequest(stack, framePointer);
    std::atomic<bool> abort{false};
    request.abort = &abort;
    std::vector<int> positions;
    request.progress = [&](int permille) {
        positions.push_back(permille);
        if (permille >= 25) abort = true;
    };
    EXPECT_EQ(Walk(request).text, u"");
    ASSERT_FALSE(positions.empty());
    EXPECT_LT(positions.back(), 650);  // stopped long before the chains were chosen

    abort = false;
    request.progress = [&](int permille) { positions.push_back(permille); };
    positions.clear();
    EXPECT_NE(Walk(request).text, u"");
    EXPECT_EQ(positions.back(), 1000);

    request.stackTop = 0x20004;  // one slot beyond the stack's memory
    EXPECT_EQ(Walk(request).text, u"");
    EXPECT_TRUE(Walk(request).callstack.empty());
}

// 64-bit: Main64 calls Dispatch of a library without symbols through its import slot;
// Dispatch calls back Callback64 through a register; Callback64 calls Leaf64, which faults.
class Walk64Test : public ::testing::Test {
protected:
    static constexpr std::uint64_t kExe = 0x140000000, kDll = 0x7ff800000000;
    static constexpr std::uint64_t kMain = kExe + 0x1000, kCallback = kExe + 0x1040, kLeaf = kExe + 0x1080;
    static constexpr std::uint64_t kDispatch = kDll + 0x1000, kImportSlot = kExe + 0x2000;

    Walk64Test() : process_(x86::Mode::Bits64) {
        CodeAssembler exe(kMain);
        exe.Bytes({0x55, 0x48, 0x89, 0xE5, 0x48, 0x83, 0xEC, 0x20});        // push rbp; mov rbp,rsp; sub rsp,32
        exe.Bytes({0x48, 0x8D, 0x0D}).Dword(kCallback - (exe.Here() + 4));  // lea rcx,[rip+Callback64]
        exe.Bytes({0xFF, 0x15}).Dword(kImportSlot - (exe.Here() + 4));      // call [rip+slot]
        retMain_ = exe.Here();
        exe.Bytes({0x48, 0x83, 0xC4, 0x20, 0x5D, 0xC3});
        exe.At(kCallback).Bytes({0x55, 0x48, 0x89, 0xE5, 0x48, 0x83, 0xEC, 0x20});
        retCallback_ = exe.Call(kLeaf);
        exe.Bytes({0x48, 0x83, 0xC4, 0x20, 0x5D, 0xC3});
        exe.At(kLeaf).Bytes({0x55, 0x48, 0x89, 0xE5, 0x48, 0x8B, 0x04, 0x25, 0, 0, 0, 0, 0x5D, 0xC3});
        process_.AddBlock(kExe, 0x3000);
        process_.Write(kMain, exe.Code());
        std::vector<std::uint8_t> slot(8);
        for (int i = 0; i < 8; ++i) slot[i] = static_cast<std::uint8_t>(kDispatch >> (8 * i));
        process_.Write(kImportSlot, slot);

        CodeAssembler dll(kDispatch);
        dll.Bytes({0x55, 0x48, 0x89, 0xE5, 0x48, 0x83, 0xEC, 0x20, 0xFF, 0xD1});  // ... call rcx
        retDispatch_ = dll.Here();
        dll.Bytes({0x48, 0x83, 0xC4, 0x20, 0x5D, 0xC3});
        process_.AddBlock(kDll, 0x2000);
        process_.Write(kDispatch, dll.Code());

        ModuleFacts exeFacts;
        exeFacts.isImage = exeFacts.isExecutable = true;
        exeFacts.fileName = u"sample64.exe";
        exeFacts.code = {kExe + 0x1000, kExe + 0x2000};
        exeFacts.data = {kExe + 0x2000, kExe + 0x3000};
        process_.AddModule(kExe, exeFacts);
        ModuleFacts dllFacts;
        dllFacts.isImage = true;
        dllFacts.fileName = u"system.dll";
        dllFacts.code = {kDll + 0x1000, kDll + 0x2000};
        process_.AddModule(kDll, dllFacts);
        process_.AddExport(kDll, kDispatch, u"Dispatch");

        symbols::SymbolTable table;
        table.codeStart = 0x1000;
        table.codeEnd = 0x2000;
        table.units = {"walk64"};
        table.symbols = {{0x1000, "Main64", 0}, {0x1040, "Callback64", 0}, {0x1080, "Leaf64", 0}};
        table.lines = {{0x1000, 10}, {0x100F, 12}, {0x1015, 13}, {0x1040, 40}, {0x1048, 43},
                       {0x104D, 44}, {0x1080, 50}, {0x1084, 52}, {0x108C, 53}, {0x1100, 0}};
        table.segments = {{0x1000, 0}};
        process_.AddStore(kExe, table);
        process_.AddBlock(0x20000, 0x10000);
    }

    SyntheticProcess process_;
    WalkCaches caches_;
    std::uint64_t retMain_ = 0, retCallback_ = 0, retDispatch_ = 0;
};

TEST_F(Walk64Test, UnwoundSlotsAnchorTheChainThroughALibraryKnownByItsExports) {
    StackBuilder stack(0x30000, 8);
    std::vector<std::uintptr_t> unwound;
    stack.Push(0);
    stack.Push(0);  // Main64's saved rbp
    for (int i = 0; i < 4; ++i) stack.Push(0);
    unwound.push_back(stack.Push(retMain_));
    stack.Push(0x2FF00);  // Dispatch's saved rbp
    for (int i = 0; i < 4; ++i) stack.Push(0);
    unwound.push_back(stack.Push(retDispatch_));
    stack.Push(0x2FE00);
    const std::uint64_t stale = stack.Push(retMain_);  // a stale copy in Callback64's shadow space
    for (int i = 0; i < 3; ++i) stack.Push(0);
    unwound.push_back(stack.Push(retCallback_));
    stack.Push(0x2FD00);
    process_.Write(stack.Bottom(), stack.Bytes());

    WalkRequest request;
    request.hideUgly = false;
    request.stackBottom = stack.Bottom();
    request.stackTop = stack.Top();
    // 64-bit code keeps no frame-pointer chain: followed, this one would make the stale copy certain.
    request.framePointer = stale - 8;
    request.unwoundSlots = unwound;
    request.exceptAddr = kLeaf + 4;
    request.exceptThread = true;
    request.extException = true;
    const WalkResult result = WalkStack(process_, caches_, request);
    EXPECT_EQ(result.text,
              u"0000000140001084 +4 sample64.exe walk64 52 +2 Leaf64\r\n"
              u"0000000140001048 +8 sample64.exe walk64 43 +3 Callback64\r\n"
              u"00007ff800001008 +8 system.dll                Dispatch\r\n"
              u"000000014000100f +f sample64.exe walk64 12 +2 Main64");
    ASSERT_EQ(result.callstack.size(), 4u);
    EXPECT_EQ(result.callstack[2].ModuleName, u"system.dll");
    EXPECT_EQ(result.callstack[2].relAddr, 8u);

    // Hiding lines without source line drops the library's line.
    request.hideUgly = true;
    const WalkResult hidden = WalkStack(process_, caches_, request);
    EXPECT_EQ(hidden.callstack.size(), 3u);
    EXPECT_EQ(hidden.text.find(u"Dispatch"), std::u16string::npos);
}

}  // namespace
}  // namespace brevant::crashreport
