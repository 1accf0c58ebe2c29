#pragma once
// The enumerations that describe one handled exception: where it was caught, what kind of
// report it is, how far its handling has come, what the box shows and what the user chose.

#include <cstdint>

namespace brevant::crashreport {

// Where an exception was caught; the value travels in the handling request.
enum class TExceptSource : std::uint8_t {
    esManual = 0,
    esAntiFreezeCheck = 1,
    esBcbAbnormalProgramTermination = 2,
    esSysUtilsShowException = 3,
    esApplicationShowException = 4,
    esApplicationHandleException = 5,
    esCGI = 6,
    esISAPI = 7,
    esHttpExtension = 8,
    esIntraweb = 9,
    esTThreadSynchronize = 10,
    esRuntimeError = 11,
    esInitializePackage = 12,
    esExceptProc = 13,
    esSystemExceptionHandler = 14,
    esHidden = 15,
    esThreadFrame = 16,
    esTThreadExecute = 17,
    esUnhandledFilter = 18,
};

enum class TExceptType : std::uint8_t { etNormal = 0, etFrozen = 1, etHidden = 2 };

enum class TExceptPhase : std::uint8_t {
    epNotHandledYet = 0,
    epQuickFiltering = 1,
    epMainPhase = 2,
    epPostProcessing = 3,
    epCompleteReport = 4,
};

enum class ShowSetting : std::uint8_t { ssFullBox = 0, ssAssistant = 1, ssDetailBox = 2, ssSimpleBox = 3, ssNothing = 4 };

// The plain value is fired before an action, the "2" value after its assistant and the "3"
// value once the action was carried out.
enum class TExceptAction : std::uint8_t {
    eaSendBugReport = 0,
    eaSaveBugReport = 1,
    eaPrintBugReport = 2,
    eaSendBugReport2 = 3,
    eaSaveBugReport2 = 4,
    eaPrintBugReport2 = 5,
    eaSendBugReport3 = 6,
    eaSaveBugReport3 = 7,
    eaPrintBugReport3 = 8,
    eaShowBugReport = 9,
    eaHelp = 10,
    eaContinueApplication = 11,
    eaRestartApplication = 12,
    eaCloseApplication = 13,
};

// Which report values must agree for a report to count as a duplicate.
enum class TDuplicateDefinition : std::uint8_t {
    ddExceptAddrIdentical = 0,
    ddCrashStackIdentical = 1,
    ddAllStacksIdentical = 2,
};

}  // namespace brevant::crashreport
