#include "crashreport/report/win32/operating_system_facts.h"

#include <windows.h>

#include "base/win32/wide_text.h"
#include "crashreport/report/win32/system_library_entry.h"

namespace brevant::crashreport {

namespace {

using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOEXW*);
using GetSystemMetricsFunction = int(WINAPI*)(int);

// The edition metrics have no names in older headers.
constexpr int kMetricMediaCenter = 87;
constexpr int kMetricStarter = 88;
constexpr int kMetricServerR2 = 89;

// GetVersionExW reports an older system to programs whose manifest does not name the newer
// ones; the kernel's own query tells the truth.
OSVERSIONINFOEXW ReadVersionInfo() {
    OSVERSIONINFOEXW info{};
    info.dwOSVersionInfoSize = sizeof info;
    auto rtlGetVersion = reinterpret_cast<RtlGetVersionFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
    if (rtlGetVersion != nullptr && rtlGetVersion(&info) == 0) return info;
    if (!GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info))) {
        info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOW);
        GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info));
    }
    return info;
}

// user32 stays out of the program's imports: a launch that shows no window should not pay for it.
bool SystemMetricSet(int metric) {
    auto getSystemMetrics = SystemLibraryFunction<GetSystemMetricsFunction>(L"user32.dll", "GetSystemMetrics");
    return getSystemMetrics != nullptr && getSystemMetrics(metric) != 0;
}

bool NativeAmd64() {
    SYSTEM_INFO system{};
    GetNativeSystemInfo(&system);
    return system.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64;
}

}  // namespace

OperatingSystemFacts ReadOperatingSystemFacts() {
    const OSVERSIONINFOEXW info = ReadVersionInfo();
    OperatingSystemFacts facts;
    facts.major = info.dwMajorVersion;
    facts.minor = info.dwMinorVersion;
    if (info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) {
        facts.family = PlatformFamily::Windows9x;
        facts.build = LOWORD(info.dwBuildNumber);  // the high half repeats the version there
        return facts;
    }
    facts.build = info.dwBuildNumber;
    facts.workstation = info.wProductType == VER_NT_WORKSTATION;
    facts.serverR2 = SystemMetricSet(kMetricServerR2);
    facts.starterEdition = SystemMetricSet(kMetricStarter);
    facts.mediaCenter = SystemMetricSet(kMetricMediaCenter);
    facts.nativeAmd64 = NativeAmd64();
    facts.servicePack = FromWide(std::wstring_view(info.szCSDVersion, wcsnlen(info.szCSDVersion, 128)));
    return facts;
}

}  // namespace brevant::crashreport
