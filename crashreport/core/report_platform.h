#pragma once
// What building a bug report needs from the process around it: the machine's facts, the
// threads and their stacks, the listings of code and memory, and a thread to complete the
// report in. The Windows edge supplies the real one; tests script their own.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "crashreport/report/report_header.h"
#include "crashreport/stack/stack_trace.h"

namespace brevant::crashreport {

struct ThreadIdentity {
    std::u16string text;  // empty: an internal thread, left out of reports
    std::uintptr_t creatorAddress = 0;
    std::uint32_t creatorThreadId = 0;
};

struct ThreadState {
    std::uintptr_t stackBottom = 0;  // the stack pointer
    std::uintptr_t stackTop = 0;     // the end of the memory region holding it
    std::uintptr_t instructionPointer = 0;
    std::uintptr_t framePointer = 0;
    int priority = 0;
    bool suspended = false;
};

// The registers of a saved context that a walk starts from.
struct ContextPointers {
    std::uintptr_t stackPointer = 0;
    std::uintptr_t framePointer = 0;
    std::uintptr_t instructionPointer = 0;
};

// A thread that completes a report; the owner waits for it before letting go.
class BackgroundWork {
public:
    virtual ~BackgroundWork() = default;
    // False when the work had not ended within the time.
    virtual bool Wait(std::uint32_t milliseconds) = 0;
};

class ReportPlatform {
public:
    // The machine's and process's facts; the exception's own lines are added by the caller.
    virtual ReportHeaderFacts MachineFacts() = 0;

    virtual std::vector<std::uint32_t> ListProcessThreads() = 0;
    virtual std::uint32_t MainThreadId() = 0;
    // The crash reporter's own anti-freeze and exception-handling threads.
    virtual std::vector<std::uint32_t> ReporterThreadIds() = 0;
    virtual ThreadIdentity DescribeThread(std::uint32_t threadId, bool includeInternal) = 0;
    // A thread whose stack pointer is known (the crashed thread, waiting for its handling) is
    // not stopped: stopping a thread that waits for us only risks a hang.
    virtual std::optional<ThreadState> ReadThreadState(std::uint32_t threadId, std::uintptr_t knownStackPointer) = 0;
    virtual std::optional<ContextPointers> PointersOf(const std::vector<std::uint8_t>& context) = 0;
    // The end of the memory region holding the address; 0 when it cannot be queried.
    virtual std::uintptr_t RegionEnd(std::uintptr_t address) = 0;

    virtual WalkResult WalkStack(const WalkRequest& request) = 0;
    virtual std::u16string FormatCodeAddress(std::uintptr_t address, bool relAddrs, bool relLines) = 0;
    // The location of the exception the calling code is handling right now, 0 when unknown.
    virtual std::uintptr_t CurrentExceptionAddress() = 0;

    virtual std::u16string CpuRegisters(const std::vector<std::uint8_t>& context) = 0;
    virtual std::u16string StackDump(const std::vector<std::uint8_t>& context) = 0;
    virtual bool DisassemblerAvailable() = 0;
    virtual std::u16string Disassembly(std::uintptr_t functionStart, std::uintptr_t crashAddress, bool formatted,
                                       int limit) = 0;

    // Whether this thread is the exception-handling thread.
    virtual bool IsHandlingThread() = 0;
    // Polls for a while; true when the loader lock stays held by another thread.
    virtual bool LoaderLockHeld() = 0;
    // Runs the work in a new thread of the crash reporter (priority above normal, left out of
    // reports); null when no thread could be made.
    virtual std::unique_ptr<BackgroundWork> StartCompletionThread(std::function<void()> work) = 0;

protected:
    ~ReportPlatform() = default;
};

inline constexpr std::uint32_t kWaitForever = 0xFFFFFFFF;

}  // namespace brevant::crashreport
