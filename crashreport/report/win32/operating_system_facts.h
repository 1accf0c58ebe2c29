#pragma once
// The version facts of the running system, for the report's operating-system description.

#include "crashreport/report/operating_system_description.h"

namespace brevant::crashreport {

OperatingSystemFacts ReadOperatingSystemFacts();

}  // namespace brevant::crashreport
