// symdump: prints what the symbol store embedded in an executable says, without running it.
//
//   symdump FILE ADDRESS...   address, function start, unit, line, function name per address
//   symdump --all FILE        start, unit, line of the start, name per public symbol
//   symdump --info FILE       the minimal debug information and the store's sizes
//
// Addresses are virtual addresses in lower-case hex without prefix; fields are separated by
// tabs and left empty where nothing is known.

#include <cstdio>
#include <iostream>
#include <string>
#include <string_view>

#include "symbols/embedded_store.h"
#include "symbols/pe_image.h"

namespace brevant::symbols {

namespace {

std::string Hex(std::uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "%llx", static_cast<unsigned long long>(value));
    return text;
}

int Usage() {
    std::cerr << "usage: symdump FILE ADDRESS... | symdump --all FILE | symdump --info FILE\n";
    return 2;
}

void PrintAddress(const EmbeddedStore& embedded, std::uint64_t address) {
    const SymbolStore& store = embedded.store;
    std::string start, name, unit;
    std::int32_t line = 0;
    if (address >= embedded.imageBase && address - embedded.imageBase <= 0xFFFFFFFFu) {
        const auto offset = static_cast<std::uint32_t>(address - embedded.imageBase);
        if (const auto symbol = store.PublicSymbolAt(offset)) {
            start = Hex(embedded.imageBase + symbol->start);
            name = symbol->name;
        }
        unit = store.UnitAt(offset);
        line = store.LineAtAddress(offset).line;
    }
    std::cout << Hex(address) << '\t' << start << '\t' << unit << '\t' << line << '\t' << name << '\n';
}

void PrintAll(const EmbeddedStore& embedded) {
    const SymbolStore& store = embedded.store;
    for (std::size_t index = 0; index < store.SymbolCount(); ++index) {
        const SymbolAt symbol = store.SymbolByIndex(index);
        std::cout << Hex(embedded.imageBase + symbol.start) << '\t' << symbol.unit << '\t'
                  << store.LineAtAddress(symbol.start).line << '\t' << symbol.name << '\n';
    }
}

void PrintInfo(const EmbeddedStore& embedded) {
    std::cout << embedded.store.DebugInfo() << '\n'
              << "store: " << embedded.packedSize << " bytes compressed, " << embedded.store.UncompressedSize()
              << " bytes uncompressed\n";
}

int Run(int argc, char** argv) {
    if (argc < 3) return Usage();
    const std::string_view mode = argv[1];
    const bool listing = mode == "--all" || mode == "--info";
    const std::string path = listing ? argv[2] : argv[1];
    const auto file = ReadWholeFile(path);
    if (!file) {
        std::cerr << "symdump: cannot read " << path << "\n";
        return 1;
    }
    const auto embedded = ReadEmbeddedStore(*file);
    if (!embedded) {
        std::cerr << "symdump: " << path << " carries no readable symbol store (missing or damaged)\n";
        return 1;
    }
    if (mode == "--all") {
        PrintAll(*embedded);
    } else if (mode == "--info") {
        PrintInfo(*embedded);
    } else {
        for (int index = 2; index < argc; ++index) {
            char* end = nullptr;
            const unsigned long long address = std::strtoull(argv[index], &end, 16);
            if (end == argv[index] || *end != '\0') {
                std::cerr << "symdump: not a hexadecimal address: " << argv[index] << "\n";
                return 2;
            }
            PrintAddress(*embedded, address);
        }
    }
    return 0;
}

}  // namespace

}  // namespace brevant::symbols

int main(int argc, char** argv) {
    return brevant::symbols::Run(argc, argv);
}
