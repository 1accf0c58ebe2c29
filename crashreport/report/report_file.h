#pragma once
// The bug report file: where it lies, and what it holds once a new report is added. Reports
// follow each other in it, each ended by CR LF CR LF and begun by its "date/time" line; a
// report that repeats an earlier one replaces it and counts the repetitions, and the oldest
// reports go when the file grows beyond its limit.

#include <cstdint>
#include <string>
#include <string_view>

namespace brevant::crashreport {

// A relative name is taken from the program's folder and a name starting with a single "\"
// from its drive; "\.\" steps and folder steps undone by ".." go.
std::u16string AbsolutePath(std::u16string_view name, std::u16string_view programPath);

struct ReportFileRules {
    bool append = true;
    bool noDupExcepts = true;
    bool noDupFreezes = true;
    int dupExceptDef = 1;  // TDuplicateDefinition
    int dupFreezeDef = 2;
    std::int64_t sizeLimit = 0;  // bytes; 0 or less: no limit
};

// What the file holds in front of the new report (UTF-8), given what it held before. A
// duplicate that is dropped hands its count on to `report` as a "count" line.
std::string MergeStoredReports(std::string stored, std::u16string& report, const ReportFileRules& rules);

// The report as it is written: UTF-8, followed by CR LF CR LF.
std::string StoredReportBytes(std::u16string_view report);

}  // namespace brevant::crashreport
