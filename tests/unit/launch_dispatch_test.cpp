// What is started for a start page: browsers, the debug manager, the shell, npm.
// The address always comes from the URL road: URL=http://h and HtmlFile=p give http://h/p.

#include "launcher/launch_dispatch.h"

#include <gtest/gtest.h>

#include "fake_platform.h"

namespace brevant {
namespace {

using testing::LauncherRig;
using Starts = std::vector<std::string>;

// Every browser registered the way its installer does it; Edge's file exists unless told.
void InstallBrowsers(LauncherRig& rig, bool edgeFileExists = true) {
    rig.registry.SetOpenCommand(u"ChromeHTML", u"\"C:\\Chrome\\chrome.exe\" --single-argument %1");
    rig.registry.SetOpenCommand(u"MSEdgeHTM", u"\"C:\\Edge\\msedge.exe\" --single-argument %1");
    rig.registry.SetOpenCommand(u"Applications\\iexplore.exe", u"\"C:\\IE\\iexplore.exe\" %1");
    rig.registry.SetOpenCommand(u"Applications\\opera.exe", u"C:\\Opera\\opera.exe \"%1\"");
    rig.registry.SetOpenCommand(u"FirefoxHTML", u"\"C:\\FF\\firefox.exe\" -osint -url \"%1\"");
    rig.registry.SetOpenCommand(u"FirefoxHTML-DEV", u"\"C:\\FFDev\\firefox.exe\" -osint -url \"%1\"");
    rig.registry.SetClassesRootSubkeys({u".html", u"FirefoxHTML", u"FirefoxHTML-DEV"});
    rig.files.Add(u"C:\\FFDev\\application.ini", "[App]\nName=Firefox\nCodeName=Firefox Developer Edition\n");
    if (edgeFileExists) rig.files.Add(u"C:\\Edge\\msedge.exe");
}

const Starts kAllBrowsers = {
    "shown: \"C:\\Chrome\\chrome.exe\" http://h/p", "shown: \"C:\\FF\\firefox.exe\" http://h/p",
    "shown: \"C:\\Edge\\msedge.exe\" http://h/p",   "shown: \"C:\\IE\\iexplore.exe\" http://h/p",
    "shown: C:\\Opera\\opera.exe http://h/p",       "shown: \"C:\\FFDev\\firefox.exe\" http://h/p",
    "shown: C:\\Custom\\browser.exe http://h/p",
};

Starts DebugManagerStarts(const std::string& suffix) {
    Starts starts;
    for (char kind = '3'; kind <= '9'; ++kind)
        starts.push_back(std::string("hidden: C:\\Dbg\\dbg.exe /url:\"http://h/p\" /browser:") + kind + suffix);
    return starts;
}

TEST(LaunchTargetTest, WhatIsStartedForEachConfiguration) {
    Starts withoutEdgeFile = kAllBrowsers;
    withoutEdgeFile[2] = "shell: microsoft-edge:http://h/p";
    Starts withDebug = kAllBrowsers;
    withDebug[0] = "shown: \"C:\\Chrome\\chrome.exe\"--auto-open-devtools-for-tabs http://h/p";
    withDebug[2] = "shown: \"C:\\Edge\\msedge.exe\"--auto-open-devtools-for-tabs http://h/p";

    const struct {
        std::string keys;
        bool edgeFileExists;
        Starts starts;
    } cases[] = {
        {"Browser=2", true, kAllBrowsers},
        {"Browser=2", false, withoutEdgeFile},
        {"Browser=2\nDebug=1", true, withDebug},
        {"Browser=2\nSingleInstance=1\nDebugManager=C:\\Dbg\\dbg.exe", true, DebugManagerStarts("")},
        {"Browser=2\nSingleInstance=1\nDebug=1\nDebugManager=C:\\Dbg\\dbg.exe", true, DebugManagerStarts(" /debug")},
        {"Browser=5\nSingleInstance=1\nDebugManager=C:\\Dbg\\dbg.exe",
         false,
         {"hidden: C:\\Dbg\\dbg.exe /url:\"http://h/p\" /browser:5"}},
        {"Browser=1\nSingleInstance=1\nDebugManager=C:\\Dbg\\dbg.exe",
         true,
         {"hidden: C:\\Dbg\\dbg.exe /url:\"http://h/p\" /browser:1"}},  // no default browser detected
        {"Browser=0\nSingleInstance=1\nDebugManager=C:\\Dbg\\dbg.exe",
         true,
         {"hidden: C:\\Dbg\\dbg.exe /url:\"http://h/p\" /browser:0"}},
        {"Browser=3\nSingleInstance=1\nDebugManager=", true, {kAllBrowsers[0]}},
        {"Browser=4\nSingleInstance=0\nDebugManager=C:\\missing.exe", true, {kAllBrowsers[1]}},
        {"Browser=4\nDebug=1", true, {kAllBrowsers[1]}},
        {"Browser=6\nDebug=1", true, {kAllBrowsers[3]}},
        {"Browser=7\nDebug=1", true, {kAllBrowsers[4]}},
        {"Browser=8\nDebug=1", true, {kAllBrowsers[5]}},
        {"Browser=9\nDebug=1", true, {kAllBrowsers[6]}},
        {"Browser=9\nBrowserBin=", true, {"shown:  http://h/p"}},
        {"Browser=0", true, {"shell: http://h/p"}},
        {"Browser=1", true, {"shell: http://h/p"}},
        {"Browser=10", true, {"shell: http://h/p"}},
        {"Browser=255\nDebug=1", true, {"shell: http://h/p"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.keys);
        LauncherRig rig;
        InstallBrowsers(rig, c.edgeFileExists);
        rig.files.Add(u"C:\\Dbg\\dbg.exe");
        rig.Config("[Paths]\nURL=http://h\nHtmlFile=p\n" + c.keys + "\nBrowserBin=C:\\Custom\\browser.exe\n");
        EXPECT_EQ(rig.Run(), 0);
        EXPECT_EQ(rig.processes.starts, c.starts);
    }
}

TEST(LaunchTargetTest, DefaultBrowserIsDetectedBeforeTheDebugManagerDecision) {
    LauncherRig rig;
    InstallBrowsers(rig);
    rig.registry.SetUserChoice(u"ChromeHTML");
    rig.files.Add(u"C:\\Dbg\\dbg.exe");
    rig.Config("[Paths]\nURL=http://h\nHtmlFile=p\nSingleInstance=1\nDebugManager=C:\\Dbg\\dbg.exe\n");
    EXPECT_EQ(rig.Run(), 0);
    EXPECT_EQ(rig.processes.starts, Starts{"hidden: C:\\Dbg\\dbg.exe /url:\"http://h/p\" /browser:3"});

    LauncherRig plain;
    InstallBrowsers(plain);
    plain.registry.SetUserChoice(u"FirefoxHTML-DEV");
    plain.Config("[Paths]\nURL=http://h\nHtmlFile=p\n");
    EXPECT_EQ(plain.Run(), 0);
    EXPECT_EQ(plain.processes.starts, Starts{kAllBrowsers[5]});
}

TEST(LaunchTargetTest, BrowsersThatAreNotInstalledGetABlankAndTheAddress) {
    const struct {
        std::string keys;
        Starts starts;
    } cases[] = {
        {"Browser=3", {"shown:  http://h/p"}},
        {"Browser=3\nDebug=1", {"shown: --auto-open-devtools-for-tabs http://h/p"}},
        {"Browser=5\nDebug=1", {"shell: microsoft-edge:http://h/p"}},
        {"Browser=2",
         {"shown:  http://h/p", "shown:  http://h/p", "shell: microsoft-edge:http://h/p", "shown:  http://h/p",
          "shown:  http://h/p", "shown:  http://h/p", "shown:  http://h/p"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.keys);
        LauncherRig rig;
        rig.Config("[Paths]\nURL=http://h\nHtmlFile=p\n" + c.keys + "\n");
        EXPECT_EQ(rig.Run(), 0);
        EXPECT_EQ(rig.processes.starts, c.starts);
    }
}

TEST(LaunchTargetTest, MissingDebugManagerFailsBeforeAnyStart) {
    for (const char* browser : {"2", "3"}) {
        SCOPED_TRACE(browser);
        LauncherRig rig;
        InstallBrowsers(rig);
        rig.Config(
            std::string("[Paths]\nURL=http://h\nHtmlFile=p\nSingleInstance=1\nDebugManager=C:\\Dbg\\gone.exe\n") +
            "Browser=" + browser + "\n");
        EXPECT_EQ(rig.Run(), 1);
        EXPECT_EQ(rig.error, u"The Ovix DBG manager [C:\\Dbg\\gone.exe] doesn't exist!");
        EXPECT_TRUE(rig.Escaped<EBrevantWork>());
        EXPECT_TRUE(rig.processes.starts.empty());
    }
}

TEST(LaunchTargetTest, AnAddressWithABlankIsQuotedForBrowsersOnly) {
    const struct {
        std::string keys;
        Starts starts;
    } cases[] = {
        {"Browser=3", {"shown: \"C:\\Chrome\\chrome.exe\" \"http://h/my app/p\""}},
        {"Browser=3\nDebug=1",
         {"shown: \"C:\\Chrome\\chrome.exe\"--auto-open-devtools-for-tabs \"http://h/my app/p\""}},
        {"Browser=9\nBrowserBin=", {"shown:  \"http://h/my app/p\""}},
        {"Browser=0", {"shell: http://h/my app/p"}},
        {"Browser=3\nSingleInstance=1\nDebugManager=C:\\Dbg\\dbg.exe",
         {"hidden: C:\\Dbg\\dbg.exe /url:\"http://h/my app/p\" /browser:3"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.keys);
        LauncherRig rig;
        InstallBrowsers(rig, false);
        rig.files.Add(u"C:\\Dbg\\dbg.exe");
        rig.Config("[Paths]\nURL=http://h/my app\nHtmlFile=p\n" + c.keys + "\n");
        EXPECT_EQ(rig.Run(), 0);
        EXPECT_EQ(rig.processes.starts, c.starts);
    }
    // Edge's protocol request is a shell request: unchanged as well.
    LauncherRig edge;
    edge.Config("[Paths]\nURL=http://h/my app\nHtmlFile=p\nBrowser=5\n");
    EXPECT_EQ(edge.Run(), 0);
    EXPECT_EQ(edge.processes.starts, Starts{"shell: microsoft-edge:http://h/my app/p"});
}

TEST(BrowserArgumentTest, QuotesOnlyABlankAddressWithoutQuotes) {
    EXPECT_EQ(BrowserArgument(u"http://h/p"), u"http://h/p");
    EXPECT_EQ(BrowserArgument(u"C:\\my site\\p.html"), u"\"C:\\my site\\p.html\"");
    EXPECT_EQ(BrowserArgument(u"\"C:\\my site\\p.html\""), u"\"C:\\my site\\p.html\"");
    EXPECT_EQ(BrowserArgument(u"a\tb"), u"a\tb");
}

TEST(StartElectronTest, BuildNumberChoosesTheNpmCommand) {
    const std::string start = "hidden: cmd.exe /c cd /d \"C:\\My App\\$(ProjectName)\" & npm ";
    const struct {
        std::string build;
        Starts starts;
    } cases[] = {
        {"", {start + "start"}},
        {"0", {start + "start"}},
        {"1", {start + "start"}},
        {"2", {start + "run-script run-win32"}},
        {"3", {start + "run-script run-win64"}},
        {"256", {start + "start"}},
        {"258", {start + "run-script run-win32"}},
        {"4", {}},
        {"255", {}},
        {"-1", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.build);
        LauncherRig rig;
        InstallBrowsers(rig);
        rig.Config(
            "[Paths]\nElectron=1\nHtmlPath=C:\\My App\\$(ProjectName)\nBrowser=3\nURL=http://h\n"
            "ElectronBuild=" +
            c.build + "\n");
        EXPECT_EQ(rig.Run(), 0);
        EXPECT_EQ(rig.processes.starts, c.starts);
    }
}

TEST(StartElectronTest, ElectronTrueIsNotANumber) {
    LauncherRig rig;
    rig.Config("[Paths]\nElectron=true\nHtmlPath=C:\\app\nBrowser=0\nURL=http://h\nHtmlFile=p\n");
    EXPECT_EQ(rig.Run(), 0);
    EXPECT_EQ(rig.processes.starts, Starts{"shell: http://h/p"});
}

}  // namespace
}  // namespace brevant
