// The report of one exception over a scripted process: blocks in their order, placeholders
// until completion, the crc values, plug-ins and the rendered text.

#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>

#include <map>
#include <set>

#include "base/number_text.h"
#include "base/utf16_text.h"

#include "crashreport/core/bug_report.h"
#include "crashreport/core/crash_exception.h"
#include "crashreport/report/report_plugins.h"
#include "crashreport/report/report_text.h"
#include "crashreport/stack/callstack_crc.h"
#include "scripted_settings.h"

namespace brevant::crashreport {
namespace {

constexpr std::uint32_t kMain = 0x100, kCrashed = 0x200, kWorker = 0x300, kHandling = 0x400, kHidden = 0x500;

class ScriptedProcess : public ReportPlatform {
public:
    ReportHeaderFacts MachineFacts() override {
        ReportHeaderFacts facts;
        facts.computerName = u"HOST";
        facts.compiledWith = u"GCC";
        return facts;
    }
    std::vector<std::uint32_t> ListProcessThreads() override { return {kMain, kCrashed, kHandling, kWorker, kHidden}; }
    std::uint32_t MainThreadId() override { return kMain; }
    std::vector<std::uint32_t> ReporterThreadIds() override { return {kHandling}; }
    ThreadIdentity DescribeThread(std::uint32_t id, bool includeInternal) override {
        if (id == kHidden && !includeInternal) return {};
        if (id == kMain) return {u"main thread ($100)"};
        ThreadIdentity identity{u"thread $" + DecimalText(id)};
        if (id == kWorker) identity.creatorAddress = 0xC0DE, identity.creatorThreadId = kMain;
        return identity;
    }
    std::optional<ThreadState> ReadThreadState(std::uint32_t id, std::uintptr_t knownStackPointer) override {
        knownStackPointers[id] = knownStackPointer;
        if (unreadable.count(id)) return std::nullopt;
        ThreadState state{0x1000 * id, 0x1000 * id + 0x800, 0, 0x1000 * id + 0x10, 0, false};
        if (id == kWorker) state.priority = 2, state.suspended = true;
        return state;
    }
    std::optional<ContextPointers> PointersOf(const std::vector<std::uint8_t>& context) override {
        return ContextPointers{context.size() * 0x10u, 0, 0};
    }
    std::uintptr_t RegionEnd(std::uintptr_t address) override { return address + 0x100; }
    WalkResult WalkStack(const WalkRequest& request) override {
        walks.push_back(request);
        WalkResult result;
        const std::uintptr_t at = request.exceptAddr ? request.exceptAddr : request.stackBottom;
        result.text = u"line at " + DecimalText(static_cast<std::int64_t>(at)) + u"\r\ncreator line";
        result.firstValue = static_cast<std::uint32_t>(at);
        result.blockCrc = static_cast<std::uint32_t>(at) + 1;
        result.hasLine = request.stackBottom != 0x1000 * kMain;
        result.functionStart = 0xF000;
        result.codeAddress = 0xF010;
        result.innermostAddr = request.exceptAddr ? request.exceptAddr - 1 : 0;
        result.debugInfoPairs = {u"app.exe|info"};
        return result;
    }
    std::u16string FormatCodeAddress(std::uintptr_t address, bool, bool) override {
        return u"at " + DecimalText(static_cast<std::int64_t>(address));
    }
    std::uintptr_t CurrentExceptionAddress() override { return 0; }
    std::u16string CpuRegisters(const std::vector<std::uint8_t>&) override { return u"eax = 00000000"; }
    std::u16string StackDump(const std::vector<std::uint8_t>&) override { return u"0019f5a8  00"; }
    bool DisassemblerAvailable() override { return true; }
    std::u16string Disassembly(std::uintptr_t start, std::uintptr_t address, bool, int) override {
        disassembled = {start, address};
        return u"listing";
    }
    bool IsHandlingThread() override { return false; }
    bool LoaderLockHeld() override { return false; }
    std::unique_ptr<BackgroundWork> StartCompletionThread(std::function<void()>) override { return nullptr; }

    std::set<std::uint32_t> unreadable;
    std::map<std::uint32_t, std::uintptr_t> knownStackPointers;  // the last read of each thread
    std::vector<WalkRequest> walks;
    std::pair<std::uintptr_t, std::uintptr_t> disassembled;
};

std::u16string SectionPlugin() {
    return u"plugin text";
}
std::string EmptyPlugin() {
    return "";
}
std::u16string FailingPlugin(ICrashException*) {
    throw std::runtime_error("fails");
}
std::string HeaderPlugin(ICrashException*) {
    return "header value";
}

class BugReportTest : public ::testing::Test {
protected:
    void SetUp() override {
        host.streams[ScriptedHost::kProgram] = ShippedSettingsStream();
        SetReportPlatform(&process);
        AddReportPlugin(u"sectionplugin", u"", SectionPlugin, true);
        AddReportPlugin(u"emptyplugin", u"", EmptyPlugin, true);
        AddReportPlugin(u"failingplugin", u"", FailingPlugin, true);
        AddReportPlugin(u"headerplugin", u"", HeaderPlugin, false);
    }
    void TearDown() override {
        for (auto name : {u"sectionplugin", u"emptyplugin", u"failingplugin", u"headerplugin"}) RemoveReportPlugin(name);
        SetReportPlatform(nullptr);
        CrashSettings::SetMainSettings(nullptr);
    }
    RefPtr<CrashException> Exception(TExceptType type = TExceptType::etNormal) {
        CrashExceptionFacts facts;
        facts.type = type;
        facts.object.className = u"EAccessViolation";
        facts.object.message = u"Access violation at address 00401000";
        facts.object.isOrDerives = [](std::u16string_view name) { return name == u"EExternal"; };
        facts.address = 0x401000;
        facts.crashedThreadId = kCrashed;
        facts.context.assign(16, 0);
        auto exc = CrashException::Create(host, ScriptedHost::kProgram, facts);
        exc->SetPropStr("Plugins", u"SectionPlugin|unknown|emptyplugin|failingplugin|headerplugin");
        return exc;
    }

    ScriptedHost host;
    ScriptedProcess process;
};

TEST_F(BugReportTest, BlocksComeInTheirOrderWithTitlesAndInternalThreadsLeftOut) {
    auto exc = Exception();
    exc->Report()->SetDontCompleteYet(true);
    ICrashFields& sections = exc->Report()->GetBugReportSections();
    std::vector<std::u16string> names;
    for (int i = 0; i < sections.GetItemCount(); ++i) names.push_back(sections.GetItem(i));
    const std::vector<std::u16string> expected = {u"thread $512:", u"main thread ($100):",
                                                  u"thread $768: <suspended> <priority:2>",
                                                  u"sectionplugin", u"emptyplugin", u"failingplugin",
                                                  u"cpu registers", u"stack dump", u"disassembling"};
    EXPECT_EQ(names, expected);
    EXPECT_EQ(sections.GetContent(u"thread $512:"), u"at 4198400\r\n>> stack will be calculated soon");
    EXPECT_EQ(sections.GetContent(u"main thread ($100):"), u">> stack will be calculated soon");
    EXPECT_EQ(sections.GetContent(u"cpu registers"), u">> will be calculated soon");
    const std::u16string partial = exc->Report()->GetBugReport(false, 0);
    EXPECT_EQ(ReadReportHeaderField(partial, u"callstack crc"), u"will be calculated soon");
    EXPECT_EQ(ReadReportHeaderField(partial, u"headerplugin"), u"header value");
}

TEST_F(BugReportTest, CompletionReplacesEveryPlaceholderAndSetsTheCrcValues) {
    auto exc = Exception();
    const std::u16string report = exc->GetBugReport();
    EXPECT_TRUE(exc->ReportComplete());
    EXPECT_EQ(report.find(u"will be calculated soon"), std::u16string::npos);
    // The crashed thread is walked from the exception context's stack pointer.
    ASSERT_EQ(process.walks.size(), 3u);
    EXPECT_EQ(process.walks[0].stackBottom, 0x100u);
    EXPECT_TRUE(process.walks[0].exceptThread);
    EXPECT_TRUE(process.walks[0].extException);
    EXPECT_EQ(process.walks[2].creatorAddr, 0xC0DEu);
    // It waits for its handling, so it is read with that stack pointer and never stopped; the others are.
    EXPECT_EQ(process.knownStackPointers[kCrashed], 0x100u);
    EXPECT_EQ(process.knownStackPointers[kMain], 0u);
    EXPECT_EQ(process.knownStackPointers[kWorker], 0u);

    const std::uint32_t value0 = 0x401000, value1 = 0x401001;
    // Only the worker has lines (the scripted main thread has none), so only it extends value 2.
    const std::uint32_t value2 = CrcStepValue(value1, 0x1000 * kWorker + 1);
    EXPECT_EQ(exc->GetCallstackCrc(0), value0);
    EXPECT_EQ(exc->GetCallstackCrc(1), value1);
    EXPECT_EQ(exc->GetCallstackCrc(2), value2);
    EXPECT_EQ(exc->GetCallstackCrc(3), 0u);
    EXPECT_EQ(exc->GetCallstackCrc(-1), 0u);
    EXPECT_EQ(ReadReportHeaderField(report, u"callstack crc"), u"$00401000, $00401001, $" + AddressHex(value2, 8));
    EXPECT_EQ(ReadReportHeaderField(report, u"app.exe.qrx"), u"info");

    EXPECT_EQ(ReadReportSection(report, u"thread $768"),
              u" <suspended> <priority:2>\r\nline at 3145728\r\n>> created by main thread ($100) at:\r\ncreator line");
    EXPECT_EQ(ReadReportSection(report, u"sectionplugin"), u"\r\nplugin text");
    EXPECT_EQ(report.find(u"emptyplugin"), std::u16string::npos);
    EXPECT_EQ(ReadReportSection(report, u"failingplugin"), u"\r\n>> internal error in plugin");
    EXPECT_EQ(ReadReportSection(report, u"disassembling"), u"\r\nlisting");
    EXPECT_EQ(process.disassembled, (std::pair<std::uintptr_t, std::uintptr_t>{0xF000, 0xF010}));
    EXPECT_EQ(exc->GetExceptAddr(), 0x401000u);
}

// Calls come from the completing thread too.
std::mutex completeCallsLock;
std::vector<std::pair<bool, bool>> completeCalls;  // complete, text without placeholders
void NoteCompleteness(bool complete, const std::u16string& report, ICrashException*) {
    std::lock_guard guard(completeCallsLock);
    completeCalls.push_back({complete, report.find(u"will be calculated soon") == std::u16string::npos});
}

TEST_F(BugReportTest, ACallbackLearnsOfTheCompleteReportWithItsLastChange) {
    completeCalls.clear();
    auto exc = Exception();
    exc->RegisterBugReportCallback(NoteCompleteness, true);
    exc->GetBugReport();
    std::lock_guard guard(completeCallsLock);
    EXPECT_NE(std::find(completeCalls.begin(), completeCalls.end(), std::make_pair(true, true)), completeCalls.end());
    EXPECT_EQ(std::find(completeCalls.begin(), completeCalls.end(), std::make_pair(true, false)), completeCalls.end());
}

TEST_F(BugReportTest, ReportsAreNumberedAndAThreadWithoutStateKeepsItsFallback) {
    process.unreadable.insert(kCrashed);
    auto first = Exception();
    auto second = Exception();
    const std::u16string one = first->GetBugReport(), two = second->GetBugReport();
    const int n = std::stoi(ToUtf8(ReadReportHeaderField(one, u"exception number")));
    EXPECT_EQ(ReadReportHeaderField(two, u"exception number"), DecimalText(n + 1));
    EXPECT_EQ(ReadReportSection(one, u"thread $512"),
              u"\r\n>> stack not accessible, exception location:\r\nat 4198400");
}

TEST_F(BugReportTest, WithoutListThreadsAFreezeReportShowsTheMainThreadOnly) {
    auto exc = Exception(TExceptType::etFrozen);
    exc->SetListThreads(false);
    const std::u16string report = exc->GetBugReport();
    EXPECT_EQ(ReadReportHeaderField(report, u"exception class"), u"");
    EXPECT_EQ(ReadReportHeaderField(report, u"exception message"), u"The application seems to be frozen.");
    EXPECT_NE(report.find(u"\r\n\r\nmain thread ($100):\r\n"), std::u16string::npos);
    EXPECT_EQ(report.find(u"thread $768"), std::u16string::npos);
    EXPECT_EQ(report.find(u"thread $512"), std::u16string::npos);
}

}  // namespace
}  // namespace brevant::crashreport
