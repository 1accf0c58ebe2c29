#include "crashreport/core/crash_exception.h"

#include "crashreport/core/exception_texts.h"
#include "crashreport/core/report_delivery.h"

namespace brevant::crashreport {

// {3A9D2C1E-6B7F-4E10-9C2D-1F0E5A6B7C81}
inline constexpr InterfaceId kCrashExceptionId = {
    0x3A9D2C1E, 0x6B7F, 0x4E10, {0x9C, 0x2D, 0x1F, 0x0E, 0x5A, 0x6B, 0x7C, 0x81}};

RefPtr<CrashException> CrashException::Create(SettingsHost& host, ModuleHandle module, CrashExceptionFacts facts) {
    return RefPtr<CrashException>::Adopt(new CrashException(host, module, std::move(facts)));
}

CrashException::CrashException(SettingsHost& host, ModuleHandle module, CrashExceptionFacts facts)
    : CrashSettings(host, module), facts_(std::move(facts)), canContinue_(facts_.canContinue) {
    overlay_.module = module;
    const ClassMatcher matchesNothing = [](std::u16string_view) { return false; };
    filters_ = ApplyFilters(*this, facts_.object.isOrDerives ? facts_.object.isOrDerives : matchesNothing);
    SetSuspendThreads(filters_.pauseThreads);
    appendScreenShot_ = filters_.createScreenShot;
}

std::int32_t CrashException::QueryInterface(const InterfaceId& id, void** object) {
    if (id == kCrashExceptionId) {
        *object = static_cast<ICrashException*>(this);
        AddRef();
        return kInterfaceFound;
    }
    return CrashSettings::QueryInterface(id, object);
}

std::optional<SettingsProperty> CrashException::FindProp(std::string_view name, bool useDefaults) {
    {
        std::lock_guard guard(overlay_.valuesLock);
        if (const SettingsProperty* own = FindBlockProperty(overlay_, name)) return *own;
    }
    return CrashSettings::FindProp(name, useDefaults);
}

void CrashException::SetPhase(TExceptPhase phase) {
    if (phase == TExceptPhase::epPostProcessing && complete_) phase = TExceptPhase::epCompleteReport;
    phase_ = phase;
}

void CrashException::ReportCompleted() {
    std::lock_guard guard(hookLock_);
    complete_ = true;
    RunCompletionHookIfDue();
}

void CrashException::SetCompletionHook(std::function<void()> hook) {
    std::lock_guard guard(hookLock_);
    completionHook_ = std::move(hook);
    RunCompletionHookIfDue();
}

// Under hookLock_; the hook leaves post-processing, so it runs once.
void CrashException::RunCompletionHookIfDue() {
    if (completionHook_ && complete_ && phase_ == TExceptPhase::epPostProcessing) completionHook_();
}

std::u16string CrashException::GetExceptClass() {
    std::lock_guard guard(textLock_);
    if (cachedClass_.empty())
        cachedClass_ = facts_.type == TExceptType::etFrozen ? u"EFrozen" : facts_.object.className;
    if (cachedClass_.empty()) cachedClass_ = u"Unknown";
    return cachedClass_;
}

std::u16string CrashException::GetExceptMessage() {
    {
        std::lock_guard guard(textLock_);
        if (messageSet_) return cachedMessage_;
    }
    std::u16string message = facts_.type == TExceptType::etFrozen
                                 ? GetFrozenMsg()
                                 : WithFinalFullStop(CleanedMessageText(facts_.object.message));
    std::lock_guard guard(textLock_);
    if (!messageSet_) {
        cachedMessage_ = std::move(message);
        messageSet_ = true;
    }
    return cachedMessage_;
}

void CrashException::SetExceptMessage(const std::u16string& message) {
    std::lock_guard guard(textLock_);
    cachedMessage_ = message;
    messageSet_ = true;
}

std::uint32_t CrashException::GetCallstackCrc(int index) {
    BugReport* report = Report();
    return report ? report->GetCallstackCrc(index) : 0;
}

BugReport* CrashException::Report() {
    std::call_once(reportOnce_, [this] {
        if (ReportPlatform* platform = TheReportPlatform()) report_ = std::make_unique<BugReport>(*this, *platform);
    });
    return report_.get();
}

std::recursive_mutex& BugReportCallbackLock() {
    static auto* lock = new std::recursive_mutex;
    return *lock;
}

std::u16string CrashException::GetBugReport() {
    if (BugReport* report = Report()) return report->GetBugReport(true, kWaitForever);
    std::uint64_t count = 0;
    return CachedReportText(count);
}

std::u16string CrashException::CurrentReportText() {
    if (BugReport* report = Report()) return report->GetBugReport(false, 0);
    std::uint64_t count = 0;
    return CachedReportText(count);
}

std::u16string CrashException::CachedReportText(std::uint64_t& changeCount) {
    std::lock_guard guard(textLock_);
    changeCount = changeCount_;
    return bugReport_;
}

void CrashException::SetBugReport(const std::u16string& report) {
    {
        std::lock_guard guard(textLock_);
        bugReport_ = report;
    }
    FireReportChange();
}

void CrashException::RegisterBugReportCallback(BugReportCallback callback, bool critical) {
    if (!callback) return;
    {
        std::lock_guard guard(BugReportCallbackLock());
        for (RegisteredCallback& registered : callbacks_) {
            if (registered.callback == callback) {
                registered.critical = critical;  // known already: only the flag changes
                return;
            }
        }
        callbacks_.push_back({callback, critical});
        multiThreadedComplete_ = true;
    }
    callback(complete_, CurrentReportText(), this);
}

void CrashException::UnregisterBugReportCallback(BugReportCallback callback) {
    std::lock_guard guard(BugReportCallbackLock());
    for (auto it = callbacks_.begin(); it != callbacks_.end(); ++it) {
        if (it->callback == callback) {
            callbacks_.erase(it);
            return;
        }
    }
}

bool CrashException::CriticalBugReportCallbackExists() {
    std::lock_guard guard(BugReportCallbackLock());
    for (const RegisteredCallback& registered : callbacks_)
        if (registered.critical) return true;
    return false;
}

// The callbacks are called outside the lock, on a copy, so that they may register others.
void CrashException::FireReportChange() {
    std::vector<RegisteredCallback> copy;
    {
        std::lock_guard guard(BugReportCallbackLock());
        copy = callbacks_;
    }
    if (copy.empty()) return;
    const std::u16string text = CurrentReportText();
    for (const RegisteredCallback& registered : copy) {
        try {
            registered.callback(complete_, text, this);
        } catch (...) {
            // A failing callback does not keep the others from the change.
        }
    }
}

void CrashException::BeginUpdate() {
    ++updating_;
}

void CrashException::EndUpdate() {
    if (--updating_ == 0 && dirty_) ReportModified();
}

void CrashException::ReportModified() {
    if (updating_ > 0) {
        dirty_ = true;
        return;
    }
    dirty_ = false;
    {
        std::lock_guard guard(textLock_);
        ++changeCount_;
        bugReport_.clear();
    }
    FireReportChange();
}

std::uint64_t CrashException::ReportChangeCount() {
    std::lock_guard guard(textLock_);
    return changeCount_;
}

void CrashException::CacheReportText(const std::u16string& text, std::uint64_t countAtStart) {
    std::lock_guard guard(textLock_);
    if (changeCount_ == countAtStart) bugReport_ = text;
}

RefPtr<INVBitmap> CrashException::ScreenShot() {
    std::lock_guard guard(deliveryLock_);
    if (!screenShotTaken_ && filters_.createScreenShot) {
        screenShotTaken_ = true;
        if (DeliveryPlatform* platform = TheDeliveryPlatform()) screenShot_ = platform->CaptureScreen(GetScreenShotAppOnly());
        if (!screenShot_) filters_.createScreenShot = false;
    }
    return screenShot_;
}

void CrashException::SetScreenShot(INVBitmap* picture) {
    std::lock_guard guard(deliveryLock_);
    screenShotTaken_ = true;
    screenShot_ = RefPtr<INVBitmap>(picture);
}

void CrashException::SendBugReport(void* parentWindow) {
    if (DeliveryPlatform* platform = TheDeliveryPlatform()) crashreport::SendBugReport(*platform, *this, parentWindow);
}

void CrashException::SaveBugReport(void* parentWindow) {
    if (DeliveryPlatform* platform = TheDeliveryPlatform()) crashreport::SaveBugReport(*platform, *this, parentWindow);
}

void CrashException::PrintBugReport(void* parentWindow) {
    if (DeliveryPlatform* platform = TheDeliveryPlatform()) crashreport::PrintBugReport(*platform, *this, parentWindow);
}

void CrashException::SetSendThread(std::unique_ptr<BackgroundWork> thread) {
    std::lock_guard guard(deliveryLock_);
    sendThread_ = std::move(thread);
}

void CrashException::WaitForSendThread() {
    std::unique_ptr<BackgroundWork> thread;
    {
        std::lock_guard guard(deliveryLock_);
        thread = std::move(sendThread_);
    }
    if (thread) thread->Wait(kWaitForever);
}

ExceptionPlaceholderTexts CrashException::PlaceholderTexts() {
    return {GetExceptClass(), u"%errorDetails%", u"%bugReport%", GetExceptMessage()};
}

}  // namespace brevant::crashreport
