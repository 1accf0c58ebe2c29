// Throws and catches an Exception through 20 frames, many times, and prints how long that took
// in milliseconds. Built twice: with the crash reporter and without it.
//
// The throws run in batches and the fastest batch counts, scaled to all rounds: the machine's
// other work (and the process's own start-up threads) then slows neither program's figure.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "base/exception.h"

namespace {

constexpr int kBatches = 20;

[[gnu::noinline]] int Descend(int depth) {
    if (depth == 0) throw brevant::Exception(u"benchmark");
    return Descend(depth - 1) + 1;
}

// Milliseconds for the given number of throws; false when one was not caught.
bool TimeThrows(int count, double& milliseconds) {
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    int caught = 0;
    for (int i = 0; i < count; ++i) {
        try {
            Descend(20);
        } catch (const brevant::Exception&) {
            ++caught;
        }
    }
    QueryPerformanceCounter(&end);
    milliseconds = (end.QuadPart - start.QuadPart) * 1000.0 / frequency.QuadPart;
    return caught == count;
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 20000;
    const int perBatch = std::max(1, rounds / kBatches);
    double fastest = 0;
    for (int batch = 0; batch < kBatches; ++batch) {
        double milliseconds = 0;
        if (!TimeThrows(perBatch, milliseconds)) return 1;
        if (batch == 0 || milliseconds < fastest) fastest = milliseconds;
    }
    std::printf("%.3f\n", fastest * rounds / perBatch);
    return 0;
}
