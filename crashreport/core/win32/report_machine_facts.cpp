#include "crashreport/core/win32/report_machine_facts.h"

#include <windows.h>

#include <functional>
#include <string>

#include "crashreport/core/win32/crash_reporter_lifetime.h"
#include "crashreport/report/operating_system_description.h"
#include "crashreport/report/win32/file_version_text.h"
#include "crashreport/report/win32/operating_system_facts.h"

extern "C" int __argc;

namespace brevant::crashreport {

namespace {

template <typename Gather>
void Guarded(Gather gather) {
    try {
        gather();
    } catch (...) {
        // This fact stays out of the header.
    }
}

std::u16string Text(const wchar_t* text, std::size_t length) {
    return std::u16string(reinterpret_cast<const char16_t*>(text), length);
}

std::u16string Text(const wchar_t* text) {
    return Text(text, wcslen(text));
}

std::u16string RegistryText(HKEY root, const wchar_t* key, const wchar_t* value) {
    wchar_t buffer[512] = {};
    DWORD size = sizeof(buffer) - sizeof(wchar_t);
    if (RegGetValueW(root, key, value, RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr, buffer,
                     &size) != ERROR_SUCCESS) {
        return {};
    }
    return Text(buffer);
}

std::u16string CollapsedBlanks(std::u16string text) {
    std::u16string out;
    for (char16_t unit : text) {
        if (unit == u' ' && (out.empty() || out.back() == u' ')) continue;
        out += unit;
    }
    while (!out.empty() && out.back() == u' ') out.pop_back();
    return out;
}

std::u16string ProcessorName(int number) {
    const std::wstring key = L"hardware\\description\\system\\centralProcessor\\" + std::to_wstring(number);
    return CollapsedBlanks(RegistryText(HKEY_LOCAL_MACHINE, key.c_str(), L"ProcessorNameString"));
}

// The first processor number without a name, probing blocks of sixteen first.
int ProcessorCount() {
    int block = 0;
    while (block + 16 <= 256 && !ProcessorName(block + 16).empty()) block += 16;
    int count = block + 1;
    while (count < 256 && !ProcessorName(count).empty()) ++count;
    return count;
}

LocalDateTime FromSystemTime(const SYSTEMTIME& time) {
    return {time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute, time.wSecond, time.wMilliseconds};
}

std::u16string ModulePath(HMODULE module) {
    wchar_t path[MAX_PATH + 1];
    const DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
    return length == 0 || length >= MAX_PATH ? std::u16string() : Text(path, length);
}

std::u16string FileNameOf(const std::u16string& path) {
    const std::size_t slash = path.find_last_of(u"\\/");
    return slash == std::u16string::npos ? path : path.substr(slash + 1);
}

bool UserIsAdministrator() {
    SID_IDENTIFIER_AUTHORITY authority = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    if (!AllocateAndInitializeSid(&authority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0,
                                  0, &administrators)) {
        return false;
    }
    BOOL member = FALSE;
    if (!CheckTokenMembership(nullptr, administrators, &member)) member = FALSE;
    FreeSid(administrators);
    return member != FALSE;
}

std::optional<DriveSpace> FreeSpaceOf(const std::u16string& path) {
    if (path.size() < 2 || path[1] != u':') return std::nullopt;
    const wchar_t root[] = {static_cast<wchar_t>(path[0]), L':', L'\\', 0};
    ULARGE_INTEGER free{};
    if (!GetDiskFreeSpaceExW(root, nullptr, nullptr, &free)) return std::nullopt;
    return DriveSpace{path[0], free.QuadPart};
}

std::vector<DriveSpace> FreeDiskSpace(const std::u16string& executable) {
    wchar_t windows[MAX_PATH + 1] = {};
    GetWindowsDirectoryW(windows, MAX_PATH);
    std::vector<DriveSpace> drives;
    const std::u16string windowsPath = Text(windows);
    if (auto space = FreeSpaceOf(windowsPath)) drives.push_back(*space);
    const bool otherDrive = executable.size() >= 2 && windowsPath.size() >= 2 &&
                            (executable[0] | 0x20) != (windowsPath[0] | 0x20);
    if (otherDrive) {
        if (auto space = FreeSpaceOf(executable)) drives.push_back(*space);
    }
    return drives;
}

void AddAddressSpaceFacts(ReportHeaderFacts& facts) {
    std::uint64_t allocated = 0, largestFree = 0;
    MEMORY_BASIC_INFORMATION region;
    std::uintptr_t address = 0;
    while (VirtualQuery(reinterpret_cast<void*>(address), &region, sizeof(region)) == sizeof(region)) {
        if (region.State == MEM_COMMIT && region.Type != MEM_IMAGE) allocated += region.RegionSize;
        if (region.State == MEM_FREE && region.RegionSize > largestFree) largestFree = region.RegionSize;
        const std::uintptr_t next = reinterpret_cast<std::uintptr_t>(region.BaseAddress) + region.RegionSize;
        if (next <= address) break;
        address = next;
    }
    facts.allocatedBytes = allocated;
    facts.largestFreeBlock = largestFree;
}

std::optional<std::u16string> DisplayMode() {
    using EnumSettings = BOOL(WINAPI*)(LPCWSTR, DWORD, DEVMODEW*);
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    if (!user32) user32 = LoadLibraryW(L"user32.dll");
    if (!user32) return std::nullopt;
    const auto enumSettings = reinterpret_cast<EnumSettings>(GetProcAddress(user32, "EnumDisplaySettingsW"));
    DEVMODEW mode{};
    mode.dmSize = sizeof(mode);
    if (!enumSettings || !enumSettings(nullptr, ENUM_CURRENT_SETTINGS, &mode)) return std::nullopt;
    return Text(std::to_wstring(mode.dmPelsWidth).c_str()) + u"x" + Text(std::to_wstring(mode.dmPelsHeight).c_str()) +
           u", " + Text(std::to_wstring(mode.dmBitsPerPel).c_str()) + u" bit";
}

std::u16string CompiledWith() {
    const char* architecture = sizeof(void*) == 8 ? "x86_64" : "i686";
    const std::string text = std::string("MinGW-w64 GCC ") + __VERSION__ + " (" + architecture + ")";
    return std::u16string(text.begin(), text.end());
}

// The process runs in a remote session: the system says so, or its session is not the one
// that shows on the machine's own screen.
bool InRemoteSession() {
    using GetSystemMetricsFunction = int(WINAPI*)(int);
    if (HMODULE user32 = GetModuleHandleW(L"user32.dll")) {
        const auto metrics = reinterpret_cast<GetSystemMetricsFunction>(GetProcAddress(user32, "GetSystemMetrics"));
        if (metrics && metrics(SM_REMOTESESSION) != 0) return true;
    }
    DWORD glassSession = 0, size = sizeof(glassSession), session = 0;
    return RegGetValueW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Terminal Server", L"GlassSessionID",
                        RRF_RT_REG_DWORD, nullptr, &glassSession, &size) == ERROR_SUCCESS &&
           ProcessIdToSessionId(GetCurrentProcessId(), &session) && session != glassSession;
}

std::optional<std::u16string> RemoteClientName() {
    using QueryFunction = BOOL(WINAPI*)(HANDLE, DWORD, int, LPWSTR*, DWORD*);
    using FreeFunction = void(WINAPI*)(void*);
    HMODULE wtsapi = LoadLibraryW(L"wtsapi32.dll");
    if (!wtsapi) return std::nullopt;
    const auto query = reinterpret_cast<QueryFunction>(GetProcAddress(wtsapi, "WTSQuerySessionInformationW"));
    const auto release = reinterpret_cast<FreeFunction>(GetProcAddress(wtsapi, "WTSFreeMemory"));
    std::optional<std::u16string> name;
    LPWSTR buffer = nullptr;
    DWORD bytes = 0;
    constexpr int kClientName = 10;  // WTSClientName
    if (query && release && query(nullptr, static_cast<DWORD>(-1), kClientName, &buffer, &bytes) && buffer) {
        if (bytes >= 2) name = Text(buffer);
        release(buffer);
    }
    FreeLibrary(wtsapi);
    return name;
}

void AddUserFacts(ReportHeaderFacts& facts) {
    Guarded([&] {
        wchar_t name[MAX_COMPUTERNAME_LENGTH + 1];
        DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
        if (GetComputerNameW(name, &length)) facts.computerName = Text(name, length);
    });
    Guarded([&] {
        if (InRemoteSession()) facts.wtsClientName = RemoteClientName();
    });
    Guarded([&] {
        wchar_t name[257];
        DWORD length = 257;
        if (GetUserNameW(name, &length)) facts.userName = Text(name);
        facts.userIsAdministrator = UserIsAdministrator();
    });
    Guarded([&] {
        const wchar_t* key = L"Software\\Microsoft\\Windows NT\\CurrentVersion";
        const std::u16string owner = RegistryText(HKEY_LOCAL_MACHINE, key, L"RegisteredOwner");
        if (!owner.empty()) facts.registeredOwner = owner;
        facts.registeredOrganization = RegistryText(HKEY_LOCAL_MACHINE, key, L"RegisteredOrganization");
    });
}

void AddSystemFacts(ReportHeaderFacts& facts) {
    Guarded([&] {
        const OperatingSystemFacts system = ReadOperatingSystemFacts();
        facts.operatingSystem = OperatingSystemDescription(system);
        facts.osBuild = system.build;
    });
    Guarded([&] {
        wchar_t language[128];
        if (GetLocaleInfoW(GetSystemDefaultLCID(), LOCALE_SENGLANGUAGE, language, 128) > 0) {
            facts.systemLanguage = Text(language);
        }
    });
    Guarded([&] {
        LARGE_INTEGER counter, frequency;
        if (QueryPerformanceCounter(&counter) && QueryPerformanceFrequency(&frequency) && frequency.QuadPart > 0) {
            facts.systemUpSeconds = counter.QuadPart / frequency.QuadPart;
            if (const std::int64_t start = ProgramStartCounter(); start != 0) {
                facts.programUpMilliseconds = (counter.QuadPart - start) * 1000 / frequency.QuadPart;
            }
        }
    });
    Guarded([&] {
        const std::u16string name = ProcessorName(0);
        if (name.empty()) return;
        facts.processorName = name;
        facts.processorCount = ProcessorCount();
    });
    Guarded([&] {
        MEMORYSTATUSEX memory{};
        memory.dwLength = sizeof(memory);
        if (!GlobalMemoryStatusEx(&memory)) return;
        facts.freePhysicalBytes = memory.ullAvailPhys;
        facts.totalPhysicalBytes = memory.ullTotalPhys;
    });
    Guarded([&] { facts.displayMode = DisplayMode(); });
    Guarded([&] {
        wchar_t separator[8];
        if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator, 8) > 0 && separator[0]) {
            facts.decimalSeparator = static_cast<char16_t>(separator[0]);
        }
    });
}

void AddProcessFacts(ReportHeaderFacts& facts) {
    facts.processId = GetCurrentProcessId();
    Guarded([&] { AddAddressSpaceFacts(facts); });
    Guarded([&] {
        if (__argc > 1) facts.commandLine = Text(GetCommandLineW());
    });
    const std::u16string executable = ModulePath(nullptr);
    Guarded([&] { facts.freeDiskSpace = FreeDiskSpace(executable); });
    if (executable.empty()) return;
    facts.executable = FileNameOf(executable);
    Guarded([&] {
        WIN32_FILE_ATTRIBUTE_DATA data;
        FILETIME local;
        SYSTEMTIME time;
        if (GetFileAttributesExW(reinterpret_cast<const wchar_t*>(executable.c_str()), GetFileExInfoStandard, &data) &&
            FileTimeToLocalFileTime(&data.ftLastWriteTime, &local) && FileTimeToSystemTime(&local, &time)) {
            facts.fileTime = FileTimeFact{FromSystemTime(time), true};
        }
    });
    Guarded([&] {
        const std::u16string version = FileVersionText(executable);
        if (!version.empty()) facts.version = version;
    });
    Guarded([&] {
        if (HMODULE bde = GetModuleHandleW(L"idapi32.dll")) facts.bdeVersion = FileVersionText(ModulePath(bde));
    });
    facts.compiledWith = CompiledWith();
}

}  // namespace

ReportHeaderFacts GatherMachineFacts() {
    ReportHeaderFacts facts;
    SYSTEMTIME now;
    GetLocalTime(&now);
    facts.exceptionTime = FromSystemTime(now);
    AddUserFacts(facts);
    AddSystemFacts(facts);
    AddProcessFacts(facts);
    return facts;
}

}  // namespace brevant::crashreport
