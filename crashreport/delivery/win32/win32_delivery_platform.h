#pragma once
// The Windows side of delivering reports, installed at start-up.

namespace brevant::crashreport {

void InstallDeliveryPlatform();

}  // namespace brevant::crashreport
