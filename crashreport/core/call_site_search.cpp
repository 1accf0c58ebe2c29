#include "crashreport/core/call_site_search.h"

#include <algorithm>
#include <cstring>

#include "x86/instruction_decoder.h"

namespace brevant::crashreport {

namespace {

constexpr int kMaxThunks = 4;
constexpr int kMaxInstructions = 400;

std::optional<std::uint64_t> ReadPointer(const x86::MemoryReader& code, std::uint64_t at, x86::Mode mode) {
    if (mode == x86::Mode::Bits64) {
        std::uint64_t value = 0;
        if (!code.Read(at, &value, 8)) return std::nullopt;
        return value;
    }
    std::uint32_t value = 0;
    if (!code.Read(at, &value, 4)) return std::nullopt;
    return value;
}

bool IsPlainNearJumpOrCall(const x86::Instruction& instruction) {
    return !instruction.far && instruction.map == x86::OpcodeMap::OneByte;
}

// Where the call or jump goes, when that is known without running it.
std::optional<std::uint64_t> TargetOf(const x86::MemoryReader& code, const x86::Instruction& instruction) {
    if (!IsPlainNearJumpOrCall(instruction)) return std::nullopt;
    if (instruction.IsRelative() && instruction.immediateSize == 4) return instruction.target;
    if (instruction.indirect && instruction.opcode == 0xFF && instruction.hasMemoryAddress)
        return ReadPointer(code, instruction.memoryAddress, instruction.mode);
    return std::nullopt;
}

// Instructions that do nothing, as hot-patchable entries start with them (mov edi,edi;
// push ebp; mov ebp,esp; pop ebp; lea rsp,[rsp+0]; nop).
bool DoesNothing(const x86::MemoryReader& code, const x86::Instruction& instruction) {
    static const std::vector<std::vector<std::uint8_t>> kNeutral = {
        {0x8B, 0xFF}, {0x89, 0xFF}, {0x55}, {0x8B, 0xEC}, {0x89, 0xE5}, {0x5D}, {0x90}, {0x66, 0x90},
        {0x8D, 0xA4, 0x24, 0, 0, 0, 0}, {0x48, 0x8D, 0xA4, 0x24, 0, 0, 0, 0}, {0x8D, 0x64, 0x24, 0},
        {0x48, 0x8D, 0x64, 0x24, 0}};
    std::uint8_t bytes[x86::kMaxInstructionLength] = {};
    if (instruction.length > sizeof(bytes) || !code.Read(instruction.address, bytes, instruction.length)) return false;
    return std::any_of(kNeutral.begin(), kNeutral.end(), [&](const std::vector<std::uint8_t>& neutral) {
        return neutral.size() == instruction.length && std::equal(neutral.begin(), neutral.end(), bytes);
    });
}

// The target of a thunk at `address`: a jump, perhaps after instructions that do nothing.
std::optional<std::uint64_t> ThunkTarget(const x86::MemoryReader& code, std::uint64_t address, x86::Mode mode) {
    constexpr int kMaxLeadingInstructions = 6;
    for (int i = 0; i <= kMaxLeadingInstructions; ++i) {
        x86::Instruction instruction;
        if (!x86::DecodeInstruction(code, address, mode, instruction)) return std::nullopt;
        if (instruction.flow == x86::Flow::Jump) return TargetOf(code, instruction);
        if (!DoesNothing(code, instruction)) return std::nullopt;
        address = instruction.End();
    }
    return std::nullopt;
}

}  // namespace

std::uint64_t FollowJumpThunks(const x86::MemoryReader& code, std::uint64_t address, x86::Mode mode) {
    for (int step = 0; step < kMaxThunks; ++step) {
        const std::optional<std::uint64_t> target = ThunkTarget(code, address, mode);
        if (!target || *target == 0) break;
        address = *target;
    }
    return address;
}

std::optional<CallSite> FindCallSite(const x86::MemoryReader& code, std::uint64_t routine, x86::Mode mode,
                                     std::span<const std::uint64_t> sought) {
    auto isSought = [&](std::uint64_t target) {
        return std::find(sought.begin(), sought.end(), target) != sought.end() ||
               std::find(sought.begin(), sought.end(), FollowJumpThunks(code, target, mode)) != sought.end();
    };
    std::uint64_t at = routine;
    for (int count = 0; count < kMaxInstructions; ++count) {
        x86::Instruction instruction;
        if (!x86::DecodeInstruction(code, at, mode, instruction)) return std::nullopt;
        if (instruction.IsReturn()) return std::nullopt;
        if (instruction.IsCall()) {
            const bool relative = instruction.IsRelative() && instruction.immediateSize == 4;
            const bool throughSlot = instruction.indirect && instruction.opcode == 0xFF && instruction.length >= 5;
            const std::optional<std::uint64_t> target = TargetOf(code, instruction);
            if ((relative || throughSlot) && target && isSought(*target))
                return CallSite{at, instruction.length, FollowJumpThunks(code, *target, mode)};
        }
        at = instruction.End();
    }
    return std::nullopt;
}

std::optional<std::vector<std::uint8_t>> RelativeCallBytes(std::uint64_t site, std::uint8_t length, std::uint64_t to) {
    if (length < 5) return std::nullopt;
    const auto distance = static_cast<std::int64_t>(to - (site + 5));
    if (distance < INT32_MIN || distance > INT32_MAX) return std::nullopt;
    const auto relative = static_cast<std::int32_t>(distance);
    std::vector<std::uint8_t> bytes(length, 0x90);
    bytes[0] = 0xE8;
    std::memcpy(&bytes[1], &relative, 4);
    return bytes;
}

}  // namespace brevant::crashreport
