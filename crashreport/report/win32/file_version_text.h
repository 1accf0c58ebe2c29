#pragma once
// The version of a file as the report shows it, read from its version resource.

#include <string>

namespace brevant::crashreport {

// The fixed file version as four decimal numbers joined by "." ("1.4.0.7"); lacking one, the
// "FileVersion" string of the first translation, trimmed; empty when the file has neither.
std::u16string FileVersionText(const std::u16string& file);

}  // namespace brevant::crashreport
