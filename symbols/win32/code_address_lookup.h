#pragma once
// What the call stacks and exception locations ask of the symbol stores: one code address
// described by module, unit, line and function.

#include <cstdint>
#include <string>

namespace brevant::symbols {

struct CodeAddressInfo {
    std::u16string moduleName;  // file name without folder; empty when no module holds it
    std::u16string unitName;    // of the file that holds the line: a header for inlined code
    std::int32_t line = 0;
    std::uintptr_t functionStart = 0;
    std::u16string functionName;
    bool found = false;  // a public symbol of the module's store covers the address
};

// With address 0 the caller's own location is described.
CodeAddressInfo LookupCodeAddress(std::uintptr_t address = 0);

// Lines of neighbouring addresses are often asked in a row: the last answer and the address
// range it holds for are kept by the caller.
struct LineCache {
    std::int32_t line = 0;
    std::uintptr_t start = 0;
    std::uintptr_t end = 0;
};
std::int32_t LineAtAddress(std::uintptr_t address, LineCache& cache);

// For the start of a public symbol: "unit.function" with the function's own unit ("function"
// when the unit is unknown), with " (module)" appended when the text holds a "%"; otherwise
// empty.
std::u16string ProcNameAtAddress(std::uintptr_t address);

}  // namespace brevant::symbols
