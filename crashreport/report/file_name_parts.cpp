#include "crashreport/report/file_name_parts.h"

namespace brevant::crashreport {

FileNameParts SplitAtLastBackslash(std::u16string_view fullName) {
    const std::size_t last = fullName.rfind(u'\\');
    if (last == std::u16string_view::npos) return {{}, std::u16string(fullName)};
    return {std::u16string(fullName.substr(0, last)), std::u16string(fullName.substr(last + 1))};
}

}  // namespace brevant::crashreport
