#pragma once
// Analysis of a function from its entry point: which bytes are its code, what it calls
// and where it jumps out. The stack walker asks it whether a call ends at a return
// address; the listing shows its code.

#include <cstdint>
#include <vector>

#include "x86/instruction.h"
#include "x86/memory_reader.h"

namespace brevant::x86 {

// One run of consecutive instructions; AreaEnd is the address of its last byte.
struct TCodeArea {
    std::uint64_t AreaBegin = 0;
    std::uint64_t AreaEnd = 0;
};

// A direct call (Call true) or a jump that leaves the function (Call false). CodeAddr1
// is the instruction's address, CodeAddr2 the address after it.
struct TFarCall {
    bool Call = false;
    std::uint64_t CodeAddr1 = 0;
    std::uint64_t CodeAddr2 = 0;
    std::uint64_t Target = 0;
};

// A call or jump whose target is not known before it runs (through a register, or
// through memory that could not be read).
struct TUnknownTarget {
    bool Call = false;
    std::uint64_t CodeAddr1 = 0;
    std::uint64_t CodeAddr2 = 0;
};

struct TFunctionInfo {
    bool IsValid = false;
    std::uint64_t EntryPoint = 0;
    std::uint64_t CodeBegin = 0;       // lowest code address
    std::uint64_t CodeLen = 0;         // from CodeBegin to the end of the highest area
    std::vector<TCodeArea> CodeAreas;  // ascending, not touching each other
    std::vector<TFarCall> FarCalls;
    std::vector<TUnknownTarget> UnknownTargets;

    bool Contains(std::uint64_t address) const;
    // The call instruction (known target first, then unknown) that ends exactly at
    // `address`; its start goes to `callAddress`. False when there is none.
    bool FindCallEndingAt(std::uint64_t address, std::uint64_t& callAddress) const;
};

struct FunctionAnalysisOptions {
    Mode mode = Mode::Bits32;
    // Routines that never return (throw hooks, std::terminate, abort, ExitProcess,
    // RaiseException): a call to one ends the code run, and so does a call to an import
    // thunk or slot that leads to one.
    std::vector<std::uint64_t> noReturnTargets;
    // The end of the function's symbol when known: jumps at or beyond it leave the
    // function. Without it, forward jumps count as the function's own code.
    std::uint64_t scopeEnd = 0;
    std::size_t maxInstructions = 100000;
};

TFunctionInfo ParseFunction(const MemoryReader& reader, std::uint64_t entryPoint,
                            const FunctionAnalysisOptions& options);

}  // namespace brevant::x86
