#pragma once
// The running process as the bug report sees it.

namespace brevant::crashreport {

// Made at start-up; the reports of every exception use it from then on.
void InstallReportPlatform();

// While the outside trace tool has a report made, the crash reporter's own threads are shown too.
void SetProcessTracing(bool tracing);

}  // namespace brevant::crashreport
