#pragma once
// The process-wide thread registry: who each thread is (name, class of its thread object) and
// who created it, shared by every module of the process that carries the crash reporter
// through the named block "QuarrexThreadNameBuf$<pid>". And the one main-thread id of the
// process ("ProcessMainThreadId$<pid>").

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace brevant::crashreport {

// Creates the registry or attaches to the one another module made; false when it cannot be
// had (the crash reporter then reports nothing about threads).
bool AttachThreadRegistry();
// The module that brings the count to zero removes the registry.
void DetachThreadRegistry();

// Held by the freeze watch for its whole life, so that one process has one watch at most.
HANDLE RegistryOwnerMutex();

// With a name or a creator address: adds or replaces the thread's node (values the call leaves
// empty are kept from the old node). With neither: removes the node.
void PutThreadInfo(DWORD threadId, HANDLE threadHandle, const std::u16string* name, DWORD creatorThreadId,
                   const void* creatorAddress, const std::u16string* className);
// An empty name removes the name. Tells an attached debugger too.
void AssignThreadName(std::uint32_t threadId, const std::u16string& name);

struct ThreadDescription {
    std::u16string text;  // empty: an internal thread, left out of reports
    const void* creatorAddress = nullptr;
    DWORD creatorThreadId = 0;
};
ThreadDescription DescribeThread(DWORD threadId, bool includeInternal);

DWORD MainThreadId();
std::vector<DWORD> ListProcessThreads();
HANDLE OpenThreadById(DWORD threadId, DWORD access);

}  // namespace brevant::crashreport
