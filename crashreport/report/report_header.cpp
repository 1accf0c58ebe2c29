#include "crashreport/report/report_header.h"

#include "base/number_text.h"
#include "base/utf16_text.h"
#include "crashreport/report/report_formats.h"

namespace brevant::crashreport {

namespace {

std::u16string TwoDigits(int value) {
    std::u16string text = DecimalText(value);
    return text.size() < 2 ? u"0" + text : text;
}

std::u16string FileTimeText(const LocalDateTime& time) {
    return DecimalText(time.year) + u"-" + TwoDigits(time.month) + u"-" + TwoDigits(time.day) + u" " +
           TwoDigits(time.hour) + u":" + TwoDigits(time.minute);
}

std::int64_t RoundedMiB(std::uint64_t bytes) {
    return static_cast<std::int64_t>((bytes + 512 * 1024) / (1024 * 1024));
}

std::u16string DiskSpaceText(const std::vector<DriveSpace>& drives, char16_t separator) {
    std::u16string text;
    for (const DriveSpace& drive : drives) {
        if (!text.empty()) text += u' ';
        char16_t letter = drive.letter;
        if (letter >= u'a' && letter <= u'z') letter -= 0x20;
        text += u"(" + std::u16string(1, letter) + u":) " + FormatByteSize(drive.freeBytes, separator);
    }
    return text;
}

std::u16string ProgramUpTimeText(std::int64_t milliseconds) {
    std::u16string text = FormatUpTime(milliseconds / 1000);
    return text.empty() ? DecimalText(milliseconds) + u" milliseconds" : text;
}

class FieldList {
public:
    void Add(std::u16string_view name, std::u16string value) {
        if (!value.empty()) fields_.push_back({std::u16string(name), std::move(value)});
    }
    template <typename T, typename Make>
    void AddIf(std::u16string_view name, const std::optional<T>& fact, Make make) {
        if (fact) Add(name, make(*fact));
    }
    std::vector<CrashField> Take() { return std::move(fields_); }
    int Count() const { return static_cast<int>(fields_.size()); }

private:
    std::vector<CrashField> fields_;
};

std::u16string Same(const std::u16string& text) {
    return text;
}

void AddMachineFields(FieldList& list, const ReportHeaderFacts& f) {
    const char16_t sep = f.decimalSeparator;
    list.Add(u"date/time", ReportDateTimeText(f.exceptionTime));
    list.AddIf(u"computer name", f.computerName, Same);
    list.AddIf(u"wts client name", f.wtsClientName, Same);
    list.AddIf(u"user name", f.userName, [&](const std::u16string& name) {
        return f.userIsAdministrator ? name + u"  <admin>" : name;
    });
    list.AddIf(u"registered owner", f.registeredOwner, [&](const std::u16string& owner) {
        return f.registeredOrganization.empty() ? owner : owner + u" / " + f.registeredOrganization;
    });
    list.AddIf(u"operating system", f.operatingSystem, [&](const std::u16string& name) {
        return name + u" build " + DecimalText(f.osBuild);
    });
    list.AddIf(u"system language", f.systemLanguage, Same);
    list.AddIf(u"system up time", f.systemUpSeconds, FormatUpTime);
    list.AddIf(u"program up time", f.programUpMilliseconds, ProgramUpTimeText);
    if (f.processorName) {
        if (f.processorCount == 1) {
            list.Add(u"processor", *f.processorName);
        } else {
            list.Add(u"processors", DecimalText(f.processorCount) + u"x " + *f.processorName);
        }
    }
    if (f.freePhysicalBytes && f.totalPhysicalBytes) {
        list.Add(u"physical memory", DecimalText(RoundedMiB(*f.freePhysicalBytes)) + u"/" +
                                         DecimalText(RoundedMiB(*f.totalPhysicalBytes)) + u" MB (free/total)");
    }
    list.AddIf(u"system resources", f.freeGdiUserResources, [](const std::pair<int, int>& free) {
        return TwoDigits(free.first) + u"/" + TwoDigits(free.second) + u" (gdi/user)";
    });
    list.AddIf(u"free disk space", f.freeDiskSpace, [&](const auto& drives) { return DiskSpaceText(drives, sep); });
    list.AddIf(u"display mode", f.displayMode, Same);
}

void AddProcessFields(FieldList& list, const ReportHeaderFacts& f) {
    const char16_t sep = f.decimalSeparator;
    list.Add(u"process id", DollarHex(f.processId));
    list.AddIf(u"allocated memory", f.allocatedBytes, [&](std::uint64_t n) { return FormatByteSize(n, sep); });
    list.AddIf(u"largest free block", f.largestFreeBlock, [&](std::uint64_t n) { return FormatByteSize(n, sep); });
    list.AddIf(u"command line", f.commandLine, Same);
    list.AddIf(u"executable", f.executable, Same);
    list.AddIf(u"current module", f.currentModule, Same);
    if (f.fileTime) {
        list.Add(f.fileTime->isExecutable ? u"exec. date/time" : u"module date/time", FileTimeText(f.fileTime->time));
    }
    list.AddIf(u"version", f.version, Same);
    list.AddIf(u"bde version", f.bdeVersion, Same);
    list.Add(u"compiled with", f.compiledWith);
    list.Add(u"Quarrex version", kQuarrexVersion);
    for (const CrashField& plugin : f.headerPlugins) list.Add(plugin.name, plugin.content);
}

void AddExceptionFields(FieldList& list, const ReportHeaderFacts& f) {
    list.Add(u"callstack crc", kCalculatedSoon);
    list.Add(u"exception number", DecimalText(static_cast<std::int64_t>(f.exceptionNumber)));
    if (f.frozen) {
        list.Add(u"exception message", f.frozenMessage);
        return;
    }
    list.Add(u"exception class", f.exceptionClass);
    if (f.exceptionMessage != f.exceptionClass) {
        list.Add(u"exception message", NormalizeExceptionMessage(f.exceptionMessage));
    }
}

}  // namespace

std::u16string ReportDateTimeText(const LocalDateTime& time) {
    return DecimalText(time.year) + u"-" + TwoDigits(time.month) + u"-" + TwoDigits(time.day) + u", " +
           TwoDigits(time.hour) + u":" + TwoDigits(time.minute) + u":" + TwoDigits(time.second) + u", " +
           DecimalText(time.milliseconds) + u"ms";
}

HeaderFields ComposeHeaderFields(const ReportHeaderFacts& facts) {
    FieldList list;
    AddMachineFields(list, facts);
    AddProcessFields(list, facts);
    const int beforeCrc = list.Count();
    AddExceptionFields(list, facts);
    return {list.Take(), beforeCrc - 1};
}

}  // namespace brevant::crashreport
