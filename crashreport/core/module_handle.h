#pragma once
// A loaded module (its base address, as Windows hands it out) seen from portable code.

namespace brevant::crashreport {

using ModuleHandle = void*;

}  // namespace brevant::crashreport
