// libFuzzer target: random bytes as code in both modes, through a reader that allows
// exactly those bytes. Decoding every offset, analysing the function at the start and
// listing it must neither fault, read outside the bytes, nor loop without end.

#include <cstddef>
#include <cstdint>

#include "x86/disassembly_listing.h"
#include "x86/function_analysis.h"
#include "x86/instruction_decoder.h"
#include "x86/instruction_text.h"

using namespace brevant::x86;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    constexpr std::uint64_t kBase = 0x401000;
    const BufferMemoryReader reader(kBase, data, size);
    char text[256];
    for (Mode mode : {Mode::Bits32, Mode::Bits64}) {
        for (std::size_t offset = 0; offset < size; ++offset) {
            Instruction instruction;
            if (DecodeInstruction(reader, kBase + offset, mode, instruction)) {
                if (instruction.length == 0 || offset + instruction.length > size) __builtin_trap();
                FormatInstruction(instruction, text, sizeof text);
            }
        }
        FunctionAnalysisOptions analysis;
        analysis.mode = mode;
        analysis.noReturnTargets = {kBase + size / 2};
        const TFunctionInfo info = ParseFunction(reader, kBase, analysis);
        for (const TCodeArea& area : info.CodeAreas)
            if (area.AreaBegin < kBase || area.AreaEnd >= kBase + size) __builtin_trap();
        DisassemblyOptions listing;
        listing.mode = mode;
        listing.limit = 3;
        listing.formatted = true;
        GetCleartextDisAsm(reader, kBase, kBase + size / 3, listing);
    }
    return 0;
}
