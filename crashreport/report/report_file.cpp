#include "crashreport/report/report_file.h"

#include <vector>

#include "base/utf16_text.h"
#include "crashreport/report/report_text.h"

namespace brevant::crashreport {

namespace {

constexpr std::string_view kReportStart = "date/time";
constexpr std::string_view kNextReport = "\r\ndate/time";

std::vector<std::u16string_view> PathSteps(std::u16string_view path) {
    std::vector<std::u16string_view> steps;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = path.find(u'\\', start);
        steps.push_back(path.substr(start, end == path.npos ? path.npos : end - start));
        if (end == path.npos) return steps;
        start = end + 1;
    }
}

std::u16string NormalizedSteps(std::u16string_view path) {
    std::vector<std::u16string_view> kept;
    for (std::u16string_view step : PathSteps(path)) {
        if (step == u"." && !kept.empty()) continue;
        if (step == u".." && kept.size() > 1 && kept.back() != u"..") {
            kept.pop_back();
            continue;
        }
        kept.push_back(step);
    }
    std::u16string text;
    for (std::size_t i = 0; i < kept.size(); ++i) {
        if (i > 0) text += u'\\';
        text += kept[i];
    }
    return text;
}

std::u16string FolderOf(std::u16string_view path) {
    const std::size_t slash = path.rfind(u'\\');
    return std::u16string(slash == path.npos ? std::u16string_view() : path.substr(0, slash + 1));
}

// The header of a stored report: what lies before its first section.
std::u16string StoredHeader(std::string_view storedReport) {
    const std::size_t end = storedReport.find("\r\n\r\n");
    return FromUtf8(storedReport.substr(0, end));
}

bool IsDuplicate(const std::u16string& oldHeader, const std::u16string& report) {
    for (const char16_t* label : {u"executable", u"current module", u"exception class", u"version"}) {
        if (!SameHeaderField(oldHeader, report, label)) return false;
    }
    if (!ReadReportHeaderField(oldHeader, u"version").empty()) return true;
    return SameHeaderField(oldHeader, report, u"exec. date/time") &&
           SameHeaderField(oldHeader, report, u"module date/time");
}

std::int64_t StoredCount(const std::u16string& oldHeader) {
    const std::u16string text = ReadReportHeaderField(oldHeader, u"count");
    std::int64_t count = 0;
    for (char16_t unit : text) {
        if (unit < u'0' || unit > u'9' || count > 1000000000) return 1;
        count = count * 10 + (unit - u'0');
    }
    return text.empty() ? 1 : count;
}

std::u16string DuplicateKey(const std::u16string& report, const ReportFileRules& rules) {
    const std::u16string crc = ReadReportHeaderField(report, u"callstack crc");
    if (crc.size() != 31) return {};
    const bool isException = !ReadReportHeaderField(report, u"exception class").empty();
    if (!(isException ? rules.noDupExcepts : rules.noDupFreezes)) return {};
    switch (isException ? rules.dupExceptDef : rules.dupFreezeDef) {
        case 0:
            return crc.substr(0, 9);
        case 1:
            return crc.substr(0, 20);
        default:
            return crc;
    }
}

// Cuts the first stored duplicate of the report (searching from the end) and hands its count on.
void DropDuplicate(std::string& stored, std::u16string& report, const std::u16string& key) {
    const std::string needle = ": " + ToUtf8(key);
    std::size_t hit = stored.rfind(needle);
    while (hit != std::string::npos) {
        std::size_t start = stored.rfind(kNextReport, hit);
        if (start != std::string::npos) {
            start += 2;
        } else if (stored.compare(0, kReportStart.size(), kReportStart) == 0) {
            start = 0;
        }
        if (start != std::string::npos) {
            std::size_t end = stored.find(kNextReport, hit);
            end = end == std::string::npos ? stored.size() : end + 2;
            const std::u16string oldHeader = StoredHeader(std::string_view(stored).substr(start, end - start));
            if (IsDuplicate(oldHeader, report)) {
                InsertHeaderLine(report, u"count", u"callstack crc", DecimalText(StoredCount(oldHeader) + 1));
                stored.erase(start, end - start);
                return;
            }
        }
        if (hit == 0) return;
        hit = stored.rfind(needle, hit - 1);
    }
}

void CutOldestReports(std::string& stored, std::int64_t limit) {
    const std::uint64_t keep = static_cast<std::uint64_t>(limit - limit / 4);
    std::size_t hit = stored.find(kNextReport, 1);
    while (hit != std::string::npos) {
        if (stored.size() - hit < keep) {
            stored.erase(0, hit + 2);
            return;
        }
        hit = stored.find(kNextReport, hit + 1);
    }
}

}  // namespace

std::u16string AbsolutePath(std::u16string_view name, std::u16string_view programPath) {
    std::u16string path(name);
    const bool rooted = !name.empty() && name[0] == u'\\';
    const bool drive = name.size() >= 2 && name[1] == u':';
    if (name.size() < 3 || (!rooted && !drive)) {
        path = FolderOf(programPath) + path;
    } else if (rooted && !(name.size() >= 2 && name[1] == u'\\')) {
        path = std::u16string(programPath.substr(0, 2)) + path;
    }
    return NormalizedSteps(path);
}

std::string MergeStoredReports(std::string stored, std::u16string& report, const ReportFileRules& rules) {
    if (!rules.append) return {};
    const bool overLimit = rules.sizeLimit > 0 && static_cast<std::int64_t>(stored.size()) > rules.sizeLimit;
    if (!stored.empty()) {
        const std::u16string key = DuplicateKey(report, rules);
        if (!key.empty()) DropDuplicate(stored, report, key);
    }
    if (overLimit) CutOldestReports(stored, rules.sizeLimit);
    return stored;
}

std::string StoredReportBytes(std::u16string_view report) {
    return ToUtf8(report) + "\r\n\r\n";
}

}  // namespace brevant::crashreport
