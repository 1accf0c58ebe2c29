#include "crashreport/core/default_settings.h"

#include <vector>

namespace brevant::crashreport {

namespace {

struct DefaultValue {
    TPropertyType typ;
    bool vBool = false;
    std::int32_t vInt = 0;
    const char16_t* vStr = u"";
};

DefaultValue Boolean(bool value) {
    return {TPropertyType::ptBoolean, value, 0, u""};
}
DefaultValue Integer(std::int32_t value) {
    return {TPropertyType::ptInteger, false, value, u""};
}
DefaultValue Text(const char16_t* value) {
    return {TPropertyType::ptString, false, 0, value};
}

struct DefaultEntry {
    const char* name;
    DefaultValue value;
};

const std::vector<SettingsProperty>& Table() {
    static const std::vector<SettingsProperty> table = [] {
        const DefaultEntry entries[] = {
            {"Enabled", Boolean(false)},
            {"NoSettings", Boolean(true)},
            {"CheckFileCrc", Boolean(true)},
            {"CheckFreeze", Boolean(false)},
            {"FreezeTimeout", Integer(60)},
            {"ReportLeaks", Boolean(false)},
            {"WindowsLogo", Boolean(false)},
            {"CrashOnUnderrun", Boolean(false)},
            {"CrashOnOverrun", Boolean(false)},
            {"VersionVar", Integer(0)},
            {"AutoSave", Boolean(true)},
            {"AutoSaveIfNotSent", Boolean(true)},
            {"AutoSend", Boolean(false)},
            {"AutoSendBox", Boolean(false)},
            {"AutoClip", Boolean(true)},
            {"PauseThreads", Boolean(false)},
            {"PlWaitBox", Boolean(true)},
            {"AutoContinue", Boolean(false)},
            {"AutoRestart", Integer(0)},
            {"AutoClose", Integer(0)},
            {"AutoDelay", Integer(60)},
            {"SendBtnVis", Boolean(true)},
            {"SaveBtnVis", Boolean(false)},
            {"PrintBtnVis", Boolean(false)},
            {"ShowBtnVis", Boolean(true)},
            {"ContinueBtnVis", Boolean(true)},
            {"RestartBtnVis", Boolean(true)},
            {"CloseBtnVis", Boolean(true)},
            {"FocusedBtn", Integer(0)},
            {"AutoShowBugRep", Boolean(false)},
            {"UglyBtns", Boolean(false)},
            {"TitleBar", Text(u"%appname%")},
            {"ExceptMsg", Text(u"An error occurred in the application.")},
            {"FrozenMsg", Text(u"The application seems to be frozen.")},
            {"SendBtnTxt", Text(u"send bug report")},
            {"SaveBtnTxt", Text(u"save bug report")},
            {"PrintBtnTxt", Text(u"print bug report")},
            {"ShowBtnTxt", Text(u"show bug report")},
            {"ContinueBtnTxt", Text(u"continue application")},
            {"RestartBtnTxt", Text(u"restart application")},
            {"CloseBtnTxt", Text(u"close application")},
            {"OkBtnTxt", Text(u"&OK")},
            {"DetailsBtnTxt", Text(u"&Details")},
            {"PlWaitTitle", Text(u"Information")},
            {"PlWaitText", Text(u"Please wait a moment...")},
            {"SendAssis", Text(u"")},
            {"SaveAssis", Text(u"")},
            {"PrintAssis", Text(u"")},
            {"F1Classes", Text(u"")},
            {"F1NoBugRep", Boolean(false)},
            {"F1NoScrShot", Boolean(false)},
            {"F1NoHandlers", Boolean(false)},
            {"F1NoSuspend", Boolean(false)},
            {"F1ShowCfg", Integer(0)},
            {"F1Assis", Text(u"")},
            {"F2Classes", Text(u"")},
            {"F2NoBugRep", Boolean(false)},
            {"F2NoScrShot", Boolean(false)},
            {"F2NoHandlers", Boolean(false)},
            {"F2NoSuspend", Boolean(false)},
            {"F2ShowCfg", Integer(0)},
            {"F2Assis", Text(u"")},
            {"GnNoBugRep", Boolean(false)},
            {"GnNoScrShot", Boolean(false)},
            {"GnNoHandlers", Boolean(false)},
            {"GnNoSuspend", Boolean(false)},
            {"GnShowCfg", Integer(0)},
            {"GnAssis", Text(u"")},
            {"NoDupExcepts", Boolean(true)},
            {"NoDupFreezes", Boolean(true)},
            {"DupExceptDef", Integer(1)},
            {"DupFreezeDef", Integer(2)},
            {"ListThreads", Boolean(true)},
            {"CpuRegs", Boolean(true)},
            {"StackDump", Boolean(true)},
            {"ShowDisAsm", Boolean(true)},
            {"HideUglyItems", Boolean(false)},
            {"ShowRelAddrs", Boolean(true)},
            {"ShowRelLines", Boolean(true)},
            {"FormatDisAsm", Boolean(false)},
            {"LimitDisAsm", Integer(5)},
            {"Plugins", Text(u"modules|processes|hardware")},
            {"BugRepFile", Text(u"bugreport.mbr")},
            {"AppendBugReps", Boolean(true)},
            {"BugRepFileSize", Integer(100000)},
            {"SendInBackgr", Boolean(true)},
            {"MailViaMapi", Boolean(true)},
            {"MailViaMailto", Boolean(true)},
            {"MailAddr", Text(u"")},
            {"MailFrom", Text(u"")},
            {"MailSubj", Text(u"bug report")},
            {"MailBody", Text(u"please find the bug report attached")},
            {"AttachBugRep", Boolean(true)},
            {"AttachBugRepFile", Boolean(true)},
            {"DelBugRepFile", Boolean(true)},
            {"BugRepSendAs", Text(u"bugreport.mbr")},
            {"BugRepZip", Text(u"")},
            {"AddAttachs", Text(u"")},
            {"AddFields", Text(u"")},
            {"ScrShotDepth", Integer(0)},
            {"ScrShotAppOnly", Boolean(true)},
            {"ScrShotSendAs", Text(u"screenshot.png")},
            {"ScrShotZip", Text(u"")},
            {"SendBoxTitle", Text(u"Sending bug report...")},
            {"PrepAttMsg", Text(u"Prepare attachments...")},
            {"MxLookMsg", Text(u"Searching for mail server...")},
            {"ConnMsg", Text(u"Connecting to server...")},
            {"SendMailMsg", Text(u"Sending mail...")},
            {"FieldMsg", Text(u"Setting fields...")},
            {"SendAttMsg", Text(u"Sending attachments...")},
            {"SendFinalMsg", Text(u"Finalizing...")},
            {"SendFailMsg", Text(u"Sorry, sending the bug report didn't work.")},
            {"BitFaultMsg", Text(u"The file \"%modname%\" seems to be corrupt!")},
            {"UploadViaHttp", Boolean(false)},
            {"HttpServer", Text(u"")},
            {"HttpSsl", Boolean(false)},
            {"HttpPort", Integer(0)},
            {"HttpAccount", Text(u"")},
            {"HttpPassword", Text(u"")},
            {"FogBugz", Boolean(false)},
            {"BugZilla", Boolean(false)},
            {"Mantis", Boolean(false)},
            {"BugTrAccount", Text(u"")},
            {"BugTrPassword", Text(u"")},
            {"BugTrProject", Text(u"")},
            {"BugTrArea", Text(u"")},
            {"BugTrAssignTo", Text(u"")},
            {"BugTrTitle", Text(u"%appname%, %exceptMsg%")},
            {"BugTrDescr", Text(u"error details: \r\n%errorDetails%")},
            {"MailAsSmtpServer", Boolean(false)},
            {"MailAsSmtpClient", Boolean(false)},
            {"SmtpServer", Text(u"")},
            {"SmtpSsl", Boolean(false)},
            {"SmtpTls", Boolean(false)},
            {"SmtpPort", Integer(0)},
            {"SmtpAccount", Text(u"")},
            {"SmtpPassword", Text(u"")},
        };
        std::vector<SettingsProperty> properties;
        properties.reserve(std::size(entries));
        for (const DefaultEntry& entry : entries) {
            properties.push_back({entry.name, entry.value.typ, entry.value.vBool, entry.value.vInt, entry.value.vStr});
        }
        return properties;
    }();
    return table;
}

}  // namespace

std::span<const SettingsProperty> DefaultSettingsTable() {
    return Table();
}

const SettingsProperty* FindDefaultSetting(std::string_view name) {
    for (const SettingsProperty& property : Table()) {
        if (property.name == name) return &property;
    }
    return nullptr;
}

}  // namespace brevant::crashreport
