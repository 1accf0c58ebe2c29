#pragma once
// The "disassembling" section of a bug report: the code of the crashed function as
// text, one instruction per line, with the crash location marked.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "x86/function_analysis.h"
#include "x86/instruction_text.h"
#include "x86/memory_reader.h"

namespace brevant::x86 {

// Gives the source line of a code address, 0 when unknown.
using LineLookup = std::function<int(std::uint64_t address)>;

struct DisassemblyOptions {
    Mode mode = Mode::Bits32;
    bool formatted = false;  // "FormatDisAsm": aligned comments, separators between source lines
    int limit = 0;           // "LimitDisAsm": instructions kept around each point of interest, 0 all
    std::vector<std::uint64_t> noReturnTargets;  // passed to ParseFunction
    std::uint64_t scopeEnd = 0;                  // passed to ParseFunction
    AddressNamer nameOf;                         // names call and jump targets; may be empty
    LineLookup lineOf;                           // may be empty
};

// The listing of the function at `functionStart` with the instruction at
// `crashAddress` marked; empty when there is no function start or it cannot be
// analysed. Lines end with CR LF, except the last.
std::string GetCleartextDisAsm(const MemoryReader& reader, std::uint64_t functionStart, std::uint64_t crashAddress,
                               const DisassemblyOptions& options);

}  // namespace brevant::x86
