#include "crashreport/stack/win32/walk_stack.h"

// The decoder's headers come before <windows.h>, whose "far" macro would empty their field name.
#include "crashreport/stack/prepared_call_stack.h"
#include "crashreport/stack/stack_walker.h"
#include "crashreport/stack/win32/process_environment.h"

#include <windows.h>

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

std::uintptr_t CurrentStackBase() {
    return reinterpret_cast<std::uintptr_t>(reinterpret_cast<const NT_TIB*>(NtCurrentTeb())->StackBase);
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

}  // namespace

__attribute__((noinline)) WalkResult WalkStack(const WalkRequest& request) {
    try {
        WalkRequest walk = request;
        CONTEXT here{};
        RtlCaptureContext(&here);
        const bool ownStack = walk.stackBottom == 0;
        if (ownStack) walk.stackBottom = StackPointerOf(here);
        if (walk.stackTop == 0) walk.stackTop = CurrentStackBase();
        if (walk.exceptAddr == 0 && !walk.exceptThread)
            walk.exceptAddr = reinterpret_cast<std::uintptr_t>(__builtin_return_address(0));
        const CONTEXT* context = static_cast<const CONTEXT*>(walk.context);
        if (!context && ownStack) context = &here;
#ifndef _WIN64
        if (ownStack && walk.framePointer == 0) walk.framePointer = here.Ebp;
#endif
        if (walk.unwoundSlots.empty()) walk.unwoundSlots = AnchorSlots(context, walk.stackBottom, walk.stackTop);
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

std::string PrepareCallStack(std::uintptr_t bottom, std::uintptr_t top, std::uintptr_t framePointer,
                             std::uintptr_t stopValue, bool stopAtValue) {
    try {
        CONTEXT here{};
        RtlCaptureContext(&here);
        PrepareRequest prepare;
        prepare.bottom = bottom ? bottom : StackPointerOf(here);
        prepare.top = top ? top : CurrentStackBase();
        prepare.pointerSize = sizeof(void*);
        prepare.framePointer = framePointer;
        for (std::uintptr_t slot : AnchorSlots(&here, prepare.bottom, prepare.top)) prepare.unwoundSlots.insert(slot);
        prepare.stopValue = stopValue;
        prepare.stopAtValue = stopAtValue;
        const ProcessEnvironment memory;
        return PrepareCallStack(memory, prepare);
    } catch (...) {
        return {};
    }
}

std::u16string FormatCodeAddress(std::uintptr_t address, bool relAddrs, bool relLines) {
    CodeAddressFacts facts;
    try {
        // Address 0 would name the caller's own location.
        const symbols::CodeAddressInfo info = address ? symbols::LookupCodeAddress(address) : symbols::CodeAddressInfo{};
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
