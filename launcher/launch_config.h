#pragma once
// The launch configuration: the keys of the section "Paths" of the launcher's INI file.

#include <cstdint>
#include <string>

#include "launcher/ini_file.h"

namespace brevant {

class LaunchConfig {
public:
    explicit LaunchConfig(IniFile document) : document_(std::move(document)) {}

    bool Electron() const { return Bool(u"Electron"); }
    std::int32_t ElectronBuild() const { return document_.ReadInteger(kSection, u"ElectronBuild", 0); }
    std::int32_t Browser() const { return document_.ReadInteger(kSection, u"Browser", 1); }
    std::u16string HtmlPath() const { return Text(u"HtmlPath"); }
    std::u16string Url() const { return Text(u"URL"); }
    std::u16string HtmlFile() const { return Text(u"HtmlFile"); }
    std::u16string UrlParams() const { return Text(u"URLParams"); }
    std::u16string DefaultUrl() const { return Text(u"DefaultURL"); }
    bool Debug() const { return Bool(u"Debug"); }
    bool SingleInstance() const { return Bool(u"SingleInstance"); }
    std::u16string DebugManager() const { return Text(u"DebugManager"); }
    std::u16string BrowserBin() const { return Text(u"BrowserBin"); }

private:
    static constexpr const char16_t* kSection = u"Paths";

    std::u16string Text(const char16_t* key) const { return document_.ReadString(kSection, key, u""); }
    bool Bool(const char16_t* key) const { return document_.ReadBool(kSection, key, false); }

    IniFile document_;
};

}  // namespace brevant
