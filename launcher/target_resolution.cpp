#include "launcher/target_resolution.h"

#include "base/letter_case.h"
#include "launcher/path_text.h"

namespace brevant {

std::u16string ExpandMacros(std::u16string_view text, const LaunchConfig& config, std::u16string_view projectName) {
    std::u16string result = ReplaceAllIgnoringCase(text, u"$(ProjectName)", projectName);
    result = ReplaceAllIgnoringCase(result, u"$(OutputDir)", QuoteIfSpaced(config.HtmlPath()));
    return ReplaceAllIgnoringCase(result, u"$(DefaultURL)", config.DefaultUrl());
}

TargetResolution::TargetResolution(std::u16string modulePath, const FileSystem& files, LaunchDispatch& dispatch)
    : modulePath_(std::move(modulePath)),
      projectName_(NameWithoutExtension(modulePath_)),
      defaultHtmlFile_(ReplaceExtension(FileNamePart(modulePath_), u".html")),
      files_(files),
      dispatch_(dispatch) {}

std::u16string TargetResolution::HtmlFileOrDefault(const LaunchConfig& config) const {
    std::u16string htmlFile = config.HtmlFile();
    return htmlFile.empty() ? defaultHtmlFile_ : htmlFile;
}

void TargetResolution::StartUrlTarget(const std::u16string& url, BrowserKind kind, const LaunchConfig& config) {
    std::u16string htmlFile = HtmlFileOrDefault(config);
    std::u16string address = EnsureTrailingSlash(ExpandMacros(url, config, projectName_)) + htmlFile;
    address = StripTrailingSlash(AddHttpPrefix(address)) + config.UrlParams();
    dispatch_.LaunchTarget(address, kind, config);
}

bool TargetResolution::StartFileTarget(BrowserKind kind, const LaunchConfig& config) {
    std::u16string path = ExpandMacros(CombinePath(config.HtmlPath(), HtmlFileOrDefault(config)), config, projectName_);
    if (!files_.FileExists(path)) {
        path = ReplaceExtension(modulePath_, u".html");
        if (!files_.FileExists(path)) return false;
    }
    dispatch_.LaunchTarget(path + config.UrlParams(), kind, config);
    return true;
}

}  // namespace brevant
