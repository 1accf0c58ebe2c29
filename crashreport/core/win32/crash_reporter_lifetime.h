#pragma once
// Start and stop of the crash reporter in a program, and the state it is in.

#include <cstdint>

namespace brevant::crashreport {

enum class CrashReporterState { inactive, attached, active, stopped };

void StartCrashReporter();
void StopCrashReporter();
CrashReporterState CurrentCrashReporterState();
// The performance counter at the program's start.
std::int64_t ProgramStartCounter();

}  // namespace brevant::crashreport
