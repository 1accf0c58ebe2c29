#include "launcher/browser_discovery.h"

#include <gtest/gtest.h>

#include <optional>

#include "base/exception.h"
#include "fake_platform.h"

namespace brevant {
namespace {

using testing::FakeFileSystem;
using testing::FakeRegistry;
using testing::U8;

TEST(ExtractExecutableTest, CutsAfterTheFirstExe) {
    const struct {
        std::u16string command, expected;
    } cases[] = {
        {u"\"C:\\Program Files\\Google\\chrome.exe\" --single-argument %1",
         u"\"C:\\Program Files\\Google\\chrome.exe\""},
        {u"C:\\App\\app.exe %1", u"C:\\App\\app.exe"},
        {u"C:\\APP\\APP.EXE %1", u"C:\\APP\\APP.EXE"},
        {u"C:\\a.exe.d\\b.exe", u"C:\\a.exe"},
        {u"x.exe\"", u"x.exe\""},
        {u"x.exe", u"x.exe"},
        {u"firefox -url \"%1\"", u"firefox -url \"%1\""},
        {u"", u""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(U8(c.command));
        EXPECT_EQ(ExtractExecutable(c.command), c.expected);
    }
}

TEST(BrowserKindFromProgIdTest, FirstMatchingNameWins) {
    const struct {
        std::u16string progId;
        BrowserKind expected;
    } cases[] = {
        {u"ChromeHTML", BrowserKind::Chrome},
        {u"MSEdgeHTM", BrowserKind::Edge},
        {u"OperaStable", BrowserKind::Opera},
        {u"IE.HTTP", BrowserKind::Default},
        {u"IExplore.Url", BrowserKind::InternetExplorer},
        {u"ChromeEdgeHTML", BrowserKind::Chrome},
        {u"BraveHTML", BrowserKind::Default},
        {u"Opera.EXE.chrome", BrowserKind::Opera},  // only the part up to ".exe" is looked at
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(U8(c.progId));
        EXPECT_EQ(BrowserKindFromProgId(c.progId), c.expected);
    }
}

TEST(RegistryValueTextTest, StringTypesReadUpToTheFirstNul) {
    RegistryValue twoStrings = FakeRegistry::StringValue(u"abc");
    twoStrings.data = std::u16string(u"abc\0def\0", 8);
    twoStrings.dataSize = 16;
    RegistryValue emptyDword;
    emptyDword.state = RegistryValue::State::Present;
    emptyDword.type = 4;

    EXPECT_EQ(RegistryValueText(RegistryValue{}, u"ProgId"), u"");
    EXPECT_EQ(RegistryValueText(emptyDword, u"ProgId"), u"");
    EXPECT_EQ(RegistryValueText(twoStrings, u"ProgId"), u"abc");
    EXPECT_EQ(RegistryValueText(FakeRegistry::StringValue(u"%ProgramFiles%\\x", RegistryValue::kExpandString), u""),
              u"%ProgramFiles%\\x");
}

TEST(RegistryValueTextTest, OtherTypesAndUnreadableDataAreErrors) {
    RegistryValue dword;
    dword.state = RegistryValue::State::Present;
    dword.type = 4;
    dword.dataSize = 4;
    RegistryValue binary = dword;
    binary.type = 3;
    RegistryValue unreadable = FakeRegistry::StringValue(u"x");
    unreadable.state = RegistryValue::State::Unreadable;

    const struct {
        RegistryValue value;
        std::u16string name, message;
    } cases[] = {
        {dword, u"ProgId", u"Invalid data type for 'ProgId'"},
        {binary, u"", u"Invalid data type for ''"},
        {unreadable, u"ProgId", u"Failed to get data for 'ProgId'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(U8(c.message));
        try {
            RegistryValueText(c.value, c.name);
            ADD_FAILURE() << "no error";
        } catch (const ERegistryException& error) {
            EXPECT_EQ(error.Message(), c.message);
        }
    }
}

struct Machine {
    FakeRegistry registry;
    FakeFileSystem files;
    BrowserDiscovery browsers{registry, files};

    void FirefoxAt(const std::u16string& progId, const std::u16string& directory, const char* codeName) {
        registry.SetOpenCommand(progId, u"\"" + directory + u"\\firefox.exe\" -osint -url \"%1\"");
        if (codeName != nullptr)
            files.Add(directory + u"\\application.ini", std::string("[App]\nCodeName=") + codeName);
    }
};

TEST(DetectDefaultBrowserTest, ReadsTheUserChoice) {
    const struct {
        std::optional<std::u16string> latest, choice;  // ProgIds under UserChoiceLatest and UserChoice
        const char* applicationIni;                    // beside FirefoxURL-1's executable, when given
        BrowserKind expected;
    } cases[] = {
        {std::nullopt, std::nullopt, nullptr, BrowserKind::Default},
        {std::nullopt, u"", nullptr, BrowserKind::Default},
        {std::nullopt, u"ChromeHTML", nullptr, BrowserKind::Chrome},
        {std::nullopt, u"AppXq0fevzme2pys62n3e0fbqa7peapykr8v", nullptr, BrowserKind::Default},
        {u"MSEdgeHTM", u"ChromeHTML", nullptr, BrowserKind::Edge},
        {u"", u"ChromeHTML", nullptr, BrowserKind::Chrome},
        {u"OperaStable", std::nullopt, nullptr, BrowserKind::Opera},
        {std::nullopt, u"FirefoxURL-1", nullptr, BrowserKind::Firefox},
        {std::nullopt, u"FirefoxURL-2", nullptr, BrowserKind::Firefox},  // registered without a command
        {std::nullopt, u"FirefoxURL-1", "[App]\nCodeName=FIREFOX DEVELOPER EDITION", BrowserKind::FirefoxDeveloper},
        {std::nullopt, u"FirefoxURL-1", "[App]\nCodeName=Firefox", BrowserKind::Firefox},
        {std::nullopt, u"FirefoxURL-1", "[Build]\nCodeName=Firefox Developer Edition", BrowserKind::Firefox},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(U8(c.latest.value_or(u"-") + u" " + c.choice.value_or(u"-")));
        Machine machine;
        if (c.latest) machine.registry.SetUserChoice(*c.latest, u"UserChoiceLatest");
        if (c.choice) machine.registry.SetUserChoice(*c.choice);
        machine.registry.SetOpenCommand(u"FirefoxURL-1", u"\"C:\\FF\\firefox.exe\" -osint -url \"%1\"");
        if (c.applicationIni != nullptr) machine.files.Add(u"C:\\FF\\application.ini", c.applicationIni);
        EXPECT_EQ(machine.browsers.DetectDefaultBrowser(), c.expected);
    }
}

TEST(DetectDefaultBrowserTest, BadRegistryDataAndBadPathsAreErrors) {
    Machine wrongType;
    wrongType.registry.Set(RegistryRoot::CurrentUser,
                           u"Software\\Microsoft\\Windows\\Shell\\Associations\\UrlAssociations\\http\\UserChoice",
                           u"ProgId", RegistryValue{RegistryValue::State::Present, 4, 4, u""});
    EXPECT_THROW(wrongType.browsers.DetectDefaultBrowser(), ERegistryException);

    // A registered command without ".exe" keeps its arguments, quotes included.
    Machine noExe;
    noExe.registry.SetUserChoice(u"FirefoxURL-1");
    noExe.registry.SetOpenCommand(u"FirefoxURL-1", u"firefox -url \"%1\"");
    try {
        noExe.browsers.DetectDefaultBrowser();
        ADD_FAILURE() << "no error";
    } catch (const EArgumentException& error) {
        EXPECT_EQ(error.Message(), u"Invalid characters in file name");
    }
}

TEST(BrowserCommandTest, ChromiumCommandsTakeTheDevToolsFlagDirectly) {
    Machine machine;
    EXPECT_EQ(machine.browsers.ChromeCommand(true), u"--auto-open-devtools-for-tabs");
    EXPECT_EQ(machine.browsers.ChromeCommand(false), u"");
    EXPECT_FALSE(machine.browsers.IsEdgeInstalled());

    machine.registry.SetOpenCommand(u"ChromeHTML", u"\"C:\\Chrome\\chrome.exe\" -- \"%1\"");
    machine.registry.SetOpenCommand(u"MSEdgeHTM", u"\"C:\\Edge\\msedge.exe\" --single-argument %1");
    machine.registry.SetOpenCommand(u"Applications\\iexplore.exe", u"C:\\IE\\IEXPLORE.EXE %1");
    machine.registry.SetOpenCommand(u"Applications\\opera.exe", u"\"C:\\Opera\\launcher.exe\" %1");
    EXPECT_EQ(machine.browsers.ChromeCommand(true), u"\"C:\\Chrome\\chrome.exe\"--auto-open-devtools-for-tabs");
    EXPECT_EQ(machine.browsers.EdgeCommand(true), u"\"C:\\Edge\\msedge.exe\"--auto-open-devtools-for-tabs");
    EXPECT_EQ(machine.browsers.EdgeCommand(false), u"\"C:\\Edge\\msedge.exe\"");
    EXPECT_EQ(machine.browsers.InternetExplorerCommand(), u"C:\\IE\\IEXPLORE.EXE");
    EXPECT_EQ(machine.browsers.OperaCommand(), u"\"C:\\Opera\\launcher.exe\"");

    EXPECT_FALSE(machine.browsers.IsEdgeInstalled());  // registered, but its file is gone
    machine.files.Add(u"C:\\Edge\\msedge.exe");
    EXPECT_TRUE(machine.browsers.IsEdgeInstalled());
}

TEST(FirefoxCommandTest, SearchesFirefoxKeysForTheWantedEdition) {
    Machine machine;
    machine.FirefoxAt(u"FirefoxHTML", u"C:\\FFDev", "Firefox Developer Edition");
    machine.FirefoxAt(u"FirefoxHTML-1234", u"C:\\FF", "Firefox");
    machine.registry.SetClassesRootSubkeys({u".html", u"ChromeHTML", u"FirefoxHTML", u"FirefoxHTML-1234"});
    EXPECT_EQ(machine.browsers.FirefoxCommand(false), u"\"C:\\FF\\firefox.exe\"");
    EXPECT_EQ(machine.browsers.FirefoxCommand(true), u"\"C:\\FFDev\\firefox.exe\"");

    // A matching key without a command ends the search for the ordinary edition.
    machine.registry.SetClassesRootSubkeys({u"FirefoxHTML", u"firefoxhtml-empty", u"FirefoxHTML-1234"});
    EXPECT_EQ(machine.browsers.FirefoxCommand(false), u"");
    EXPECT_EQ(machine.browsers.FirefoxCommand(true), u"\"C:\\FFDev\\firefox.exe\"");

    Machine ordinaryOnly;
    ordinaryOnly.FirefoxAt(u"FirefoxHTML", u"C:\\FF", nullptr);
    EXPECT_EQ(ordinaryOnly.browsers.FirefoxCommand(false), u"\"C:\\FF\\firefox.exe\"");  // no search needed
    EXPECT_EQ(ordinaryOnly.browsers.FirefoxCommand(true), u"");                          // the root cannot be listed
    ordinaryOnly.registry.SetClassesRootSubkeys({u"FirefoxHTML"});
    EXPECT_EQ(ordinaryOnly.browsers.FirefoxCommand(true), u"");
}

TEST(FirefoxCommandTest, IsFirefoxDeveloperEdition) {
    Machine machine;
    machine.files.Add(u"C:\\FFDev\\application.ini", "[app]\r\ncodename=Firefox Developer Edition\r\n");
    machine.files.Add(u"application.ini", "[App]\nCodeName=Firefox Developer Edition\n");
    const struct {
        std::u16string command;
        bool expected;
    } cases[] = {
        {u"\"C:\\FFDev\\firefox.exe\"", true},
        {u"  C:\\FFDev\\firefox.exe \t", true},
        {u"C:\\FF\\firefox.exe", false},
        {u"firefox.exe", true},  // no directory: application.ini of the current directory
        {u"", false},
        {u"   ", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(U8(c.command));
        EXPECT_EQ(machine.browsers.IsFirefoxDeveloperEdition(c.command), c.expected);
    }
    EXPECT_THROW(machine.browsers.IsFirefoxDeveloperEdition(u"C:\\FF\\firefox -url <x>"), EArgumentException);
    machine.files.AddLocked(u"C:\\Locked\\application.ini");
    EXPECT_THROW(machine.browsers.IsFirefoxDeveloperEdition(u"C:\\Locked\\firefox.exe"), EFOpenError);
}

}  // namespace
}  // namespace brevant
