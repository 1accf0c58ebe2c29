#pragma once
// The shown items as aligned lines, their structured form and the values of the callstack
// crc they are identified by.

#include "crashreport/stack/stack_trace.h"
#include "crashreport/stack/walk_items.h"

namespace brevant::crashreport {

struct ComposeOptions {
    bool hideUgly = true;
    bool showRelAddrs = true;
    bool showRelLines = true;
    bool hasCreator = false;  // item 0 is the thread's creator and always shown
    int addressDigits = 8;
};

// The crc line value of one written line.
std::uint32_t CrcLineValue(const TStackItem& line, std::uint64_t functionStart);

// Fills text, callstack, crc values, has-line flag and the disassembly's function start and
// code address of the result, from the items innermost first.
void ComposeResult(const std::vector<TInternalStackItem>& items, const ComposeOptions& options, WalkResult& result);

}  // namespace brevant::crashreport
