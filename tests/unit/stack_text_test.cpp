// The pieces of the stack walk that are plain computation: which byte patterns count as a
// call before a return address, the aligned lines of named items, and one code address as a
// line.

#include <gtest/gtest.h>

#include "crashreport/stack/call_test.h"
#include "crashreport/stack/code_address_text.h"
#include "crashreport/stack/item_naming.h"
#include "crashreport/stack/stack_text.h"

namespace brevant::crashreport {
namespace {

TEST(CallTestTest, AcceptsTheCallFormsEndingBeforeTheValue) {
    struct Case {
        std::vector<std::uint8_t> bytes;  // the bytes right before the value
        bool call;
    };
    const Case cases[] = {
        {{0xE8, 1, 2, 3, 4}, true},              // call rel32
        {{0x9A, 1, 2, 3, 4, 5, 6}, true},        // call far ptr16:32
        {{0xFF, 0xD0}, true},                    // call eax
        {{0x41, 0xFF, 0xD3}, true},              // call r11
        {{0xFF, 0x10}, true},                    // call [eax]
        {{0xFF, 0x55, 0x08}, true},              // call [ebp+8]
        {{0xFF, 0x14, 0x24, 0x08}, true},        // call [esp+8]
        {{0xFF, 0x15, 1, 2, 3, 4}, true},        // call [disp32], call [rip+disp32]
        {{0xFF, 0x14, 0x85, 1, 2, 3, 4}, true},  // call [eax*4+disp32]
        {{0xFF, 0x1D, 1, 2, 3, 4}, true},        // call far [disp32]
        {{0xFF, 0xE0}, false},                   // jmp eax
        {{0xFF, 0x25, 1, 2, 3, 4}, false},       // jmp [disp32]
        {{0xE9, 1, 2, 3, 4}, false},             // jmp rel32
        {{0xE8, 1, 2, 3}, false},                // a call ending one byte early
        {{0x90, 0x90}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.bytes));
        std::uint8_t before[9] = {};
        for (std::size_t k = 1; k <= c.bytes.size(); ++k) before[k] = c.bytes[c.bytes.size() - k];
        EXPECT_EQ(LooksLikeCallBefore(before), c.call);
    }
}

TEST(CallTestTest, NeedsTheEightBytesBeforeTheValue) {
    const std::uint8_t code[] = {0x90, 0x90, 0x90, 0xE8, 0, 0, 0, 0, 0x90};
    const x86::BufferMemoryReader reader(0x1000, code, sizeof(code));
    EXPECT_TRUE(PassesCallTest(reader, 0x1008));
    EXPECT_FALSE(PassesCallTest(reader, 0x1007));  // the 8 bytes start before the buffer
    EXPECT_FALSE(PassesCallTest(reader, 0x1009));
}

TInternalStackItem Named(std::uint64_t addr, std::uint64_t start, std::u16string unit, std::int32_t publicLine,
                         std::int32_t line, std::u16string name) {
    TInternalStackItem item;
    item.FinalOutput = {addr, u"app.exe", std::move(unit), line, std::move(name), start, publicLine};
    return item;
}

TEST(ComposeResultTest, WritesAlignedColumnsOneLinePerAddress) {
    std::vector<TInternalStackItem> items;
    items.push_back(Named(0x45a0f4, 0x45a0e4, u"Worker", 87, 3, u"TWorkerThread.Start"));  // the creator
    items.push_back(Named(0x40e7c1, 0x40e784, u"Threads", 0, 0, u"RunThread"));
    TInternalStackItem unnamed;
    unnamed.FinalOutput.Addr = 0x400100;
    unnamed.FinalOutput.ModuleName = u"???";
    items.push_back(unnamed);
    TInternalStackItem invalid = Named(0x401000, 0x400f00, u"Gone", 5, 1, u"Gone");
    invalid.Invalid = true;
    items.push_back(invalid);
    items.push_back(Named(0x45a2b0, 0x45a27c, u"Worker", 211, 12, u"TWorkerThread.Execute"));
    items.push_back(items.back());
    items.back().TopItem = true;

    ComposeOptions options;
    options.hideUgly = false;
    options.hasCreator = true;
    WalkResult result;
    ComposeResult(items, options, result);
    EXPECT_EQ(result.text,
              u"0045a2b0 +34 app.exe Worker  211 +12 TWorkerThread.Execute\r\n"
              u"0040e7c1 +3d app.exe Threads         RunThread\r\n"
              u"0045a0f4 +10 app.exe Worker   87  +3 TWorkerThread.Start");
    ASSERT_EQ(result.callstack.size(), 3u);
    EXPECT_EQ(result.callstack[0].relAddr, 0x34u);
    EXPECT_EQ(result.callstack[0].Line, 211);
    EXPECT_EQ(result.callstack[0].relLine, 12);
    EXPECT_EQ(result.callstack[1].Line, 0);
    EXPECT_EQ(result.callstack[1].relLine, 0);
    EXPECT_EQ(result.functionStart, 0x45a27cu);
    EXPECT_EQ(result.codeAddress, 0x45a2b0u);

    // Hiding lines without source line drops RunThread; the creator stays as item 0. Columns
    // are as wide as the shown lines need.
    options.hideUgly = true;
    WalkResult hidden;
    ComposeResult(items, options, hidden);
    EXPECT_EQ(hidden.text,
              u"0045a2b0 +34 app.exe Worker 211 +12 TWorkerThread.Execute\r\n"
              u"0045a0f4 +10 app.exe Worker  87  +3 TWorkerThread.Start");
}

TEST(ComposeResultTest, PadsMissingOffsetsAndNamesAndKeepsTheTopItem) {
    std::vector<TInternalStackItem> items(2);
    items[0].FinalOutput = {0x4011f4, u"m.dll", u"", 0, u"F", 0x401000, 0};
    items[1].FinalOutput.Addr = 0x1234;
    items[1].FinalOutput.ModuleName = u"???";
    items[1].TopItem = true;
    ComposeOptions options;
    options.hideUgly = false;
    options.addressDigits = 16;
    WalkResult result;
    ComposeResult(items, options, result);
    EXPECT_EQ(result.text,
              u"0000000000001234 +000 ???   \r\n"
              u"00000000004011f4 +1f4 m.dll F");
    EXPECT_FALSE(result.hasLine);
    // No line with a source line: the disassembly shows the first line with a function start.
    EXPECT_EQ(result.functionStart, 0x401000u);
    EXPECT_EQ(result.codeAddress, 0x4011f4u);

    WalkResult none;
    ComposeResult({}, options, none);
    EXPECT_EQ(none.text, u"");
    EXPECT_EQ(none.firstValue, 0u);
    EXPECT_EQ(none.blockCrc, 0u);
}

TEST(CodeAddressTextTest, FormatsFoundAndUnknownAddresses) {
    const CodeAddressFacts unknown;
    EXPECT_EQ(FormatCodeAddress(0x401000, unknown, true, true, 8), u"00401000 +0 ???");
    EXPECT_EQ(FormatCodeAddress(0x401000, unknown, false, true, 8), u"00401000 ???");
    EXPECT_EQ(FormatCodeAddress(0x401000, unknown, true, false, 16), u"0000000000401000 +0 ???");

    CodeAddressFacts found{true, u"app.exe", u"Main", 42, 0x401000, 40, u"Run"};
    EXPECT_EQ(FormatCodeAddress(0x40101a, found, true, true, 8), u"0040101a +1a app.exe Main 42 +2 Run");
    EXPECT_EQ(FormatCodeAddress(0x40101a, found, false, false, 8), u"0040101a app.exe Main 42 Run");
    found.line = 0;
    EXPECT_EQ(FormatCodeAddress(0x40101a, found, true, true, 8), u"0040101a +1a app.exe Main +0 Run");

    EXPECT_EQ(InternalFailureText(u"ComposeResult", std::nullopt), u">> internal error in ComposeResult");
    EXPECT_EQ(InternalFailureText(u"plugin", u"00401000 +0 ???"), u">> internal error in plugin:\r\n00401000 +0 ???");
}

TEST(ItemNamingTest, TakesTheScopeOfADemangledName) {
    EXPECT_EQ(UnitFromFunctionName(u"brevant::Launcher::Run(int)"), u"brevant::Launcher");
    EXPECT_EQ(UnitFromFunctionName(u"std::vector<a::b>::push_back(a::b const&)"), u"std::vector<a::b>");
    EXPECT_EQ(UnitFromFunctionName(u"KiUserExceptionDispatcher"), u"");
    EXPECT_EQ(UnitFromFunctionName(u"Run(std::string)"), u"");
}

}  // namespace
}  // namespace brevant::crashreport
