#pragma once
// The call stack of one thread as the report shows it: the walk's request, its structured
// lines and the values the report's callstack crc is made of.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace brevant::crashreport {

// One shown stack line.
struct TStackItem {
    std::uintptr_t Addr = 0;     // the calling (or faulting) instruction
    std::uintptr_t relAddr = 0;  // offset from the function start, 0 when unknown
    std::u16string ModuleName;
    std::u16string UnitName;
    std::int32_t Line = 0;     // absolute source line when the relative line is known, else 0
    std::int32_t relLine = 0;  // line relative to the function's first line, or the absolute line
    std::u16string FunctionName;
};
using TStackTrace = std::vector<TStackItem>;

struct WalkRequest {
    bool hideUgly = true;
    bool showRelAddrs = true;
    bool showRelLines = true;
    std::uintptr_t stackBottom = 0;  // 0: the current stack pointer
    std::uintptr_t stackTop = 0;     // 0: the current thread's stack base
    std::uintptr_t framePointer = 0;
    // Stack slots that the unwind information shows to hold return addresses (64-bit code,
    // which keeps no frame-pointer chain); certain like frame chain slots.
    std::vector<std::uintptr_t> unwoundSlots;
    const void* context = nullptr;   // the platform's CONTEXT of the walked thread, or none
    std::uintptr_t creatorAddr = 0;  // code address that created the thread, 0 none
    std::uintptr_t exceptAddr = 0;   // 0 none
    bool exceptThread = false;
    bool extException = false;
    bool bcbTermination = false;
    std::string preparedStack;                   // from PrepareCallStack at raise time, or empty
    const std::atomic<bool>* abort = nullptr;    // polled in every phase; may be null
    std::function<void(int permille)> progress;  // 0..1000; may be empty
};

struct WalkResult {
    std::u16string text;  // the aligned lines joined by CR LF
    TStackTrace callstack;
    std::uint32_t firstValue = 0;  // crc line value of the top line
    std::uint32_t blockCrc = 0;
    bool hasLine = false;  // a shown line has a source line number
    // What the "disassembling" section is made of.
    std::uintptr_t functionStart = 0;
    std::uintptr_t codeAddress = 0;
    std::uintptr_t innermostAddr = 0;  // display address of the innermost named item
    // "module name|minimal debug information" of each module the lines met, without duplicates.
    std::vector<std::u16string> debugInfoPairs;
};

}  // namespace brevant::crashreport
