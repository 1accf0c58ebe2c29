#include "crashreport/stack/stack_scan.h"

namespace brevant::crashreport {

namespace {

// More than any thread's stack: a larger range is a damaged request.
constexpr std::uint64_t kMaxStackBytes = 256ull << 20;

}  // namespace

std::optional<StackSnapshot> StackSnapshot::Take(const x86::MemoryReader& reader, std::uint64_t bottom,
                                                 std::uint64_t top, unsigned pointerSize) {
    if (bottom == 0 || top <= bottom || top - bottom > kMaxStackBytes) return std::nullopt;
    StackSnapshot snapshot;
    snapshot.bottom_ = bottom;
    snapshot.pointerSize_ = pointerSize;
    snapshot.bytes_.resize(static_cast<std::size_t>(top - bottom));
    if (!reader.Read(bottom, snapshot.bytes_.data(), snapshot.bytes_.size())) return std::nullopt;
    return snapshot;
}

bool StackSnapshot::ValueAt(std::uint64_t slot, std::uint64_t& value) const {
    if (slot < Bottom() || slot > Top() || Top() - slot < pointerSize_) return false;
    const std::uint8_t* bytes = bytes_.data() + (slot - bottom_);
    value = 0;
    for (unsigned i = 0; i < pointerSize_; ++i) value |= std::uint64_t{bytes[i]} << (8 * i);
    return true;
}

std::set<std::uint64_t> FramePointerChainSlots(const StackSnapshot& stack, std::uint64_t framePointer) {
    std::set<std::uint64_t> slots;
    if (framePointer == 0) return slots;
    const unsigned size = stack.PointerSize();
    const std::uint64_t bottom = stack.Bottom(), top = stack.Top();
    if (bottom < framePointer + size && framePointer + size < top) slots.insert(framePointer + size);
    std::uint64_t frame = framePointer;
    std::uint64_t saved = 0;
    // Saved frame pointers only grow towards the top; anything else ends the chain.
    while (frame < top - size && stack.ValueAt(frame, saved)) {
        if (saved <= frame) break;
        frame = saved;
        if (bottom < saved + size && saved + size < top) slots.insert(saved + size);
    }
    return slots;
}

void ScanStackSlots(const StackSnapshot& stack, const std::set<std::uint64_t>& chainSlots, const SlotVisitor& visit) {
    const unsigned size = stack.PointerSize();
    if (stack.Top() - stack.Bottom() < size) return;
    for (std::uint64_t slot = stack.Top() - size;; slot -= size) {
        std::uint64_t value = 0;
        if (stack.ValueAt(slot, value)) {
            const SlotVerdict verdict = visit(slot, value, chainSlots.count(slot) != 0);
            if (verdict == SlotVerdict::stop) return;
            if (verdict == SlotVerdict::acceptedSkipNext) {
                if (slot - stack.Bottom() < size) return;
                slot -= size;
            }
        }
        if (slot - stack.Bottom() < size) return;
    }
}

}  // namespace brevant::crashreport
