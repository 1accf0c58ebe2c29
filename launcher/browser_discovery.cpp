#include "launcher/browser_discovery.h"

#include "base/exception.h"
#include "base/letter_case.h"
#include "base/utf16_text.h"
#include "launcher/ini_file.h"
#include "launcher/path_text.h"

namespace brevant {

namespace {

const std::u16string kOpenCommand = u"\\shell\\open\\command";
const std::u16string kDefaultValue;

bool Contains(std::u16string_view text, std::u16string_view part) {
    return text.find(part) != std::u16string_view::npos;
}

std::u16string_view TrimBlanks(std::u16string_view text) {
    while (!text.empty() && text.front() <= u' ') text.remove_prefix(1);
    while (!text.empty() && text.back() <= u' ') text.remove_suffix(1);
    return text;
}

}  // namespace

std::u16string ExtractExecutable(std::u16string_view command) {
    std::size_t exe = FindIgnoringCase(command, u".exe");
    if (exe == std::u16string_view::npos) return std::u16string(command);
    std::size_t end = exe + 4;
    if (end < command.size() && command[end] == u'"') ++end;
    return std::u16string(command.substr(0, end));
}

BrowserKind BrowserKindFromProgId(std::u16string_view progId) {
    std::u16string executable = LowerCase(ExtractExecutable(progId));
    if (Contains(executable, u"chrome")) return BrowserKind::Chrome;
    if (Contains(executable, u"iexplore")) return BrowserKind::InternetExplorer;
    if (Contains(executable, u"opera")) return BrowserKind::Opera;
    if (Contains(executable, u"edge")) return BrowserKind::Edge;
    return BrowserKind::Default;
}

std::u16string RegistryValueText(const RegistryValue& value, const std::u16string& valueName) {
    if (value.state == RegistryValue::State::Missing || value.dataSize == 0) return {};
    if (value.state == RegistryValue::State::Unreadable)
        throw ERegistryException(FormatText(u"Failed to get data for '%s'", {valueName}));
    if (value.type != RegistryValue::kString && value.type != RegistryValue::kExpandString)
        throw ERegistryException(FormatText(u"Invalid data type for '%s'", {valueName}));
    return value.data.substr(0, value.data.find(u'\0'));
}

std::u16string BrowserDiscovery::ReadText(RegistryRoot root, const std::u16string& keyPath,
                                          const std::u16string& valueName) const {
    std::optional<RegistryValue> value = registry_.ReadValue(root, keyPath, valueName);
    return value ? RegistryValueText(*value, valueName) : std::u16string();
}

std::u16string BrowserDiscovery::ReadBrowserCommand(const std::u16string& keyPath) const {
    return ExtractExecutable(ReadText(RegistryRoot::ClassesRoot, keyPath, kDefaultValue));
}

std::u16string BrowserDiscovery::ChromiumCommand(const std::u16string& progId, bool withDevTools) const {
    std::u16string command = ReadBrowserCommand(progId + kOpenCommand);
    return withDevTools ? command + std::u16string(kDevToolsFlag) : command;
}

std::u16string BrowserDiscovery::ChromeCommand(bool withDevTools) const {
    return ChromiumCommand(u"ChromeHTML", withDevTools);
}

std::u16string BrowserDiscovery::EdgeCommand(bool withDevTools) const {
    return ChromiumCommand(u"MSEdgeHTM", withDevTools);
}

std::u16string BrowserDiscovery::InternetExplorerCommand() const {
    return ReadBrowserCommand(u"Applications\\iexplore.exe" + kOpenCommand);
}

std::u16string BrowserDiscovery::OperaCommand() const {
    return ReadBrowserCommand(u"Applications\\opera.exe" + kOpenCommand);
}

bool BrowserDiscovery::IsEdgeInstalled() const {
    std::u16string executable = RemoveSurroundingQuotes(EdgeCommand(false));
    return !executable.empty() && files_.FileExists(executable);
}

bool BrowserDiscovery::IsFirefoxDeveloperEdition(std::u16string_view command) const {
    std::u16string_view trimmed = TrimBlanks(command);
    if (trimmed.empty()) return false;
    std::u16string executable = RemoveSurroundingQuotes(trimmed);
    if (HasInvalidPathCharacter(executable)) throw EArgumentException(u"Invalid characters in file name");
    std::u16string applicationIni = CombinePath(TextBeforeLastSlash(executable), u"application.ini");
    if (!files_.FileExists(applicationIni)) return false;
    std::u16string codeName = IniFile::Load(applicationIni, files_).ReadString(u"App", u"CodeName", u"");
    return Contains(LowerCase(codeName), u"developer edition");
}

std::u16string BrowserDiscovery::FirefoxCommand(bool developerEdition) const {
    std::u16string command = ReadBrowserCommand(u"FirefoxHTML" + kOpenCommand);
    if (!command.empty() && IsFirefoxDeveloperEdition(command) == developerEdition) return command;
    std::optional<std::vector<std::u16string>> names = registry_.SubkeyNames(RegistryRoot::ClassesRoot, u"");
    if (!names) return {};
    for (const std::u16string& name : *names) {
        if (!Contains(LowerCase(name), u"firefoxhtml")) continue;
        command = ReadBrowserCommand(name + kOpenCommand);
        if (IsFirefoxDeveloperEdition(command) == developerEdition) return command;
    }
    return {};
}

// Current Windows 11 records the user's choice under UserChoiceLatest and may leave
// UserChoice stale, so the newer key is asked first.
std::u16string BrowserDiscovery::UserUrlProgId() const {
    const std::u16string associations = u"Software\\Microsoft\\Windows\\Shell\\Associations\\UrlAssociations\\http\\";
    std::u16string progId = ReadText(RegistryRoot::CurrentUser, associations + u"UserChoiceLatest", u"ProgId");
    if (progId.empty()) progId = ReadText(RegistryRoot::CurrentUser, associations + u"UserChoice", u"ProgId");
    return progId;
}

BrowserKind BrowserDiscovery::DetectDefaultBrowser() const {
    std::u16string progId = UserUrlProgId();
    if (progId.empty()) return BrowserKind::Default;
    if (!Contains(LowerCase(progId), u"firefox")) return BrowserKindFromProgId(progId);
    std::u16string command =
        ExtractExecutable(ReadText(RegistryRoot::ClassesRoot, progId + kOpenCommand, kDefaultValue));
    return IsFirefoxDeveloperEdition(command) ? BrowserKind::FirefoxDeveloper : BrowserKind::Firefox;
}

}  // namespace brevant
