#pragma once
// Turns the launch configuration into one start page address: from URL and HtmlFile
// (the URL road) or from a local HTML file (the file road).

#include <string>
#include <string_view>

#include "launcher/browser_kind.h"
#include "launcher/launch_config.h"
#include "launcher/launch_dispatch.h"
#include "launcher/platform.h"

namespace brevant {

// Replaces $(ProjectName), $(OutputDir) and $(DefaultURL), in this order, ignoring case.
std::u16string ExpandMacros(std::u16string_view text, const LaunchConfig& config, std::u16string_view projectName);

class TargetResolution {
public:
    TargetResolution(std::u16string modulePath, const FileSystem& files, LaunchDispatch& dispatch);

    void StartUrlTarget(const std::u16string& url, BrowserKind kind, const LaunchConfig& config);
    // False when no start page file exists; nothing is launched then.
    bool StartFileTarget(BrowserKind kind, const LaunchConfig& config);

    const std::u16string& ProjectName() const { return projectName_; }
    const std::u16string& DefaultHtmlFile() const { return defaultHtmlFile_; }

private:
    std::u16string HtmlFileOrDefault(const LaunchConfig& config) const;

    std::u16string modulePath_;
    std::u16string projectName_;
    std::u16string defaultHtmlFile_;
    const FileSystem& files_;
    LaunchDispatch& dispatch_;
};

}  // namespace brevant
