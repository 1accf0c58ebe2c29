// Size and speed of the symbol store, natively, for pairs of (unstripped, shipped) programs:
//
//   symbol_store_benchmark DEBUG_EXE SHIPPED_EXE [DEBUG_EXE SHIPPED_EXE...]
//
// Size: the embedded (compressed) store against the DWARF sections of the unstripped link
// it replaces. Speed: the first lookup, which unpacks the store, and then the average of a
// full lookup (function, unit, line) over every line-table address, with a plain binary
// search over the same addresses as the baseline. The native build carries the sanitizers,
// so absolute times are on the slow side.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include "symbols/embedded_store.h"
#include "symbols/pe_image.h"

namespace brevant::symbols {

namespace {

using Clock = std::chrono::steady_clock;

double NanosecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::nano>(Clock::now() - start).count();
}

std::uint64_t DwarfSize(const PeImage& image) {
    std::uint64_t size = 0;
    for (const PeSection& section : image.Sections()) {
        if (section.name.starts_with(".debug_")) size += section.virtualSize;
    }
    return size;
}

// What one full lookup costs; the sum keeps the work from being optimised away.
std::uint64_t LookupAll(const SymbolStore& store, const std::vector<std::uint32_t>& addresses) {
    std::uint64_t sum = 0;
    for (std::uint32_t address : addresses) {
        if (const auto symbol = store.PublicSymbolAt(address)) sum += symbol->start;
        sum += store.UnitAt(address).size();
        sum += static_cast<std::uint64_t>(store.LineAtAddress(address).line);
    }
    return sum;
}

std::uint64_t SearchAll(const std::vector<std::uint32_t>& sorted, const std::vector<std::uint32_t>& addresses) {
    std::uint64_t sum = 0;
    for (std::uint32_t address : addresses) {
        sum += static_cast<std::uint64_t>(std::upper_bound(sorted.begin(), sorted.end(), address) - sorted.begin());
    }
    return sum;
}

bool Measure(const std::string& debugPath, const std::string& shippedPath) {
    const auto debugFile = ReadWholeFile(debugPath);
    const auto shippedFile = ReadWholeFile(shippedPath);
    const auto debugImage = debugFile ? PeImage::Parse(*debugFile) : std::nullopt;
    const auto shippedImage = shippedFile ? PeImage::Parse(*shippedFile) : std::nullopt;
    const auto packed =
        shippedImage ? shippedImage->FindResource(kStoreResourceType, kStoreResourceName) : std::nullopt;
    if (!debugImage || !packed) {
        std::fprintf(stderr, "%s / %s: no program with a symbol store\n", debugPath.c_str(), shippedPath.c_str());
        return false;
    }

    const Clock::time_point firstStart = Clock::now();
    const auto store = OpenPackedStore(*packed);
    if (!store) return false;
    std::uint64_t sum = store->PublicSymbolAt(store->CodeStart()) ? 1 : 0;
    const double firstLookup = NanosecondsSince(firstStart);

    std::vector<std::uint32_t> addresses;
    for (std::size_t index = 0; index < store->LineCount(); ++index) addresses.push_back(store->LineRowStart(index));
    constexpr int kRounds = 20;
    const Clock::time_point lookupStart = Clock::now();
    for (int round = 0; round < kRounds; ++round) sum += LookupAll(*store, addresses);
    const double perLookup = NanosecondsSince(lookupStart) / (kRounds * addresses.size());
    const Clock::time_point searchStart = Clock::now();
    for (int round = 0; round < kRounds; ++round) sum += SearchAll(addresses, addresses);
    const double perSearch = NanosecondsSince(searchStart) / (kRounds * addresses.size());

    const std::uint64_t dwarf = DwarfSize(*debugImage);
    std::printf("%s (%s)\n", shippedPath.c_str(), debugImage->Is64Bit() ? "x86_64" : "i686");
    std::printf("  size:  store %zu bytes, DWARF sections %llu bytes, ratio %.4f (limit 0.25)\n", packed->size(),
                static_cast<unsigned long long>(dwarf), static_cast<double>(packed->size()) / dwarf);
    std::printf(
        "  speed: first lookup (unpacking %zu bytes) %.0f us; then %.0f ns per lookup over %zu line-table "
        "addresses (limit 2000 ns), %.1f x a bare binary search (%.0f ns)\n",
        store->UncompressedSize(), firstLookup / 1000, perLookup, addresses.size(), perLookup / perSearch, perSearch);
    __asm__ volatile("" : : "g"(sum) : "memory");  // the lookups' results count as used
    return true;
}

}  // namespace

}  // namespace brevant::symbols

int main(int argc, char** argv) {
    if (argc < 3 || argc % 2 == 0) {
        std::fprintf(stderr, "usage: symbol_store_benchmark DEBUG_EXE SHIPPED_EXE [DEBUG_EXE SHIPPED_EXE...]\n");
        return 2;
    }
    bool measured = true;
    for (int index = 1; index + 1 < argc; index += 2) {
        measured = brevant::symbols::Measure(argv[index], argv[index + 1]) && measured;
    }
    return measured ? 0 : 1;
}
