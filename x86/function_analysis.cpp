#include "x86/function_analysis.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <map>

#include "x86/instruction_decoder.h"

namespace brevant::x86 {

bool TFunctionInfo::Contains(std::uint64_t address) const {
    for (const TCodeArea& area : CodeAreas)
        if (address >= area.AreaBegin && address <= area.AreaEnd) return true;
    return false;
}

bool TFunctionInfo::FindCallEndingAt(std::uint64_t address, std::uint64_t& callAddress) const {
    for (const TUnknownTarget& call : UnknownTargets) {
        if (call.Call && call.CodeAddr2 == address) {
            callAddress = call.CodeAddr1;
            return true;
        }
    }
    for (const TFarCall& call : FarCalls) {
        if (call.Call && call.CodeAddr2 == address) {
            callAddress = call.CodeAddr1;
            return true;
        }
    }
    return false;
}

namespace {

constexpr std::size_t kMaxJumpTableEntries = 512;
constexpr std::size_t kHistory = 8;
constexpr std::uint64_t kNearGap = 16;  // alignment padding before a jump target
constexpr std::uint64_t kMaxGap = 4096;

struct DeferredJump {
    DeferredJump(const Instruction& jump, std::uint64_t to)
        : jumpAddress(jump.address), jumpEnd(jump.End()), target(to), conditional(jump.flow == Flow::ConditionalJump) {}
    std::uint64_t jumpAddress, jumpEnd, target;
    bool conditional;
};

// Register numbers of a decoded instruction, REX extensions included.
unsigned RegNumber(const Instruction& i) {
    return i.Reg() | ((i.rex & 4) << 1);
}
unsigned RmNumber(const Instruction& i) {
    return i.Rm() | ((i.rex & 1) << 3);
}
unsigned SibIndex(const Instruction& i) {
    return ((i.sib >> 3) & 7) | ((i.rex & 2) << 2);
}
unsigned SibBase(const Instruction& i) {
    return (i.sib & 7) | ((i.rex & 1) << 3);
}
bool IsOneByte(const Instruction& i, std::uint8_t opcode) {
    return i.map == OpcodeMap::OneByte && i.opcode == opcode;
}

class FunctionAnalyzer {
public:
    FunctionAnalyzer(const MemoryReader& reader, std::uint64_t entryPoint, const FunctionAnalysisOptions& options)
        : reader_(reader), entry_(entryPoint), options_(options) {
        noReturn_ = options.noReturnTargets;
        std::sort(noReturn_.begin(), noReturn_.end());
    }

    TFunctionInfo Run() {
        TFunctionInfo info;
        info.EntryPoint = entry_;
        Instruction first;
        if (!DecodeInstruction(reader_, entry_, options_.mode, first)) return info;
        pending_.push_back(entry_);
        do {
            while (!pending_.empty() && decoded_ < options_.maxInstructions) {
                const std::uint64_t start = pending_.back();
                pending_.pop_back();
                if (!InsideDecodedCode(start)) DecodeRun(start, info);
            }
        } while (SettleDeferred(info, false) && decoded_ < options_.maxInstructions);
        SettleDeferred(info, true);
        info.IsValid = true;
        CollectAreas(info);
        return info;
    }

private:
    bool InsideDecodedCode(std::uint64_t address) const {
        auto next = runs_.upper_bound(address);
        if (next == runs_.begin()) return false;
        --next;
        return address < next->second;
    }

    bool RunStartsAt(std::uint64_t address) const { return runs_.count(address) != 0; }

    bool InScope(std::uint64_t target) const {
        if (target < entry_) return false;
        return options_.scopeEnd == 0 || target < options_.scopeEnd;
    }

    bool IsNoReturn(std::uint64_t address) const {
        return std::binary_search(noReturn_.begin(), noReturn_.end(), address);
    }

    bool ReadPointer(std::uint64_t address, std::uint64_t& value) const {
        const std::size_t size = options_.mode == Mode::Bits64 ? 8 : 4;
        std::uint8_t bytes[8] = {};
        if (!reader_.Read(address, bytes, size)) return false;
        value = 0;
        for (std::size_t i = 0; i < size; ++i) value |= std::uint64_t{bytes[i]} << (8 * i);
        return true;
    }

    // A call target that never returns: the routine itself, or a jump to it through an
    // import slot or thunk.
    bool CallNeverReturns(std::uint64_t target) const {
        if (noReturn_.empty()) return false;
        if (IsNoReturn(target)) return true;
        Instruction thunk;
        if (!DecodeInstruction(reader_, target, options_.mode, thunk) || thunk.flow != Flow::Jump) return false;
        std::uint64_t slotValue = 0;
        if (thunk.hasTarget) return IsNoReturn(thunk.target);
        return thunk.hasMemoryAddress && ReadPointer(thunk.memoryAddress, slotValue) && IsNoReturn(slotValue);
    }

    void Follow(std::uint64_t target, const Instruction& jump, TFunctionInfo& info) {
        if (!InScope(target))
            info.FarCalls.push_back({false, jump.address, jump.End(), target});
        else if (options_.scopeEnd != 0 || target < CodeEnd() + kNearGap)
            pending_.push_back(target);
        else
            deferred_.push_back({jump, target});
    }

    std::uint64_t CodeEnd() const { return runs_.empty() ? entry_ : std::prev(runs_.end())->second; }

    // Without a known end, a jump far beyond the code found so far may be a tail call
    // into the next function. It counts as the function's own when the bytes up to the
    // target decode as code and, for an unconditional jump, hold no return and no int3
    // padding: what a function boundary looks like. Conditional tail calls are rare.
    bool GapLooksLikeOwnCode(std::uint64_t target, bool conditional) {
        std::uint64_t address = CodeEnd();
        if (target - address > kMaxGap) return false;
        while (address < target) {
            Instruction instruction;
            // Looking counts against the budget too, so that no input makes this slow.
            if (++decoded_ > options_.maxInstructions) return false;
            if (!DecodeInstruction(reader_, address, options_.mode, instruction)) return false;
            const bool boundary = IsOneByte(instruction, 0xCC) || instruction.flow == Flow::Return;
            if (boundary && !conditional) return false;
            address = instruction.End();
        }
        return address == target;
    }

    // Settles the far jumps once everything nearer is decoded; accepting one may bring
    // others into reach.
    bool SettleDeferred(TFunctionInfo& info, bool final) {
        bool progress = false;
        std::vector<DeferredJump> waiting;
        for (const DeferredJump& deferred : deferred_) {
            if (InsideDecodedCode(deferred.target) || GapLooksLikeOwnCode(deferred.target, deferred.conditional)) {
                pending_.push_back(deferred.target);
                progress = true;
            } else if (final) {
                info.FarCalls.push_back({false, deferred.jumpAddress, deferred.jumpEnd, deferred.target});
            } else {
                waiting.push_back(deferred);
            }
        }
        deferred_ = std::move(waiting);
        return progress;
    }

    // Decodes one straight run of code until it ends or meets code already decoded.
    void DecodeRun(std::uint64_t start, TFunctionInfo& info) {
        std::uint64_t address = start;
        historyCount_ = 0;
        while (decoded_ < options_.maxInstructions) {
            if (address != start && (RunStartsAt(address) || InsideDecodedCode(address))) break;
            Instruction instruction;
            if (!DecodeInstruction(reader_, address, options_.mode, instruction)) break;
            ++decoded_;
            address = instruction.End();
            Remember(instruction);
            if (IsOneByte(instruction, 0x8D) && instruction.hasMemoryAddress)
                tableAddresses_[RegNumber(instruction) & 15] = instruction.memoryAddress;
            if (!Continues(instruction, info)) break;
        }
        if (address > start) runs_[start] = address;
    }

    // Records what the instruction means for the function; false when execution does
    // not go on after it.
    bool Continues(const Instruction& instruction, TFunctionInfo& info) {
        switch (instruction.flow) {
            case Flow::Call:
                return RecordCall(instruction, info);
            case Flow::ConditionalJump:
                Follow(instruction.target, instruction, info);
                return true;
            case Flow::Jump:
                if (instruction.hasTarget && !instruction.far)
                    Follow(instruction.target, instruction, info);
                else if (instruction.hasTarget)
                    info.FarCalls.push_back({false, instruction.address, instruction.End(), instruction.target});
                else if (!FollowJumpTable(instruction))
                    info.UnknownTargets.push_back({false, instruction.address, instruction.End()});
                return false;
            case Flow::Return:
            case Flow::Stop:
                return false;
            case Flow::Sequential:
                return true;
        }
        return true;
    }

    bool RecordCall(const Instruction& call, TFunctionInfo& info) {
        std::uint64_t target = 0;
        bool known = call.hasTarget;
        if (known)
            target = call.target;
        else if (call.hasMemoryAddress)
            known = ReadPointer(call.memoryAddress, target);
        if (!known) {
            info.UnknownTargets.push_back({true, call.address, call.End()});
            return true;
        }
        info.FarCalls.push_back({true, call.address, call.End(), target});
        return !CallNeverReturns(target);
    }

    void Remember(const Instruction& instruction) {
        if (historyCount_ == kHistory) {
            std::move(history_.begin() + 1, history_.end(), history_.begin());
            --historyCount_;
        }
        history_[historyCount_++] = instruction;
    }

    // The instruction before the last one (the jump itself) that matches, searching back.
    template <typename Predicate>
    const Instruction* FindBefore(std::size_t before, Predicate predicate) const {
        for (std::size_t i = before; i-- > 0;)
            if (predicate(history_[i])) return &history_[i];
        return nullptr;
    }

    // "cmp index,n" followed by "ja"/"jae" bounds a jump table.
    std::size_t TableBound(unsigned indexRegister) const {
        const std::size_t jumpIndex = historyCount_ - 1;
        for (std::size_t i = jumpIndex; i-- > 1;) {
            const Instruction& branch = history_[i];
            if (branch.flow != Flow::ConditionalJump) continue;
            const Instruction& compare = history_[i - 1];
            const bool compareImmediate =
                (IsOneByte(compare, 0x83) || IsOneByte(compare, 0x81)) && compare.Reg() == 7 && compare.Mod() == 3;
            if (!compareImmediate || (RmNumber(compare) & 15) != (indexRegister & 15)) return 0;
            const std::uint8_t condition = branch.opcode & 0x0F;
            const std::uint64_t limit = compare.immediate & 0xFFFFFFFF;
            if (condition == 0x07)
                return static_cast<std::size_t>(std::min<std::uint64_t>(limit + 1, kMaxJumpTableEntries));
            if (condition == 0x03)
                return static_cast<std::size_t>(std::min<std::uint64_t>(limit, kMaxJumpTableEntries));
            return 0;
        }
        return 0;
    }

    // Reads the table's entries and queues the targets inside the function. `relative`
    // tables hold 32-bit offsets from the table's start, the others absolute pointers.
    void QueueTableTargets(std::uint64_t table, std::size_t bound, bool relative) {
        const std::size_t count = bound != 0 ? bound : kMaxJumpTableEntries;
        const std::size_t entrySize = relative ? 4 : (options_.mode == Mode::Bits64 ? 8 : 4);
        for (std::size_t i = 0; i < count; ++i) {
            std::uint64_t value = 0;
            if (relative) {
                std::uint8_t bytes[4];
                if (!reader_.Read(table + i * 4, bytes, 4)) break;
                const auto offset = static_cast<std::int32_t>(bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) |
                                                              (static_cast<std::uint32_t>(bytes[3]) << 24));
                value = table + static_cast<std::uint64_t>(static_cast<std::int64_t>(offset));
            } else if (!ReadPointer(table + i * entrySize, value)) {
                break;
            }
            // Without a bound the table ends where the entries stop pointing into the function.
            const bool plausible = InScope(value) && (options_.scopeEnd != 0 || value < CodeEnd() + kMaxGap);
            if (!plausible) {
                if (bound == 0) break;
                continue;
            }
            pending_.push_back(value);
        }
    }

    // Jump tables in the two shapes compilers make plain:
    //   jmp [index*size + table]              (or mov reg,[index*size + table]; jmp reg)
    //   lea base,[rip+table]; movsxd reg,[base+index*4]; add reg,base; jmp reg
    bool FollowJumpTable(const Instruction& jump) {
        if (jump.map != OpcodeMap::OneByte || jump.opcode != 0xFF) return false;
        const unsigned pointerScale = options_.mode == Mode::Bits64 ? 3 : 2;
        auto absoluteTable = [&](const Instruction& i) {
            return i.hasSib && i.Mod() == 0 && (i.sib & 7) == 5 && (i.sib >> 6) == pointerScale && SibIndex(i) != 4;
        };
        const std::size_t jumpIndex = historyCount_ - 1;
        if (jump.Mod() != 3) {
            if (!absoluteTable(jump)) return false;
            QueueTableTargets(static_cast<std::uint64_t>(jump.displacement) & AddressMask(), TableBound(SibIndex(jump)),
                              false);
            return true;
        }
        const unsigned target = RmNumber(jump);
        const Instruction* load = FindBefore(jumpIndex, [&](const Instruction& i) {
            return IsOneByte(i, 0x8B) && RegNumber(i) == target && i.Mod() != 3;
        });
        if (load != nullptr && absoluteTable(*load)) {
            QueueTableTargets(static_cast<std::uint64_t>(load->displacement) & AddressMask(),
                              TableBound(SibIndex(*load)), false);
            return true;
        }
        const Instruction* add = FindBefore(jumpIndex, [&](const Instruction& i) {
            return IsOneByte(i, 0x01) && i.Mod() == 3 && RmNumber(i) == target;
        });
        if (add == nullptr) return false;
        const unsigned base = RegNumber(*add);
        const std::size_t addIndex = static_cast<std::size_t>(add - history_.data());
        const Instruction* element = FindBefore(addIndex, [&](const Instruction& i) {
            return IsOneByte(i, 0x63) && RegNumber(i) == target && i.hasSib && SibBase(i) == base && (i.sib >> 6) == 2;
        });
        if (element == nullptr) return false;
        const std::size_t elementIndex = static_cast<std::size_t>(element - history_.data());
        const Instruction* address = FindBefore(elementIndex, [&](const Instruction& i) {
            return IsOneByte(i, 0x8D) && RegNumber(i) == base && i.hasMemoryAddress;
        });
        // The table address is often loaded once before a loop, outside this run.
        const std::uint64_t table = address != nullptr ? address->memoryAddress : tableAddresses_[base & 15];
        if (table == 0) return false;
        QueueTableTargets(table, TableBound(SibIndex(*element)), true);
        return true;
    }

    std::uint64_t AddressMask() const { return options_.mode == Mode::Bits64 ? ~std::uint64_t{0} : 0xFFFFFFFF; }

    void CollectAreas(TFunctionInfo& info) const {
        for (const auto& [begin, end] : runs_) {
            if (!info.CodeAreas.empty() && info.CodeAreas.back().AreaEnd + 1 >= begin) {
                info.CodeAreas.back().AreaEnd = std::max(info.CodeAreas.back().AreaEnd, end - 1);
            } else {
                info.CodeAreas.push_back({begin, end - 1});
            }
        }
        if (info.CodeAreas.empty()) return;
        info.CodeBegin = info.CodeAreas.front().AreaBegin;
        info.CodeLen = info.CodeAreas.back().AreaEnd + 1 - info.CodeBegin;
    }

    const MemoryReader& reader_;
    const std::uint64_t entry_;
    const FunctionAnalysisOptions& options_;
    std::vector<std::uint64_t> noReturn_;
    std::vector<std::uint64_t> pending_;
    std::vector<DeferredJump> deferred_;
    std::map<std::uint64_t, std::uint64_t> runs_;  // begin -> end (exclusive)
    std::size_t decoded_ = 0;
    std::array<Instruction, kHistory> history_{};
    std::array<std::uint64_t, 16> tableAddresses_{};  // last "lea reg,[address]" seen per register
    std::size_t historyCount_ = 0;
};

}  // namespace

TFunctionInfo ParseFunction(const MemoryReader& reader, std::uint64_t entryPoint,
                            const FunctionAnalysisOptions& options) {
    return FunctionAnalyzer(reader, entryPoint, options).Run();
}

}  // namespace brevant::x86
