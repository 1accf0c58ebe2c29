#pragma once
// The process command line as a list of arguments, and the switch lookups on it.

#include <string>
#include <string_view>
#include <vector>

namespace brevant {

// Splits a command line into words. Words are separated by runs of characters up to
// U+0020; a double-quoted stretch belongs to the word it is in; the quotes are removed
// and cannot be escaped; an empty pair of quotes between words gives no word.
std::vector<std::u16string> SplitCommandLine(std::u16string_view commandLine);

class CommandLine {
public:
    // Argument 0 is the module path the system reports; the first word of the command
    // line (the program as the caller spelled it) is skipped.
    CommandLine(std::u16string modulePath, std::u16string_view commandLine);

    // Arguments after argument 0.
    std::size_t Count() const { return arguments_.size() - 1; }
    // Argument i, or an empty text beyond the count.
    const std::u16string& Argument(std::size_t index) const;

    // A value-less switch: "-name" or "/name", the rest compared ignoring case.
    bool HasSwitch(std::u16string_view name) const;
    // A switch with a value: "/nameVALUE", "/name:VALUE" or "/name VALUE".
    bool FindSwitch(std::u16string_view name, std::u16string& value) const;

private:
    std::vector<std::u16string> arguments_;
};

bool IsSwitchArgument(std::u16string_view argument);

}  // namespace brevant
