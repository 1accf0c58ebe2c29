// Decoding speed against GNU objdump on the same file in the same run.
//
//   x86_decoder_benchmark FILE
//
// Decodes every executable section linearly, once for lengths only and once with the
// instruction text, and times objdump -d -M intel over the same file. Prints the
// ratios objdump time / our time (the goals: lengths at least 20, text at least 3).

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "x86/instruction_decoder.h"
#include "x86/instruction_text.h"
#include "x86/pe_file.h"

namespace {

using namespace brevant::x86;
using Clock = std::chrono::steady_clock;

// One pass over all code; returns the instruction count (and a checksum the optimiser
// must keep).
std::size_t DecodeAll(const PeFile& file, bool withText, std::size_t& checksum) {
    std::size_t count = 0;
    char text[256];
    for (const PeSection& section : file.sections) {
        if (!section.Executable()) continue;
        const std::uint64_t base = file.imageBase + section.virtualAddress;
        for (std::size_t offset = 0; offset < section.bytes.size();) {
            Instruction instruction;
            DecodeInstruction(section.bytes.data() + offset, section.bytes.size() - offset, base + offset, file.mode,
                              instruction);
            offset += instruction.valid ? instruction.length : 1;
            checksum += withText ? FormatInstruction(instruction, text, sizeof text) : instruction.length;
            ++count;
        }
    }
    return count;
}

// Seconds per pass, from as many passes as fit in about half a second.
double TimePasses(const PeFile& file, bool withText, std::size_t& count) {
    std::size_t checksum = 0, passes = 0;
    const auto start = Clock::now();
    std::chrono::duration<double> elapsed{};
    do {
        count = DecodeAll(file, withText, checksum);
        ++passes;
        elapsed = Clock::now() - start;
    } while (elapsed.count() < 0.5);
    if (checksum == 1) std::printf(" ");
    return elapsed.count() / static_cast<double>(passes);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: x86_decoder_benchmark FILE\n");
        return 2;
    }
    const auto file = ReadPeFile(argv[1]);
    if (!file) {
        std::fprintf(stderr, "x86_decoder_benchmark: %s is not a PE file\n", argv[1]);
        return 2;
    }
    std::size_t instructions = 0;
    const double lengths = TimePasses(*file, false, instructions);
    const double text = TimePasses(*file, true, instructions);

    const std::string tool = file->mode == Mode::Bits64 ? "x86_64-w64-mingw32-objdump" : "i686-w64-mingw32-objdump";
    const std::string command = tool + " -d -M intel '" + argv[1] + "' >/dev/null";
    const auto start = Clock::now();
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "x86_decoder_benchmark: %s failed\n", tool.c_str());
        return 2;
    }
    const double objdump = std::chrono::duration<double>(Clock::now() - start).count();

    std::printf("%s: %zu instructions\n", argv[1], instructions);
    std::printf("  objdump -d:        %8.1f ms\n", objdump * 1000);
    std::printf("  lengths only:      %8.1f ms  ratio %.1f (goal 20)\n", lengths * 1000, objdump / lengths);
    std::printf("  with Intel text:   %8.1f ms  ratio %.1f (goal 3)\n", text * 1000, objdump / text);
    return 0;
}
