#include "crashreport/core/win32/win32_report_platform.h"

// Before <windows.h>, whose "far" macro would otherwise rename a field of the decoder.
#include "x86/disassembly_listing.h"

#include <windows.h>

#include <cpuid.h>

#include <atomic>
#include <cstring>
#include <memory>

#include "crashreport/core/bug_report.h"
#include "crashreport/core/report_platform.h"
#include "crashreport/core/win32/dispatch_exception.h"
#include "crashreport/core/win32/interception.h"
#include "crashreport/core/win32/process_memory_reader.h"
#include "crashreport/core/win32/report_machine_facts.h"
#include "crashreport/core/win32/thread_registry.h"
#include "crashreport/report/cpu_state_text.h"
#include "crashreport/stack/win32/walk_stack.h"
#include "symbols/win32/module_symbols.h"

namespace brevant::crashreport {

namespace {

std::atomic<bool> processTracing{false};

constexpr int kAddressDigits = sizeof(void*) * 2;
constexpr x86::Mode kCodeMode = kOwnCodeMode;

std::uintptr_t EndOfRegion(std::uintptr_t address) {
    MEMORY_BASIC_INFORMATION region;
    if (VirtualQuery(reinterpret_cast<const void*>(address), &region, sizeof(region)) != sizeof(region)) return 0;
    return reinterpret_cast<std::uintptr_t>(region.BaseAddress) + region.RegionSize;
}

std::optional<CONTEXT> ContextOf(const std::vector<std::uint8_t>& bytes) {
    if (bytes.size() < sizeof(CONTEXT)) return std::nullopt;
    CONTEXT context;
    memcpy(&context, bytes.data(), sizeof(context));
    return context;
}

ContextPointers PointersOfContext(const CONTEXT& context) {
#ifdef _WIN64
    return {context.Rsp, context.Rbp, context.Rip};
#else
    return {context.Esp, context.Ebp, context.Eip};
#endif
}

std::vector<RegisterValue> RegistersOf(const CONTEXT& c) {
#ifdef _WIN64
    return {{u"rax", c.Rax}, {u"rbx", c.Rbx}, {u"rcx", c.Rcx}, {u"rdx", c.Rdx}, {u"rsi", c.Rsi}, {u"rdi", c.Rdi},
            {u"r8", c.R8},   {u"r9", c.R9},   {u"r10", c.R10}, {u"r11", c.R11}, {u"r12", c.R12}, {u"r13", c.R13},
            {u"r14", c.R14}, {u"r15", c.R15}, {u"rip", c.Rip}, {u"rsp", c.Rsp}, {u"rbp", c.Rbp}};
#else
    return {{u"eax", c.Eax}, {u"ebx", c.Ebx}, {u"ecx", c.Ecx}, {u"edx", c.Edx}, {u"esi", c.Esi},
            {u"edi", c.Edi}, {u"eip", c.Eip}, {u"esp", c.Esp}, {u"ebp", c.Ebp}};
#endif
}

// The context buffer comes from its own pages: the system wants it aligned.
class PageContext {
public:
    PageContext() : context_(static_cast<CONTEXT*>(VirtualAlloc(nullptr, sizeof(CONTEXT), MEM_COMMIT, PAGE_READWRITE))) {}
    ~PageContext() {
        if (context_) VirtualFree(context_, 0, MEM_RELEASE);
    }
    CONTEXT* get() const { return context_; }

private:
    CONTEXT* context_;
};

HANDLE OpenForReading(DWORD threadId) {
    if (threadId == GetCurrentThreadId()) {
        HANDLE thread = nullptr;
        DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &thread, 0, FALSE,
                        DUPLICATE_SAME_ACCESS);
        return thread;
    }
    HANDLE thread = OpenThreadById(threadId, THREAD_GET_CONTEXT | THREAD_QUERY_INFORMATION | THREAD_SUSPEND_RESUME);
    return thread ? thread : OpenThreadById(threadId, THREAD_GET_CONTEXT | THREAD_QUERY_INFORMATION);
}

bool CaptureRegisters(HANDLE thread, ThreadState& state) {
    PageContext context;
    if (!context.get()) return false;
    context.get()->ContextFlags = CONTEXT_CONTROL | CONTEXT_INTEGER | CONTEXT_SEGMENTS;
    if (!GetThreadContext(thread, context.get())) return false;
    const ContextPointers pointers = PointersOfContext(*context.get());
    state.stackBottom = pointers.stackPointer;
    state.instructionPointer = pointers.instructionPointer;
    state.framePointer = pointers.framePointer;
    return true;
}

// Under Wine on a processor that software emulates (qemu's user-mode emulation, whose CPUID
// names the hypervisor "TCGTCGTCGTCG"), a thread that waits in the system never takes the
// signal that stops it: GetThreadContext then waits for good, and the late signal later loses
// the thread's own wake-up. There another thread's registers are not read at all.
bool StoppingThreadsIsSafe() {
    static const bool safe = [] {
        const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
        if (!ntdll || !GetProcAddress(ntdll, "wine_get_version")) return true;
        unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
        if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx) || (ecx & (1u << 31)) == 0) return true;
        __cpuid(0x40000000, eax, ebx, ecx, edx);
        char vendor[12];
        memcpy(vendor, &ebx, 4);
        memcpy(vendor + 4, &ecx, 4);
        memcpy(vendor + 8, &edx, 4);
        return memcmp(vendor, "TCGTCGTCGTCG", sizeof(vendor)) != 0;
    }();
    return safe;
}

// Another thread's registers are read while it stands still for a moment.
bool ReadStoppedRegisters(HANDLE thread, ThreadState& state) {
    if (!StoppingThreadsIsSafe()) return false;
    const DWORD previous = SuspendThread(thread);
    const bool read = CaptureRegisters(thread, state);
    if (previous != static_cast<DWORD>(-1)) {
        ResumeThread(thread);
        state.suspended = previous > 0;
    }
    return read;
}

std::optional<ThreadState> ReadState(DWORD threadId, std::uintptr_t knownStackPointer) {
    const bool self = threadId == GetCurrentThreadId();
    HANDLE thread = OpenForReading(threadId);
    if (!thread) return std::nullopt;
    ThreadState state;
    state.stackBottom = knownStackPointer;
    const bool read =
        knownStackPointer != 0 || (self ? CaptureRegisters(thread, state) : ReadStoppedRegisters(thread, state));
    if (read) {
        state.stackTop = EndOfRegion(state.stackBottom);
        const int priority = GetThreadPriority(thread);
        state.priority = priority == THREAD_PRIORITY_ERROR_RETURN ? 0 : priority;
    }
    CloseHandle(thread);
    if (!read || state.stackTop == 0) return std::nullopt;
    return state;
}

class CompletionThread final : public BackgroundWork {
public:
    static std::unique_ptr<BackgroundWork> Start(std::function<void()> work) {
        auto* job = new std::function<void()>(std::move(work));
        DWORD id = 0;
        HANDLE thread = CreateThread(nullptr, 0, Run, job, CREATE_SUSPENDED, &id);
        if (!thread) {
            delete job;
            return nullptr;
        }
        AssignThreadName(id, u"-");
        SetThreadPriority(thread, THREAD_PRIORITY_ABOVE_NORMAL);
        ResumeThread(thread);
        return std::unique_ptr<BackgroundWork>(new CompletionThread(thread));
    }
    ~CompletionThread() override { CloseHandle(thread_); }
    bool Wait(std::uint32_t milliseconds) override {
        return WaitForSingleObject(thread_, milliseconds == kWaitForever ? INFINITE : milliseconds) == WAIT_OBJECT_0;
    }

private:
    explicit CompletionThread(HANDLE thread) : thread_(thread) {}
    static DWORD WINAPI Run(void* parameter) {
        std::unique_ptr<std::function<void()>> job(static_cast<std::function<void()>*>(parameter));
        MarkAsReportCompletionThread();
        try {
            (*job)();
        } catch (...) {
            // A report that cannot be completed stays partial.
        }
        return 0;
    }
    HANDLE thread_;
};

class Win32ReportPlatform final : public ReportPlatform {
public:
    ReportHeaderFacts MachineFacts() override { return GatherMachineFacts(); }
    std::vector<std::uint32_t> ListProcessThreads() override {
        const std::vector<DWORD> threads = crashreport::ListProcessThreads();
        return {threads.begin(), threads.end()};
    }
    std::uint32_t MainThreadId() override { return crashreport::MainThreadId(); }
    std::vector<std::uint32_t> ReporterThreadIds() override {
        if (processTracing) return {};
        return {HandlingThreadId()};
    }
    ThreadIdentity DescribeThread(std::uint32_t threadId, bool includeInternal) override {
        const ThreadDescription description = crashreport::DescribeThread(threadId, includeInternal);
        return {description.text, reinterpret_cast<std::uintptr_t>(description.creatorAddress),
                description.creatorThreadId};
    }
    std::optional<ThreadState> ReadThreadState(std::uint32_t threadId, std::uintptr_t knownStackPointer) override {
        return ReadState(threadId, knownStackPointer);
    }
    std::optional<ContextPointers> PointersOf(const std::vector<std::uint8_t>& bytes) override {
        const auto context = ContextOf(bytes);
        if (!context) return std::nullopt;
        return PointersOfContext(*context);
    }
    std::uintptr_t RegionEnd(std::uintptr_t address) override { return EndOfRegion(address); }
    WalkResult WalkStack(const WalkRequest& request) override { return crashreport::WalkStack(request); }
    std::u16string FormatCodeAddress(std::uintptr_t address, bool relAddrs, bool relLines) override {
        return crashreport::FormatCodeAddress(address, relAddrs, relLines);
    }
    std::uintptr_t CurrentExceptionAddress() override { return 0; }
    std::u16string CpuRegisters(const std::vector<std::uint8_t>& bytes) override {
        const auto context = ContextOf(bytes);
        return context ? CpuRegistersText(RegistersOf(*context), kAddressDigits) : std::u16string();
    }
    std::u16string StackDump(const std::vector<std::uint8_t>& bytes) override {
        const auto context = ContextOf(bytes);
        if (!context) return {};
        const std::uintptr_t stackPointer = PointersOfContext(*context).stackPointer;
        std::uint64_t end = EndOfRegion(stackPointer);
        if (end == 0) end = sizeof(void*) == 8 ? ~0ull : 0xFFFFFFFFull;
        return StackDumpText(memory_, stackPointer, end, kAddressDigits);
    }
    bool DisassemblerAvailable() override { return true; }
    std::u16string Disassembly(std::uintptr_t functionStart, std::uintptr_t crashAddress, bool formatted,
                               int limit) override {
        x86::DisassemblyOptions options;
        options.mode = kCodeMode;
        options.formatted = formatted;
        options.limit = limit;
        options.lineOf = [](std::uint64_t address) {
            return static_cast<int>(symbols::SourceLineAt(static_cast<std::uintptr_t>(address)));
        };
        const std::string listing = x86::GetCleartextDisAsm(memory_, functionStart, crashAddress, options);
        return std::u16string(listing.begin(), listing.end());
    }
    bool IsHandlingThread() override { return GetCurrentThreadId() == HandlingThreadId(); }
    bool LoaderLockHeld() override { return crashreport::LoaderLockHeld(250); }
    std::unique_ptr<BackgroundWork> StartCompletionThread(std::function<void()> work) override {
        return CompletionThread::Start(std::move(work));
    }

private:
    ProcessMemoryReader memory_;
};

}  // namespace

std::unique_ptr<BackgroundWork> StartReporterThread(std::function<void()> work) {
    return CompletionThread::Start(std::move(work));
}

void SetProcessTracing(bool tracing) {
    processTracing = tracing;
}

void InstallReportPlatform() {
    static Win32ReportPlatform* platform = new Win32ReportPlatform;
    SetReportPlatform(platform);
}

}  // namespace brevant::crashreport
