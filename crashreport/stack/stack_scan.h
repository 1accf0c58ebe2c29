#pragma once
// The walked stack as one snapshot, the frame-pointer chain through it, and the scan of its
// slots from the top end down that both the walk and the raise-time preparation make.

#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <vector>

#include "crashreport/stack/stack_environment.h"

namespace brevant::crashreport {

class StackSnapshot {
public:
    // Nothing when the range cannot be read in full (or is no range).
    static std::optional<StackSnapshot> Take(const x86::MemoryReader& reader, std::uint64_t bottom, std::uint64_t top,
                                             unsigned pointerSize);

    std::uint64_t Bottom() const { return bottom_; }
    std::uint64_t Top() const { return bottom_ + bytes_.size(); }
    unsigned PointerSize() const { return pointerSize_; }
    // The pointer-sized value at a slot inside the snapshot.
    bool ValueAt(std::uint64_t slot, std::uint64_t& value) const;

private:
    std::uint64_t bottom_ = 0;
    unsigned pointerSize_ = 4;
    std::vector<std::uint8_t> bytes_;
};

// The slots that hold return addresses by the frame-pointer chain from framePointer: one
// slot above each frame's saved frame pointer.
std::set<std::uint64_t> FramePointerChainSlots(const StackSnapshot& stack, std::uint64_t framePointer);

enum class SlotVerdict { rejected, accepted, acceptedSkipNext, stop };

// Visits every slot from the top end down to the bottom; a verdict of acceptedSkipNext
// passes over the slot below (the saved frame pointer of a chain frame).
using SlotVisitor = std::function<SlotVerdict(std::uint64_t slot, std::uint64_t value, bool chainSlot)>;
void ScanStackSlots(const StackSnapshot& stack, const std::set<std::uint64_t>& chainSlots, const SlotVisitor& visit);

}  // namespace brevant::crashreport
