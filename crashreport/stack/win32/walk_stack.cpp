#include "crashreport/stack/win32/walk_stack.h"

// The decoder's headers come before <windows.h>, whose "far" macro would empty their field name.
#include "crashreport/stack/prepared_call_stack.h"
#include "crashreport/stack/stack_walker.h"
#include "crashreport/stack/win32/process_environment.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

#include <mutex>

#include "crashreport/stack/win32/unwound_frames.h"
#include "symbols/win32/code_address_lookup.h"

namespace brevant::crashreport {

namespace {

constexpr int kAddressDigits = sizeof(void*) * 2;

// The caches of every walk of the process, and the lock that admits one walk at a time. Never
// destroyed: a report may be made while static objects are torn down.
struct ProcessWalker {
    std::mutex lock;
    ProcessEnvironment env;
    WalkCaches caches;
};

ProcessWalker& Walker() {
    static ProcessWalker* walker = new ProcessWalker;
    return *walker;
}

// The end of the committed stack region holding the caller's stack pointer: the stack base.
std::uintptr_t CurrentStackBase() {
    // The thread's own record knows its stack (and is kept right when fibres switch); a query
    // of the memory is the fall-back, as every throw asks this.
    const int here = 0;
    const auto* tib = reinterpret_cast<const NT_TIB*>(NtCurrentTeb());
    const auto at = reinterpret_cast<std::uintptr_t>(&here);
    const auto base = reinterpret_cast<std::uintptr_t>(tib->StackBase);
    if (at >= reinterpret_cast<std::uintptr_t>(tib->StackLimit) && at < base) return base;
    MEMORY_BASIC_INFORMATION region{};
    if (VirtualQuery(&here, &region, sizeof(region)) != sizeof(region)) return 0;
    return reinterpret_cast<std::uintptr_t>(region.BaseAddress) + region.RegionSize;
}

std::uintptr_t StackPointerOf(const CONTEXT& context) {
#ifdef _WIN64
    return context.Rsp;
#else
    return context.Esp;
#endif
}

// The slots the unwind information gives (64-bit code), from the context of the walked thread.
std::vector<std::uintptr_t> AnchorSlots(const CONTEXT* context, std::uintptr_t bottom, std::uintptr_t top) {
    return context ? UnwoundReturnSlots(*context, bottom, top) : std::vector<std::uintptr_t>{};
}

// Where the calling function's own frame ends: at its saved frame pointer (32-bit code, whose
// chain starts there) or at its return address slot (64-bit code, from the unwound slots).
std::uintptr_t OwnFrameEnd(const CONTEXT& context, const std::vector<std::uintptr_t>& slots, const void* ownFrame) {
    if (sizeof(void*) == 4) return reinterpret_cast<std::uintptr_t>(ownFrame);
    return slots.empty() ? StackPointerOf(context) : slots.front();
}

// The calling thread's own stack above its stack pointer, read directly: that part of a
// stack is always committed, and a read through the system would cost each throw dearly.
class OwnStackReader : public x86::MemoryReader {
public:
    OwnStackReader(std::uintptr_t low, std::uintptr_t high) : low_(low), high_(high) {}
    bool Read(std::uint64_t address, void* buffer, std::size_t size) const override {
        if (address < low_ || address > high_ || size > high_ - address) return false;
        std::memcpy(buffer, reinterpret_cast<const void*>(address), size);
        return true;
    }

private:
    std::uintptr_t low_, high_;
};

}  // namespace

__attribute__((noinline)) WalkResult WalkStack(const WalkRequest& request) {
    try {
        WalkRequest walk = request;
        CONTEXT here{};
        RtlCaptureContext(&here);
        if (walk.stackTop == 0) walk.stackTop = CurrentStackBase();
        if (walk.exceptAddr == 0 && !walk.exceptThread)
            walk.exceptAddr = reinterpret_cast<std::uintptr_t>(__builtin_return_address(0));
        if (walk.stackBottom == 0) {
            // The own stack starts at this function's return: its frame holds nothing but
            // copies of the request and of the context, whose code addresses are no calls.
            walk.unwoundSlots = AnchorSlots(&here, 0, walk.stackTop);
            walk.stackBottom = OwnFrameEnd(here, walk.unwoundSlots, __builtin_frame_address(0));
            if (sizeof(void*) == 4 && walk.framePointer == 0) walk.framePointer = walk.stackBottom;
        }
        // A prepared call stack stands for the stack of its exception, whose frames may be gone
        // by now (a caught or rethrown one): the context is then not unwound over the stack.
        if (walk.unwoundSlots.empty() && walk.preparedStack.empty())
            walk.unwoundSlots = AnchorSlots(static_cast<const CONTEXT*>(walk.context), walk.stackBottom, walk.stackTop);
        ProcessWalker& walker = Walker();
        std::lock_guard guard(walker.lock);
        walker.env.ForgetRegions();
        return WalkStack(walker.env, walker.caches, walk);
    } catch (...) {
        WalkResult failed;
        failed.text = InternalFailureText(u"WalkStack", std::nullopt);
        return failed;
    }
}

__attribute__((noinline)) std::string PrepareCallStack(std::uintptr_t bottom, std::uintptr_t top,
                                                       std::uintptr_t framePointer, std::uintptr_t stopValue,
                                                       bool stopAtValue) {
    try {
        CONTEXT here{};
        RtlCaptureContext(&here);
        PrepareRequest prepare;
        prepare.top = top ? top : CurrentStackBase();
        prepare.pointerSize = sizeof(void*);
        prepare.framePointer = framePointer;
        std::vector<std::uintptr_t> slots = AnchorSlots(&here, bottom, prepare.top);
        // As for a walk: the own stack starts at this function's return.
        prepare.bottom = bottom ? bottom : OwnFrameEnd(here, slots, __builtin_frame_address(0));
        for (std::uintptr_t slot : slots)
            if (slot >= prepare.bottom) prepare.unwoundSlots.insert(slot);
        prepare.stopValue = stopValue;
        prepare.stopAtValue = stopAtValue;
        const ProcessEnvironment imageCode(true);
        prepare.codeReader = &imageCode;
        if (bottom == 0 && top == 0) {
            // 32-bit code: the captured stack pointer lies above this function's frame.
            const OwnStackReader ownStack(std::min<std::uintptr_t>(StackPointerOf(here), prepare.bottom), prepare.top);
            return PrepareCallStack(ownStack, prepare);
        }
        const ProcessEnvironment memory;
        return PrepareCallStack(memory, prepare);
    } catch (...) {
        return {};
    }
}

// The registers an unwind starts from: the instruction and stack pointers and the registers
// a function must keep for its caller (64-bit code).
struct UnwindStart {
    std::uint64_t rip, rsp, rbp, rbx, rsi, rdi, r12, r13, r14, r15;
};

struct StackSnapshot {
    PrepareRequest request;
    UnwindStart start;      // 64-bit code: the thrower's, to unwind the copy from
    std::uintptr_t low;     // where the copy starts
    std::string bytes;      // the stack from low up to request.top
};

namespace {

#ifdef _WIN64
UnwindStart UnwindStartOf(const CONTEXT& context) {
    return {context.Rip, context.Rsp, context.Rbp, context.Rbx, context.Rsi,
            context.Rdi, context.R12, context.R13, context.R14, context.R15};
}

CONTEXT ContextOf(const UnwindStart& start) {
    CONTEXT context{};
    context.ContextFlags = CONTEXT_CONTROL | CONTEXT_INTEGER;
    context.Rip = start.rip;
    context.Rsp = start.rsp;
    context.Rbp = start.rbp;
    context.Rbx = start.rbx;
    context.Rsi = start.rsi;
    context.Rdi = start.rdi;
    context.R12 = start.r12;
    context.R13 = start.r13;
    context.R14 = start.r14;
    context.R15 = start.r15;
    return context;
}
#endif

}  // namespace

// Taken at every throw, so it only copies: the unwinding that finds the certain slots is done
// on the copy once a report wants the stack.
__attribute__((noinline)) std::shared_ptr<StackSnapshot> SnapshotOwnStack(std::uintptr_t framePointer,
                                                                         std::shared_ptr<StackSnapshot> spare,
                                                                         const void* capturedContext) {
    try {
        const auto* captured = static_cast<const CONTEXT*>(capturedContext);
        auto snapshot = spare && spare.use_count() == 1 ? std::move(spare) : std::make_shared<StackSnapshot>();
        snapshot->request = PrepareRequest{};
        PrepareRequest& prepare = snapshot->request;
        prepare.top = CurrentStackBase();
        prepare.pointerSize = sizeof(void*);
        prepare.framePointer = framePointer;
#ifdef _WIN64
        // 64-bit code unwinds from the thrower's context, or from this function's own.
        if (captured) {
            snapshot->start = UnwindStartOf(*captured);
        } else {
            CONTEXT here{};
            RtlCaptureContext(&here);
            snapshot->start = UnwindStartOf(here);
        }
        prepare.bottom = snapshot->start.rsp;
#else
        // 32-bit code walks its frame-pointer chain from this function's own frame, so the
        // copy starts there. (A context the system captures here would describe the caller
        // as it returns, above this frame.)
        (void)captured;
        prepare.bottom = reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));
#endif
        const std::uintptr_t low = prepare.bottom;
        snapshot->low = low;
        if (low >= prepare.top) return nullptr;
        snapshot->bytes.assign(reinterpret_cast<const char*>(low), static_cast<std::size_t>(prepare.top - low));
        return snapshot;
    } catch (...) {
        return nullptr;
    }
}

std::string PrepareCallStack(const StackSnapshot& snapshot) {
    try {
        PrepareRequest prepare = snapshot.request;
        const std::uintptr_t low = snapshot.low;
#ifdef _WIN64
        // As at the throw: the own stack starts at the snapshot function's return.
        const std::vector<std::uintptr_t> slots =
            UnwoundReturnSlotsOfCopy(ContextOf(snapshot.start), prepare.top, snapshot.bytes.data());
        prepare.bottom = slots.empty() ? low : slots.front();
        for (std::uintptr_t slot : slots)
            if (slot >= prepare.bottom) prepare.unwoundSlots.insert(slot);
#endif
        const ProcessEnvironment imageCode(true);
        prepare.codeReader = &imageCode;
        const x86::BufferMemoryReader stack(low, reinterpret_cast<const std::uint8_t*>(snapshot.bytes.data()),
                                            snapshot.bytes.size());
        return PrepareCallStack(stack, prepare);
    } catch (...) {
        return {};
    }
}

std::u16string FormatCodeAddress(std::uintptr_t address, bool relAddrs, bool relLines) {
    CodeAddressFacts facts;
    try {
        // Address 0 would name the caller's own location.
        const symbols::CodeAddressInfo info =
            address ? symbols::LookupCodeAddress(address) : symbols::CodeAddressInfo{};
        if (info.found) {
            facts = {true, info.moduleName, info.unitName, info.line, info.functionStart, 0, info.functionName};
            symbols::LineCache cache;
            facts.functionStartLine = symbols::LineAtAddress(info.functionStart, cache);
        }
    } catch (...) {
        facts = CodeAddressFacts{};
    }
    try {
        return FormatCodeAddress(address, facts, relAddrs, relLines, kAddressDigits);
    } catch (...) {
        return {};
    }
}

}  // namespace brevant::crashreport
