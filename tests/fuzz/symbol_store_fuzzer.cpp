// libFuzzer target for the symbol store reader. The first byte chooses what the rest is: an
// executable file with an embedded store, a packed store as found in the resource, or an
// uncompressed store (the checksum stops almost every mutation of a packed store before
// the tables are read, so the tables are fuzzed directly too). Whatever is accepted must
// answer lookups over its whole code range without faulting.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "symbols/embedded_store.h"
#include "symbols/symbol_store.h"

namespace {

void AskEverything(const brevant::symbols::SymbolStore& store, std::span<const std::uint8_t> probes) {
    const std::uint32_t start = store.CodeStart();
    const std::uint64_t span = std::uint64_t{store.CodeEnd()} - start + 2;
    for (std::size_t index = 0; index + 4 <= probes.size() && index < 64 * 4; index += 4) {
        const std::uint32_t value = probes[index] | probes[index + 1] << 8 | probes[index + 2] << 16 |
                                    static_cast<std::uint32_t>(probes[index + 3]) << 24;
        const auto address = static_cast<std::uint32_t>(start + value % span - 1);
        if (const auto symbol = store.PublicSymbolAt(address)) {
            if (store.FindPublicSymbol(symbol->unit, symbol->name) > address) __builtin_trap();
        }
        (void)store.UnitAt(address);
        const auto line = store.LineAtAddress(address);
        if (line.line > 0 && (line.start > address || line.end <= address)) __builtin_trap();
    }
    (void)store.DebugInfo();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::span<const std::uint8_t> body(data + 1, size - 1);
    switch (data[0] % 3) {
        case 0:
            if (const auto embedded = brevant::symbols::ReadEmbeddedStore(body)) AskEverything(embedded->store, body);
            break;
        case 1:
            if (const auto store = brevant::symbols::OpenPackedStore(body)) AskEverything(*store, body);
            break;
        default:
            if (const auto store = brevant::symbols::SymbolStore::Open(std::vector(body.begin(), body.end()))) {
                AskEverything(*store, body);
            }
            break;
    }
    return 0;
}
