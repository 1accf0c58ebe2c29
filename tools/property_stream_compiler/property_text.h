#pragma once
// Compiles the readable object text of the settings block and the form definitions into the
// binary property stream the crash reporter reads. The text is the classic form-text syntax:
//
//   object Quarrex: TQuarrex
//     Enabled = True
//     BugTrDescr = 'error details: '#13#10'%errorDetails%'
//     object NameEdit: INVEdit
//       Lines = 1
//     end
//   end
//
// One set of writing rules for every file: integers are always 32-bit (tag 4), True and False
// tags 9 and 8, other bare words identifiers (tag 6), strings tag 12 when every character is
// ASCII and tag 20 (UTF-8) otherwise. The input is UTF-8.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace brevant::tools {

struct PropertyTextResult {
    std::vector<std::uint8_t> stream;
    std::string error;  // "line N: ..." or empty
};

PropertyTextResult CompilePropertyText(std::string_view text);

}  // namespace brevant::tools
