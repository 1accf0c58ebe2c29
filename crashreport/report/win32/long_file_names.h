#pragma once
// Short path components (C:\PROGRA~1) turned into the long names the file system keeps.

#include <string>

namespace brevant::crashreport {

// Components that cannot be found stay as they are.
std::u16string ExpandShortNames(const std::u16string& fileName);

}  // namespace brevant::crashreport
