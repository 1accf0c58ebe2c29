#pragma once
// Holding the program's threads still while an exception is handled. A thread is never
// stopped from outside (it might hold a lock the handling needs): it stops by itself at its
// next call of GetMessage or PeekMessage, the pause point, and goes on when released. Only
// the main thread and threads that the program's own modules created are held.

#include <windows.h>

#include <cstdint>

namespace brevant::crashreport {

// On the handling thread: every thread but the current one, the main thread and the one to
// keep running is marked for pausing; the main thread is asked to come to its pause point.
void PauseOtherThreads(std::uint32_t keepRunningThreadId);
void ResumeOtherThreads();

// Where a thread waits while it is held; returns at once when it is not.
void PausePoint();

// Lets the held main thread run for a synchronised call (true when it was held), and holds
// it again.
bool ResumeMainThread();
void SuspendMainThread();

// At shutdown: nothing stays held, the message functions are given back.
void ReleasePausedThreads();

}  // namespace brevant::crashreport
