// The settings object over scripted module blocks: lookups, the main-settings fall-back,
// setters, assistants, lists, and the operations' slot order.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "crashreport/core/crash_settings.h"
#include "crashreport/core/default_settings.h"
#include "scripted_settings.h"

namespace brevant::crashreport {
namespace {

class CrashSettingsTest : public ::testing::Test {
protected:
    void TearDown() override { CrashSettings::SetMainSettings(nullptr); }
    RefPtr<CrashSettings> Program(StreamBuilder stream) {
        host.streams[ScriptedHost::kProgram] = stream.End();
        return CrashSettings::Create(host, ScriptedHost::kProgram);
    }
    ScriptedHost host;
};

TEST_F(CrashSettingsTest, ReadsTheFirstRecordOfANameExactlyAndFallsBackToTheBuiltInDefaults) {
    auto settings = Program(StreamBuilder()
                                .Int("SmtpPort", 25)
                                .Int("SmtpPort", 0)
                                .Bool("enabled", true)
                                .Int("FocusedBtn", 3)
                                .Text("MailAddr", "help@example.org"));
    EXPECT_TRUE(settings->IsValid());
    EXPECT_EQ(settings->GetSmtpPort(), 25);
    EXPECT_FALSE(settings->Enabled()) << "a record named enabled must not set Enabled";
    EXPECT_EQ(settings->GetFocusedButton(), 3);
    EXPECT_FALSE(settings->GetPropBool("FocusedBtn")) << "an integer read as a boolean";
    EXPECT_EQ(settings->GetAutoDelay(), 60) << "absent from the block: built-in default";
    EXPECT_EQ(settings->GetBugReportFile(), u"bugreport.mbr");
    EXPECT_EQ(settings->GetMailAddr(), u"help@example.org");
    EXPECT_EQ(settings->GetPropStr("NoSuchSetting"), u"");
    EXPECT_EQ(host.blocks[ScriptedHost::kProgram]->propCount, 5);
}

TEST_F(CrashSettingsTest, SettersRespectTheStoredTypeAndWriteIntoTheSharedBlockUntilReload) {
    auto first = Program(StreamBuilder().Int("FocusedBtn", 0).Text("TitleBar", "%appname%"));
    auto second = CrashSettings::Create(host, ScriptedHost::kProgram);

    EXPECT_FALSE(first->SetPropBool("FocusedBtn", true));
    EXPECT_TRUE(first->SetPropDw("FocusedBtn", 5));
    EXPECT_EQ(second->GetFocusedButton(), 5) << "both objects share the module's block";

    EXPECT_TRUE(first->SetPropStr("Invented", u"new"));
    EXPECT_EQ(second->GetPropStr("Invented"), u"new");
    EXPECT_FALSE(first->SetPropInt("Invented", 1)) << "the created property is a text";

    first->SetTitleBar(u"");
    EXPECT_EQ(second->GetTitleBar(), u"") << "an empty text is stored, not the default";

    second->Reload();
    EXPECT_EQ(first->GetFocusedButton(), 0);
    EXPECT_EQ(first->GetPropStr("Invented"), u"");
    EXPECT_EQ(first->GetTitleBar(), u"Brevant.exe");
}

TEST_F(CrashSettingsTest, AnObjectWithoutBlockReadsDefaultsAndRefusesEverySetter) {
    auto settings = CrashSettings::Create(host, reinterpret_cast<ModuleHandle>(0x7000));
    EXPECT_FALSE(settings->IsValid());
    EXPECT_FALSE(settings->SetPropBool("AutoSave", false));
    EXPECT_TRUE(settings->GetAutoSave());
    EXPECT_EQ(settings->GetPleaseWaitText(), u"Please wait a moment...");
}

TEST_F(CrashSettingsTest, OtherModulesFallBackToTheMainSettingsBeforeTheDefaults) {
    auto main = Program(StreamBuilder().Bool("AutoSave", false).Text("MailSubj", "%modname% failed"));
    CrashSettings::SetMainSettings(main);
    host.streams[ScriptedHost::kLibrary] = StreamBuilder().Bool("ShowDisAsm", false).End();
    auto library = CrashSettings::Create(host, ScriptedHost::kLibrary);

    EXPECT_FALSE(library->GetShowDisAsm()) << "its own value";
    EXPECT_FALSE(library->GetAutoSave()) << "the main module's value, not the default true";
    host.expansions = 0;
    EXPECT_EQ(library->GetMailSubject(), u"plugin.dll failed") << "the main text, expanded once for the library";
    EXPECT_EQ(host.expansions, 1);
    EXPECT_EQ(library->GetAutoDelay(), 60) << "the main object ends at the defaults";
    EXPECT_TRUE(main->GetShowDisAsm()) << "the main object never asks other modules";
}

TEST_F(CrashSettingsTest, TextsAreExpandedExceptTheFrozenMessageAndKeepTheExceptionPlaceholders) {
    auto settings = Program(StreamBuilder()
                                .Text("TitleBar", "%appname%")
                                .Text("FrozenMsg", "%appname% froze")
                                .Text("BugTrTitle", "%appname%, %exceptMsg%"));
    EXPECT_EQ(settings->GetTitleBar(), u"Brevant.exe");
    EXPECT_EQ(settings->GetFrozenMsg(), u"%appname% froze");
    settings->GetBugTrackerTitle();
    EXPECT_EQ(host.lastException.exceptionClass, u"%exceptClass%");
    EXPECT_EQ(host.lastException.errorDetails, u"%errorDetails%");
    EXPECT_EQ(host.lastException.bugReport, u"%bugReport%");
    EXPECT_EQ(host.lastException.exceptionMessage, u"%exceptMsg%");
    EXPECT_EQ(settings->GetHttpServer(), "") << "8-bit text, empty by default";
    settings->SetSmtpServer("mail.example.org");
    EXPECT_EQ(settings->GetSmtpServer(), "mail.example.org");
}

TEST_F(CrashSettingsTest, DerivedSwitchesCombineTheirSettings) {
    struct Case {
        bool noSettings, crashOnBuffer, crashOnUnderrun, mapFileEmpty;
        bool linkIn, overrun, underrun;
    };
    for (const Case& c :
         {Case{false, false, false, true, true, false, false}, Case{true, true, false, false, false, true, false},
          Case{false, true, true, true, true, false, true}, Case{false, false, true, true, true, false, false}}) {
        StreamBuilder stream;
        stream.Bool("NoSettings", c.noSettings).Bool("CrashOnBuffer", c.crashOnBuffer);
        stream.Bool("CrashOnUnderrun", c.crashOnUnderrun).Text("MinDebugInfo", c.mapFileEmpty ? "" : "x");
        auto settings = Program(stream);
        EXPECT_EQ(settings->LinkInSettings(), c.linkIn);
        EXPECT_EQ(settings->LinkInMapFile(), c.mapFileEmpty);
        EXPECT_EQ(settings->CrashOnOverrun(), c.overrun);
        EXPECT_EQ(settings->CrashOnUnderrun(), c.underrun);
    }
}

TEST_F(CrashSettingsTest, VersionVarIsReadThroughTheHostOnlyWhenAnOffsetIsSet) {
    auto without = Program(StreamBuilder());
    EXPECT_TRUE(host.versionOffsets.empty());
    EXPECT_EQ(without->VersionVar(), u"");
    without = nullptr;  // frees the block, so the next object loads the new stream
    auto with = Program(StreamBuilder().Int("VersionVar", 0x1234));
    EXPECT_EQ(host.versionOffsets, std::vector<std::int32_t>{0x1234});
    EXPECT_EQ(with->VersionVar(), u"7.1.2");
}

TEST_F(CrashSettingsTest, AssistantsAreFoundByNameUntilTheFirstEmptyDefinition) {
    auto settings = Program(StreamBuilder()
                                .Int("ScrShotDepth", 8)
                                .Text("Assistant1", "SendAssistant|Send Assistant|ContactForm|DetailsForm|ScrShotForm")
                                .Text("Assistant3", "PrintAssistant|Print Assistant|ContactForm"));
    AssistantRef send = settings->GetAssistant(u"sendassistant");
    ASSERT_TRUE(send);
    EXPECT_EQ(send->title, u"Send Assistant");
    ASSERT_EQ(send->forms.size(), 3u);
    EXPECT_EQ(send->forms[2].name, u"ScrShotForm");
    EXPECT_EQ(send->forms[1].definition,
              std::vector<std::uint8_t>({'D', 'e', 't', 'a', 'i', 'l', 's', 'F', 'o', 'r', 'm'}));
    EXPECT_FALSE(settings->GetAssistant(u"PrintAssistant")) << "Assistant2 is missing, so 3 is never read";

    settings->SetScreenShotDepth(0);
    send = settings->GetAssistant(u"SendAssistant");
    ASSERT_TRUE(send);
    ASSERT_EQ(send->forms.size(), 2u);
    EXPECT_EQ(send->forms[1].name, u"DetailsForm");
}

TEST_F(CrashSettingsTest, PluginsAreSwitchedInTheListIgnoringLetterCase) {
    auto settings = Program(StreamBuilder());
    EXPECT_TRUE(settings->GetPluginEnabled(u"Processes")) << "the built-in list";
    settings->SetPluginEnabled(u"PROCESSES", false);
    EXPECT_EQ(settings->GetPropStr("Plugins"), u"modules|hardware");
    settings->SetPluginEnabled(u"Modules", true);
    EXPECT_EQ(settings->GetPropStr("Plugins"), u"modules|hardware") << "already there";
    settings->SetPluginEnabled(u"threads", true);
    EXPECT_EQ(settings->GetPropStr("Plugins"), u"modules|hardware|threads");
    settings->SetPropStr("Plugins", u"");
    settings->SetPluginEnabled(u"modules", true);
    EXPECT_EQ(settings->GetPropStr("Plugins"), u"modules");
}

TEST_F(CrashSettingsTest, AdditionalFieldsAndAttachmentsAreBuiltOnceAndFieldChangesRewriteTheSetting) {
    auto settings = Program(StreamBuilder()
                                .Text("AddFields", "customer=ACME|ticket=42")
                                .Text("AddAttachs", "c:\\log.txt>log.txt>logs.zip>logfile"));
    ICrashFields* fields = settings->GetAdditionalFields();
    ASSERT_NE(fields, nullptr);
    EXPECT_EQ(fields, settings->GetAdditionalFields());
    EXPECT_EQ(fields->GetContent(u"ticket"), u"42");
    fields->SetContent(u"ticket", u"43");
    EXPECT_EQ(settings->GetPropStr("AddFields"), u"customer=ACME|ticket=43");

    CrashAttachments* attachments = settings->GetAdditionalAttachments();
    ASSERT_EQ(attachments->Count(), 1u);
    EXPECT_EQ(attachments->Items()[0].zipName, u"logs.zip");
    EXPECT_EQ(attachments->Items()[0].fieldName, u"logfile");
}

TEST_F(CrashSettingsTest, ThePropertyArrayStartsWith147EntriesAndGrowsBy20) {
    StreamBuilder stream;
    for (int i = 0; i < 147; ++i) stream.Int("P" + std::to_string(i), i);
    auto settings = Program(stream);
    ModuleSettingsBlock* block = host.blocks[ScriptedHost::kProgram];
    EXPECT_EQ(block->propCap, 147);
    settings->SetPropInt("Extra1", 1);
    EXPECT_EQ(block->propCap, 167);
    for (int i = 2; i <= 21; ++i) settings->SetPropInt("Extra" + std::to_string(i), i);
    EXPECT_EQ(block->propCount, 168);
    EXPECT_EQ(block->propCap, 187);
    EXPECT_EQ(settings->GetPropInt("P146"), 146);
}

TEST_F(CrashSettingsTest, TheFacesAnswerTheirIdentifiersAndReferencesKeepTheObjectAlive) {
    auto settings = Program(StreamBuilder());
    void* face = nullptr;
    ASSERT_EQ(settings->QueryInterface(kCrashSettingsExId, &face), kInterfaceFound);
    auto* ex = static_cast<ICrashSettingsEx*>(face);
    EXPECT_EQ(ex->GetSelf(), settings.get());
    EXPECT_TRUE(ex->GetPropBool("AutoSave"));
    ex->Release();
    EXPECT_EQ(settings->QueryInterface(InterfaceId{1, 2, 3, {}}, &face), kInterfaceMissing);
    EXPECT_EQ(face, nullptr);

    ICrashModuleSettings* moduleFace = settings.get();
    moduleFace->AddRef();
    settings = nullptr;
    EXPECT_EQ(host.blocks.size(), 1u) << "a face still holds the object and its block";
    moduleFace->Release();
    EXPECT_TRUE(host.blocks.empty());
}

TEST(DefaultSettingsTable, Holds137UniqueSettingsWithTheBuiltInValues) {
    const auto table = DefaultSettingsTable();
    EXPECT_EQ(table.size(), 137u);
    std::set<std::string> names;
    for (const SettingsProperty& property : table) EXPECT_TRUE(names.insert(property.name).second) << property.name;
    EXPECT_EQ(FindDefaultSetting("FreezeTimeout")->vInt, 60);
    EXPECT_EQ(FindDefaultSetting("PrepAttMsg")->vStr, u"Prepare attachments...");
    EXPECT_EQ(FindDefaultSetting("BugTrDescr")->vStr, u"error details: \r\n%errorDetails%");
    EXPECT_TRUE(FindDefaultSetting("NoSettings")->vBool);
    EXPECT_EQ(FindDefaultSetting("CrashOnBuffer"), nullptr) << "no built-in default";
    EXPECT_EQ(FindDefaultSetting("Assistant1"), nullptr);
}

// The operations must sit in the documented slots, so that code calling through the table by
// slot number (another module's copy of the crash reporter) reaches the right one.
const char* const kCrashSettingsSlots[] = {
    "Module",
    "GetAutoSave",
    "SetAutoSave",
    "GetAutoSaveIfNotSent",
    "SetAutoSaveIfNotSent",
    "GetAutoSend",
    "SetAutoSend",
    "GetAutoSendPrgrBox",
    "SetAutoSendPrgrBox",
    "GetAutoClipboard",
    "SetAutoClipboard",
    "GetSuspendThreads",
    "SetSuspendThreads",
    "GetShowPleaseWaitBox",
    "SetShowPleaseWaitBox",
    "GetAutoContinue",
    "SetAutoContinue",
    "GetAutoRestart",
    "SetAutoRestart",
    "GetAutoClose",
    "SetAutoClose",
    "GetAutoDelay",
    "SetAutoDelay",
    "GetSendBtnVisible",
    "GetSaveBtnVisible",
    "GetPrintBtnVisible",
    "GetShowBtnVisible",
    "GetContinueBtnVisible",
    "GetRestartBtnVisible",
    "GetCloseBtnVisible",
    "SetSendBtnVisible",
    "SetSaveBtnVisible",
    "SetPrintBtnVisible",
    "SetShowBtnVisible",
    "SetContinueBtnVisible",
    "SetRestartBtnVisible",
    "SetCloseBtnVisible",
    "GetFocusedButton",
    "SetFocusedButton",
    "GetSendAssistant",
    "SetSendAssistant",
    "GetSaveAssistant",
    "SetSaveAssistant",
    "GetPrintAssistant",
    "SetPrintAssistant",
    "GetAutoShowBugReport",
    "SetAutoShowBugReport",
    "GetNoOwnerDrawButtons",
    "SetNoOwnerDrawButtons",
    "GetSendInBackground",
    "SetSendInBackground",
    "GetMailAddr",
    "SetMailAddr",
    "GetUploadToFogBugz",
    "SetUploadToFogBugz",
    "GetUploadToBugZilla",
    "SetUploadToBugZilla",
    "GetUploadToMantis",
    "SetUploadToMantis",
    "GetUploadToCustomScript",
    "SetUploadToCustomScript",
    "GetHttpServer",
    "SetHttpServer",
    "GetHttpSsl",
    "SetHttpSsl",
    "GetHttpPort",
    "SetHttpPort",
    "GetHttpAccount",
    "SetHttpAccount",
    "GetHttpPassword",
    "SetHttpPassword",
    "GetBugTrackerAccount",
    "SetBugTrackerAccount",
    "GetBugTrackerPassword",
    "SetBugTrackerPassword",
    "GetBugTrackerProject",
    "SetBugTrackerProject",
    "GetBugTrackerArea",
    "SetBugTrackerArea",
    "GetBugTrackerAssignTo",
    "SetBugTrackerAssignTo",
    "GetMailAsSmtpServer",
    "SetMailAsSmtpServer",
    "GetMailAsSmtpClient",
    "SetMailAsSmtpClient",
    "GetSmtpServer",
    "SetSmtpServer",
    "GetSmtpSsl",
    "SetSmtpSsl",
    "GetSmtpTls",
    "SetSmtpTls",
    "GetSmtpPort",
    "SetSmtpPort",
    "GetSmtpAccount",
    "SetSmtpAccount",
    "GetSmtpPassword",
    "SetSmtpPassword",
    "GetMailViaMapi",
    "SetMailViaMapi",
    "GetMailViaMailto",
    "SetMailViaMailto",
    "GetMailFrom",
    "SetMailFrom",
    "GetAdditionalFields",
    "GetAttachBugReport",
    "SetAttachBugReport",
    "GetAttachBugReportFile",
    "SetAttachBugReportFile",
    "GetDeleteBugReportFile",
    "SetDeleteBugReportFile",
    "GetBugReportSendAs",
    "SetBugReportSendAs",
    "GetBugReportZip",
    "SetBugReportZip",
    "GetScreenShotDepth",
    "SetScreenShotDepth",
    "GetScreenShotAppOnly",
    "SetScreenShotAppOnly",
    "GetScreenShotSendAs",
    "SetScreenShotSendAs",
    "GetScreenShotZip",
    "SetScreenShotZip",
    "GetAdditionalAttachments",
    "GetBugReportFile",
    "SetBugReportFile",
    "GetAppendBugReports",
    "SetAppendBugReports",
    "GetBugReportFileSize",
    "SetBugReportFileSize",
    "GetNoDupExcepts",
    "SetNoDupExcepts",
    "GetNoDupFreezes",
    "SetNoDupFreezes",
    "GetDupExceptDef",
    "SetDupExceptDef",
    "GetDupFreezeDef",
    "SetDupFreezeDef",
    "GetListThreads",
    "SetListThreads",
    "GetShowCpuRegisters",
    "SetShowCpuRegisters",
    "GetShowStackDump",
    "SetShowStackDump",
    "GetShowDisAsm",
    "SetShowDisAsm",
    "GetHideUglyItems",
    "SetHideUglyItems",
    "GetShowRelativeAddrs",
    "SetShowRelativeAddrs",
    "GetShowRelativeLines",
    "SetShowRelativeLines",
    "GetFormatDisassembly",
    "SetFormatDisassembly",
    "GetLimitDisassembly",
    "SetLimitDisassembly",
    "GetPluginEnabled",
    "SetPluginEnabled",
    "VersionVar",
    "GetAssistant",
    "GetTitleBar",
    "SetTitleBar",
    "GetExceptMsg",
    "SetExceptMsg",
    "GetFrozenMsg",
    "SetFrozenMsg",
    "GetBitFaultMsg",
    "SetBitFaultMsg",
    "GetSendBtnCaption",
    "GetSaveBtnCaption",
    "GetPrintBtnCaption",
    "GetShowBtnCaption",
    "GetContinueBtnCaption",
    "GetRestartBtnCaption",
    "GetCloseBtnCaption",
    "SetSendBtnCaption",
    "SetSaveBtnCaption",
    "SetPrintBtnCaption",
    "SetShowBtnCaption",
    "SetContinueBtnCaption",
    "SetRestartBtnCaption",
    "SetCloseBtnCaption",
    "GetOkBtnCaption",
    "GetDetailsBtnCaption",
    "SetOkBtnCaption",
    "SetDetailsBtnCaption",
    "GetPleaseWaitTitle",
    "GetPleaseWaitText",
    "SetPleaseWaitTitle",
    "SetPleaseWaitText",
    "GetBugTrackerTitle",
    "SetBugTrackerTitle",
    "GetBugTrackerDescription",
    "SetBugTrackerDescription",
    "GetMailSubject",
    "SetMailSubject",
    "GetMailBody",
    "SetMailBody",
    "GetSendBoxTitle",
    "SetSendBoxTitle",
    "GetPrepareAttachMsg",
    "SetPrepareAttachMsg",
    "GetMxLookupMsg",
    "SetMxLookupMsg",
    "GetConnectMsg",
    "SetConnectMsg",
    "GetSendMailMsg",
    "SetSendMailMsg",
    "GetFieldsMsg",
    "SetFieldsMsg",
    "GetSendAttachMsg",
    "SetSendAttachMsg",
    "GetSendFinalizeMsg",
    "SetSendFinalizeMsg",
    "GetSendFailureMsg",
    "SetSendFailureMsg",
};
const char* const kCrashModuleSettingsSlots[] = {
    "IsValid",
    "Enabled",
    "LinkInSettings",
    "LinkInMapFile",
    "CheckFileCrc",
    "CheckForFreeze",
    "FreezeTimeout",
    "GetWindowsLogo",
    "SetWindowsLogo",
    "ReportLeaks",
    "CrashOnOverrun",
    "CrashOnUnderrun",
    "GetFilter1Classes",
    "GetFilter2Classes",
    "SetFilter1Classes",
    "SetFilter2Classes",
    "GetFilter1NoBugReport",
    "GetFilter2NoBugReport",
    "GetGeneralNoBugReport",
    "SetFilter1NoBugReport",
    "SetFilter2NoBugReport",
    "SetGeneralNoBugReport",
    "GetFilter1NoScreenShot",
    "GetFilter2NoScreenShot",
    "GetGeneralNoScreenShot",
    "SetFilter1NoScreenShot",
    "SetFilter2NoScreenShot",
    "SetGeneralNoScreenShot",
    "GetFilter1NoSuspend",
    "GetFilter2NoSuspend",
    "GetGeneralNoSuspend",
    "SetFilter1NoSuspend",
    "SetFilter2NoSuspend",
    "SetGeneralNoSuspend",
    "GetFilter1NoHandlers",
    "GetFilter2NoHandlers",
    "GetGeneralNoHandlers",
    "SetFilter1NoHandlers",
    "SetFilter2NoHandlers",
    "SetGeneralNoHandlers",
    "GetFilter1ShowSetting",
    "GetFilter2ShowSetting",
    "GetGeneralShowSetting",
    "SetFilter1ShowSetting",
    "SetFilter2ShowSetting",
    "SetGeneralShowSetting",
    "GetFilter1Assistant",
    "GetFilter2Assistant",
    "GetGeneralAssistant",
    "SetFilter1Assistant",
    "SetFilter2Assistant",
    "SetGeneralAssistant",
    "Reload",
};

// Itanium C++ ABI: a pointer to a virtual member function holds 1 + the byte offset of its slot.
template <typename Member>
std::size_t SlotOf(Member member) {
    std::uintptr_t raw = 0;
    std::memcpy(&raw, &member, sizeof raw);
    return (raw - 1) / sizeof(void*);
}

TEST(CrashSettingsFaces, OperationsSitInTheDocumentedSlots) {
    std::vector<std::string> names;
    std::vector<std::size_t> slots;
#define BREVANT_RECORD_SLOT(kind, op, property) \
    names.push_back(#op);                       \
    slots.push_back(SlotOf(&ICrashModuleSettings::op));
    CRASH_SETTINGS_OPERATIONS(BREVANT_RECORD_SLOT)
    CRASH_MODULE_SETTINGS_OPERATIONS(BREVANT_RECORD_SLOT)
#undef BREVANT_RECORD_SLOT
    std::vector<std::string> expected(std::begin(kCrashSettingsSlots), std::end(kCrashSettingsSlots));
    expected.insert(expected.end(), std::begin(kCrashModuleSettingsSlots), std::end(kCrashModuleSettingsSlots));
    ASSERT_EQ(names, expected);
    for (std::size_t i = 0; i < slots.size(); ++i) EXPECT_EQ(slots[i], i + 3) << names[i];
    EXPECT_EQ(SlotOf(&ICrashSettingsEx::GetPropBool), 3u);
    EXPECT_EQ(SlotOf(&ICrashSettingsEx::GetSelf), 9u);
}

}  // namespace
}  // namespace brevant::crashreport
