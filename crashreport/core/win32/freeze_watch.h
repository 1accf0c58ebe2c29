#pragma once
// The freeze watch: a thread that asks the main thread, again and again, to answer through its
// message window. When ten questions in a row go unanswered, the main thread stopped handling
// messages (the program seems frozen to its user) and a freeze report is handed to the
// crash reporter.

#include <windows.h>

namespace brevant::crashreport {

// On the main thread at start-up; timeoutMs is the time without answers that counts as a
// freeze. Nothing starts without user32 in the process (no message window, nothing to freeze)
// or while another module of the process runs its watch.
void StartFreezeWatch(int timeoutMs);
void StopFreezeWatch();

// While an exception is handled the watch waits; pauses nest.
void PauseFreezeWatch();
void ResumeFreezeWatch();
// The handling of an exception starts the count of unanswered questions anew.
void ResetFreezeWatch();

DWORD FreezeWatchThreadId();

}  // namespace brevant::crashreport
