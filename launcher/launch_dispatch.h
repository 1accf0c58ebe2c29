#pragma once
// Acting on a resolved start page: the debug manager, one or all browsers, the shell,
// or an Electron project through npm.

#include <cstdint>
#include <string>

#include "base/exception.h"
#include "launcher/browser_discovery.h"
#include "launcher/browser_kind.h"
#include "launcher/launch_config.h"
#include "launcher/platform.h"

namespace brevant {

// The launcher's own failure: the configured debug manager does not exist.
class EBrevantWork : public Exception {
public:
    using Exception::Exception;
};

// An address with a blank is split by every browser into several arguments; it is
// quoted unless it already holds quotes of its own.
std::u16string BrowserArgument(const std::u16string& address);
// The command interpreter line that runs npm for an Electron build; empty for builds
// that start nothing.
std::u16string ElectronCommand(std::uint8_t build, const std::u16string& directory);

class LaunchDispatch {
public:
    // debugManagerMissing is the message pattern for a missing debug manager ("%s": its path).
    LaunchDispatch(const BrowserDiscovery& browsers, const FileSystem& files, ProcessStarter& processes,
                   std::u16string debugManagerMissing);

    void LaunchTarget(const std::u16string& address, BrowserKind kind, const LaunchConfig& config);
    void StartElectron(std::uint8_t build, const std::u16string& directory);
    bool StartProcess(const std::u16string& command, const std::u16string& parameters, ShowMode show);

private:
    void StartBrowser(const std::u16string& command, const std::u16string& address);

    const BrowserDiscovery& browsers_;
    const FileSystem& files_;
    ProcessStarter& processes_;
    std::u16string debugManagerMissing_;
};

}  // namespace brevant
