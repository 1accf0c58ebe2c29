#include "crashreport/core/bug_report.h"

#include "base/utf16_text.h"
#include "crashreport/core/crash_exception.h"
#include "crashreport/report/report_formats.h"
#include "crashreport/report/report_header.h"
#include "crashreport/report/report_plugins.h"
#include "crashreport/report/report_text.h"
#include "crashreport/stack/callstack_crc.h"

namespace brevant::crashreport {

namespace {

constexpr char16_t kSectionPlaceholder[] = u">> will be calculated soon";

// Counts the reports of the process; the first one is number 1.
std::uint64_t exceptionNumber = 0;
std::atomic<ReportPlatform*> reportPlatform{nullptr};

void AddInOneBatch(CrashFields& list, const std::vector<CrashField>& pairs, int addIndex) {
    CrashFieldsBatch batch(list);
    list.AcceptData();
    try {
        for (const CrashField& pair : pairs) list.Add(pair.name, pair.content);
    } catch (...) {
        // A failing pair ends the batch; what was added stays.
    }
    list.SetAddIndex(addIndex);
}

// Holds the exception's update bracket, so that a batch of changes is announced once.
class UpdateBracket {
public:
    explicit UpdateBracket(CrashException& exc) : exc_(exc) { exc_.BeginUpdate(); }
    ~UpdateBracket() { exc_.EndUpdate(); }

private:
    CrashException& exc_;
};

}  // namespace

void SetReportPlatform(ReportPlatform* platform) {
    reportPlatform = platform;
}

ReportPlatform* TheReportPlatform() {
    return reportPlatform;
}

BugReport::BugReport(CrashException& exc, ReportPlatform& platform)
    : exc_(exc),
      platform_(platform),
      header_(CrashFields::Create(&exc)),
      sections_(CrashFields::Create(&exc)),
      blocks_(std::make_unique<ThreadBlocks>(
          platform, ThreadBlockSettings{exc.GetListThreads(), exc.GetHideUglyItems(), exc.GetShowRelativeAddrs(),
                                        exc.GetShowRelativeLines()})) {}

BugReport::~BugReport() {
    header_->ClearExcParent();
    sections_->ClearExcParent();
}

ICrashFields& BugReport::GetBugReportHeader() {
    std::lock_guard guard(fillLock_);
    if (headerFilled_ || !exc_.GetCreateBugReport()) return *header_;
    headerFilled_ = true;
    ReportHeaderFacts facts;
    try {
        facts = platform_.MachineFacts();
    } catch (...) {
        // The exception's own lines come all the same.
    }
    facts.exceptionNumber = ++exceptionNumber;
    facts.frozen = exc_.GetExceptType() == TExceptType::etFrozen;
    facts.frozenMessage = exc_.GetFrozenMsg();
    facts.exceptionClass = exc_.GetExceptClass();
    facts.exceptionMessage = exc_.GetExceptMessage();
    for (const ReportPlugin& plugin : SelectReportPlugins(exc_.GetPropStr("Plugins"), false)) {
        try {
            facts.headerPlugins.push_back({plugin.name, CallReportPlugin(plugin, &exc_)});
        } catch (...) {
            // A failing plug-in is left out.
        }
    }
    const HeaderFields fields = ComposeHeaderFields(facts);
    AddInOneBatch(*header_, fields.fields, fields.addIndex);
    return *header_;
}

ICrashFields& BugReport::GetBugReportSections() {
    std::lock_guard guard(fillLock_);
    if (sectionsFilled_ || !exc_.GetCreateBugReport()) return *sections_;
    sectionsFilled_ = true;
    AddInOneBatch(*sections_, GatherSections(), 0);
    if (!dontCompleteYet_) StartCompletion();
    return *sections_;
}

std::vector<CrashField> BugReport::GatherSections() {
    std::vector<CrashField> sections;
    try {
        CollectThreadBlocks(sections);
    } catch (...) {
        // The other sections come all the same.
    }
    for (const ReportPlugin& plugin : SelectReportPlugins(exc_.GetPropStr("Plugins"), true)) {
        sections.push_back({plugin.name, kSectionPlaceholder});
    }
    const bool hasContext = !exc_.Facts().context.empty();
    if (exc_.GetShowCpuRegisters() && hasContext) sections.push_back({u"cpu registers", kSectionPlaceholder});
    if (exc_.GetShowStackDump() && hasContext) sections.push_back({u"stack dump", kSectionPlaceholder});
    if (exc_.GetShowDisAsm() && platform_.DisassemblerAvailable()) {
        sections.push_back({u"disassembling", kSectionPlaceholder});
    }
    return sections;
}

void BugReport::CollectThreadBlocks(std::vector<CrashField>& sections) {
    const CrashExceptionFacts& facts = exc_.Facts();
    const bool frozen = facts.type == TExceptType::etFrozen;
    const std::vector<std::uint32_t> threads =
        exc_.GetListThreads() ? platform_.ListProcessThreads() : std::vector<std::uint32_t>{};
    const std::uint32_t mainThread = platform_.MainThreadId();
    const std::vector<std::uint32_t> reporterThreads = platform_.ReporterThreadIds();

    if (frozen) {
        blocks_->AddThreadBlock(mainThread, false, sections);
    } else {
        const ClassMatcher& derives = facts.object.isOrDerives;
        ExceptionBlockFacts crashed;
        crashed.threadId = facts.crashedThreadId;
        crashed.extException = derives && derives(u"EExternal");
        crashed.bcbTermination = derives && derives(u"BcbTermination");
        crashed.context = &facts.context;
        crashed.stackPointer = facts.stackPointer;
        crashed.framePointer = facts.framePointer;
        crashed.preparedStack = facts.preparedStack;
        crashed.exceptAddr = facts.address;
        blocks_->AddExceptionBlock(crashed, sections);
        int level = 0;
        for (const InnerExceptionInfo& inner : facts.inner) {
            ExceptionBlockFacts block = crashed;
            block.innerLevel = ++level;
            block.innerClass = inner.exceptClass;
            block.innerMessage = inner.exceptMessage;
            block.extException = inner.extException;
            block.bcbTermination = inner.bcbTermination;
            block.preparedStack.clear();
            block.exceptAddr = inner.exceptAddr;
            blocks_->AddExceptionBlock(block, sections);
        }
        if (facts.crashedThreadId != mainThread) blocks_->AddThreadBlock(mainThread, false, sections);
    }
    for (std::uint32_t thread : threads) {
        if ((thread == facts.crashedThreadId && !frozen) || thread == mainThread) continue;
        if (std::find(reporterThreads.begin(), reporterThreads.end(), thread) != reporterThreads.end()) continue;
        blocks_->AddThreadBlock(thread, false, sections);
    }
}

void BugReport::StartCompletion() {
    if ((multiThreadedComplete_ || platform_.IsHandlingThread()) && !platform_.LoaderLockHeld()) {
        RefPtr<CrashException> keepAlive(&exc_);
        completion_ = platform_.StartCompletionThread([this, keepAlive] { CompleteBugReport(); });
        if (completion_) return;
    }
    CompleteBugReport();
}

std::u16string BugReport::Guarded(std::u16string_view step, const std::function<std::u16string()>& make) {
    try {
        return make();
    } catch (...) {
        return blocks_->InternalFailureText(step);
    }
}

void BugReport::AddDebugInfo(const std::vector<std::u16string>& pairs) {
    for (const std::u16string& pair : pairs) {
        if (std::find(debugInfo_.begin(), debugInfo_.end(), pair) == debugInfo_.end()) debugInfo_.push_back(pair);
    }
}

void BugReport::CompleteBugReport() {
    std::lock_guard guard(completeLock_);
    if (complete_) return;
    try {
        if (!exc_.GetListThreads()) blocks_->KeepExceptionThreadOnly();
        CompleteThreadBlocks();
        if (!Aborted()) FinishHeader();
    } catch (...) {
        // Whatever was completed stays; the rest keeps its placeholders.
    }
}

void BugReport::CompleteThreadBlocks() {
    const CrashExceptionFacts& facts = exc_.Facts();
    const bool hasContext = !facts.context.empty() && facts.type != TExceptType::etFrozen;
    std::uintptr_t functionStart = 0, codeAddress = 0;
    if (blocks_->Count() > 0 && !Aborted()) {
        const ThreadReport block0 = blocks_->GetThreadReport(0, hasContext ? &facts.context : nullptr, &abort_);
        crc_[0] = block0.firstValue;
        crc_[1] = block0.blockCrc;
        crc_[2] = crc_[1];
        functionStart = block0.functionStart;
        codeAddress = block0.codeAddress;
        AddDebugInfo(block0.debugInfoPairs);
        SetSectionText(blocks_->Record(0).threadName, {}, block0.text);
    }
    if (Aborted()) return;
    CompleteCpuSections(functionStart, codeAddress);
    if (Aborted()) return;
    CompletePluginSections();
    const int innerCount = static_cast<int>(facts.inner.size());
    for (std::size_t i = 1; i < blocks_->Count() && !Aborted(); ++i) {
        const ThreadReport block = blocks_->GetThreadReport(i, nullptr, &abort_);
        if (block.hasLine) crc_[2] = CrcStepValue(crc_[2], block.blockCrc);
        AddDebugInfo(block.debugInfoPairs);
        SetSectionText(blocks_->Record(i).threadName, {}, block.text);
        const TThreadStack& record = blocks_->Record(i);
        if (exc_.GetShowDisAsm() && platform_.DisassemblerAvailable() && record.innerExceptNo > 0 &&
            record.innerExceptNo == innerCount) {
            SetSectionText(u"disassembling", {}, Guarded(u"GetCleartextDisAsm", [&] {
                               return platform_.Disassembly(block.functionStart, block.codeAddress,
                                                            exc_.GetFormatDisassembly(), exc_.GetLimitDisassembly());
                           }));
        }
    }
}

void BugReport::CompleteCpuSections(std::uintptr_t functionStart, std::uintptr_t codeAddress) {
    const CrashExceptionFacts& facts = exc_.Facts();
    const std::vector<std::uint8_t>& context = facts.inner.empty() ? facts.context : facts.inner.back().context;
    if (exc_.GetShowCpuRegisters() && !context.empty()) {
        SetSectionText(u"cpu registers", {},
                       Guarded(u"GetCpuRegisters", [&] { return platform_.CpuRegisters(context); }));
    }
    if (exc_.GetShowStackDump() && !context.empty()) {
        SetSectionText(u"stack dump", {}, Guarded(u"GetStackDump", [&] { return platform_.StackDump(context); }));
    }
    if (facts.inner.empty() && exc_.GetShowDisAsm() && platform_.DisassemblerAvailable()) {
        SetSectionText(u"disassembling", {}, Guarded(u"GetCleartextDisAsm", [&] {
                           return platform_.Disassembly(functionStart, codeAddress, exc_.GetFormatDisassembly(),
                                                        exc_.GetLimitDisassembly());
                       }));
    }
}

void BugReport::CompletePluginSections() {
    for (const ReportPlugin& plugin : SelectReportPlugins(exc_.GetPropStr("Plugins"), true)) {
        if (Aborted()) return;
        SetSectionText(plugin.name, {}, Guarded(u"plugin", [&] { return CallReportPlugin(plugin, &exc_); }));
    }
}

void BugReport::FinishHeader() {
    {
        UpdateBracket bracket(exc_);
        ICrashFields& header = GetBugReportHeader();
        header.SetContent(u"callstack crc", CallstackCrcText(crc_));
        for (const std::u16string& pair : debugInfo_) {
            const std::size_t bar = pair.find(u'|');
            if (bar == std::u16string::npos) continue;
            header.SetContent(pair.substr(0, bar) + u".qrx", pair.substr(bar + 1));
        }
        complete_ = true;
        // Inside the bracket: the change that ends it tells the callbacks the report is complete.
        exc_.MarkReportComplete();
    }
    exc_.ReportCompleted();
}

void BugReport::SetSectionText(std::u16string_view title, std::u16string_view newTitle, std::u16string_view content) {
    if (Aborted()) return;
    UpdateBracket bracket(exc_);
    sections_->SetContent(title, content);
    if (!content.empty() && !newTitle.empty()) {
        const int index = sections_->FindItem(title);
        if (index >= 0) sections_->SetItem(index, newTitle);
    }
}

std::uint32_t BugReport::GetCallstackCrc(int index) const {
    return index >= 0 && index < 3 ? crc_[index] : 0;
}

std::uint32_t BugReport::GetThreadId(int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= blocks_->Count()) return 0;
    return blocks_->Record(index).tid;
}

TStackTrace BugReport::GetCallstack(int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= blocks_->Count()) return {};
    return blocks_->Record(index).callstack;
}

std::u16string BugReport::GetBugReport(bool mustBeComplete, std::uint32_t timeoutMilliseconds) {
    std::uint64_t countAtStart = 0;
    const std::u16string cached = exc_.CachedReportText(countAtStart);
    const bool create = exc_.GetCreateBugReport();
    if (!((create && cached.empty()) || (mustBeComplete && !complete_))) return cached;
    if (!create) return cached;

    ICrashFields& header = GetBugReportHeader();
    ICrashFields& sections = GetBugReportSections();
    if (!complete_ && mustBeComplete) {
        if (dontCompleteYet_) {
            dontCompleteYet_ = false;
            CompleteBugReport();
        } else if (completion_ && !platform_.LoaderLockHeld()) {
            completion_->Wait(timeoutMilliseconds);
        }
    }
    const std::u16string text = RenderHeader(header) + RenderSections(sections);
    exc_.CacheReportText(text, countAtStart);
    return text;
}

}  // namespace brevant::crashreport
