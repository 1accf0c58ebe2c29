#include "crashreport/core/win32/interception.h"

#include <windows.h>

#include <csignal>
#include <cstdio>
#include <cxxabi.h>
#include <exception>
#include <string>
#include <typeinfo>

#include "base/exception.h"
#include "base/utf16_text.h"
#include "base/win32/own_memory.h"
#include "crashreport/core/handler_lists.h"
#include "crashreport/core/win32/code_patch.h"
#include "crashreport/core/win32/dispatch_exception.h"
#include "crashreport/core/win32/exception_objects.h"
#include "crashreport/core/win32/raise_records.h"
#include "crashreport/core/win32/request_processing.h"
#include "crashreport/core/win32/thread_hooks.h"
#include "crashreport/core/win32/thread_registry.h"

namespace brevant::crashreport {

// The C++ runtime's abnormal termination, as reports name it.
class BcbTermination : public Exception {
public:
    using Exception::Exception;
};

namespace {

// GCC's own exception codes on 64-bit Windows: a throw, an unwind and a forced unwind.
constexpr DWORD kGccThrow = 0x20474343;
constexpr DWORD kGccUnwind = 0x21474343;
constexpr DWORD kGccForcedUnwind = 0x22474343;
constexpr DWORD kThreadName = 0x406D1388;
constexpr DWORD kThreadFrameResult = 0xFFFFFFFF;

// Per-thread flags, in the system's own thread storage: the threading library swaps the
// per-thread data that the compiler's thread-local variables live in when its threads start.
enum ThreadFlag : std::uintptr_t {
    insideThreadFrame = 1,
    insideWorkItem = 2,
    terminating = 4,
    reportingHidden = 8,
    completingReport = 16,
};

DWORD FlagSlot() {
    static const DWORD slot = TlsAlloc();
    return slot;
}

bool HasFlag(ThreadFlag flag) {
    return (reinterpret_cast<std::uintptr_t>(TlsGetValue(FlagSlot())) & flag) != 0;
}

void SetFlag(ThreadFlag flag, bool on) {
    auto flags = reinterpret_cast<std::uintptr_t>(TlsGetValue(FlagSlot()));
    flags = on ? flags | flag : flags & ~static_cast<std::uintptr_t>(flag);
    TlsSetValue(FlagSlot(), reinterpret_cast<void*>(flags));
}

bool InsideThreadFrame() {
    return HasFlag(insideThreadFrame) || HasFlag(insideWorkItem);
}
LPTOP_LEVEL_EXCEPTION_FILTER previousFilter = nullptr;
PVOID threadNameWatch = nullptr;
std::terminate_handler previousTerminate = nullptr;
bool installed = false;

TExceptSource EscapeSource() {
    return InsideThreadFrame() ? TExceptSource::esThreadFrame : TExceptSource::esExceptProc;
}

bool OnMainThread() {
    return GetCurrentThreadId() == MainThreadId();
}

// After the report of an exception that nothing caught: a thread that may go on ends alone,
// the main thread (or one that cannot continue) ends the process.
[[noreturn]] void EndAfterEscape(bool canContinue) {
    if (!canContinue) TerminateWithExitCode();
    const DWORD result = InsideThreadFrame() ? kThreadFrameResult : 0;
    PutThreadInfo(GetCurrentThreadId(), nullptr, nullptr, 0, nullptr, nullptr);
    ExitThread(result);
}

std::uintptr_t CallerAddress(void* returnAddress) {
    return reinterpret_cast<std::uintptr_t>(returnAddress);
}

[[noreturn]] void DispatchRuntimeError(const std::u16string& message, std::uintptr_t address) {
    Exception fallback(message);
    DispatchArguments arguments;
    arguments.object = &fallback;
    arguments.objectType = &typeid(Exception);
    arguments.address = address;
    arguments.source = TExceptSource::esRuntimeError;
    arguments.canContinue = false;
    DispatchException(arguments);
    TerminateWithExitCode();
}

// Describes and dispatches an operating-system exception of the given thread.
void DispatchOsException(EXCEPTION_POINTERS* pointers, DWORD threadId, bool canContinue, TExceptSource source) {
    const EXCEPTION_RECORD& record = *pointers->ExceptionRecord;
    Exception* object = NewOsExceptionObject(record);
    const std::uintptr_t address = reinterpret_cast<std::uintptr_t>(record.ExceptionAddress);
    RecordRaise(object, &typeid(*object), address, &record, pointers->ContextRecord);
    DispatchArguments arguments;
    arguments.object = object;
    arguments.objectType = &typeid(*object);
    arguments.address = address;
    arguments.source = source;
    arguments.context = pointers->ContextRecord;
    arguments.canContinue = canContinue;
    arguments.exceptionCode = record.ExceptionCode;
    arguments.threadId = threadId;
#if defined(__x86_64__)
    arguments.stackPointer = pointers->ContextRecord->Rsp;
    arguments.framePointer = pointers->ContextRecord->Rbp;
#else
    arguments.stackPointer = pointers->ContextRecord->Esp;
    arguments.framePointer = pointers->ContextRecord->Ebp;
#endif
    DispatchException(arguments);
}

struct OverflowedThread {
    EXCEPTION_POINTERS* pointers;
    DWORD threadId;
    bool canContinue;
    TExceptSource source;
};

DWORD WINAPI DispatchForOverflowedThread(void* parameter) {
    const auto* overflowed = static_cast<const OverflowedThread*>(parameter);
    DispatchOsException(overflowed->pointers, overflowed->threadId, overflowed->canContinue, overflowed->source);
    return 0;
}

LONG WINAPI UnhandledExceptionFilterOfReporter(EXCEPTION_POINTERS* pointers) {
    const EXCEPTION_RECORD& record = *pointers->ExceptionRecord;
    const DWORD code = record.ExceptionCode;
    // A C++ throw that nothing catches comes back to its runtime, which then calls terminate
    // with the stack still intact: the report is made there.
    if (code == kGccThrow || code == kGccUnwind || code == kGccForcedUnwind) {
        if (!(record.ExceptionFlags & EXCEPTION_NONCONTINUABLE)) return EXCEPTION_CONTINUE_EXECUTION;
    }
    if (code == kThreadName) return EXCEPTION_CONTINUE_EXECUTION;
    if (GetCurrentThreadId() == HandlingThreadId()) {
        // A handler faulted while an exception was handled: that handling is given up.
        ReplaceFailedHandlingThread();
        ExitThread(0);
    }
    if (HasFlag(completingReport)) ExitThread(kThreadFrameResult);
    const bool canContinue = InsideThreadFrame() || !OnMainThread();
    if (code == EXCEPTION_STACK_OVERFLOW) {
        // What is left of this thread's stack is only enough to start a thread and wait.
        OverflowedThread overflowed{pointers, GetCurrentThreadId(), canContinue, EscapeSource()};
        if (HANDLE helper = CreateThreadPastHooks(256 * 1024, DispatchForOverflowedThread, &overflowed)) {
            WaitForSingleObject(helper, INFINITE);
            CloseHandle(helper);
        }
    } else {
        DispatchOsException(pointers, 0, canContinue, EscapeSource());
    }
    EndAfterEscape(canContinue);
}

// Thread names given the debugger's way are entered in the registry; the raiser's own
// handler still ends the exception.
LONG WINAPI WatchThreadNames(EXCEPTION_POINTERS* pointers) {
    const EXCEPTION_RECORD& record = *pointers->ExceptionRecord;
    if (record.ExceptionCode == kThreadName && record.NumberParameters >= 4 && record.ExceptionInformation[0] == 0x1000 &&
        record.ExceptionInformation[3] == 0) {
        const char* name = reinterpret_cast<const char*>(record.ExceptionInformation[1]);
        std::size_t length = 0;
        while (length < 1024 && IsReadable(name + length, 1) && name[length] != 0) ++length;
        AssignThreadName(static_cast<DWORD>(record.ExceptionInformation[2]), FromUtf8(std::string_view(name, length)));
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

[[noreturn]] void TerminateOfReporter() {
    if (HasFlag(terminating)) TerminateWithExitCode();
    SetFlag(terminating, true);
    DispatchArguments arguments;
    if (const std::type_info* type = abi::__cxa_current_exception_type()) {
        // An exception nothing caught: the runtime calls this before any frame is unwound.
        std::exception_ptr current = std::current_exception();
        arguments.object = *reinterpret_cast<void**>(&current);
        arguments.objectType = type;
        arguments.source = EscapeSource();
        arguments.canContinue = InsideThreadFrame() || !OnMainThread();
        DispatchException(arguments);
        SetFlag(terminating, false);
        EndAfterEscape(arguments.canContinue);
    }
    BcbTermination termination(u"Abnormal program termination");
    arguments.object = &termination;
    arguments.objectType = &typeid(BcbTermination);
    arguments.address = CallerAddress(__builtin_return_address(0));
    arguments.source = TExceptSource::esBcbAbnormalProgramTermination;
    arguments.canContinue = false;
    DispatchException(arguments);
    TerminateWithExitCode();
}

void OnAbortSignal(int) {
    DispatchRuntimeError(u"Runtime error: abort() was called", CallerAddress(__builtin_return_address(0)));
}

void __cdecl OnInvalidParameter(const wchar_t*, const wchar_t*, const wchar_t*, unsigned, std::uintptr_t) {
    DispatchRuntimeError(u"Runtime error: an invalid parameter was passed to a C runtime function",
                         CallerAddress(__builtin_return_address(0)));
}

[[noreturn]] void __cdecl OnAssertion(const char* expression, const char* file, unsigned line) {
    DispatchRuntimeError(u"Runtime error: assertion failed: " + FromUtf8(expression ? expression : "") + u", file " +
                             FromUtf8(file ? file : "") + u", line " + DecimalText(line),
                         CallerAddress(__builtin_return_address(0)));
}

[[noreturn]] void __cdecl OnWideAssertion(const wchar_t* expression, const wchar_t* file, unsigned line) {
    auto text = [](const wchar_t* wide) { return wide ? std::u16string(reinterpret_cast<const char16_t*>(wide)) : u""; };
    DispatchRuntimeError(u"Runtime error: assertion failed: " + text(expression) + u", file " + text(file) +
                             u", line " + DecimalText(line),
                         CallerAddress(__builtin_return_address(0)));
}

[[noreturn]] void __cdecl OnPureCall() {
    DispatchRuntimeError(u"Runtime error: a pure virtual function was called",
                         CallerAddress(__builtin_return_address(0)));
}

// The C runtime's failure routines are redirected where they are, so that every caller (the
// runtime's own checking functions, C code, other modules) reaches the crash reporter.
void RedirectCRuntimeFailures() {
    for (const wchar_t* runtime : {L"msvcrt.dll", L"ucrtbase.dll"}) {
        HMODULE module = GetModuleHandleW(runtime);
        if (!module) continue;
        auto entry = [module](const char* name) { return reinterpret_cast<void*>(GetProcAddress(module, name)); };
        RedirectRoutine(entry("_invalid_parameter"), reinterpret_cast<const void*>(&OnInvalidParameter));
        RedirectRoutine(entry("_assert"), reinterpret_cast<const void*>(&OnAssertion));
        RedirectRoutine(entry("_wassert"), reinterpret_cast<const void*>(&OnWideAssertion));
        RedirectRoutine(entry("_purecall"), reinterpret_cast<const void*>(&OnPureCall));
    }
}

}  // namespace

std::uint32_t RunThreadFrame(std::uint32_t (*procedure)(void*), void* parameter, bool isWorkItem) {
    const ThreadFlag frame = isWorkItem ? insideWorkItem : insideThreadFrame;
    const bool outer = HasFlag(frame);
    SetFlag(frame, true);
    ULONG guarantee = 64 * 1024;
    SetThreadStackGuarantee(&guarantee);
    const std::uint32_t result = procedure(parameter);
    SetFlag(frame, outer);
    return result;
}

void MarkAsReportCompletionThread() {
    SetFlag(completingReport, true);
}

void InstallInterception() {
    if (installed) return;
    installed = true;
    previousFilter = SetUnhandledExceptionFilter(UnhandledExceptionFilterOfReporter);
    threadNameWatch = AddVectoredExceptionHandler(1, WatchThreadNames);
    previousTerminate = std::set_terminate(TerminateOfReporter);
    std::signal(SIGABRT, OnAbortSignal);
    RedirectCRuntimeFailures();
    ULONG guarantee = 64 * 1024;
    SetThreadStackGuarantee(&guarantee);
}

void RemoveInterception() {
    if (!installed) return;
    installed = false;
    SetUnhandledExceptionFilter(previousFilter);
    if (threadNameWatch) RemoveVectoredExceptionHandler(threadNameWatch);
    std::set_terminate(previousTerminate);
    std::signal(SIGABRT, SIG_DFL);
    UndoAllPatches();
}

}  // namespace brevant::crashreport

// The C++ runtime's entries, redirected at link time (-Wl,--wrap=...) for every object of a
// program that carries the crash reporter.
using namespace brevant;
using namespace brevant::crashreport;

extern "C" {

// Declared as returning, so that the throw wrapper ends in a jump to it: the unwinder then finds
// no frame of the wrapper between the thrower and the runtime, and each frame costs every throw.
void __real___cxa_throw(void*, std::type_info*, void (*)(void*));
void __real___cxa_free_exception(void*) noexcept;
void __real___cxa_end_catch();
[[noreturn]] void __real___cxa_pure_virtual();

void __wrap___cxa_throw(void* object, std::type_info* type, void (*destroy)(void*)) {
    ThreadExceptState& state = CurrentExceptState();
    // The context is captured here, in the throwing frame, straight into the thread's record.
    if (CONTEXT* thrower = BeginThrowRecord(state, object)) {
        RtlCaptureContext(thrower);
        FinishThrowRecord(state, object, type, reinterpret_cast<std::uintptr_t>(__builtin_return_address(0)));
    }
    __real___cxa_throw(object, type, destroy);
}

void __wrap___cxa_free_exception(void* object) noexcept {
    ThreadExceptState& state = CurrentExceptState();
    if (state.lastObject == object) ClearLastException(state);
    ForgetThrownObject(object);
    __real___cxa_free_exception(object);
}

// The end of a handler of the program: an exception it caught reaches the hidden-exception
// handlers, once, unless it was reported already or is thrown on.
void __wrap___cxa_end_catch() {
    if (!ProcessHandlerLists().Empty(HandlerEvent::hidden) && !HasFlag(reportingHidden) &&
        std::uncaught_exceptions() == 0 && GetCurrentThreadId() != HandlingThreadId()) {
        SetFlag(reportingHidden, true);
        std::exception_ptr current = std::current_exception();
        void* object = *reinterpret_cast<void**>(&current);
        const std::type_info* type = abi::__cxa_current_exception_type();
        if (object && type && !WasReported(object)) {
            DispatchArguments arguments;
            arguments.type = TExceptType::etHidden;
            arguments.object = object;
            arguments.objectType = type;
            arguments.address = CurrentExceptState().lastObject == object ? CurrentExceptState().lastAddress : 0;
            arguments.source = TExceptSource::esHidden;
            arguments.canContinue = true;
            DispatchException(arguments);
        }
        SetFlag(reportingHidden, false);
    }
    ClearLastException();
    __real___cxa_end_catch();
}

[[noreturn]] void __wrap___cxa_pure_virtual() {
    OnPureCall();
}

}  // extern "C"
