#pragma once
// Every thread the program creates runs inside the crash reporter's thread frame and is
// entered in the thread registry with its creator: CreateThread, QueueUserWorkItem and
// SetThreadDescription are redirected in the import tables of the loaded modules.

namespace brevant::crashreport {

void InstallThreadHooks();
void RemoveThreadHooks();

}  // namespace brevant::crashreport
