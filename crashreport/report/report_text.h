#pragma once
// The report as one text, and reading single fields and sections back out of stored reports.
// The layout makes that possible: a blank line (CR LF CR LF) stands only in front of a section
// title, no line ends with a blank and no content line is empty.

#include <string>
#include <string_view>

#include "crashreport/report/crash_fields.h"

namespace brevant::crashreport {

// Aligned "label : value" lines, joined by CR LF.
std::u16string RenderHeader(ICrashFields& header);
// Each section as CR LF CR LF, its title line and its content lines.
std::u16string RenderSections(ICrashFields& sections);

std::u16string ReadReportSection(std::u16string_view report, std::u16string_view title);
std::u16string ReadReportHeaderField(std::u16string_view report, std::u16string_view label);
// Inserts "label : value" after the line of afterLabel, aligned with it; nothing when that
// line is missing.
void InsertHeaderLine(std::u16string& report, std::u16string_view label, std::u16string_view afterLabel,
                      std::u16string_view value);
bool SameHeaderField(std::u16string_view a, std::u16string_view b, std::u16string_view label);

}  // namespace brevant::crashreport
