#include "crashreport/core/win32/request_processing.h"

#include <cstring>
#include <vector>

#include "base/win32/wide_text.h"
#include "crashreport/core/handler_lists.h"
#include "crashreport/core/process_exception.h"
#include "crashreport/core/report_delivery.h"
#include "crashreport/core/win32/dispatch_exception.h"
#include "crashreport/core/win32/exception_objects.h"
#include "crashreport/core/win32/freeze_watch.h"
#include "crashreport/core/win32/message_window.h"
#include "crashreport/core/win32/raise_records.h"
#include "crashreport/core/win32/report_file_saving.h"
#include "crashreport/core/win32/settings_lookup.h"
#include "crashreport/core/win32/shared_object_security.h"
#include "crashreport/core/win32/sync_call.h"
#include "crashreport/core/win32/thread_pausing.h"
#include "crashreport/core/win32/thread_registry.h"
#include "crashreport/core/win32/win32_settings_host.h"
#include "crashreport/delivery/win32/reporter_temp_folder.h"

namespace brevant::crashreport {

namespace {

constexpr UINT kExitClose = 1;
constexpr UINT kExitRestart = 2;

std::int64_t SecondsSince1601() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(now.dwHighDateTime) << 32 | now.dwLowDateTime) /
                                     10'000'000);
}

bool ExecutableIsConsoleProgram() {
    const auto* base = reinterpret_cast<const std::uint8_t*>(GetModuleHandleW(nullptr));
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    return nt->OptionalHeader.Subsystem == IMAGE_SUBSYSTEM_WINDOWS_CUI;
}

class Win32HandlingPlatform final : public HandlingPlatform {
public:
    std::int64_t Now() override { return SecondsSince1601(); }
    void DeleteTemporaryFolder() override { DeleteReporterTempFolder(); }
    bool HasProcessWideRole() override { return true; }
    void PauseOtherThreads(std::uint32_t keepRunning) override { crashreport::PauseOtherThreads(keepRunning); }
    void ResumeOtherThreads() override { crashreport::ResumeOtherThreads(); }
    void ResetFreezeWatch() override { crashreport::ResetFreezeWatch(); }
    void CaptureScreenShot(CrashException& exc) override { exc.ScreenShot(); }
    // Fills what is cheap now; the stacks and lists are completed in a thread of their own.
    void StartBugReport(CrashException& exc) override {
        if (BugReport* report = exc.Report()) {
            report->GetBugReportHeader();
            report->GetBugReportSections();
        }
    }
    bool CallOnMainThread(TFireHandlersParams& params, bool resumeMainThread) override {
        const bool released = resumeMainThread && ResumeMainThread();
        const bool answered = CallHandlersOnMainThread(params);
        if (released) SuspendMainThread();
        return answered;
    }
    // The exception box will present the exception here. Until it exists nothing is shown, so
    // the decision is the automatic one, as for a box that shows nothing.
    bool Show(CrashException&) override { return false; }
    // Until the dialog toolkit exists an assistant shows nothing and counts as confirmed, so
    // that sending, saving and printing go on as without one.
    AssistantOutcome RunAssistant(const BuiltAssistant&, CrashException&, void*) override {
        return AssistantOutcome::confirmed;
    }
    // The report is saved once, whatever the decision; a mail being sent may be waited for.
    void FinishHandling(CrashException& exc, bool waitForSend) override {
        if (exc.CriticalBugReportCallbackExists() ||
            (exc.GetCallHandlers() && ProcessHandlerLists().HasExceptionHandlerFor(TExceptPhase::epCompleteReport))) {
            exc.GetBugReport();
        }
        if (DeliveryPlatform* delivery = TheDeliveryPlatform()) AutoSaveOnce(*delivery, exc);
        if (waitForSend) exc.WaitForSendThread();
    }
    void TerminateWithExitCode() override { crashreport::TerminateWithExitCode(); }
    void RestartProcess() override { crashreport::RestartProcess(nullptr); }
    bool IsConsoleProgram() override { return ExecutableIsConsoleProgram(); }
};

}  // namespace

HandlingPlatform& ProcessHandlingPlatform() {
    static Win32HandlingPlatform platform;
    return platform;
}

namespace {

CrashExceptionFacts FactsOf(const HandleRequest& request) {
    CrashExceptionFacts facts;
    facts.type = request.exceptType;
    void* object = reinterpret_cast<void*>(request.exceptObject);
    facts.object = DescribeObject(object, ThrownObjectType(object));
    facts.address = request.exceptAddress;
    facts.canContinue = request.canContinue;
    facts.crashedThreadId = request.threadId ? request.threadId : GetCurrentThreadId();
    facts.stackPointer = request.stackPointer;
    facts.framePointer = request.framePointer;
    if (request.context) {
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(request.context);
        facts.context.assign(bytes, bytes + sizeof(CONTEXT));
    }
    facts.osRecord.assign(request.osRecord, request.osRecord + sizeof(request.osRecord));
    facts.source = request.source;
    // The stack as the object's throw left it, when it was copied then: by the time a caught or
    // rethrown exception is reported, the frames below its handler are gone. An operating-system
    // exception has none; it is walked from its context.
    facts.preparedStack = PreparedCallStackOf(object);
    facts.relatedObject = reinterpret_cast<void*>(request.relatedObject);
    facts.package = request.package;
    // The crashed thread waits while its exception is handled, so its list can be read.
    if (request.innerChain) facts.inner = *reinterpret_cast<const std::vector<InnerExceptionInfo>*>(request.innerChain);
    return facts;
}

ModuleHandle SettingsModuleFor(std::uintptr_t address) {
    RefPtr<CrashSettings> settings = SettingsForAddress(reinterpret_cast<const void*>(address));
    if (!settings || !settings->IsValid()) settings = FindLinkedSettings();
    return settings && settings->IsValid() ? settings->Module() : CrashReporterModule();
}

std::wstring RestartBlockName(DWORD processId) {
    return ToWide(u"QuarrexRestart" + ProcessIdSuffix(processId));
}

}  // namespace

ExceptTimeHistory& ProcessExceptTimeHistory() {
    static ExceptTimeHistory history;
    return history;
}

void ProcessRequest(const HandleRequest& request) {
    try {
        CrashExceptionFacts facts = FactsOf(request);
        const ModuleHandle module = SettingsModuleFor(facts.address);
        RefPtr<CrashException> exc = CrashException::Create(ProcessSettingsHost(), module, std::move(facts));
        HandlingContext context{ProcessHandlingPlatform(), ProcessHandlerLists(), ProcessExceptTimeHistory(), 0};
        ProcessException(context, *exc);
    } catch (...) {
        // The faulting thread goes on whatever happened here.
    }
}

void TerminateWithExitCode() {
    TerminateProcess(GetCurrentProcess(), kExitClose);
    ExitProcess(kExitClose);  // not reached: TerminateProcess on the own process does not return
}

void RestartProcess(const wchar_t* commandLine) {
    std::wstring command = commandLine ? commandLine : GetCommandLineW();
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started{};
    if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr, &startup,
                       &started)) {
        SharedObjectSecurity security(4);
        HANDLE block = CreateFileMappingW(INVALID_HANDLE_VALUE, security.Attributes(), PAGE_READWRITE, 0,
                                          RestartHandOff::kBytes, RestartBlockName(started.dwProcessId).c_str());
        if (block) {
            RestartHandOff handOff;
            handOff.oldProcessId = GetCurrentProcessId();
            HANDLE duplicate = nullptr;
            DuplicateHandle(GetCurrentProcess(), block, started.hProcess, &duplicate, 0, FALSE, DUPLICATE_SAME_ACCESS);
            handOff.duplicatedHandle = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(duplicate));
            handOff.history = ProcessExceptTimeHistory();
            if (void* view = MapViewOfFile(block, FILE_MAP_WRITE, 0, 0, RestartHandOff::kBytes)) {
                auto bytes = handOff.ToBytes();
                std::memcpy(view, bytes.data(), bytes.size());
                UnmapViewOfFile(view);
            }
        }
        ResumeThread(started.hThread);
        CloseHandle(started.hThread);
        CloseHandle(started.hProcess);
    }
    TerminateProcess(GetCurrentProcess(), kExitRestart);
    ExitProcess(kExitRestart);
}

void TakeOverFromRestartedInstance() {
    HANDLE block = OpenFileMappingW(FILE_MAP_READ, FALSE, RestartBlockName(GetCurrentProcessId()).c_str());
    if (block == nullptr) return;
    if (const void* view = MapViewOfFile(block, FILE_MAP_READ, 0, 0, RestartHandOff::kBytes)) {
        RestartHandOff handOff = RestartHandOff::FromBytes(static_cast<const std::uint8_t*>(view));
        UnmapViewOfFile(view);
        if (handOff.duplicatedHandle)
            CloseHandle(reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(handOff.duplicatedHandle)));
        if (HANDLE old = OpenProcess(SYNCHRONIZE, FALSE, handOff.oldProcessId)) {
            WaitForSingleObject(old, INFINITE);
            CloseHandle(old);
        }
        ProcessExceptTimeHistory() = handOff.history;
    }
    CloseHandle(block);
}

}  // namespace brevant::crashreport
