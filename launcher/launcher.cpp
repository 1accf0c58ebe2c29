#include "launcher/launcher.h"

#include "launcher/path_text.h"

namespace brevant {

std::u16string HelpText(const std::vector<std::u16string>& lines) {
    std::u16string text;
    for (const std::u16string& line : lines) text += line + u"\r\n";
    return text;
}

Launcher::Launcher(CommandLine commandLine, LauncherPlatform platform, LauncherTexts texts)
    : commandLine_(std::move(commandLine)),
      platform_(platform),
      texts_(std::move(texts)),
      browsers_(platform.registry, platform.files),
      dispatch_(browsers_, platform.files, platform.processes, texts_.debugManagerMissing),
      targets_(commandLine_.Argument(0), platform.files, dispatch_) {}

void Launcher::RunLauncher() {
    if (commandLine_.HasSwitch(u"help")) {
        WriteHelp();
        return;
    }
    try {
        RunConfiguration(FindConfigFile());
    } catch (...) {
        exitCode_ = 1;
        throw;
    }
}

void Launcher::WriteHelp() {
    platform_.streams.WriteText(HelpText(texts_.helpLines) + u"\r\n");
    platform_.streams.SkipInputLine();
}

std::u16string Launcher::FindConfigFile() const {
    std::u16string path;
    if (commandLine_.FindSwitch(u"configfile", path)) return path;
    path = commandLine_.Argument(1);
    std::u16string executableDirectory = DirectoryPart(commandLine_.Argument(0));
    if (!path.empty() && !platform_.files.FileExists(path)) path = CombinePath(executableDirectory, path);
    if (path.empty() || !platform_.files.FileExists(path))
        path = CombinePath(executableDirectory, kDefaultConfigFileName);
    return path;
}

void Launcher::RunConfiguration(const std::u16string& path) {
    const LaunchConfig config(IniFile::Load(path, platform_.files));
    if (config.Electron()) {
        dispatch_.StartElectron(static_cast<std::uint8_t>(config.ElectronBuild() & 0xFF), config.HtmlPath());
        return;
    }
    BrowserKind kind = BrowserKindFromNumber(config.Browser());
    std::u16string url = config.Url();
    if (!url.empty())
        targets_.StartUrlTarget(url, kind, config);
    else if (!targets_.StartFileTarget(kind, config))
        exitCode_ = 1;
}

}  // namespace brevant
