#include "x86/disassembly_listing.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace brevant::x86 {
namespace {

constexpr std::uint64_t kBase = 0x401000;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = text.find("\r\n", start);
        lines.push_back(text.substr(start, end - start));
        if (end == std::string::npos) return lines;
        start = end + 2;
    }
}

std::string Listing(const std::vector<std::uint8_t>& code, std::uint64_t crash, const DisassemblyOptions& options,
                    std::uint64_t start = kBase) {
    const BufferMemoryReader reader(kBase, code.data(), code.size());
    return GetCleartextDisAsm(reader, start, crash, options);
}

// mov eax,[ebp+8]; call 0x402000; mov eax,[eax] (the crash); ret
const std::vector<std::uint8_t> kFunction = {0x8B, 0x45, 0x08, 0xE8, 0xF8, 0x0F, 0x00, 0x00, 0x8B, 0x00, 0xC3};

TEST(DisassemblyListingTest, PlainLinesMarkTheCrashAndNameTargets) {
    DisassemblyOptions options;
    options.nameOf = [](std::uint64_t address) {
        return address == 0x402000 ? std::string("Brevant.exe.brevant::LaunchTarget") : std::string();
    };
    EXPECT_EQ(Lines(Listing(kFunction, kBase + 8, options)), (std::vector<std::string>{
                                                                 "00401000   mov    eax,DWORD PTR [ebp+0x8]",
                                                                 "00401003   call   Brevant.exe.brevant::LaunchTarget",
                                                                 "00401008 > mov    eax,DWORD PTR [eax]",
                                                                 "0040100a   ret",
                                                             }));
    // A crash address inside an instruction marks that instruction.
    const std::vector<std::string> inside = Lines(Listing(kFunction, kBase + 9, options));
    EXPECT_EQ(inside[2].substr(0, 11), "00401008 > ");
}

TEST(DisassemblyListingTest, SourceLinesGiveALineColumnAndSeparators) {
    DisassemblyOptions options;
    options.formatted = true;
    options.lineOf = [](std::uint64_t address) { return address < kBase + 8 ? 211 : 1042; };
    EXPECT_EQ(Lines(Listing(kFunction, kBase + 8, options)), (std::vector<std::string>{
                                                                 "00401000  211   mov    eax,DWORD PTR [ebp+0x8]",
                                                                 "00401003        call   0x402000",
                                                                 "                ; ----------------------------",
                                                                 "00401008 1042 > mov    eax,DWORD PTR [eax]",
                                                                 "0040100a        ret",
                                                             }));
    options.formatted = false;  // the plain layout has no separators
    EXPECT_EQ(Lines(Listing(kFunction, kBase + 8, options)).size(), 4u);
}

TEST(DisassemblyListingTest, SixtyFourBitAddressesAndCommentColumn) {
    // mov rax,[rip+0x10]; ret
    const std::vector<std::uint8_t> code = {0x48, 0x8B, 0x05, 0x10, 0x00, 0x00, 0x00, 0xC3};
    DisassemblyOptions options;
    options.mode = Mode::Bits64;
    EXPECT_EQ(Lines(Listing(code, kBase, options))[0], "0000000000401000 > mov    rax,QWORD PTR [rip+0x10] ; 0x401017");
    options.formatted = true;
    EXPECT_EQ(Lines(Listing(code, kBase, options))[0],
              "0000000000401000 > mov    rax,QWORD PTR [rip+0x10]         ; 0x401017");
}

TEST(DisassemblyListingTest, LongRunsAwayFromTheEntryAndTheCrashAreElided) {
    std::vector<std::uint8_t> code(100, 0x90);  // 100 nops, then ret
    code.push_back(0xC3);
    DisassemblyOptions options;
    options.limit = 5;
    const std::vector<std::string> lines = Lines(Listing(code, kBase + 50, options));
    // entry +5, [...], crash -5..+5, [...], nothing of the tail (the ret is 50 away)
    ASSERT_EQ(lines.size(), 6u + 1u + 11u + 1u);
    EXPECT_EQ(lines[0].substr(0, 8), "00401000");
    EXPECT_EQ(lines[6], "[...]");
    EXPECT_EQ(lines[7].substr(0, 8), "0040102d");
    EXPECT_EQ(lines[12].substr(0, 11), "00401032 > ");
    EXPECT_EQ(lines.back(), "[...]");

    // A gap of no more than 1.2 x limit instructions stays.
    std::vector<std::uint8_t> shorter(18, 0x90);
    shorter.push_back(0xC3);
    const std::vector<std::string> kept = Lines(Listing(shorter, kBase + 17, options));  // gap of 6
    EXPECT_EQ(kept.size(), 19u);
    for (const std::string& line : kept) EXPECT_NE(line, "[...]");

    options.limit = 0;  // no limit, no elision
    EXPECT_EQ(Lines(Listing(code, kBase + 50, options)).size(), 101u);
}

TEST(DisassemblyListingTest, CrashOutsideTheAnalysedCodeIsShownAfterAGap) {
    // ret; then code the function never reaches
    const std::vector<std::uint8_t> code = {0xC3, 0xCC, 0xCC, 0xCC, 0x31, 0xC0, 0xC3};
    const std::vector<std::string> lines = Lines(Listing(code, kBase + 4, DisassemblyOptions{}));
    EXPECT_EQ(lines,
              (std::vector<std::string>{"00401000   ret", "[...]", "00401004 > xor    eax,eax", "00401006   ret"}));
}

TEST(DisassemblyListingTest, NoFunctionNoListing) {
    EXPECT_EQ(Listing(kFunction, kBase, DisassemblyOptions{}, 0), "");
    EXPECT_EQ(Listing({0x0F, 0x04}, kBase, DisassemblyOptions{}), "");
}

}  // namespace
}  // namespace brevant::x86
