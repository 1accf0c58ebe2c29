#pragma once
// Address space and memory held back while nothing is handled, and given back at the start of
// each handling, so that the report and the box work even when the program used up both.

namespace brevant::crashreport {

void TakeEmergencyReserve();
void ReleaseEmergencyReserve();

}  // namespace brevant::crashreport
