#include "crashreport/stack/prepared_call_stack.h"

#include "base/little_endian.h"
#include "crashreport/stack/call_test.h"
#include "crashreport/stack/stack_scan.h"

namespace brevant::crashreport {

namespace {

constexpr std::size_t kInitialEntries = 64;

}  // namespace

std::string EncodePreparedCallStack(const std::vector<PreparedEntry>& entries, unsigned pointerSize) {
    std::string text;
    text.reserve(4 + kInitialEntries * (1 + pointerSize));
    std::uint8_t field[8];
    WriteU32(field, static_cast<std::uint32_t>(entries.size()));
    text.append(reinterpret_cast<const char*>(field), 4);
    for (const PreparedEntry& entry : entries) {
        text.push_back(entry.chainSlot ? 1 : 0);
        WriteU64(field, entry.address);
        text.append(reinterpret_cast<const char*>(field), pointerSize);
    }
    return text;
}

std::optional<std::vector<PreparedEntry>> DecodePreparedCallStack(std::string_view text, unsigned pointerSize) {
    if (text.size() < 4) return std::nullopt;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    const std::uint64_t count = ReadU32(bytes);
    if (text.size() != 4 + count * (1 + pointerSize)) return std::nullopt;
    std::vector<PreparedEntry> entries;
    entries.reserve(static_cast<std::size_t>(count));
    for (const std::uint8_t* entry = bytes + 4; entry < bytes + text.size(); entry += 1 + pointerSize) {
        std::uint64_t address = ReadU32(entry + 1);
        if (pointerSize == 8) address = ReadU64(entry + 1);
        entries.push_back({entry[0] == 1, address});
    }
    return entries;
}

std::string PrepareCallStack(const x86::MemoryReader& reader, const PrepareRequest& request) {
    try {
        const auto stack = StackSnapshot::Take(reader, request.bottom, request.top, request.pointerSize);
        if (!stack) return {};
        const x86::MemoryReader& code = request.codeReader ? *request.codeReader : reader;
        std::set<std::uint64_t> chainSlots = request.unwoundSlots;
        if (request.pointerSize == 4) chainSlots.merge(FramePointerChainSlots(*stack, request.framePointer));
        std::vector<PreparedEntry> entries;
        entries.reserve(kInitialEntries);
        ScanStackSlots(*stack, chainSlots, [&](std::uint64_t, std::uint64_t value, bool chainSlot) {
            if (request.stopAtValue && value == request.stopValue) return SlotVerdict::stop;
            if (value <= 7 || !PassesCallTest(code, value)) return SlotVerdict::rejected;
            entries.push_back({chainSlot, value});
            return chainSlot ? SlotVerdict::acceptedSkipNext : SlotVerdict::accepted;
        });
        return EncodePreparedCallStack(entries, request.pointerSize);
    } catch (...) {
        return {};
    }
}

}  // namespace brevant::crashreport
