// The delivery actions: handlers first, the work unless one handled it, the automatic mail and
// clipboard at the first complete report, the automatic save once, and the screenshot taken on
// first use.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/utf16_text.h"
#include "crashreport/core/report_delivery.h"
#include "scripted_settings.h"

namespace brevant::crashreport {
namespace {

// A picture that only counts its references.
class CountedPicture final : public INVBitmap {
public:
    std::int32_t QueryInterface(const InterfaceId&, void** object) override {
        *object = nullptr;
        return kInterfaceMissing;
    }
    std::uint32_t AddRef() override { return ++references; }
    std::uint32_t Release() override { return --references; }
    std::int32_t GetWidth() override { return 1; }
    std::int32_t GetHeight() override { return 1; }
    bool Draw(void*, std::int32_t, std::int32_t) override { return false; }
    std::string AsBmpStr() override { return {}; }
    std::string AsPngStr(TPngFormat) override { return {}; }
    bool SaveBmp(const std::u16string&) override { return false; }
    bool SavePng(const std::u16string&, TPngFormat) override { return false; }
    INVBitmap* Zoom(std::int32_t, std::int32_t) override { return nullptr; }
    std::uint32_t references = 0;
};

class RecordingDelivery final : public DeliveryPlatform {
public:
    RefPtr<INVBitmap> CaptureScreen(bool appOnly) override {
        calls.push_back(appOnly ? "capture app" : "capture screen");
        return captureFails ? nullptr : RefPtr<INVBitmap>(&picture);
    }
    int SendReport(CrashException&, const std::u16string& report, RefPtr<INVBitmap> screenshot, void*,
                   bool background, bool silent) override {
        calls.push_back("send " + ToUtf8(report) + (screenshot ? " +picture" : "") + (background ? " background" : "") +
                        (silent ? " silent" : ""));
        return 1;
    }
    bool SaveReportAutomatically(CrashException&, const std::u16string& report) override {
        calls.push_back("save " + ToUtf8(report));
        return true;
    }
    bool SaveReportInteractively(CrashException&, const std::u16string& report, void*) override {
        calls.push_back("save as " + ToUtf8(report));
        return true;
    }
    bool PrintReport(CrashException&, const std::u16string& report, void*) override {
        calls.push_back("print " + ToUtf8(report));
        return true;
    }
    void CopyToClipboard(const std::u16string& text) override { calls.push_back("clipboard " + ToUtf8(text)); }
    void RestoreArrowCursor() override { calls.push_back("arrow"); }
    bool FireAction(TExceptAction action, CrashException&, void*) override {
        calls.push_back("fire " + std::to_string(static_cast<int>(action)));
        return action == handledAction;
    }

    std::vector<std::string> calls;
    CountedPicture picture;
    bool captureFails = false;
    TExceptAction handledAction = TExceptAction::eaHelp;  // none of the delivery actions
};

class ReportDeliveryTest : public ::testing::Test {
protected:
    void SetUp() override {
        host.streams[ScriptedHost::kProgram] = ShippedSettingsStream();
        SetDeliveryPlatform(&delivery);
        exc = CrashException::Create(host, ScriptedHost::kProgram, {});
        exc->SetBugReport(u"the report");
    }
    void TearDown() override {
        exc = nullptr;
        SetDeliveryPlatform(nullptr);
        CrashSettings::SetMainSettings(nullptr);
    }
    ScriptedHost host;
    RecordingDelivery delivery;
    RefPtr<CrashException> exc;
};

using Calls = std::vector<std::string>;

TEST_F(ReportDeliveryTest, EachActionFiresItsHandlersAroundTheWorkAndRestoresTheCursor) {
    exc->SetAppendScreenShot(false);
    exc->SendBugReport(nullptr);
    exc->SaveBugReport(nullptr);
    exc->PrintBugReport(nullptr);
    EXPECT_EQ(delivery.calls, (Calls{"fire 0", "send the report background", "fire 6", "arrow", "fire 1",
                                     "save as the report", "fire 7", "arrow", "fire 2", "print the report", "fire 8",
                                     "arrow"}));
}

TEST_F(ReportDeliveryTest, AHandledActionDoesNoWork) {
    delivery.handledAction = TExceptAction::eaPrintBugReport;
    exc->PrintBugReport(nullptr);
    EXPECT_EQ(delivery.calls, (Calls{"fire 2", "arrow"}));
}

TEST_F(ReportDeliveryTest, TheScreenshotIsTakenOnceAndAFailedCaptureTurnsScreenshotsOff) {
    ASSERT_TRUE(exc->GetCreateScreenShot());
    EXPECT_EQ(exc->GetScreenShot(), &delivery.picture);
    EXPECT_EQ(exc->GetScreenShot(), &delivery.picture);
    EXPECT_EQ(delivery.calls, (Calls{"capture screen"})) << "the shipped settings capture the whole screen";
    exc->SendBugReport(nullptr);
    EXPECT_EQ(delivery.calls[2], "send the report +picture background");

    RefPtr<CrashException> other = CrashException::Create(host, ScriptedHost::kProgram, {});
    delivery.captureFails = true;
    EXPECT_EQ(other->GetScreenShot(), nullptr);
    EXPECT_FALSE(other->GetCreateScreenShot());
    other->SetScreenShot(&delivery.picture);
    EXPECT_EQ(other->GetScreenShot(), &delivery.picture) << "a picture set by the program is kept";
}

TEST_F(ReportDeliveryTest, AutomaticActionsActAtTheFirstCompleteReportOnly) {
    exc->SetAutoSend(true);
    exc->SetAutoClipboard(true);
    exc->SetAppendScreenShot(false);
    AutoActionsCallback(false, u"partial", exc.get());
    EXPECT_TRUE(delivery.calls.empty());
    AutoActionsCallback(true, u"complete", exc.get());
    // The report file is saved before the mail attaches a copy of it.
    EXPECT_EQ(delivery.calls, (Calls{"fire 1", "save the report", "fire 7", "fire 0", "send complete background silent",
                                     "fire 6", "clipboard complete"}));
    EXPECT_TRUE(exc->MailWasSaved());
    AutoActionsCallback(true, u"complete", exc.get());
    EXPECT_EQ(delivery.calls.size(), 7u);
    AutoSaveOnce(delivery, *exc);
    EXPECT_EQ(delivery.calls.size(), 7u) << "the report is saved once";
}

TEST_F(ReportDeliveryTest, WithoutAutoSendOnlyTheClipboardIsServedAndAnEmptyReportIsNotMailed) {
    exc->SetAutoSend(true);
    exc->SetAutoClipboard(false);
    AutoActionsCallback(true, u"", exc.get());
    EXPECT_EQ(delivery.calls, Calls{});
}

TEST_F(ReportDeliveryTest, AutoSaveIfNotSentSkipsTheSaveAfterAMail) {
    exc->SetAutoSaveIfNotSent(true);
    exc->SetMailWasSent(true);
    AutoSaveOnce(delivery, *exc);
    EXPECT_TRUE(delivery.calls.empty());
    exc->SetMailWasSent(false);
    AutoSaveOnce(delivery, *exc);
    EXPECT_EQ(delivery.calls, (Calls{"fire 1", "save the report", "fire 7"}));
}

}  // namespace
}  // namespace brevant::crashreport
