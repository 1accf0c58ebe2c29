#pragma once
// The bug report of one exception: its header and section lists, filled at once with what is
// cheap and placeholders for the rest, completed (stacks, listings, plug-ins) in a thread of
// its own, and rendered into one text on demand.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "crashreport/core/report_platform.h"
#include "crashreport/core/thread_blocks.h"
#include "crashreport/report/crash_fields.h"

namespace brevant::crashreport {

class CrashException;

class BugReport {
public:
    BugReport(CrashException& exc, ReportPlatform& platform);
    ~BugReport();

    // Filled on first use (when the exception wants a report).
    ICrashFields& GetBugReportHeader();
    // Filled on first use, which also starts the completion.
    ICrashFields& GetBugReportSections();
    // The rendered text; with mustBeComplete it waits (up to the timeout) for the completion.
    std::u16string GetBugReport(bool mustBeComplete, std::uint32_t timeoutMilliseconds);
    void CompleteBugReport();

    bool IsComplete() const { return complete_; }
    std::uint32_t GetCallstackCrc(int index) const;
    std::uint32_t GetThreadId(int index);
    TStackTrace GetCallstack(int index);
    // Completion stops at its next step; what is done stays, the rest keeps its placeholders.
    void AbortCompletion() { abort_ = true; }
    void SetDontCompleteYet(bool value) { dontCompleteYet_ = value; }
    void SetMultiThreadedComplete(bool value) { multiThreadedComplete_ = value; }

    void SetSectionText(std::u16string_view title, std::u16string_view newTitle, std::u16string_view content);

private:
    std::vector<CrashField> GatherSections();
    void CollectThreadBlocks(std::vector<CrashField>& sections);
    void StartCompletion();
    void CompleteThreadBlocks();
    void CompleteCpuSections(std::uintptr_t functionStart, std::uintptr_t codeAddress);
    void CompletePluginSections();
    void FinishHeader();
    std::u16string Guarded(std::u16string_view step, const std::function<std::u16string()>& make);
    void AddDebugInfo(const std::vector<std::u16string>& pairs);
    bool Aborted() const { return abort_; }

    CrashException& exc_;
    ReportPlatform& platform_;
    RefPtr<CrashFields> header_;
    RefPtr<CrashFields> sections_;
    std::unique_ptr<ThreadBlocks> blocks_;
    std::unique_ptr<BackgroundWork> completion_;
    std::recursive_mutex fillLock_;
    std::mutex completeLock_;
    std::atomic<bool> complete_{false};
    std::atomic<bool> abort_{false};
    std::atomic<bool> dontCompleteYet_{false};
    bool multiThreadedComplete_ = false;
    bool headerFilled_ = false, sectionsFilled_ = false;
    std::uint32_t crc_[3] = {0, 0, 0};
    std::vector<std::u16string> debugInfo_;  // "module|text", in collection order
};

// The report text of a process-wide report without exception (the outside trace tool's).
void SetReportPlatform(ReportPlatform* platform);
ReportPlatform* TheReportPlatform();

}  // namespace brevant::crashreport
