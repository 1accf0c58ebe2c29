#include "crashreport/report/operating_system_description.h"

namespace brevant::crashreport {

namespace {

std::u16string Windows9xName(const OperatingSystemFacts& facts) {
    if (facts.major < 4) return u"None";
    if (facts.major > 4 || facts.minor > 90) return u"Windows 9x New";
    if (facts.minor < 10) return facts.build <= 1000 ? u"Windows 95" : u"Windows 95 OSR-2";
    if (facts.minor == 10) {
        if (facts.build <= 2000) return u"Windows 98";
        return facts.build <= 2700 ? u"Windows 98 SE" : u"Windows ME";
    }
    return u"Windows ME";
}

std::u16string WindowsNt5Name(const OperatingSystemFacts& facts) {
    if (facts.minor == 0) return u"Windows 2000";
    if (facts.minor == 1 || facts.workstation) return u"Windows XP";
    return u"Windows 2003";
}

std::u16string WindowsNt6Name(const OperatingSystemFacts& facts) {
    switch (facts.minor) {
        case 0:
            return facts.workstation ? u"Windows Vista" : u"Windows 2008";
        case 1:
            return facts.workstation ? u"Windows 7" : u"Windows 2008 R2";
        case 2:
            return facts.workstation ? u"Windows 8" : u"Windows 2012";
        case 3:
            return facts.workstation ? u"Windows 8.1" : u"Windows 2012 R2";
        default:
            return u"Windows NT New";
    }
}

std::u16string WindowsNtName(const OperatingSystemFacts& facts) {
    if (facts.major <= 3) return u"Windows NT 3";
    if (facts.major == 4) return u"Windows NT 4";
    if (facts.major == 5) return WindowsNt5Name(facts);
    if (facts.major == 6) return WindowsNt6Name(facts);
    if (facts.major == 10) {
        if (facts.workstation) return u"Windows 10";
        return facts.build < 17763 ? u"Windows 2016" : u"Windows 2019";
    }
    return u"Windows NT New";
}

}  // namespace

std::u16string OperatingSystemName(const OperatingSystemFacts& facts) {
    return facts.family == PlatformFamily::Windows9x ? Windows9xName(facts) : WindowsNtName(facts);
}

std::u16string OperatingSystemDescription(const OperatingSystemFacts& facts) {
    std::u16string description = OperatingSystemName(facts);
    if (facts.family != PlatformFamily::WindowsNt) return description;
    if (facts.serverR2) description += u" R2";
    if (facts.starterEdition) description += u" Starter";
    // From Vista on, Media Center is part of ordinary editions, so the mark would mislead there.
    if (facts.mediaCenter && facts.major < 6) description += u" Media Center";
    if (facts.nativeAmd64) description += u" x64";
    if (!facts.servicePack.empty()) description += u" " + facts.servicePack;
    return description;
}

}  // namespace brevant::crashreport
