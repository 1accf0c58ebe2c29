#pragma once
// The crash reporter as a program that carries it sees it. Linking it in (the CMake function
// brevant_add_crash_reporting_program) is enough: it starts before the program's own code and
// reports every exception that escapes any thread. This header is for programs that want to
// take part: handlers that see each exception as it is handled, thread names, a report of the
// running process, and the settings.

#include <cstdint>
#include <string>
#include <string_view>

#include "crashreport/core/crash_settings_interfaces.h"
#include "crashreport/core/exception_kinds.h"
#include "crashreport/delivery/nv_bitmap.h"

namespace brevant::crashreport {

// How a handler wants to be called: on the handling thread, or synchronised on the main
// thread (falling back to the handling thread when the main thread does not answer, for
// stTrySyncCallAlways only).
enum class TSyncType : std::uint8_t { stDontSync = 0, stTrySyncCallOnSuccess = 1, stTrySyncCallAlways = 2 };

// One exception as the crash reporter handles it. The object lives as long as a reference to
// it does; handlers get it for the duration of their call.
class ICrashException;

// Follows the report text as it grows: called at once on registration and then at each change,
// with whether the report is complete.
using BugReportCallback = void (*)(bool complete, const std::u16string& bugReport, ICrashException* exc);

class ICrashException : public IReferenceCounted {
public:
    // The exception's settings: reads fall back to its module's, writes stay with this exception.
    virtual ICrashModuleSettings* Settings() = 0;

    virtual TExceptPhase GetPhase() = 0;
    virtual bool GetCanContinue() = 0;
    // True has no effect when the exception was created unable to continue.
    virtual void SetCanContinue(bool value) = 0;
    virtual TExceptType GetExceptType() = 0;
    // The thrown object, or null (operating-system exceptions, freeze reports).
    virtual void* GetExceptObject() = 0;
    virtual std::u16string GetExceptClass() = 0;
    virtual std::u16string GetExceptMessage() = 0;
    virtual void SetExceptMessage(const std::u16string& message) = 0;
    virtual std::uintptr_t GetExceptAddr() = 0;
    virtual std::uint32_t GetCrashedThreadId() = 0;
    virtual std::uint32_t GetCallstackCrc(int index) = 0;
    virtual TExceptSource GetSource() = 0;
    virtual void* GetRelatedObject() = 0;
    virtual std::uintptr_t GetPackage() = 0;

    // The report text; waits for the complete report.
    virtual std::u16string GetBugReport() = 0;
    // Replaces the report text.
    virtual void SetBugReport(const std::u16string& report) = 0;
    // A critical callback's receiver gets the complete report before the program ends.
    virtual void RegisterBugReportCallback(BugReportCallback callback, bool critical) = 0;
    virtual void UnregisterBugReportCallback(BugReportCallback callback) = 0;
    // Changes between the two reach the callbacks once, at the last EndUpdate.
    virtual void BeginUpdate() = 0;
    virtual void EndUpdate() = 0;

    virtual bool GetCreateBugReport() = 0;
    virtual void SetCreateBugReport(bool value) = 0;
    virtual bool GetCreateScreenShot() = 0;
    virtual void SetCreateScreenShot(bool value) = 0;
    virtual bool GetCallHandlers() = 0;
    virtual void SetCallHandlers(bool value) = 0;
    virtual bool GetAppendScreenShot() = 0;
    virtual void SetAppendScreenShot(bool value) = 0;
    virtual ShowSetting GetShowSetting() = 0;
    virtual void SetShowSetting(ShowSetting value) = 0;
    virtual std::u16string GetShowAssistant() = 0;
    virtual void SetShowAssistant(const std::u16string& name) = 0;

    // The screenshot, taken on the first call while screenshots are on (a failed capture turns
    // them off); null when there is none. The exception keeps its own reference.
    virtual INVBitmap* GetScreenShot() = 0;
    // Replaces the screenshot (null removes it).
    virtual void SetScreenShot(INVBitmap* picture) = 0;
    // Each fires its action's handlers and, unless one handled it, mails the complete report
    // (with the screenshot when it is to be appended), saves it to a file the user chooses, or
    // prints it. parentWindow: the window that owns the dialogs, or null.
    virtual void SendBugReport(void* parentWindow) = 0;
    virtual void SaveBugReport(void* parentWindow) = 0;
    virtual void PrintBugReport(void* parentWindow) = 0;

protected:
    ~ICrashException() = default;
};

using ExceptionHandler = void (*)(ICrashException* exc, bool& handled);
using ExceptActionHandler = void (*)(TExceptAction action, ICrashException* exc, bool& handled);

// Exception handlers run in the phase they were registered for.
void RegisterExceptionHandler(ExceptionHandler handler, TSyncType sync, TExceptPhase phase);
void UnregisterExceptionHandler(ExceptionHandler handler);
// Action handlers are asked before (and after) each action; handled stops the action.
void RegisterExceptActionHandler(ExceptActionHandler handler, TSyncType sync);
void UnregisterExceptActionHandler(ExceptActionHandler handler);
// Hidden-exception handlers see exceptions that the program's own code caught.
void RegisterHiddenExceptionHandler(ExceptionHandler handler, TSyncType sync);
void UnregisterHiddenExceptionHandler(ExceptionHandler handler);

// Names a thread in reports (threadId 0: the calling thread); an empty name removes it.
void AssignThreadName(std::uint32_t threadId, const std::u16string& name);

// The bug report of the running process, without any exception.
std::u16string CurrentStateReport();

// Report plug-ins: a named text in every report, as a header field (isSection false) or as a
// section of its own, made when the report is built; an empty text adds nothing. The
// "Plugins" setting ("|"-separated names) selects the plug-ins a report uses and their order.
using TBugReportPluginA = std::string (*)();
using TBugReportPluginW = std::u16string (*)();
using TBugReportPluginExA = std::string (*)(ICrashException* exc);
using TBugReportPluginExW = std::u16string (*)(ICrashException* exc);
struct ReportPluginCallbacks {
    TBugReportPluginA a = nullptr;
    TBugReportPluginW w = nullptr;
    TBugReportPluginExA exA = nullptr;
    TBugReportPluginExW exW = nullptr;
};
void AddReportPlugin(std::u16string_view name, std::u16string_view description, TBugReportPluginA callback,
                     bool isSection);
void AddReportPlugin(std::u16string_view name, std::u16string_view description, TBugReportPluginW callback,
                     bool isSection);
void AddReportPlugin(std::u16string_view name, std::u16string_view description, TBugReportPluginExA callback,
                     bool isSection);
void AddReportPlugin(std::u16string_view name, std::u16string_view description, TBugReportPluginExW callback,
                     bool isSection);
// Removes the first plug-in of exactly that name.
void RemoveReportPlugin(std::u16string_view name);

// The settings of the program's own module; its setters change what the crash reporter does.
ICrashModuleSettings* MainSettings();

}  // namespace brevant::crashreport
