// Entry point of Brevant.exe: wires the Win32 platform into the launcher and runs it once. The
// crash reporter linked into the program is active before this runs.

#include <windows.h>

#include "base/win32/wide_text.h"
#include "launcher/launcher.h"
#include "launcher/win32/win32_platform.h"
#include "resources/resource_ids.h"

namespace brevant {

namespace {

LauncherTexts LoadLauncherTexts() {
    return LauncherTexts{
        {LoadResourceString(IDS_HELP_SWITCHES), LoadResourceString(IDS_HELP_CONFIGFILE),
         LoadResourceString(IDS_HELP_HELP)},
        LoadResourceString(IDS_DEBUG_MANAGER_MISSING),
    };
}

int RunProgram() {
    Win32FileSystem files;
    Win32Registry registry;
    Win32ProcessStarter processes;
    Win32StandardStreams streams;
    Launcher launcher(CommandLine(ModulePath(nullptr), FromWide(GetCommandLineW())),
                      LauncherPlatform{files, registry, processes, streams}, LoadLauncherTexts());
    // An error that escapes ends the program with exit code 1: the crash reporter takes it
    // over, reports it and closes the program with that code.
    launcher.RunLauncher();
    return launcher.ExitCode();
}

}  // namespace

}  // namespace brevant

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    return brevant::RunProgram();
}
