// Throws and catches an exception through 20 frames, many times, and prints how long that took
// in milliseconds. Built twice: with the crash reporter and without it.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace {

[[gnu::noinline]] int Descend(int depth) {
    if (depth == 0) throw std::runtime_error("benchmark");
    return Descend(depth - 1) + 1;
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 20000;
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    int caught = 0;
    for (int i = 0; i < rounds; ++i) {
        try {
            Descend(20);
        } catch (const std::exception&) {
            ++caught;
        }
    }
    QueryPerformanceCounter(&end);
    std::printf("%.3f\n", (end.QuadPart - start.QuadPart) * 1000.0 / frequency.QuadPart);
    return caught == rounds ? 0 : 1;
}
