#pragma once
// What the stack walker asks of the process it walks: guarded reads, memory regions, the
// facts of the module behind an allocation, its symbol store and exports. The Win32 edge
// answers from the live process; the tests answer from hand-made memory images.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "symbols/symbol_store.h"
#include "x86/instruction.h"
#include "x86/memory_reader.h"

namespace brevant::crashreport {

struct MemoryRegion {
    std::uint64_t base = 0;  // the region's first address
    std::uint64_t size = 0;
    std::uint64_t allocationBase = 0;
    bool committed = false;

    std::uint64_t End() const { return base + size; }
};

// An address range whose members satisfy start < address <= end, as return addresses do.
struct AfterRange {
    std::uint64_t start = 0;
    std::uint64_t end = 0;

    bool Holds(std::uint64_t address) const { return address > start && address <= end; }
};

struct ModuleFacts {
    bool isImage = false;       // the allocation is a loaded executable or library
    bool isExecutable = false;  // the process's own executable
    std::u16string fileName;    // without folder
    AfterRange code;
    AfterRange data;
};

// An export or entry point of a module without symbol store.
struct NamedEntry {
    std::uint64_t address = 0;
    std::u16string name;
};

class StackEnvironment : public x86::MemoryReader {
public:
    virtual x86::Mode CodeMode() const = 0;
    // The region that holds the address; nothing when the query fails.
    virtual std::optional<MemoryRegion> RegionAt(std::uint64_t address) const = 0;
    // The module whose image starts at the allocation base (isImage false when it is none).
    virtual ModuleFacts ModuleAt(std::uint64_t allocationBase) const = 0;
    // The module's symbol store (addresses relative to the base), or nullptr.
    virtual const symbols::SymbolStore* SymbolsOf(std::uint64_t moduleBase) const = 0;
    // The nearest export, or the image's entry point, at or below the address.
    virtual std::optional<NamedEntry> EntryAtOrBelow(std::uint64_t moduleBase, std::uint64_t address) const = 0;
    // Routines whose calls never come back (throw, terminate, abort, process exit).
    virtual std::vector<std::uint64_t> NoReturnRoutines() const = 0;

    unsigned PointerSize() const { return CodeMode() == x86::Mode::Bits64 ? 8 : 4; }
    int AddressDigits() const { return static_cast<int>(PointerSize()) * 2; }
    // A pointer-sized little-endian value.
    bool ReadPointer(std::uint64_t address, std::uint64_t& value) const;
};

}  // namespace brevant::crashreport
