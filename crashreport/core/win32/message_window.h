#pragma once
// A hidden window per thread through which other threads run callbacks on that thread: a
// thread that pumps messages answers them between its own work.

#include <windows.h>

#include <functional>

namespace brevant::crashreport {

using MessageCallback = std::function<LRESULT(WPARAM, LPARAM)>;

// The calling thread's window, created on first use; null when it cannot be made (also
// while the process has no user32 loaded).
HWND CurrentThreadMessageWindow();
// The window of another thread, if it made one.
HWND MessageWindowOf(DWORD threadId);

// Allocates a message number on the calling thread's window; 0 on failure.
UINT AddMessageHandler(MessageCallback callback);
void RemoveMessageHandler(UINT message);

// Destroys the calling thread's window.
void CloseCurrentThreadMessageWindow();

}  // namespace brevant::crashreport
