#pragma once
// Finds the command that starts each known browser, from the registry's file and URL
// associations and, for Firefox, the browser's own "application.ini".

#include <string>
#include <string_view>

#include "launcher/browser_kind.h"
#include "launcher/platform.h"

namespace brevant {

// Appended directly to the Chrome or Edge command when developer tools are wanted.
inline constexpr std::u16string_view kDevToolsFlag = u"--auto-open-devtools-for-tabs";

// The registered command cut after its first ".exe" (and the quote right after it).
std::u16string ExtractExecutable(std::u16string_view command);
// The browser a user's URL-association ProgId stands for, when it is not a Firefox one.
BrowserKind BrowserKindFromProgId(std::u16string_view progId);
// Applies the reading rules to a stored value: empty for a missing or empty value, the
// text up to the first NUL for string types, ERegistryException for anything else.
std::u16string RegistryValueText(const RegistryValue& value, const std::u16string& valueName);

class BrowserDiscovery {
public:
    BrowserDiscovery(const RegistryReader& registry, const FileSystem& files) : registry_(registry), files_(files) {}

    BrowserKind DetectDefaultBrowser() const;
    std::u16string ReadBrowserCommand(const std::u16string& keyPath) const;
    std::u16string ChromeCommand(bool withDevTools) const;
    std::u16string EdgeCommand(bool withDevTools) const;
    std::u16string InternetExplorerCommand() const;
    std::u16string OperaCommand() const;
    std::u16string FirefoxCommand(bool developerEdition) const;
    bool IsFirefoxDeveloperEdition(std::u16string_view command) const;
    bool IsEdgeInstalled() const;

private:
    // The text of a value; empty when the key cannot be opened or the value is missing.
    std::u16string ReadText(RegistryRoot root, const std::u16string& keyPath, const std::u16string& valueName) const;
    std::u16string UserUrlProgId() const;
    // Chrome and Edge share their command form and the developer-tools flag.
    std::u16string ChromiumCommand(const std::u16string& progId, bool withDevTools) const;

    const RegistryReader& registry_;
    const FileSystem& files_;
};

}  // namespace brevant
