#pragma once
// One handled exception: what is known of it, its own overlay of settings in front of its
// module's, its phase, the filter results and (once the report exists) its report.

#include <atomic>
#include <functional>
#include <memory>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "crashreport/core/bug_report.h"
#include "crashreport/core/crash_settings.h"
#include "crashreport/core/exception_filters.h"
#include "crashreport/crash_reporter.h"

namespace brevant::crashreport {

// What the handling knows of a thrown object: its texts and its class chain.
struct ExceptionObjectInfo {
    void* object = nullptr;
    std::u16string className;  // "Unknown" for an invalid or missing object
    std::u16string message;    // as the object holds it; cleaned when shown
    ClassMatcher isOrDerives;  // null: matches nothing
};

// An earlier exception of the crashed thread that was still pending.
struct InnerExceptionInfo {
    std::u16string exceptClass;
    std::u16string exceptMessage;
    bool extException = false;
    bool bcbTermination = false;
    std::uintptr_t exceptAddr = 0;
    std::vector<std::uint8_t> context;
};

struct CrashExceptionFacts {
    TExceptType type = TExceptType::etNormal;
    ExceptionObjectInfo object;
    std::uintptr_t address = 0;
    bool canContinue = true;
    std::uint32_t crashedThreadId = 0;
    std::uintptr_t stackPointer = 0;
    std::uintptr_t framePointer = 0;
    std::vector<std::uint8_t> context;   // the platform's CONTEXT; empty when none was given
    std::vector<std::uint8_t> osRecord;  // the platform's EXCEPTION_RECORD; zero when none
    TExceptSource source = TExceptSource::esManual;
    void* relatedObject = nullptr;
    std::uintptr_t package = 0;
    std::string preparedStack;
    std::vector<InnerExceptionInfo> inner;  // newest first
};

class CrashException final : public CrashSettings, public ICrashException, public ExceptionFieldsOwner {
public:
    // Creates the exception for the settings' module and applies the filters.
    static RefPtr<CrashException> Create(SettingsHost& host, ModuleHandle module, CrashExceptionFacts facts);

    std::int32_t QueryInterface(const InterfaceId& id, void** object) override;
    std::uint32_t AddRef() override { return CrashSettings::AddRef(); }
    std::uint32_t Release() override { return CrashSettings::Release(); }

    ICrashModuleSettings* Settings() override { return this; }
    TExceptPhase GetPhase() override { return phase_; }
    // Setting epPostProcessing while the report is complete gives epCompleteReport.
    void SetPhase(TExceptPhase phase);
    bool GetCanContinue() override { return canContinue_; }
    void SetCanContinue(bool value) override { canContinue_ = value && facts_.canContinue; }
    TExceptType GetExceptType() override { return facts_.type; }
    void* GetExceptObject() override { return facts_.object.object; }
    std::u16string GetExceptClass() override;
    std::u16string GetExceptMessage() override;
    void SetExceptMessage(const std::u16string& message) override;
    std::uintptr_t GetExceptAddr() override { return facts_.address; }
    std::uint32_t GetCrashedThreadId() override { return facts_.crashedThreadId; }
    std::uint32_t GetCallstackCrc(int index) override;
    TExceptSource GetSource() override { return facts_.source; }
    void* GetRelatedObject() override { return facts_.relatedObject; }
    std::uintptr_t GetPackage() override { return facts_.package; }
    std::u16string GetBugReport() override;
    void SetBugReport(const std::u16string& report) override;
    void RegisterBugReportCallback(BugReportCallback callback, bool critical) override;
    void UnregisterBugReportCallback(BugReportCallback callback) override;
    void BeginUpdate() override;
    void EndUpdate() override;
    bool CriticalBugReportCallbackExists();
    // Called by the parts that build the report when they changed it: drops the cached text
    // (counting the change) and tells the callbacks, or only notes the change while updating.
    void ReportModified();
    void SetModified() override { ReportModified(); }
    // The change counter: a text built while it moved is handed out but not cached.
    std::uint64_t ReportChangeCount();
    std::u16string CachedReportText(std::uint64_t& changeCount);
    void CacheReportText(const std::u16string& text, std::uint64_t countAtStart);
    // The exception's report, made on first use; null where no report can be built.
    BugReport* Report();
    // Marks the report complete; in post-processing this runs the completion hook.
    void ReportCompleted();
    // Only the mark, for the report's last change to carry it to the callbacks.
    void MarkReportComplete() { complete_ = true; }
    // Runs when the report becomes complete during post-processing (at once when it already
    // is); an empty hook clears it, waiting for a running one.
    void SetCompletionHook(std::function<void()> hook);
    bool GetCreateBugReport() override { return filters_.createBugReport; }
    void SetCreateBugReport(bool value) override { filters_.createBugReport = value; }
    bool GetCreateScreenShot() override { return filters_.createScreenShot; }
    void SetCreateScreenShot(bool value) override { filters_.createScreenShot = value; }
    bool GetCallHandlers() override { return filters_.callHandlers; }
    void SetCallHandlers(bool value) override { filters_.callHandlers = value; }
    bool GetAppendScreenShot() override { return appendScreenShot_; }
    void SetAppendScreenShot(bool value) override { appendScreenShot_ = value; }
    INVBitmap* GetScreenShot() override { return ScreenShot().get(); }
    void SetScreenShot(INVBitmap* picture) override;
    // The screenshot with a reference for the caller.
    RefPtr<INVBitmap> ScreenShot();
    void SendBugReport(void* parentWindow) override;
    void SaveBugReport(void* parentWindow) override;
    void PrintBugReport(void* parentWindow) override;
    // A running background send; a new one lets go of the earlier one's handle.
    void SetSendThread(std::unique_ptr<BackgroundWork> thread);
    // Waits without limit for a running background send and lets it go.
    void WaitForSendThread();
    ShowSetting GetShowSetting() override { return filters_.showSetting; }
    void SetShowSetting(ShowSetting value) override { filters_.showSetting = value; }
    std::u16string GetShowAssistant() override { return filters_.showAssistant; }
    void SetShowAssistant(const std::u16string& name) override { filters_.showAssistant = name; }

    const CrashExceptionFacts& Facts() const { return facts_; }
    // The exception's own PauseThreads value, as the filters left it.
    bool PausesThreads() { return GetSuspendThreads(); }
    bool ReportComplete() const { return complete_; }
    bool MailWasSent() const { return mailWasSent_; }
    void SetMailWasSent(bool sent) { mailWasSent_ = sent; }
    // The report went into the report file by the automatic save.
    bool MailWasSaved() const { return mailWasSaved_; }
    void SetMailWasSaved(bool saved) { mailWasSaved_ = saved; }
    // True only on the first call of each.
    bool FirstCompleteCallback() { return ++firstCompleteCallback_ == 0; }
    bool FirstAutoSave() { return ++firstAutoSave_ == 0; }

    std::optional<SettingsProperty> FindProp(std::string_view name, bool useDefaults) override;

private:
    CrashException(SettingsHost& host, ModuleHandle module, CrashExceptionFacts facts);

    ModuleSettingsBlock* BlockForWriting() override { return &overlay_; }
    ExceptionPlaceholderTexts PlaceholderTexts() override;
    bool ScreenshotsOff() override { return !filters_.createScreenShot; }

    CrashExceptionFacts facts_;
    ModuleSettingsBlock overlay_;
    std::atomic<TExceptPhase> phase_{TExceptPhase::epNotHandledYet};
    std::atomic<bool> canContinue_;
    FilterResult filters_;
    bool appendScreenShot_ = false;
    std::atomic<bool> complete_{false};
    std::once_flag reportOnce_;
    std::mutex hookLock_;
    std::function<void()> completionHook_;
    void RunCompletionHookIfDue();
    std::unique_ptr<BugReport> report_;
    std::mutex deliveryLock_;
    RefPtr<INVBitmap> screenShot_;
    bool screenShotTaken_ = false;
    std::unique_ptr<BackgroundWork> sendThread_;
    bool mailWasSent_ = false;
    bool mailWasSaved_ = false;
    std::atomic<std::int32_t> firstCompleteCallback_{-1};
    std::atomic<std::int32_t> firstAutoSave_{-1};
    void FireReportChange();
    // The report as far as it is made, without waiting for its completion.
    std::u16string CurrentReportText();

    std::mutex textLock_;
    std::u16string cachedClass_, cachedMessage_, bugReport_;
    bool messageSet_ = false;
    std::uint64_t changeCount_ = 0;
    std::atomic<std::int32_t> updating_{0};
    std::atomic<bool> dirty_{false};
    bool multiThreadedComplete_ = false;
    struct RegisteredCallback {
        BugReportCallback callback;
        bool critical;
    };
    std::vector<RegisteredCallback> callbacks_;
};

// The process-wide lock of the bug report callback lists, made on first use.
std::recursive_mutex& BugReportCallbackLock();

}  // namespace brevant::crashreport
