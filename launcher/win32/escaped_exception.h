#pragma once
// What happens to an exception that leaves the program body, until the crash reporter
// takes this over: its class and message go to standard error and the process ends
// with exit code 1.

namespace brevant {

// Call from inside a catch block.
[[noreturn]] void EndWithEscapedException();

}  // namespace brevant
