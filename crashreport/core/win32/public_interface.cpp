// The rest of the public header: a report of the running process and the main settings.
#include "crashreport/core/win32/exception_objects.h"
#include "crashreport/core/win32/settings_lookup.h"
#include "crashreport/core/win32/win32_settings_host.h"
#include "crashreport/crash_reporter.h"

namespace brevant::crashreport {

std::u16string CurrentStateReport() {
    try {
        RefPtr<CrashSettings> settings = SettingsForCaller();
        if (!settings || !settings->IsValid()) return {};
        CrashExceptionFacts facts;
        facts.type = TExceptType::etFrozen;
        facts.canContinue = true;
        facts.crashedThreadId = GetCurrentThreadId();
        RefPtr<CrashException> exc = CrashException::Create(ProcessSettingsHost(), settings->Module(), std::move(facts));
        exc->SetShowPleaseWaitBox(false);
        exc->SetListThreads(true);
        return exc->GetBugReport();
    } catch (...) {
        return {};
    }
}

ICrashModuleSettings* MainSettings() {
    return CrashSettings::MainSettings().get();
}

}  // namespace brevant::crashreport
