#pragma once
// Module names as the loader reports them may pass through short folder names (C:\PROGRA~1);
// the report shows the long ones.

#include <functional>
#include <optional>
#include <string>

namespace brevant::crashreport {

// The long name of the last component of path, as the file system reports it; none when the
// lookup fails.
using LongNameLookup = std::function<std::optional<std::u16string>(const std::u16string& path)>;

// The file name with every short component below its root (drive or UNC share) replaced by its
// long name; relative names are returned as they are, apart from a trailing "\".
std::u16string ExpandShortNames(const std::u16string& fileName, const LongNameLookup& longName);

}  // namespace brevant::crashreport
