#pragma once
// The report header: the facts about the machine, the process and the exception, and the
// labelled lines they make, in the report's order. The Windows edge gathers the facts, each
// on its own: a fact that could not be gathered stays empty and its line is left out.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "crashreport/report/crash_fields.h"
#include "crashreport/report/placeholder_expansion.h"

namespace brevant::crashreport {

struct DriveSpace {
    char16_t letter = u'C';
    std::uint64_t freeBytes = 0;
};

struct FileTimeFact {
    LocalDateTime time;
    bool isExecutable = true;  // "exec. date/time" or "module date/time"
};

struct ReportHeaderFacts {
    LocalDateTime exceptionTime;
    std::optional<std::u16string> computerName;
    std::optional<std::u16string> wtsClientName;  // only in a remote session
    std::optional<std::u16string> userName;
    bool userIsAdministrator = false;
    std::optional<std::u16string> registeredOwner;
    std::u16string registeredOrganization;
    std::optional<std::u16string> operatingSystem;  // the description, without the build
    std::uint32_t osBuild = 0;
    std::optional<std::u16string> systemLanguage;
    std::optional<std::int64_t> systemUpSeconds;
    std::optional<std::int64_t> programUpMilliseconds;
    std::optional<std::u16string> processorName;
    int processorCount = 1;
    std::optional<std::uint64_t> freePhysicalBytes, totalPhysicalBytes;
    std::optional<std::pair<int, int>> freeGdiUserResources;  // legacy systems only
    std::optional<std::vector<DriveSpace>> freeDiskSpace;
    std::optional<std::u16string> displayMode;  // "1920x1080, 32 bit"
    std::uint32_t processId = 0;
    std::optional<std::uint64_t> allocatedBytes;
    std::optional<std::uint64_t> largestFreeBlock;
    std::optional<std::u16string> commandLine;  // only when the program has parameters
    std::optional<std::u16string> executable;
    std::optional<std::u16string> currentModule;  // only when the reporter lives in another module
    std::optional<FileTimeFact> fileTime;
    std::optional<std::u16string> version;
    std::optional<std::u16string> bdeVersion;
    std::u16string compiledWith;
    std::vector<CrashField> headerPlugins;  // name and text, in the settings' order
    std::uint64_t exceptionNumber = 0;
    bool frozen = false;
    std::u16string frozenMessage;
    std::u16string exceptionClass;
    std::u16string exceptionMessage;
    char16_t decimalSeparator = u'.';
};

struct HeaderFields {
    std::vector<CrashField> fields;
    // Later header fields are inserted here: in front of the last field before the crc line.
    int addIndex = 0;
};

inline constexpr char16_t kCalculatedSoon[] = u"will be calculated soon";
inline constexpr char16_t kQuarrexVersion[] = u"5.1.2";

HeaderFields ComposeHeaderFields(const ReportHeaderFacts& facts);

// "2024-03-05, 14:07:09, 318ms".
std::u16string ReportDateTimeText(const LocalDateTime& time);

}  // namespace brevant::crashreport
