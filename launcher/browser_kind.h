#pragma once

#include <cstdint>

namespace brevant {

// The configured browser choice; values 10 to 255 have no meaning and act like Shell.
enum class BrowserKind : std::uint8_t {
    Shell = 0,
    Default = 1,
    All = 2,
    Chrome = 3,
    Firefox = 4,
    Edge = 5,
    InternetExplorer = 6,
    Opera = 7,
    FirefoxDeveloper = 8,
    Custom = 9,
};

// The configuration's Browser number as a kind: negative counts as 0, otherwise the low 8 bits.
inline BrowserKind BrowserKindFromNumber(std::int32_t number) {
    return static_cast<BrowserKind>(number < 0 ? 0 : number & 0xFF);
}

}  // namespace brevant
