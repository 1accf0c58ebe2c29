// The report's text forms: numbers, header lines, the rendered layout, reading stored reports
// back, the stack dump and the bug report file's merge rules.

#include <gtest/gtest.h>

#include "base/utf16_text.h"
#include "crashreport/report/cpu_state_text.h"
#include "crashreport/report/report_file.h"
#include "crashreport/report/report_formats.h"
#include "crashreport/report/report_header.h"
#include "crashreport/report/report_text.h"

namespace brevant::crashreport {
namespace {

TEST(ReportFormatsTest, ByteSizesScaleInTheirOrderOfDivisionsWithTheGivenSeparator) {
    EXPECT_EQ(FormatByteSize(1023), u"1023 Bytes");
    EXPECT_EQ(FormatByteSize(1536), u"1.50 KB");
    EXPECT_EQ(FormatByteSize(1024), u"1.00 KB");
    EXPECT_EQ(FormatByteSize(1536, u','), u"1,50 KB");
    EXPECT_EQ(FormatByteSize(5u * 1024 * 1024 + 1023), u"5.00 MB");
    EXPECT_EQ(FormatByteSize(3ull * 1024 * 1024 * 1024 / 2), u"1.50 GB");
}

TEST(ReportFormatsTest, UpTimesShowTheTwoLargestUnitsAndDropZeroUnits) {
    EXPECT_EQ(FormatUpTime(2 * 86400 + 3 * 3600 + 59), u"2 days 3 hours");
    EXPECT_EQ(FormatUpTime(3600), u"1 hour");
    EXPECT_EQ(FormatUpTime(5), u"5 seconds");
    EXPECT_EQ(FormatUpTime(61), u"1 minute 1 second");
    EXPECT_EQ(FormatUpTime(0), u"");
    EXPECT_EQ(FormatUpTime(-7), u"");
}

TEST(ReportFormatsTest, MessagesEndInOneFullStopOnOneLine) {
    EXPECT_EQ(NormalizeExceptionMessage(u"Disk full!!"), u"Disk full.");
    EXPECT_EQ(NormalizeExceptionMessage(u"a\r\nb  c..."), u"a b c.");
    EXPECT_EQ(NormalizeExceptionMessage(u""), u".");
    const std::uint32_t values[3] = {0x0a1b2c3d, 0x1, 0xffffffff};
    EXPECT_EQ(CallstackCrcText(values), u"$0a1b2c3d, $00000001, $ffffffff");
    EXPECT_EQ(CallstackCrcText(values).size(), 31u);
}

ReportHeaderFacts SampleFacts() {
    ReportHeaderFacts facts;
    facts.exceptionTime = {2024, 3, 5, 14, 7, 9, 18};
    facts.computerName = u"WORKSTATION7";
    facts.userName = u"user1";
    facts.userIsAdministrator = true;
    facts.operatingSystem = u"Windows 10 x64";
    facts.osBuild = 19045;
    facts.processorName = u"Example CPU";
    facts.processorCount = 8;
    facts.freeDiskSpace = std::vector<DriveSpace>{{u'c', 1536}, {u'D', 100}};
    facts.processId = 0x1a2c;
    facts.largestFreeBlock = 1024;
    facts.executable = u"app.exe";
    facts.fileTime = FileTimeFact{{2024, 3, 1, 9, 2, 0, 0}, true};
    facts.version = u"";
    facts.compiledWith = u"GCC 12";
    facts.exceptionNumber = 1;
    facts.exceptionClass = u"ESampleError";
    facts.exceptionMessage = u"Sample failure!";
    return facts;
}

std::u16string ValueOf(const HeaderFields& header, std::u16string_view name) {
    for (const CrashField& field : header.fields)
        if (field.name == name) return field.content;
    return u"<absent>";
}

TEST(ReportHeaderTest, FieldsCarryTheirValueFormsAndEmptyOrMissingFactsGiveNoLine) {
    const HeaderFields header = ComposeHeaderFields(SampleFacts());
    EXPECT_EQ(header.fields.front().name, u"date/time");
    EXPECT_EQ(ValueOf(header, u"date/time"), u"2024-03-05, 14:07:09, 18ms");
    EXPECT_EQ(ValueOf(header, u"user name"), u"user1  <admin>");
    EXPECT_EQ(ValueOf(header, u"operating system"), u"Windows 10 x64 build 19045");
    EXPECT_EQ(ValueOf(header, u"processors"), u"8x Example CPU");
    EXPECT_EQ(ValueOf(header, u"processor"), u"<absent>");
    EXPECT_EQ(ValueOf(header, u"free disk space"), u"(C:) 1.50 KB (D:) 100 Bytes");
    EXPECT_EQ(ValueOf(header, u"process id"), u"$1a2c");
    EXPECT_EQ(ValueOf(header, u"exec. date/time"), u"2024-03-01 09:02");
    EXPECT_EQ(ValueOf(header, u"version"), u"<absent>");
    EXPECT_EQ(ValueOf(header, u"wts client name"), u"<absent>");
    EXPECT_EQ(ValueOf(header, u"Quarrex version"), u"5.1.2");
    EXPECT_EQ(ValueOf(header, u"callstack crc"), u"will be calculated soon");
    EXPECT_EQ(ValueOf(header, u"exception message"), u"Sample failure.");
    // Fields added later go in front of the last field before the crc line.
    ASSERT_GE(header.addIndex, 1);
    EXPECT_EQ(header.fields[header.addIndex].name, u"Quarrex version");
    EXPECT_EQ(header.fields[header.addIndex + 1].name, u"callstack crc");
    EXPECT_EQ(header.fields.back().name, u"exception message");
}

TEST(ReportHeaderTest, AMessageEqualToTheClassAndAFreezeChangeTheExceptionLines) {
    ReportHeaderFacts facts = SampleFacts();
    facts.exceptionMessage = facts.exceptionClass;
    EXPECT_EQ(ValueOf(ComposeHeaderFields(facts), u"exception message"), u"<absent>");
    facts.processorCount = 1;
    EXPECT_EQ(ValueOf(ComposeHeaderFields(facts), u"processor"), u"Example CPU");
    facts.frozen = true;
    facts.frozenMessage = u"The application seems to be frozen.";
    const HeaderFields frozen = ComposeHeaderFields(facts);
    EXPECT_EQ(ValueOf(frozen, u"exception class"), u"<absent>");
    EXPECT_EQ(ValueOf(frozen, u"exception message"), u"The application seems to be frozen.");
}

RefPtr<CrashFields> Accepting(std::initializer_list<CrashField> pairs) {
    RefPtr<CrashFields> list = CrashFields::Create();
    list->AcceptData();
    for (const CrashField& pair : pairs) list->Add(pair.name, pair.content);
    return list;
}

std::u16string SampleReport() {
    auto header = Accepting({{u"date/time", u"2024-03-05"},
                             {u"user name", u"user1  <admin>"},
                             {u"largest free block", u"1.82 GB"},
                             {u"callstack crc", u"$0a1b2c3d, $5e6f7081, $92a3b4c5"},
                             {u"exception class", u"E"},
                             {u"exception message", u"one\r\ntwo   three"}});
    auto sections = Accepting({{u"main thread ($1a2c):", u"line 1\r\n\r\nline 3   \nline 4"},
                               {u"cpu registers", u"eax = 00000000"}});
    return RenderHeader(*header) + RenderSections(*sections);
}

TEST(ReportTextTest, RenderingAlignsValuesOneColumnPastTheLongestLabelAndMarksEmptyLines) {
    const std::u16string report = SampleReport();
    EXPECT_EQ(report.substr(0, 34), u"date/time          : 2024-03-05\r\nu");
    EXPECT_NE(report.find(u"\r\nuser name          : user1 <admin>\r\n"), std::u16string::npos);
    EXPECT_NE(report.find(u"\r\nexception message  : one two three"), std::u16string::npos);
    EXPECT_NE(report.find(u"\r\n\r\nmain thread ($1a2c):\r\nline 1\r\n.\r\nline 3\r\nline 4\r\n\r\ncpu registers:\r\n"),
              std::u16string::npos);
    EXPECT_NE(report.back(), u'\n');
    EXPECT_EQ(report.find(u" \r\n"), std::u16string::npos);
}

TEST(ReportTextTest, StoredReportsGiveBackTheirSectionsAndFields) {
    const std::u16string one = SampleReport();
    const std::u16string file = one + u"\r\n\r\n" + one;
    EXPECT_EQ(ReadReportSection(file, u"main thread ($1a2c)"), u"\r\nline 1\r\n.\r\nline 3\r\nline 4");
    EXPECT_EQ(ReadReportSection(file, u"cpu registers"), u"\r\neax = 00000000");
    EXPECT_EQ(ReadReportSection(file, u"disassembling"), u"");
    EXPECT_EQ(ReadReportHeaderField(one, u"exception"), u"E");
    EXPECT_EQ(ReadReportHeaderField(one, u"date/time"), u"");  // the first line has no line break before it
    EXPECT_EQ(ReadReportHeaderField(one, u"callstack crc"), u"$0a1b2c3d, $5e6f7081, $92a3b4c5");
    EXPECT_TRUE(SameHeaderField(one, one, u"exception class"));
    EXPECT_TRUE(SameHeaderField(one, u"", u"version"));
    EXPECT_FALSE(SameHeaderField(one, u"", u"exception class"));

    std::u16string counted = one;
    InsertHeaderLine(counted, u"count", u"callstack crc", u"2");
    EXPECT_NE(counted.find(u"callstack crc      : $0a1b2c3d, $5e6f7081, $92a3b4c5\r\ncount              : 2\r\n"),
              std::u16string::npos);
    std::u16string unchanged = one;
    InsertHeaderLine(unchanged, u"count", u"no such label", u"2");
    EXPECT_EQ(unchanged, one);
}

TEST(CpuStateTextTest, RegistersAndADumpEndingInsideItsLastLine) {
    EXPECT_EQ(CpuRegistersText({{u"eax", 0}, {u"eip", 0x4a1b2c}}, 8), u"eax = 00000000\r\neip = 004a1b2c");
    std::vector<std::uint8_t> stack(40);
    for (std::size_t i = 0; i < stack.size(); ++i) stack[i] = static_cast<std::uint8_t>(0x3c + i);
    x86::BufferMemoryReader memory(0x19f5a8, stack.data(), stack.size());
    const std::u16string dump = StackDumpText(memory, 0x19f5a8, 0x19f5a8 + 40, 8);
    const std::u16string first = dump.substr(0, dump.find(u"\r\n"));
    EXPECT_EQ(first, u"0019f5a8  3c 3d 3e 3f 40 41 42 43 - 44 45 46 47 48 49 4a 4b  <=>?@ABCDEFGHIJK");
    const std::u16string last = dump.substr(dump.rfind(u"\r\n") + 2);
    EXPECT_EQ(last, u"0019f5c8  5c 5d 5e 5f 60 61 62 63                            \\]^_`abc");
    EXPECT_EQ(std::count(dump.begin(), dump.end(), u'\n'), 2);
}

std::u16string StoredReport(std::u16string_view crc, std::u16string_view marker, std::u16string_view count = {}) {
    std::u16string report = u"date/time      : x\r\nexecutable     : app.exe\r\nversion        : 1.0\r\ncallstack crc  : " +
                            std::u16string(crc);
    if (!count.empty()) report += u"\r\ncount          : " + std::u16string(count);
    report += u"\r\nexception class: E\r\n\r\nmain thread:\r\n" + std::u16string(marker);
    return report;
}

constexpr std::u16string_view kCrcA = u"$00000001, $00000002, $00000003";
constexpr std::u16string_view kCrcB = u"$00000009, $00000002, $00000003";

TEST(ReportFileTest, ADuplicateIsCutOutAndItsCountHandedOn) {
    const std::string stored = StoredReportBytes(StoredReport(kCrcA, u"first", u"4")) +
                               StoredReportBytes(StoredReport(kCrcB, u"second"));
    std::u16string report = StoredReport(kCrcA, u"third");
    const std::string kept = MergeStoredReports(stored, report, {});
    EXPECT_EQ(kept, StoredReportBytes(StoredReport(kCrcB, u"second")));
    EXPECT_NE(report.find(u"callstack crc  : " + std::u16string(kCrcA) + u"\r\ncount          : 5\r\n"),
              std::u16string::npos);
}

TEST(ReportFileTest, DuplicatesNeedTheSameProgramAndVersionAndTheKeyOfTheirDefinition) {
    const std::string stored = StoredReportBytes(StoredReport(kCrcA, u"first"));
    std::u16string otherVersion = StoredReport(kCrcA, u"x");
    otherVersion.replace(otherVersion.find(u"1.0"), 3, u"2.0");
    EXPECT_EQ(MergeStoredReports(stored, otherVersion, {}), stored);

    // The first 20 characters (address and crashed stack) decide by default; all 31 with 2.
    std::u16string sameStack = StoredReport(u"$00000001, $00000002, $00000099", u"y");
    EXPECT_EQ(MergeStoredReports(stored, sameStack, {}), "");
    ReportFileRules allStacks;
    allStacks.dupExceptDef = 2;
    std::u16string again = StoredReport(u"$00000001, $00000002, $00000099", u"y");
    EXPECT_EQ(MergeStoredReports(stored, again, allStacks), stored);
    ReportFileRules noDup;
    noDup.noDupExcepts = false;
    std::u16string same = StoredReport(kCrcA, u"z");
    EXPECT_EQ(MergeStoredReports(stored, same, noDup), stored);
    ReportFileRules overwrite;
    overwrite.append = false;
    EXPECT_EQ(MergeStoredReports(stored, same, overwrite), "");
}

TEST(ReportFileTest, AFileOverItsLimitLosesItsOldestWholeReports) {
    std::string stored;
    std::vector<std::string> reports;
    for (int i = 0; i < 10; ++i) {
        reports.push_back(StoredReportBytes(StoredReport(kCrcB, u"report " + DecimalText(i))));
        stored += reports.back();
    }
    ReportFileRules rules;
    rules.noDupExcepts = false;
    rules.sizeLimit = static_cast<std::int64_t>(reports[0].size() * 4);
    std::u16string report = StoredReport(kCrcA, u"new");
    const std::string kept = MergeStoredReports(stored, report, rules);
    // What stays is below three quarters of the limit and made of the newest reports.
    EXPECT_LT(kept.size(), static_cast<std::size_t>(rules.sizeLimit - rules.sizeLimit / 4));
    EXPECT_EQ(kept, reports[8] + reports[9]);
    EXPECT_EQ(MergeStoredReports(kept, report, rules), kept);
}

TEST(ReportFileTest, PathsAreMadeAbsoluteFromTheProgramsFolderAndDrive) {
    const std::u16string program = u"C:\\Apps\\Sample\\app.exe";
    EXPECT_EQ(AbsolutePath(u"bugreport.txt", program), u"C:\\Apps\\Sample\\bugreport.txt");
    EXPECT_EQ(AbsolutePath(u"..\\logs\\.\\bug.txt", program), u"C:\\Apps\\logs\\bug.txt");
    EXPECT_EQ(AbsolutePath(u"\\logs\\bug.txt", program), u"C:\\logs\\bug.txt");
    EXPECT_EQ(AbsolutePath(u"D:\\x\\..\\bug.txt", program), u"D:\\bug.txt");
    EXPECT_EQ(AbsolutePath(u"\\\\server\\share\\bug.txt", program), u"\\\\server\\share\\bug.txt");
}

}  // namespace
}  // namespace brevant::crashreport
