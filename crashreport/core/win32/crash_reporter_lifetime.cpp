// The crash reporter's start before the program's own code and its stop after it. This file
// is linked into every program that carries the crash reporter (not taken from a library), so
// that the start needs no call in the program.
#include <windows.h>

#include "crashreport/core/win32/crash_reporter_lifetime.h"
#include "crashreport/core/win32/dispatch_exception.h"
#include "crashreport/core/win32/emergency_reserve.h"
#include "crashreport/core/win32/freeze_watch.h"
#include "crashreport/core/win32/interception.h"
#include "crashreport/core/win32/module_calibration.h"
#include "crashreport/core/win32/request_processing.h"
#include "crashreport/delivery/win32/reporter_temp_folder.h"
#include "crashreport/delivery/win32/win32_delivery_platform.h"
#include "crashreport/core/win32/settings_lookup.h"
#include "crashreport/core/win32/sync_call.h"
#include "crashreport/core/win32/thread_hooks.h"
#include "crashreport/core/win32/thread_pausing.h"
#include "crashreport/core/win32/thread_registry.h"
#include "crashreport/core/win32/user32_functions.h"
#include "crashreport/core/win32/win32_report_platform.h"
#include "crashreport/report/win32/system_lists.h"

namespace brevant::crashreport {

namespace {

CrashReporterState state = CrashReporterState::inactive;
LARGE_INTEGER startCounter{};

}  // namespace

void StartCrashReporter() {
    try {
        DeleteReporterTempFolder();
        TakeOverFromRestartedInstance();
        QueryPerformanceCounter(&startCounter);
        RefPtr<CrashSettings> settings = SettingsForModule(CrashReporterModule());
        const auto own = static_cast<HMODULE>(CrashReporterModule());
        CalibrateModuleHeader(GetModuleHandleW(nullptr), GetModuleHandleW(nullptr) == own);
        if (own != GetModuleHandleW(nullptr)) CalibrateModuleHeader(own, true);
        if (!settings || !settings->IsValid()) {
            MainThreadId();
            return;
        }
        CrashSettings::SetMainSettings(settings);
        if (!AttachThreadRegistry()) return;
        state = CrashReporterState::attached;
        if (!settings->Enabled()) return;
        InstallInterception();
        InstallReportPlatform();
        InstallDeliveryPlatform();
        AddReportPlugin(u"hardware", u"list of installed hardware", ListInstalledHardware, true);
        AddReportPlugin(u"processes", u"list of running processes", ListRunningProcesses, true);
        AddReportPlugin(u"modules", u"list of loaded modules", ListLoadedModules, true);
        StartHandlingThread();
        if (LoadedUser32()) RegisterSyncCallHandler();
        InstallThreadHooks();
        if (settings->CheckForFreeze()) StartFreezeWatch(settings->FreezeTimeout());
        TakeEmergencyReserve();
        state = CrashReporterState::active;
    } catch (...) {
        // The program runs without the crash reporter rather than not at all.
    }
}

void StopCrashReporter() {
    try {
        if (state == CrashReporterState::active) {
            RemoveInterception();
            StopFreezeWatch();
            RemoveThreadHooks();
            RemoveSyncCallHandler();
            StopHandlingThread();
            for (const char16_t* plugin : {u"hardware", u"processes", u"modules"}) RemoveReportPlugin(plugin);
        }
        if (state != CrashReporterState::inactive) DetachThreadRegistry();
        ReleasePausedThreads();
        ReleaseEmergencyReserve();
        CrashSettings::SetMainSettings(nullptr);
    } catch (...) {
    }
    state = CrashReporterState::stopped;
}

CrashReporterState CurrentCrashReporterState() {
    return state;
}

std::int64_t ProgramStartCounter() {
    return startCounter.QuadPart;
}

namespace {

// Initialised before every object of the program and destroyed after all of them.
struct CrashReporterLifetime {
    CrashReporterLifetime() { StartCrashReporter(); }
    ~CrashReporterLifetime() { StopCrashReporter(); }
};
CrashReporterLifetime lifetime __attribute__((init_priority(101)));

}  // namespace

}  // namespace brevant::crashreport
