#pragma once
// Corrects the code and data ranges in a module's header from its calibration record, so that
// "is this address code of that module" can be answered from the header alone.

#include <windows.h>

namespace brevant::crashreport {

// ownModule: the module that holds this crash reporter (its record's top bit is clear). A
// module without a 20-byte record keeps its header as it is. True when the header was set.
bool CalibrateModuleHeader(HMODULE module, bool ownModule);

}  // namespace brevant::crashreport
