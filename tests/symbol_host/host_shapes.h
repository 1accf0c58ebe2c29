#pragma once
// Inline, template, virtual and std::function code shared by the units of the symbol lookup
// host: their code lands in many units but its lines belong to this header or the library's.

#include <functional>

namespace host {

template <typename Number>
Number Accumulate(Number start, int count) {
    Number total = start;
    for (int index = 0; index < count; ++index) {
        total = total + static_cast<Number>(index) * static_cast<Number>(2);
    }
    return total;
}

inline int Clamp(int value, int low, int high) {
    if (value < low) return low;
    if (value > high) return high;
    return value;
}

class Worker {
public:
    virtual ~Worker() = default;
    virtual int Work(int value) const = 0;
};

__attribute__((noinline)) inline int RunWorker(const Worker& worker, int value) {
    return worker.Work(value) + Clamp(value, 0, 10);
}

// The library's std::function handlers are emitted in each unit that calls through one, and
// their lines are the library header's.
__attribute__((noinline)) inline int CallThrough(const std::function<int(int)>& call, int value) {
    return call(value);
}

}  // namespace host
