#pragma once
// The one entry of every intercepted exception, and the handling thread it hands them to.

#include <windows.h>

#include <cstdint>
#include <typeinfo>

#include "crashreport/core/exception_kinds.h"

namespace brevant::crashreport {

struct DispatchArguments {
    TExceptType type = TExceptType::etNormal;
    void* object = nullptr;  // null: the calling thread's last raised object
    const std::type_info* objectType = nullptr;
    std::uintptr_t address = 0;  // zero: the last raise address
    std::uintptr_t package = 0;
    void* relatedObject = nullptr;
    TExceptSource source = TExceptSource::esManual;
    const CONTEXT* context = nullptr;
    std::uintptr_t framePointer = 0;
    std::uintptr_t stackPointer = 0;
    bool canContinue = true;
    DWORD exceptionCode = 0;  // of an operating-system exception, else 0
    // The thread the exception happened in, when another thread dispatches for it (a thread
    // whose stack overflowed has no room left to do it itself); 0: the calling thread.
    DWORD threadId = 0;
};

// Hands the exception to the handling thread and waits until it is handled; returns at once
// for an exception that is not reported (EAbort, the handling thread's own). Never throws.
void DispatchException(const DispatchArguments& arguments);

bool StartHandlingThread();
void StopHandlingThread();
DWORD HandlingThreadId();
// Called on the handling thread when something faulted in it beyond repair (a handler that
// faults): a new handling thread takes over the pipe, the waiting thread goes on.
void ReplaceFailedHandlingThread();

// Whether this or another thread holds the loader lock (or the environment lock), waiting up
// to limit ms for it to be let go.
bool LoaderLockHeld(DWORD limitMs);
// How long the user-facing steps (dialogs, mail, the send thread) wait for the loader lock.
inline constexpr DWORD kLoaderLockWaitMs = 250;

// Set while handlers run on the main thread through the synchronised call.
void SetMainThreadFiringHandlers(bool firing);

}  // namespace brevant::crashreport
