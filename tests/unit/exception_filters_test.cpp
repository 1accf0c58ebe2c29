// The filter groups over the shipped settings block and over scripted ones.
#include <gtest/gtest.h>

#include <set>

#include "crashreport/core/exception_filters.h"
#include "scripted_settings.h"

namespace brevant::crashreport {
namespace {

// An object whose class chain is the given names, most derived first.
ClassMatcher ClassChain(std::set<std::u16string> chain) {
    return [chain = std::move(chain)](std::u16string_view name) { return chain.count(std::u16string(name)) != 0; };
}

class ExceptionFiltersTest : public ::testing::Test {
protected:
    void TearDown() override { CrashSettings::SetMainSettings(nullptr); }
    RefPtr<CrashSettings> Settings(std::vector<std::uint8_t> stream) {
        host.streams[ScriptedHost::kProgram] = std::move(stream);
        return CrashSettings::Create(host, ScriptedHost::kProgram);
    }
    ScriptedHost host;
};

TEST_F(ExceptionFiltersTest, TheShippedBlockTreatsEDBEditErrorAndItsDescendantsQuietly) {
    auto settings = Settings(ShippedSettingsStream());
    ASSERT_TRUE(settings->IsValid());
    for (auto chain : {std::set<std::u16string>{u"EDBEditError", u"Exception"},
                       std::set<std::u16string>{u"EMaskedEditError", u"EDBEditError", u"Exception"}}) {
        FilterResult quiet = ApplyFilters(*settings, ClassChain(chain));
        EXPECT_FALSE(quiet.createBugReport);
        EXPECT_FALSE(quiet.createScreenShot);
        EXPECT_FALSE(quiet.callHandlers);
        EXPECT_FALSE(quiet.pauseThreads);
        EXPECT_EQ(quiet.showSetting, ShowSetting::ssSimpleBox);
    }
    FilterResult general = ApplyFilters(*settings, ClassChain({u"EAccessViolation", u"EExternal", u"Exception"}));
    EXPECT_TRUE(general.createBugReport);
    EXPECT_TRUE(general.createScreenShot) << "ScrShotDepth is 8";
    EXPECT_TRUE(general.callHandlers);
    EXPECT_FALSE(general.pauseThreads) << "PauseThreads is off in this build";
    EXPECT_EQ(general.showSetting, ShowSetting::ssFullBox);
}

TEST_F(ExceptionFiltersTest, FirstMatchingListWinsNamesAreTrimmedAndTheGroupDecidesEveryResult) {
    auto settings = Settings(StreamBuilder()
                                 .Bool("PauseThreads", true)
                                 .Int("ScrShotDepth", 24)
                                 .Text("F1Classes", "EFirst")
                                 .Bool("F1NoBugRep", true)
                                 .Text("F2Classes", " EOne , ESecond,,EThree ")
                                 .Bool("F2NoScrShot", true)
                                 .Bool("F2NoHandlers", true)
                                 .Int("F2ShowCfg", 1)
                                 .Text("F2Assis", "SendAssistant")
                                 .Bool("GnNoSuspend", true)
                                 .Int("GnShowCfg", 2)
                                 .End());
    FilterResult second = ApplyFilters(*settings, ClassChain({u"ESecond"}));
    EXPECT_TRUE(second.createBugReport);
    EXPECT_FALSE(second.createScreenShot);
    EXPECT_FALSE(second.callHandlers);
    EXPECT_TRUE(second.pauseThreads);
    EXPECT_EQ(second.showSetting, ShowSetting::ssAssistant);
    EXPECT_EQ(second.showAssistant, u"SendAssistant");
    EXPECT_EQ(ApplyFilters(*settings, ClassChain({u"EThree"})).showSetting, ShowSetting::ssAssistant);

    FilterResult both = ApplyFilters(*settings, ClassChain({u"ESecond", u"EFirst"}));
    EXPECT_FALSE(both.createBugReport) << "filter 1 comes before filter 2";
    EXPECT_TRUE(both.createScreenShot);

    FilterResult general = ApplyFilters(*settings, ClassChain({u"EOther", u"ESecon"}));
    EXPECT_FALSE(general.pauseThreads);
    EXPECT_EQ(general.showSetting, ShowSetting::ssDetailBox);
    EXPECT_TRUE(general.showAssistant.empty());
}

TEST_F(ExceptionFiltersTest, NoScreenshotWithoutDepthAndUnknownShowValuesShowNothing) {
    auto settings = Settings(StreamBuilder().Int("ScrShotDepth", 0).Int("GnShowCfg", 9).End());
    FilterResult result = ApplyFilters(*settings, ClassChain({u"Exception"}));
    EXPECT_FALSE(result.createScreenShot);
    EXPECT_EQ(result.showSetting, ShowSetting::ssNothing);
}

}  // namespace
}  // namespace brevant::crashreport
