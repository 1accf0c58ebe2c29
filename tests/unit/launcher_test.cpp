// The program body: help, choice of the configuration file, Browser numbers and exit codes.

#include "launcher/launcher.h"

#include <gtest/gtest.h>

#include "base/exception.h"
#include "fake_platform.h"

namespace brevant {
namespace {

using testing::LauncherRig;
using testing::U8;
using Starts = std::vector<std::string>;

TEST(LauncherTest, HelpAnywhereWinsAndWaitsForOneLine) {
    const std::u16string expectedText =
        u"Switches: \r\nConfiguration file, example /configfile:C:\\Temp\\Brevant.ini\r\nhelp, example /help\r\n\r\n";
    for (const char16_t* arguments : {u"/help", u"-HELP", u"settings.ini /configfile:x.ini -Help"}) {
        SCOPED_TRACE(U8(arguments));
        LauncherRig rig;
        rig.Config("[Paths]\nBrowser=0\nURL=http://host\n");
        EXPECT_EQ(rig.Run(arguments), 0);
        EXPECT_EQ(rig.streams.written, expectedText);
        EXPECT_EQ(rig.streams.linesSkipped, 1);
        EXPECT_TRUE(rig.processes.starts.empty());
    }
    LauncherRig rig;
    rig.Config("[Paths]\nBrowser=0\nURL=http://host\n");
    EXPECT_EQ(rig.Run(u"/help:x"), 0);
    EXPECT_EQ(rig.streams.written, u"");
    EXPECT_EQ(rig.processes.starts, Starts{"shell: http://host/MyApp.html"});
}

TEST(LauncherTest, HelpWithoutStandardOutputFailsWithoutSettingTheExitCode) {
    LauncherRig rig;
    rig.streams.failWrite = true;
    EXPECT_EQ(rig.Run(u"/help"), 0);
    EXPECT_EQ(rig.error, u"I/O error 105");
    EXPECT_TRUE(rig.Escaped<EInOutError>());
    EXPECT_EQ(rig.streams.linesSkipped, 0);
}

TEST(LauncherTest, FindConfigFile) {
    const struct {
        std::u16string arguments;
        std::vector<std::u16string> files;
        std::u16string expected;
    } cases[] = {
        {u"/configfile:missing.ini", {u"C:\\Apps\\Brevant.ini"}, u"missing.ini"},
        {u"/configfile x.ini", {}, u"x.ini"},
        {u"/configfile -x", {u"C:\\Apps\\Brevant.ini"}, u""},
        {u"settings.ini /configfile", {u"settings.ini"}, u""},
        {u"/CONFIGFILE:a.ini", {}, u"a.ini"},
        {u"/configfiles", {}, u"s"},
        {u"settings.ini", {u"settings.ini", u"C:\\Apps\\settings.ini"}, u"settings.ini"},
        {u"settings.ini", {u"C:\\Apps\\settings.ini"}, u"C:\\Apps\\settings.ini"},
        {u"settings.ini", {u"C:\\Apps\\Brevant.ini"}, u"C:\\Apps\\Brevant.ini"},
        {u"settings.ini", {}, u"C:\\Apps\\Brevant.ini"},
        {u"", {}, u"C:\\Apps\\Brevant.ini"},
        {u"D:\\abs.ini", {u"D:\\abs.ini"}, u"D:\\abs.ini"},
        {u"D:\\abs.ini", {u"C:\\Apps\\abs.ini"}, u"C:\\Apps\\Brevant.ini"},
        {u"-x", {u"C:\\Apps\\-x"}, u"C:\\Apps\\-x"},  // argument 1 is taken whatever it looks like
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(U8(c.arguments));
        LauncherRig rig;
        for (const std::u16string& file : c.files) rig.files.Add(file);
        EXPECT_EQ(rig.Make(c.arguments)->FindConfigFile(), c.expected);
    }
    LauncherRig atRoot;
    atRoot.modulePath = u"C:\\MyApp.exe";
    EXPECT_EQ(atRoot.Make()->FindConfigFile(), u"C:\\Brevant.ini");
}

TEST(LauncherTest, EmptyConfigFileSwitchMeansAllDefaultsNotTheDefaultFile) {
    LauncherRig rig;
    rig.Config("[Paths]\nBrowser=0\nURL=http://host\n");
    rig.files.Add(u"MyApp.html");
    EXPECT_EQ(rig.Run(u"/configfile"), 0);
    // Defaults: Browser 1 (no default browser registered: the shell), the file road.
    EXPECT_EQ(rig.processes.starts, Starts{"shell: MyApp.html"});
}

TEST(LauncherTest, ErrorsOfTheConfigurationRunSetExitCodeOne) {
    LauncherRig invalidArgument;
    EXPECT_EQ(invalidArgument.Run(u"a<b.ini"), 1);
    EXPECT_EQ(invalidArgument.error, u"Invalid characters in path");

    LauncherRig locked;
    locked.files.AddLocked(testing::kDefaultIni);
    EXPECT_EQ(locked.Run(), 1);
    EXPECT_TRUE(locked.Escaped<EFOpenError>());
}

TEST(LauncherTest, BrowserNumberUsesTheLowEightBitsOfNonNegativeValues) {
    const struct {
        std::string browser;
        std::string start;
    } cases[] = {
        {"3", "shown: C:\\Chrome\\chrome.exe http://host/p"},
        {"259", "shown: C:\\Chrome\\chrome.exe http://host/p"},
        {"0x103", "shown: C:\\Chrome\\chrome.exe http://host/p"},
        {"-253", "shell: http://host/p"},  // negative is 0, not its low bits (3)
        {"-1", "shell: http://host/p"},
        {"256", "shell: http://host/p"},
        {"10", "shell: http://host/p"},
        {"255", "shell: http://host/p"},
        {"abc", "shell: http://host/p"},  // default 1, and no default browser is registered
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.browser);
        LauncherRig rig;
        rig.registry.SetOpenCommand(u"ChromeHTML", u"C:\\Chrome\\chrome.exe -- %1");
        rig.Config("[Paths]\nURL=http://host\nHtmlFile=p\nBrowser=" + c.browser + "\n");
        EXPECT_EQ(rig.Run(), 0);
        EXPECT_EQ(rig.processes.starts, Starts{c.start});
    }
}

}  // namespace
}  // namespace brevant
