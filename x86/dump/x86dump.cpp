// x86dump: the decoder's view of a PE file, for people who debug the decoder and for
// checks from outside.
//
//   x86dump FILE                 one line per instruction of every executable section:
//                                "address length text" (hex address, decimal length);
//                                an undecodable byte prints as length 1 and "(bad)"
//   x86dump --function RVA FILE  the function analysis at that relative address and
//                                the disassembly listing of the function

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "x86/disassembly_listing.h"
#include "x86/function_analysis.h"
#include "x86/instruction_decoder.h"
#include "x86/instruction_text.h"
#include "x86/pe_file.h"

namespace {

using namespace brevant::x86;

int Usage() {
    std::fprintf(stderr, "usage: x86dump FILE\n       x86dump --function RVA FILE\n");
    return 2;
}

void DumpSections(const PeFile& file) {
    char text[256];
    for (const PeSection& section : file.sections) {
        if (!section.Executable()) continue;
        const std::uint64_t base = file.imageBase + section.virtualAddress;
        std::size_t offset = 0;
        while (offset < section.bytes.size()) {
            Instruction instruction;
            DecodeInstruction(section.bytes.data() + offset, section.bytes.size() - offset, base + offset, file.mode,
                              instruction);
            const unsigned length = instruction.valid ? instruction.length : 1;
            FormatInstruction(instruction, text, sizeof text);
            std::printf("%llx %u %s\n", static_cast<unsigned long long>(base + offset), length, text);
            offset += length;
        }
    }
}

void DumpFunction(const PeFile& file, std::uint64_t address) {
    const PeImageReader reader(file);
    FunctionAnalysisOptions options;
    options.mode = file.mode;
    const TFunctionInfo info = ParseFunction(reader, address, options);
    auto hex = [](std::uint64_t value) { return static_cast<unsigned long long>(value); };
    std::printf("IsValid %s\nEntryPoint %llx\nCodeBegin %llx\nCodeLen %llu\n", info.IsValid ? "true" : "false",
                hex(info.EntryPoint), hex(info.CodeBegin), hex(info.CodeLen));
    for (const TCodeArea& area : info.CodeAreas)
        std::printf("CodeArea %llx..%llx\n", hex(area.AreaBegin), hex(area.AreaEnd));
    for (const TFarCall& call : info.FarCalls)
        std::printf("FarCall %s %llx..%llx -> %llx\n", call.Call ? "call" : "jump", hex(call.CodeAddr1),
                    hex(call.CodeAddr2), hex(call.Target));
    for (const TUnknownTarget& call : info.UnknownTargets)
        std::printf("UnknownTarget %s %llx..%llx\n", call.Call ? "call" : "jump", hex(call.CodeAddr1),
                    hex(call.CodeAddr2));
    DisassemblyOptions listing;
    listing.mode = file.mode;
    listing.formatted = true;
    std::string text = GetCleartextDisAsm(reader, address, address, listing);
    for (std::size_t cr; (cr = text.find('\r')) != std::string::npos;) text.erase(cr, 1);
    std::printf("\n%s\n", text.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    const bool function = argc == 4 && std::strcmp(argv[1], "--function") == 0;
    if (!function && argc != 2) return Usage();
    const char* path = argv[argc - 1];
    const auto file = ReadPeFile(path);
    if (!file) {
        std::fprintf(stderr, "x86dump: %s is not a PE file of i686 or x86-64 code (or cannot be read)\n", path);
        return 1;
    }
    if (!function) {
        DumpSections(*file);
        return 0;
    }
    char* end = nullptr;
    const unsigned long long rva = std::strtoull(argv[2], &end, 16);
    if (end == argv[2] || *end != '\0') {
        std::fprintf(stderr, "x86dump: RVA must be a hexadecimal number, not '%s'\n", argv[2]);
        return 2;
    }
    DumpFunction(*file, file->imageBase + rva);
    return 0;
}
