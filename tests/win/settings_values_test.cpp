// Every getter of the settings read from the test program's own settings block, which is the
// program's: the values of this build, the built-in defaults where the block names nothing.

#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <variant>

#include "base/utf16_text.h"
#include "crashreport/core/crash_settings.h"
#include "crashreport/core/win32/settings_lookup.h"
#include "settings_test_modules.h"

namespace brevant::crashreport {
namespace {

using SettingValue = std::variant<bool, std::int32_t, std::u16string>;
using SettingReader = SettingValue (*)(ICrashModuleSettings&);

struct Getter {
    std::string_view name;
    SettingReader read;
};

#define BREVANT_READER_GetBool(op, property) {#op, [](ICrashModuleSettings& s) { return SettingValue(s.op()); }},
#define BREVANT_READER_GetInt(op, property) {#op, [](ICrashModuleSettings& s) { return SettingValue(s.op()); }},
#define BREVANT_READER_GetText(op, property) {#op, [](ICrashModuleSettings& s) { return SettingValue(s.op()); }},
#define BREVANT_READER_GetAnsi(op, property) \
    {#op, [](ICrashModuleSettings& s) { return SettingValue(FromLatin1(s.op())); }},
#define BREVANT_READER_SetBool(op, property)
#define BREVANT_READER_SetInt(op, property)
#define BREVANT_READER_SetText(op, property)
#define BREVANT_READER_SetAnsi(op, property)
#define BREVANT_READER_Special(op, property)
#define BREVANT_READER(kind, op, property) BREVANT_READER_##kind(op, property)

// Every getter of both faces from the one operation list, plus the boolean special cases.
const Getter kGetters[] = {
    CRASH_SETTINGS_OPERATIONS(BREVANT_READER) CRASH_MODULE_SETTINGS_OPERATIONS(BREVANT_READER){
        "IsValid", [](ICrashModuleSettings& s) { return SettingValue(s.IsValid()); }},
    {"LinkInSettings", [](ICrashModuleSettings& s) { return SettingValue(s.LinkInSettings()); }},
    {"LinkInMapFile", [](ICrashModuleSettings& s) { return SettingValue(s.LinkInMapFile()); }},
    {"CrashOnOverrun", [](ICrashModuleSettings& s) { return SettingValue(s.CrashOnOverrun()); }},
    {"CrashOnUnderrun", [](ICrashModuleSettings& s) { return SettingValue(s.CrashOnUnderrun()); }},
    {"VersionVar", [](ICrashModuleSettings& s) { return SettingValue(s.VersionVar()); }},
};

// The test program's file name stands where the texts name the application or module.
const std::map<std::string_view, SettingValue> kThisBuild = {
    {"IsValid", true},
    {"Enabled", true},
    {"LinkInSettings", true},
    {"LinkInMapFile", true},
    {"CheckFileCrc", true},
    {"CheckForFreeze", false},
    {"FreezeTimeout", 60000},
    {"ReportLeaks", false},
    {"GetWindowsLogo", false},
    {"CrashOnOverrun", false},
    {"CrashOnUnderrun", false},
    {"VersionVar", u""},

    {"GetAutoSave", true},
    {"GetAutoSaveIfNotSent", false},
    {"GetAutoSend", false},
    {"GetAutoSendPrgrBox", false},
    {"GetAutoClipboard", false},
    {"GetSuspendThreads", false},
    {"GetShowPleaseWaitBox", true},
    {"GetAutoContinue", false},
    {"GetAutoRestart", 0},
    {"GetAutoClose", 0},
    {"GetAutoDelay", 60},

    {"GetSendBtnVisible", true},
    {"GetSaveBtnVisible", false},
    {"GetPrintBtnVisible", false},
    {"GetShowBtnVisible", true},
    {"GetContinueBtnVisible", true},
    {"GetRestartBtnVisible", true},
    {"GetCloseBtnVisible", true},
    {"GetFocusedButton", 0},
    {"GetAutoShowBugReport", false},
    {"GetNoOwnerDrawButtons", false},
    {"GetTitleBar", u"win_tests.exe"},
    {"GetExceptMsg", u"An error occurred in the application."},
    {"GetFrozenMsg", u"The application seems to be frozen."},
    {"GetSendBtnCaption", u"send bug report"},
    {"GetSaveBtnCaption", u"save bug report"},
    {"GetPrintBtnCaption", u"print bug report"},
    {"GetShowBtnCaption", u"show bug report"},
    {"GetContinueBtnCaption", u"continue application"},
    {"GetRestartBtnCaption", u"restart application"},
    {"GetCloseBtnCaption", u"close application"},
    {"GetOkBtnCaption", u"&OK"},
    {"GetDetailsBtnCaption", u"&Details"},
    {"GetPleaseWaitTitle", u"Information"},
    {"GetPleaseWaitText", u"Please wait a moment..."},

    {"GetSendAssistant", u"SendAssistant"},
    {"GetSaveAssistant", u"SaveAssistant"},
    {"GetPrintAssistant", u"PrintAssistant"},

    {"GetFilter1Classes", u"EDBEditError"},
    {"GetFilter1NoBugReport", true},
    {"GetFilter1NoScreenShot", true},
    {"GetFilter1NoHandlers", true},
    {"GetFilter1NoSuspend", true},
    {"GetFilter1ShowSetting", 3},
    {"GetFilter1Assistant", u""},
    {"GetFilter2Classes", u""},
    {"GetFilter2NoBugReport", false},
    {"GetFilter2NoScreenShot", false},
    {"GetFilter2NoHandlers", false},
    {"GetFilter2NoSuspend", false},
    {"GetFilter2ShowSetting", 0},
    {"GetFilter2Assistant", u""},
    {"GetGeneralNoBugReport", false},
    {"GetGeneralNoScreenShot", false},
    {"GetGeneralNoHandlers", false},
    {"GetGeneralNoSuspend", false},
    {"GetGeneralShowSetting", 0},
    {"GetGeneralAssistant", u""},

    {"GetNoDupExcepts", true},
    {"GetNoDupFreezes", true},
    {"GetDupExceptDef", 1},
    {"GetDupFreezeDef", 2},

    {"GetListThreads", true},
    {"GetShowCpuRegisters", true},
    {"GetShowStackDump", true},
    {"GetShowDisAsm", true},
    {"GetHideUglyItems", false},
    {"GetShowRelativeAddrs", true},
    {"GetShowRelativeLines", true},
    {"GetFormatDisassembly", true},
    {"GetLimitDisassembly", 5},

    {"GetBugReportFile", u"bugreport.txt"},
    {"GetAppendBugReports", true},
    {"GetBugReportFileSize", 100000},
    {"GetSendInBackground", true},
    {"GetMailViaMapi", true},
    {"GetMailViaMailto", true},
    {"GetMailAddr", u"brevant-support@brevant.dev"},
    {"GetMailFrom", u""},
    {"GetMailSubject", u"bug report"},
    {"GetMailBody", u"please find the bug report attached"},
    {"GetAttachBugReport", true},
    {"GetAttachBugReportFile", true},
    {"GetDeleteBugReportFile", true},
    {"GetBugReportSendAs", u"bugreport.txt"},
    {"GetBugReportZip", u""},
    {"GetScreenShotDepth", 8},
    {"GetScreenShotAppOnly", false},
    {"GetScreenShotSendAs", u"screenshot.png"},
    {"GetScreenShotZip", u""},
    {"GetSendBoxTitle", u"Sending bug report..."},
    {"GetPrepareAttachMsg", u"Preparing attachments..."},
    {"GetMxLookupMsg", u"Searching for mail server..."},
    {"GetConnectMsg", u"Connecting to server..."},
    {"GetSendMailMsg", u"Sending mail..."},
    {"GetFieldsMsg", u"Setting fields..."},
    {"GetSendAttachMsg", u"Sending attachments..."},
    {"GetSendFinalizeMsg", u"Finalizing..."},
    {"GetSendFailureMsg", u"Sorry, sending the bug report didn't work."},
    {"GetBitFaultMsg", u"The file \"win_tests.exe\" seems to be corrupt!"},

    {"GetUploadToCustomScript", false},
    {"GetHttpServer", u""},
    {"GetHttpSsl", false},
    {"GetHttpPort", 80},
    {"GetHttpAccount", u""},
    {"GetHttpPassword", u""},
    {"GetUploadToFogBugz", false},
    {"GetUploadToBugZilla", false},
    {"GetUploadToMantis", false},
    {"GetBugTrackerAccount", u""},
    {"GetBugTrackerPassword", u""},
    {"GetBugTrackerProject", u""},
    {"GetBugTrackerArea", u""},
    {"GetBugTrackerAssignTo", u""},
    {"GetBugTrackerTitle", u"win_tests.exe, %exceptMsg%"},
    {"GetBugTrackerDescription", u"error details: \r\n%errorDetails%"},
    {"GetMailAsSmtpServer", false},
    {"GetMailAsSmtpClient", false},
    {"GetSmtpServer", u""},
    {"GetSmtpSsl", false},
    {"GetSmtpTls", false},
    {"GetSmtpPort", 25},
    {"GetSmtpAccount", u""},
    {"GetSmtpPassword", u""},
};

std::string Describe(const SettingValue& value) {
    if (const bool* flag = std::get_if<bool>(&value)) return *flag ? "true" : "false";
    if (const std::int32_t* number = std::get_if<std::int32_t>(&value)) return std::to_string(*number);
    return "\"" + ToUtf8(std::get<std::u16string>(value)) + "\"";
}

TEST(SettingsValuesTest, EveryGetterReadsThisBuildsValue) {
    RefPtr<CrashSettings> settings = SettingsForModule(nullptr);
    ASSERT_EQ(settings->Module(), TestProgramModule());
    for (const Getter& getter : kGetters) {
        auto expected = kThisBuild.find(getter.name);
        if (expected == kThisBuild.end()) {
            ADD_FAILURE() << getter.name << " has no expected value";
            continue;
        }
        EXPECT_EQ(Describe(getter.read(*settings)), Describe(expected->second)) << getter.name;
    }
    EXPECT_EQ(std::size(kGetters), kThisBuild.size()) << "an expected value names no getter";
}

TEST(SettingsValuesTest, ListsAndAssistantsOfThisBuild) {
    RefPtr<CrashSettings> settings = SettingsForModule(nullptr);
    EXPECT_EQ(settings->GetPropStr("Plugins"), u"modules|processes|hardware");
    EXPECT_EQ(settings->GetPropStr("Assistant1"), u"SendAssistant|Send Assistant|ContactForm|DetailsForm|ScrShotForm");
    EXPECT_EQ(settings->GetPropStr("Assistant2"), u"SaveAssistant|Save Assistant|ContactForm|DetailsForm");
    EXPECT_EQ(settings->GetPropStr("Assistant3"), u"PrintAssistant|Print Assistant|ContactForm|DetailsForm");
    for (const char16_t* plugin : {u"modules", u"PROCESSES", u"hardware"})
        EXPECT_TRUE(settings->GetPluginEnabled(plugin));
    EXPECT_FALSE(settings->GetPluginEnabled(u"threads"));
    EXPECT_EQ(settings->GetAdditionalFields()->GetItemCount(), 0);
}

}  // namespace
}  // namespace brevant::crashreport
