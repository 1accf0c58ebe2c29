#pragma once
// Every thread the program creates runs inside the crash reporter's thread frame and is
// entered in the thread registry with its creator. The call that CreateThread makes to the
// routine doing the work is redirected; where that call cannot be found, the imports of
// CreateThread are. QueueUserWorkItem and SetThreadDescription are redirected in the import
// tables of the loaded modules.

#include <windows.h>

namespace brevant::crashreport {

void InstallThreadHooks();
void RemoveThreadHooks();

// A thread of the crash reporter's own that passes by the hooks: made from places where the
// hooks' work cannot be done (an overflowed stack has no room for it).
HANDLE CreateThreadPastHooks(SIZE_T stackSize, LPTHREAD_START_ROUTINE procedure, void* parameter);

enum class ThreadCreationHook { none, callInsideCreateThread, createThreadImports };
ThreadCreationHook InstalledThreadCreationHook();

}  // namespace brevant::crashreport
