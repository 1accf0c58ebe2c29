#include "crashreport/report/win32/long_file_names.h"

#include <windows.h>

#include <optional>

#include "base/win32/wide_text.h"
#include "crashreport/report/short_name_expansion.h"

namespace brevant::crashreport {

namespace {

std::optional<std::u16string> FoundLongName(const std::u16string& path) {
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW(ToWide(path).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return std::nullopt;
    FindClose(search);
    return FromWide(std::wstring_view(found.cFileName, wcsnlen(found.cFileName, MAX_PATH)));
}

}  // namespace

std::u16string ExpandShortNames(const std::u16string& fileName) {
    return ExpandShortNames(fileName, FoundLongName);
}

}  // namespace brevant::crashreport
