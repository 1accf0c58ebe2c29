#pragma once
// Base64 as mail headers and bodies carry binary data.

#include <string>
#include <string_view>

namespace brevant::crashreport {

// The standard alphabet with "=" padding, on one line.
std::string Base64(std::string_view bytes);

}  // namespace brevant::crashreport
