#pragma once
// A process made by hand for the stack walker: memory blocks with hand-assembled code and
// stacks, module facts, symbol stores built from tables, and exports.

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "crashreport/stack/stack_environment.h"
#include "symbols/store_writer.h"

namespace brevant::testing {

class SyntheticProcess : public crashreport::StackEnvironment {
public:
    explicit SyntheticProcess(x86::Mode mode) : mode_(mode) {}

    // A committed block of memory; allocationBase 0 means the block's own base.
    std::vector<std::uint8_t>& AddBlock(std::uint64_t base, std::size_t size, std::uint64_t allocationBase = 0) {
        blocks_.push_back({base, allocationBase ? allocationBase : base, std::vector<std::uint8_t>(size, 0xCC)});
        return blocks_.back().bytes;
    }
    void Write(std::uint64_t address, const std::vector<std::uint8_t>& bytes) {
        for (Block& block : blocks_) {
            if (address >= block.base && address + bytes.size() <= block.base + block.bytes.size()) {
                std::memcpy(block.bytes.data() + (address - block.base), bytes.data(), bytes.size());
                return;
            }
        }
        throw std::logic_error("write outside the synthetic memory");
    }
    void AddModule(std::uint64_t base, crashreport::ModuleFacts facts) { modules_[base] = std::move(facts); }
    void AddStore(std::uint64_t base, const symbols::SymbolTable& table) {
        stores_[base] = std::make_unique<symbols::SymbolStore>(*symbols::SymbolStore::Open(symbols::WriteStore(table)));
    }
    void AddExport(std::uint64_t base, std::uint64_t address, std::u16string name) {
        exports_[base][address] = std::move(name);
    }
    void AddNoReturn(std::uint64_t address) { noReturn_.push_back(address); }
    int reads = 0;

    bool Read(std::uint64_t address, void* buffer, std::size_t size) const override {
        for (const Block& block : blocks_) {
            if (address >= block.base && address - block.base <= block.bytes.size() &&
                size <= block.bytes.size() - (address - block.base)) {
                if (size) std::memcpy(buffer, block.bytes.data() + (address - block.base), size);
                return true;
            }
        }
        return false;
    }
    x86::Mode CodeMode() const override { return mode_; }
    std::optional<crashreport::MemoryRegion> RegionAt(std::uint64_t address) const override {
        for (const Block& block : blocks_)
            if (address >= block.base && address < block.base + block.bytes.size())
                return crashreport::MemoryRegion{block.base, block.bytes.size(), block.allocationBase, true};
        return std::nullopt;
    }
    crashreport::ModuleFacts ModuleAt(std::uint64_t allocationBase) const override {
        auto found = modules_.find(allocationBase);
        return found == modules_.end() ? crashreport::ModuleFacts{} : found->second;
    }
    const symbols::SymbolStore* SymbolsOf(std::uint64_t moduleBase) const override {
        auto found = stores_.find(moduleBase);
        return found == stores_.end() ? nullptr : found->second.get();
    }
    std::optional<crashreport::NamedEntry> EntryAtOrBelow(std::uint64_t moduleBase,
                                                          std::uint64_t address) const override {
        auto module = exports_.find(moduleBase);
        if (module == exports_.end()) return std::nullopt;
        auto entry = module->second.upper_bound(address);
        if (entry == module->second.begin()) return std::nullopt;
        --entry;
        return crashreport::NamedEntry{entry->first, entry->second};
    }
    std::vector<std::uint64_t> NoReturnRoutines() const override { return noReturn_; }

private:
    struct Block {
        std::uint64_t base;
        std::uint64_t allocationBase;
        std::vector<std::uint8_t> bytes;
    };
    x86::Mode mode_;
    std::vector<Block> blocks_;
    std::map<std::uint64_t, crashreport::ModuleFacts> modules_;
    std::map<std::uint64_t, std::unique_ptr<symbols::SymbolStore>> stores_;
    std::map<std::uint64_t, std::map<std::uint64_t, std::u16string>> exports_;
    std::vector<std::uint64_t> noReturn_;
};

// Machine code assembled by hand at a fixed address.
class CodeAssembler {
public:
    explicit CodeAssembler(std::uint64_t base) : base_(base) {}
    std::uint64_t Here() const { return base_ + bytes_.size(); }
    CodeAssembler& Bytes(std::initializer_list<std::uint8_t> bytes) {
        bytes_.insert(bytes_.end(), bytes);
        return *this;
    }
    CodeAssembler& Dword(std::uint64_t value) {
        for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
        return *this;
    }
    // call rel32; returns the address after the call.
    std::uint64_t Call(std::uint64_t target) {
        Bytes({0xE8});
        Dword(target - (Here() + 4));
        return Here();
    }
    // Pads with int3 up to the next multiple of 16.
    CodeAssembler& Align() {
        while (Here() % 16) bytes_.push_back(0xCC);
        return *this;
    }
    CodeAssembler& At(std::uint64_t address) {
        while (Here() < address) bytes_.push_back(0xCC);
        return *this;
    }
    const std::vector<std::uint8_t>& Code() const { return bytes_; }

private:
    std::uint64_t base_;
    std::vector<std::uint8_t> bytes_;
};

// A stack filled from its top end down, as pushes fill it.
class StackBuilder {
public:
    StackBuilder(std::uint64_t top, unsigned pointerSize) : top_(top), size_(pointerSize) {}
    // Returns the slot the value went to.
    std::uint64_t Push(std::uint64_t value) {
        for (unsigned i = 0; i < size_; ++i) bytes_.insert(bytes_.begin(), 0);
        for (unsigned i = 0; i < size_; ++i) bytes_[i] = static_cast<std::uint8_t>(value >> (8 * i));
        return Bottom();
    }
    std::uint64_t Bottom() const { return top_ - bytes_.size(); }
    std::uint64_t Top() const { return top_; }
    const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

private:
    std::uint64_t top_;
    unsigned size_;
    std::vector<std::uint8_t> bytes_;
};

}  // namespace brevant::testing
