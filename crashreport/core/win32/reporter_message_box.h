#pragma once
// The crash reporter's own error messages: a plain message box captioned "Quarrex".

#include <functional>
#include <string>
#include <string_view>

namespace brevant::crashreport {

void ShowReporterMessage(std::u16string_view text);

// Where messages go instead of a box; an empty sink restores the box. Returns the previous
// sink. Tests use it so that no box waits for a click.
using ReporterMessageSink = std::function<void(std::u16string_view text)>;
ReporterMessageSink SetReporterMessageSink(ReporterMessageSink sink);

}  // namespace brevant::crashreport
