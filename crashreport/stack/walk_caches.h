#pragma once
// The modules and analysed functions met by walks. They live as long as the process (the
// Win32 edge keeps one set under its walk lock), so later reports reuse the analysis, the
// approvals and the invalid marks of earlier ones.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "crashreport/stack/stack_environment.h"
#include "x86/function_analysis.h"

namespace brevant::crashreport {

struct CachedModule {
    std::uint64_t base = 0;
    ModuleFacts facts;
    const symbols::SymbolStore* store = nullptr;
};

struct CachedFunction {
    int module = -1;
    std::u16string name;
    x86::TFunctionInfo info;
    bool approved = false;
    bool invalid = false;
};

// A name for a code address: the public symbol or export that covers it.
struct CodeName {
    int module = -1;
    std::u16string name;
    std::uint64_t start = 0;  // 0 when no symbol covers the address
};

class WalkCaches {
public:
    WalkCaches() {
        modules_.reserve(16);
        functions_.reserve(16);
    }

    // The module of an allocation base, entered on first sight.
    int ModuleOfBase(const StackEnvironment& env, std::uint64_t allocationBase);
    // The module holding an address, -1 when it lies in no image.
    int ModuleOfAddress(const StackEnvironment& env, std::uint64_t address);
    const CachedModule& Module(int index) const { return modules_[static_cast<std::size_t>(index)]; }

    // The function starting at the entry, analysed on first sight; -1 when the decoder
    // cannot analyse it (such functions are not kept).
    int FunctionAt(const StackEnvironment& env, std::uint64_t entry, const std::u16string& name, int module);
    // Approves the function and, transitively, the functions it jumps to.
    void Approve(const StackEnvironment& env, int function);
    // A function of no code that stands for an unreadable fault location.
    int Placeholder(std::uint64_t entry, int module);

    CachedFunction& Function(int index) { return functions_[static_cast<std::size_t>(index)]; }
    const CachedFunction& Function(int index) const { return functions_[static_cast<std::size_t>(index)]; }
    std::size_t FunctionCount() const { return functions_.size(); }
    bool IsApproved(int function) const {
        return function >= 0 && Function(function).approved && !Function(function).invalid;
    }

    // The public symbol (module with store) or export (other libraries) covering the address.
    CodeName NameOf(const StackEnvironment& env, std::uint64_t address);

    // The line of an address in its module's store; 0 when none.
    std::int32_t LineOf(int module, std::uint64_t address) const;

private:
    std::vector<CachedModule> modules_;
    std::map<std::uint64_t, int> moduleByBase_;
    std::vector<CachedFunction> functions_;
    std::map<std::uint64_t, int> functionByEntry_;
    std::optional<std::vector<std::uint64_t>> noReturn_;
};

// The store's offset of an address of the module, when it fits.
std::optional<std::uint32_t> StoreOffset(const CachedModule& module, std::uint64_t address);

}  // namespace brevant::crashreport
