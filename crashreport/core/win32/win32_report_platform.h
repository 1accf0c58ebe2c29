#pragma once
// The running process as the bug report sees it.

#include <functional>
#include <memory>

#include "crashreport/core/report_platform.h"

namespace brevant::crashreport {

// Made at start-up; the reports of every exception use it from then on.
void InstallReportPlatform();

// While the outside trace tool has a report made, the crash reporter's own threads are shown too.
void SetProcessTracing(bool tracing);

// A thread of the crash reporter's own (left out of reports, priority above normal) running the
// work; null when none could be made. Completing a report and sending one in the background
// both use it.
std::unique_ptr<BackgroundWork> StartReporterThread(std::function<void()> work);

}  // namespace brevant::crashreport
