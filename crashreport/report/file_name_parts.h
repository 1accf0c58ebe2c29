#pragma once
// A full file name split into its folder and its file name.

#include <string>
#include <string_view>

namespace brevant::crashreport {

struct FileNameParts {
    std::u16string folder;    // without the "\" before the file name; empty when there is none
    std::u16string fileName;  // after the last "\", or the whole text
};

FileNameParts SplitAtLastBackslash(std::u16string_view fullName);

}  // namespace brevant::crashreport
