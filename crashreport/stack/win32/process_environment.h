#pragma once
// The stack walker's view of the running process: reads that fail instead of faulting,
// memory regions, module facts from the PE headers in memory, exports from the export
// directory and the symbol stores of the loaded modules.

#include <map>
#include <mutex>

#include "crashreport/stack/stack_environment.h"

namespace brevant::crashreport {

class ProcessEnvironment : public StackEnvironment {
public:
    bool Read(std::uint64_t address, void* buffer, std::size_t size) const override;
    x86::Mode CodeMode() const override;
    std::optional<MemoryRegion> RegionAt(std::uint64_t address) const override;
    ModuleFacts ModuleAt(std::uint64_t allocationBase) const override;
    const symbols::SymbolStore* SymbolsOf(std::uint64_t moduleBase) const override;
    std::optional<NamedEntry> EntryAtOrBelow(std::uint64_t moduleBase, std::uint64_t address) const override;
    std::vector<std::uint64_t> NoReturnRoutines() const override;

private:
    // A module's exports and entry point by address, read once.
    const std::map<std::uint64_t, std::u16string>& EntriesOf(std::uint64_t moduleBase) const;

    mutable std::mutex lock_;
    mutable std::map<std::uint64_t, std::map<std::uint64_t, std::u16string>> entries_;
};

// The file name, without folder, of the module loaded at the base; empty when none.
std::u16string ModuleFileName(std::uint64_t moduleBase);

}  // namespace brevant::crashreport
