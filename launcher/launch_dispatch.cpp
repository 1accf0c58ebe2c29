#include "launcher/launch_dispatch.h"

#include "base/utf16_text.h"

namespace brevant {

std::u16string BrowserArgument(const std::u16string& address) {
    bool hasBlank = address.find(u' ') != std::u16string::npos;
    bool hasQuote = address.find(u'"') != std::u16string::npos;
    return hasBlank && !hasQuote ? u"\"" + address + u"\"" : address;
}

// "cd /d" so that a project on another drive than the current directory is entered too.
std::u16string ElectronCommand(std::uint8_t build, const std::u16string& directory) {
    if (build <= 1) return FormatText(u"cmd.exe /c cd /d \"%s\" & npm start", {directory});
    if (build <= 3)
        return FormatText(u"cmd.exe /c cd /d \"%s\" & npm run-script %s",
                          {directory, build == 2 ? u"run-win32" : u"run-win64"});
    return {};
}

LaunchDispatch::LaunchDispatch(const BrowserDiscovery& browsers, const FileSystem& files, ProcessStarter& processes,
                               std::u16string debugManagerMissing)
    : browsers_(browsers), files_(files), processes_(processes), debugManagerMissing_(std::move(debugManagerMissing)) {}

bool LaunchDispatch::StartProcess(const std::u16string& command, const std::u16string& parameters, ShowMode show) {
    std::u16string commandLine = parameters.empty() ? command : command + u' ' + parameters;
    return processes_.CreateProcessFromCommandLine(commandLine, show);
}

void LaunchDispatch::StartBrowser(const std::u16string& command, const std::u16string& address) {
    StartProcess(command, BrowserArgument(address), ShowMode::Shown);
}

void LaunchDispatch::LaunchTarget(const std::u16string& address, BrowserKind kind, const LaunchConfig& config) {
    if (kind == BrowserKind::All) {
        for (int each = int(BrowserKind::Chrome); each <= int(BrowserKind::Custom); ++each)
            LaunchTarget(address, static_cast<BrowserKind>(each), config);
        return;
    }
    if (kind == BrowserKind::Default) kind = browsers_.DetectDefaultBrowser();

    bool debug = config.Debug();
    if (config.SingleInstance()) {
        std::u16string debugManager = config.DebugManager();
        if (!debugManager.empty()) {
            if (!files_.FileExists(debugManager)) throw EBrevantWork(FormatText(debugManagerMissing_, {debugManager}));
            const char16_t* pattern = debug ? u"/url:\"%s\" /browser:%d /debug" : u"/url:\"%s\" /browser:%d";
            StartProcess(debugManager, FormatText(pattern, {address, TextArgument(int(kind))}), ShowMode::Hidden);
            return;
        }
    }

    switch (kind) {
        case BrowserKind::Chrome:
            StartBrowser(browsers_.ChromeCommand(debug), address);
            break;
        case BrowserKind::Firefox:
            StartBrowser(browsers_.FirefoxCommand(false), address);
            break;
        case BrowserKind::Edge:
            if (browsers_.IsEdgeInstalled())
                StartBrowser(browsers_.EdgeCommand(debug), address);
            else
                processes_.ShellOpen(u"microsoft-edge:" + address, u"");
            break;
        case BrowserKind::InternetExplorer:
            StartBrowser(browsers_.InternetExplorerCommand(), address);
            break;
        case BrowserKind::Opera:
            StartBrowser(browsers_.OperaCommand(), address);
            break;
        case BrowserKind::FirefoxDeveloper:
            StartBrowser(browsers_.FirefoxCommand(true), address);
            break;
        case BrowserKind::Custom:
            StartBrowser(config.BrowserBin(), address);
            break;
        default:
            processes_.ShellOpen(address, u"");
            break;
    }
}

void LaunchDispatch::StartElectron(std::uint8_t build, const std::u16string& directory) {
    std::u16string command = ElectronCommand(build, directory);
    if (!command.empty()) StartProcess(command, u"", ShowMode::Hidden);
}

}  // namespace brevant
