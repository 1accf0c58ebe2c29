// The time from a fault in a worker thread to the first exception handler's call, over many
// faults: prints each in milliseconds, one per line.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "crashreport/crash_reporter.h"

using namespace brevant::crashreport;

namespace {

LARGE_INTEGER faulted, handled;
int* volatile nowhere = nullptr;  // unknown to the compiler: the write below stays a real fault

void OnException(ICrashException*, bool&) {
    QueryPerformanceCounter(&handled);
}

DWORD WINAPI Fault(void*) {
    QueryPerformanceCounter(&faulted);
    *nowhere = 1;
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 30;
    RegisterExceptionHandler(OnException, TSyncType::stDontSync, TExceptPhase::epQuickFiltering);
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    for (int i = 0; i < rounds; ++i) {
        HANDLE thread = CreateThread(nullptr, 0, Fault, nullptr, 0, nullptr);
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
        std::printf("%.3f\n", (handled.QuadPart - faulted.QuadPart) * 1000.0 / frequency.QuadPart);
    }
    return 0;
}
