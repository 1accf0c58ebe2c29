#pragma once
// The program body: help, or one run of the launch configuration.

#include <string>
#include <vector>

#include "launcher/browser_discovery.h"
#include "launcher/command_line.h"
#include "launcher/launch_dispatch.h"
#include "launcher/platform.h"
#include "launcher/target_resolution.h"

namespace brevant {

// The user-visible texts the launcher takes from the program's string resources.
struct LauncherTexts {
    std::vector<std::u16string> helpLines;
    std::u16string debugManagerMissing;  // "%s": the DebugManager path
};

inline constexpr std::u16string_view kDefaultConfigFileName = u"Brevant.ini";

// The help lines, each followed by CR LF.
std::u16string HelpText(const std::vector<std::u16string>& lines);

class Launcher {
public:
    Launcher(CommandLine commandLine, LauncherPlatform platform, LauncherTexts texts);

    // Errors of a configuration run set the exit code to 1 and leave this function.
    void RunLauncher();
    int ExitCode() const { return exitCode_; }

    std::u16string FindConfigFile() const;
    void RunConfiguration(const std::u16string& path);

private:
    void WriteHelp();

    CommandLine commandLine_;
    LauncherPlatform platform_;
    LauncherTexts texts_;
    BrowserDiscovery browsers_;
    LaunchDispatch dispatch_;
    TargetResolution targets_;
    int exitCode_ = 0;
};

}  // namespace brevant
