#include "crashreport/report/placeholder_expansion.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "base/utf16_text.h"
#include "crashreport/report/operating_system_description.h"

namespace brevant::crashreport {
namespace {

const ModuleHandle kExecutable = reinterpret_cast<ModuleHandle>(0x400000);
const ModuleHandle kPlugin = reinterpret_cast<ModuleHandle>(0x10000000);

// Answers from tables and writes down every question, so that a test can tell which values
// an expansion computed.
class FakeEnvironment : public PlaceholderEnvironment {
public:
    std::map<ModuleHandle, std::u16string> paths = {{kExecutable, u"C:\\Program Files\\App\\app.exe"},
                                                    {kPlugin, u"C:\\Program Files\\App\\plugin.dll"}};
    std::map<ModuleHandle, std::u16string> versions = {{kExecutable, u"1.4.0.7"}, {kPlugin, u"2.0.0.1"}};
    std::map<SpecialFolder, std::u16string> folders = {
        {SpecialFolder::Desktop, u"C:\\Users\\user1\\Desktop\\"},
        {SpecialFolder::RoamingAppData, u"C:\\Users\\user1\\AppData\\Roaming"},
        {SpecialFolder::CommonAppData, u"C:\\ProgramData"},
        {SpecialFolder::LocalAppData, u"C:\\Users\\user1\\AppData\\Local"}};
    LocalDateTime time{2024, 3, 5, 14, 7, 9, 318};
    std::vector<std::string> questions;

    ModuleHandle ExecutableModule() override { return kExecutable; }
    std::u16string ModulePath(ModuleHandle module) override {
        questions.push_back(module == kExecutable ? "path of executable" : "path of module");
        return paths[module];
    }
    std::u16string VersionText(ModuleHandle module) override {
        questions.push_back(module == kExecutable ? "version of executable" : "version of module");
        return versions[module];
    }
    LocalDateTime LocalTime() override {
        questions.push_back("time");
        return time;
    }
    std::u16string ComputerName() override {
        questions.push_back("computer name");
        return u"WORKSTATION7";
    }
    std::u16string OperatingSystemDescription() override {
        questions.push_back("os");
        return u"Windows 10 x64";
    }
    std::u16string SpecialFolderPath(SpecialFolder folder) override {
        questions.push_back("folder " + std::to_string(static_cast<int>(folder)));
        return folders[folder];
    }
};

struct Values {
    std::u16string exceptionClass = u"EAccessViolation";
    std::u16string errorDetails = u"while reading the browser command";
    std::u16string report = u"date/time : 2024-03-05";
    std::optional<std::u16string> exceptionMessage = u"Access violation.";
};

std::u16string Expand(FakeEnvironment& environment, std::u16string text, const Values& values = {}) {
    std::optional<std::u16string_view> message;
    if (values.exceptionMessage) message = *values.exceptionMessage;
    ExpandPlaceholders(environment, kPlugin, text, values.exceptionClass, values.errorDetails, values.report, message);
    return text;
}

struct Case {
    std::u16string text, expected;
};

void ExpectExpansions(std::initializer_list<Case> cases, const Values& values = {}) {
    for (const Case& c : cases) {
        SCOPED_TRACE(ToUtf8(c.text));
        FakeEnvironment environment;
        EXPECT_EQ(ToUtf8(Expand(environment, c.text, values)), ToUtf8(c.expected));
    }
}

TEST(PlaceholderExpansionTest, EveryPlaceholderGetsItsValue) {
    ExpectExpansions({
        {u"[%appname%]", u"[app.exe]"},
        {u"[%modname%]", u"[plugin.dll]"},
        {u"[%appversion%]", u"[1.4.0.7]"},
        {u"[%modversion%]", u"[2.0.0.1]"},
        {u"[%exceptClass%]", u"[EAccessViolation]"},
        {u"[%exceptMsg%]", u"[Access violation.]"},
        {u"[%bugReport%]", u"[date/time : 2024-03-05]"},
        {u"[%LF%]", u"[\r\n]"},
        {u"[%date%]", u"[2024-03-05]"},
        {u"[%time%]", u"[14:07:09, 318ms]"},
        {u"[%datetime%]", u"[2024-03-05, 14:07:09, 318ms]"},
        {u"[%computerName%]", u"[WORKSTATION7]"},
        {u"[%os%]", u"[Windows 10 x64]"},
        {u"[%errorDetails%]", u"[while reading the browser command]"},
        {u"[%desktop%]", u"[C:\\Users\\user1\\Desktop]"},
        {u"[%userappdata%]", u"[C:\\Users\\user1\\AppData\\Roaming]"},
        {u"[%commonappdata%]", u"[C:\\ProgramData]"},
        {u"[%localappdata%]", u"[C:\\Users\\user1\\AppData\\Local]"},
        {u"no placeholder, 100% sure", u"no placeholder, 100% sure"},
        {u"%unknown% and %appname", u"%unknown% and %appname"},
    });
}

TEST(PlaceholderExpansionTest, NamesMatchInAnyLetterCaseAndEveryOccurrence) {
    ExpectExpansions({
        {u"%EXCEPTMSG%|%exceptmsg%|%ExCePtMsG%", u"Access violation.|Access violation.|Access violation."},
        {u"%AppName% %APPNAME% %appname%", u"app.exe app.exe app.exe"},
        {u"a%lf%b%Lf%c", u"a\r\nb\r\nc"},
        {u"%COMPUTERNAME%/%OS%/%DateTime%", u"WORKSTATION7/Windows 10 x64/2024-03-05, 14:07:09, 318ms"},
        {u"%appname%%appname%", u"app.exeapp.exe"},
    });
}

TEST(PlaceholderExpansionTest, ReplacesInTheFixedOrder) {
    // Overlapping names: the earlier replacement takes the shared "%".
    ExpectExpansions({
        {u"%os%LF%", u"%os\r\n"},
        {u"%appname%modname%", u"app.exemodname%"},
        {u"%time%date%", u"%time2024-03-05"},
        {u"%exceptClass%exceptMsg%", u"EAccessViolationexceptMsg%"},
        {u"%LF%date%", u"\r\ndate%"},
    });
}

TEST(PlaceholderExpansionTest, InsertedTextIsNotSearchedAgain) {
    Values values;
    values.exceptionClass = u"%exceptMsg%";
    values.exceptionMessage = u"50%LF% of %appname%";
    values.report = u"%date% %errorDetails%";
    values.errorDetails = u"%desktop%";
    ExpectExpansions(
        {
            {u"%exceptClass%: %exceptMsg%", u"%exceptMsg%: 50%LF% of %appname%"},
            {u"%bugReport%|%errorDetails%", u"%date% %errorDetails%|%desktop%"},
        },
        values);
}

TEST(PlaceholderExpansionTest, PlainSettingsKeepTheExceptionPlaceholders) {
    // Settings read outside an exception pass the four names as their own values.
    Values values;
    values.exceptionClass = u"%exceptClass%";
    values.errorDetails = u"%errorDetails%";
    values.report = u"%bugReport%";
    values.exceptionMessage = u"%exceptMsg%";
    ExpectExpansions({{u"%appname%: %exceptMsg%%LF%%errorDetails%%LF%%bugReport% (%exceptClass%)",
                       u"app.exe: %exceptMsg%\r\n%errorDetails%\r\n%bugReport% (%exceptClass%)"}},
                     values);
}

TEST(PlaceholderExpansionTest, MissingMessageIsUnknownButEmptyMessageStaysEmpty) {
    Values missing;
    missing.exceptionMessage.reset();
    ExpectExpansions({{u"[%exceptMsg%]", u"[Unknown]"}}, missing);
    Values empty;
    empty.exceptionMessage = u"";
    ExpectExpansions({{u"[%exceptMsg%]", u"[]"}}, empty);
}

TEST(PlaceholderExpansionTest, AsksOnlyForTheValuesTheTextNames) {
    const struct {
        std::u16string text;
        std::vector<std::string> questions;
    } cases[] = {
        {u"An error occurred in %exceptClass%: %exceptMsg%%LF%%bugReport%", {}},
        {u"%appname% crashed", {"path of executable"}},
        {u"%APPVERSION% and %appversion%", {"version of executable"}},
        {u"%modversion%", {"version of module"}},
        {u"%modname% %os%", {"path of module", "os"}},
        {u"%date% %time% %datetime%", {"time"}},
        {u"%userappdata%\\app", {"folder 1"}},
        {u"%commonappdata% %localappdata%", {"folder 2", "folder 3"}},
        {u"%computername% %desktop%", {"computer name", "folder 0"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(ToUtf8(c.text));
        FakeEnvironment environment;
        Expand(environment, c.text);
        EXPECT_EQ(environment.questions, c.questions);
    }
}

TEST(PlaceholderExpansionTest, DatesAndTimesArePaddedButMillisecondsAreNot) {
    const struct {
        LocalDateTime time;
        std::u16string date, clock;
    } cases[] = {
        {{2024, 3, 5, 14, 7, 9, 318}, u"2024-03-05", u"14:07:09, 318ms"},
        {{987, 1, 2, 3, 4, 5, 6}, u"0987-01-02", u"03:04:05, 6ms"},
        {{2000, 12, 31, 23, 59, 59, 0}, u"2000-12-31", u"23:59:59, 0ms"},
        {{2001, 10, 10, 0, 0, 0, 45}, u"2001-10-10", u"00:00:00, 45ms"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(ToUtf8(c.date));
        EXPECT_EQ(ToUtf8(DatePlaceholderText(c.time)), ToUtf8(c.date));
        EXPECT_EQ(ToUtf8(TimePlaceholderText(c.time)), ToUtf8(c.clock));
        FakeEnvironment environment;
        environment.time = c.time;
        EXPECT_EQ(ToUtf8(Expand(environment, u"%datetime%")), ToUtf8(c.date + u", " + c.clock));
    }
}

TEST(PlaceholderExpansionTest, FoldersLoseTrailingBackslashesAndFallBackToTheProgramFolder) {
    const struct {
        std::u16string executable, desktop, expected;
    } cases[] = {
        {u"C:\\Program Files\\App\\app.exe", u"D:\\Desk\\\\", u"D:\\Desk"},
        {u"C:\\Program Files\\App\\app.exe", u"", u"C:\\Program Files\\App"},
        {u"C:\\Program Files\\App\\app.exe", u"\\", u"C:\\Program Files\\App"},
        {u"C:\\app.exe", u"", u"C:"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(ToUtf8(c.executable + u" " + c.desktop));
        FakeEnvironment environment;
        environment.paths[kExecutable] = c.executable;
        environment.folders[SpecialFolder::Desktop] = c.desktop;
        EXPECT_EQ(ToUtf8(Expand(environment, u"%desktop%")), ToUtf8(c.expected));
    }
}

TEST(PlaceholderExpansionTest, FileNamesAreThePartAfterTheLastBackslash) {
    FakeEnvironment environment;
    environment.paths[kExecutable] = u"app.exe";
    environment.paths[kPlugin] = u"\\\\server\\share\\lib\\plugin.bpl";
    EXPECT_EQ(ToUtf8(Expand(environment, u"%appname%|%modname%")), "app.exe|plugin.bpl");
}

TEST(OperatingSystemDescriptionTest, NamesFollowTheVersionTable) {
    const struct {
        PlatformFamily family;
        std::uint32_t major, minor, build;
        bool workstation;
        std::u16string expected;
    } cases[] = {
        {PlatformFamily::WindowsNt, 3, 51, 1057, true, u"Windows NT 3"},
        {PlatformFamily::WindowsNt, 4, 0, 1381, false, u"Windows NT 4"},
        {PlatformFamily::WindowsNt, 5, 0, 2195, true, u"Windows 2000"},
        {PlatformFamily::WindowsNt, 5, 1, 2600, false, u"Windows XP"},
        {PlatformFamily::WindowsNt, 5, 2, 3790, true, u"Windows XP"},
        {PlatformFamily::WindowsNt, 5, 2, 3790, false, u"Windows 2003"},
        {PlatformFamily::WindowsNt, 6, 0, 6002, true, u"Windows Vista"},
        {PlatformFamily::WindowsNt, 6, 0, 6002, false, u"Windows 2008"},
        {PlatformFamily::WindowsNt, 6, 1, 7601, true, u"Windows 7"},
        {PlatformFamily::WindowsNt, 6, 1, 7601, false, u"Windows 2008 R2"},
        {PlatformFamily::WindowsNt, 6, 2, 9200, true, u"Windows 8"},
        {PlatformFamily::WindowsNt, 6, 2, 9200, false, u"Windows 2012"},
        {PlatformFamily::WindowsNt, 6, 3, 9600, true, u"Windows 8.1"},
        {PlatformFamily::WindowsNt, 6, 3, 9600, false, u"Windows 2012 R2"},
        {PlatformFamily::WindowsNt, 6, 4, 9841, true, u"Windows NT New"},
        {PlatformFamily::WindowsNt, 7, 0, 1, true, u"Windows NT New"},
        {PlatformFamily::WindowsNt, 10, 0, 19045, true, u"Windows 10"},
        {PlatformFamily::WindowsNt, 10, 0, 17762, false, u"Windows 2016"},
        {PlatformFamily::WindowsNt, 10, 0, 17763, false, u"Windows 2019"},
        {PlatformFamily::WindowsNt, 11, 0, 1, true, u"Windows NT New"},
        {PlatformFamily::Windows9x, 4, 0, 950, true, u"Windows 95"},
        {PlatformFamily::Windows9x, 4, 0, 1000, true, u"Windows 95"},
        {PlatformFamily::Windows9x, 4, 0, 1001, true, u"Windows 95 OSR-2"},
        {PlatformFamily::Windows9x, 4, 10, 2000, true, u"Windows 98"},
        {PlatformFamily::Windows9x, 4, 10, 2222, true, u"Windows 98 SE"},
        {PlatformFamily::Windows9x, 4, 10, 2701, true, u"Windows ME"},
        {PlatformFamily::Windows9x, 4, 90, 3000, true, u"Windows ME"},
        {PlatformFamily::Windows9x, 4, 91, 3000, true, u"Windows 9x New"},
        {PlatformFamily::Windows9x, 5, 0, 1, true, u"Windows 9x New"},
        {PlatformFamily::Windows9x, 3, 10, 1, true, u"None"},
    };
    for (const auto& c : cases) {
        OperatingSystemFacts facts;
        facts.family = c.family;
        facts.major = c.major;
        facts.minor = c.minor;
        facts.build = c.build;
        facts.workstation = c.workstation;
        SCOPED_TRACE(ToUtf8(c.expected) + " " + std::to_string(c.minor) + " " + std::to_string(c.build));
        EXPECT_EQ(ToUtf8(OperatingSystemName(facts)), ToUtf8(c.expected));
    }
}

TEST(OperatingSystemDescriptionTest, EditionMarksFollowTheName) {
    auto facts = [](std::uint32_t major, std::uint32_t minor, bool r2, bool starter, bool media, bool amd64,
                    std::u16string servicePack, PlatformFamily family = PlatformFamily::WindowsNt) {
        OperatingSystemFacts result;
        result.family = family;
        result.major = major;
        result.minor = minor;
        result.build = 3790;
        result.serverR2 = r2;
        result.starterEdition = starter;
        result.mediaCenter = media;
        result.nativeAmd64 = amd64;
        result.servicePack = servicePack;
        return result;
    };
    const struct {
        OperatingSystemFacts facts;
        std::u16string expected;
    } cases[] = {
        {facts(10, 0, false, false, false, true, u""), u"Windows 10 x64"},
        {facts(5, 1, false, false, true, false, u"Service Pack 3"), u"Windows XP Media Center Service Pack 3"},
        {facts(6, 1, false, false, true, true, u"Service Pack 1"), u"Windows 7 x64 Service Pack 1"},
        {facts(5, 1, true, true, true, true, u"Service Pack 2"),
         u"Windows XP R2 Starter Media Center x64 Service Pack 2"},
        {facts(4, 10, true, true, true, true, u" A ", PlatformFamily::Windows9x), u"Windows ME"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(ToUtf8(c.expected));
        EXPECT_EQ(ToUtf8(OperatingSystemDescription(c.facts)), ToUtf8(c.expected));
    }
}

}  // namespace
}  // namespace brevant::crashreport
