#pragma once
// The machine's and the process's facts for the report header, each gathered on its own: a
// fact that fails is left out and the others come all the same.

#include "crashreport/report/report_header.h"

namespace brevant::crashreport {

ReportHeaderFacts GatherMachineFacts();

}  // namespace brevant::crashreport
