// The stack walk host: a program with a symbol store that walks stacks of its own threads.
//
//   stack_walk_host own       walks the calling thread's stack from three nested functions
//   stack_walk_host waiting   walks another thread while that thread waits for an event
//   stack_walk_host address   one of its own code addresses as a line
//
// For a walk, each shown line is printed as function, unit, line, relative line and module
// separated by tabs, then a line "--" and the walk's text.

#include <windows.h>

#include <cstdio>
#include <string>

#include "base/utf16_text.h"
#include "crashreport/stack/win32/walk_stack.h"

using brevant::ToUtf8;
using brevant::crashreport::WalkRequest;
using brevant::crashreport::WalkResult;

namespace {

volatile int sink = 0;

void Print(const WalkResult& result) {
    for (const auto& item : result.callstack) {
        std::printf("%s\t%s\t%d\t%d\t%s\n", ToUtf8(item.FunctionName).c_str(), ToUtf8(item.UnitName).c_str(), item.Line,
                    item.relLine, ToUtf8(item.ModuleName).c_str());
    }
    std::printf("--\n%s\n", ToUtf8(result.text).c_str());
}

}  // namespace

// Each adds after its call, so that no call becomes a jump.
__attribute__((noinline)) int StackHostInner(int depth) {
    WalkRequest request;
    const WalkResult result = brevant::crashreport::WalkStack(request);
    Print(result);
    return depth + sink;
}

__attribute__((noinline)) int StackHostMiddle(int depth) {
    return StackHostInner(depth + 1) + sink;
}

__attribute__((noinline)) int StackHostOuter(int depth) {
    return StackHostMiddle(depth + 1) + sink;
}

namespace {

HANDLE ready = nullptr;
HANDLE release = nullptr;

}  // namespace

__attribute__((noinline)) int StackHostWaitInner(int depth) {
    SetEvent(ready);
    WaitForSingleObject(release, INFINITE);
    return depth + sink;
}

__attribute__((noinline)) int StackHostWaitOuter(int depth) {
    return StackHostWaitInner(depth + 1) + sink;
}

namespace {

DWORD WINAPI Waiter(void*) {
    return static_cast<DWORD>(StackHostWaitOuter(0));
}

int WalkWaitingThread() {
    ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = CreateThread(nullptr, 0, Waiter, nullptr, 0, nullptr);
    WaitForSingleObject(ready, INFINITE);
    Sleep(200);  // until the thread is inside its wait
    SuspendThread(thread);
    CONTEXT context{};
    context.ContextFlags = CONTEXT_FULL;
    const bool read = GetThreadContext(thread, &context);
#ifdef _WIN64
    const std::uintptr_t stackPointer = context.Rsp, framePointer = context.Rbp;
#else
    const std::uintptr_t stackPointer = context.Esp, framePointer = context.Ebp;
#endif
    MEMORY_BASIC_INFORMATION region{};
    VirtualQuery(reinterpret_cast<void*>(stackPointer), &region, sizeof(region));
    WalkRequest request;
    request.stackBottom = stackPointer;
    request.stackTop = reinterpret_cast<std::uintptr_t>(region.BaseAddress) + region.RegionSize;
    request.framePointer = framePointer;
    request.context = &context;
    const WalkResult result = read ? brevant::crashreport::WalkStack(request) : WalkResult{};
    ResumeThread(thread);
    SetEvent(release);
    WaitForSingleObject(thread, INFINITE);
    Print(result);
    return read ? 0 : 2;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "own") return StackHostOuter(0) == 2 ? 0 : 1;
    if (mode == "waiting") return WalkWaitingThread();
    if (mode == "address") {
        const auto address = reinterpret_cast<std::uintptr_t>(&StackHostOuter) + 1;
        std::printf("%s\n", ToUtf8(brevant::crashreport::FormatCodeAddress(address, true, true)).c_str());
        return 0;
    }
    std::fprintf(stderr, "usage: stack_walk_host own|waiting|address\n");
    return 1;
}
