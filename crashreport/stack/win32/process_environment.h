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
    // imagesOnly: memory outside loaded images reads as unreadable. The call tests made at every
    // throw use this, as return addresses lie in images and each read through the system costs.
    explicit ProcessEnvironment(bool imagesOnly = false) : imagesOnly_(imagesOnly) {}

    // Reads of loaded images go straight to memory once a region query found them readable;
    // the regions are forgotten at the start of each walk, so an image unloaded between walks
    // is queried again. Other memory is read through the system, which fails instead of faulting.
    void ForgetRegions() const;

    bool Read(std::uint64_t address, void* buffer, std::size_t size) const override;
    x86::Mode CodeMode() const override;
    std::optional<MemoryRegion> RegionAt(std::uint64_t address) const override;
    ModuleFacts ModuleAt(std::uint64_t allocationBase) const override;
    const symbols::SymbolStore* SymbolsOf(std::uint64_t moduleBase) const override;
    std::optional<NamedEntry> EntryAtOrBelow(std::uint64_t moduleBase, std::uint64_t address) const override;
    std::vector<std::uint64_t> NoReturnRoutines() const override;

private:
    struct ImageRegion {
        std::uint64_t base = 0;
        std::uint64_t end = 0;
    };
    bool InReadableImage(std::uint64_t address, std::size_t size) const;

    // A module's exports and entry point by address, read once.
    const std::map<std::uint64_t, std::u16string>& EntriesOf(std::uint64_t moduleBase) const;

    // Two locks: reading the export directory reads memory, which consults the regions.
    mutable std::mutex regionLock_;
    mutable std::vector<ImageRegion> imageRegions_;
    mutable std::vector<ImageRegion> otherRegions_;  // queried once: not a readable image
    bool imagesOnly_ = false;
    mutable std::mutex entryLock_;
    mutable std::map<std::uint64_t, std::map<std::uint64_t, std::u16string>> entries_;
};

// The file name, without folder, of the module loaded at the base; empty when none.
std::u16string ModuleFileName(std::uint64_t moduleBase);

}  // namespace brevant::crashreport
