#include "launcher/command_line.h"

#include "base/letter_case.h"

namespace brevant {

namespace {

bool IsSeparator(char16_t unit) {
    return unit <= u' ';
}

// Reads the word starting at or after position; returns it empty at the end of the text.
std::u16string NextWord(std::u16string_view text, std::size_t& position) {
    auto at = [&](std::size_t i) -> char16_t { return i < text.size() ? text[i] : u'\0'; };
    for (;;) {
        while (at(position) != u'\0' && IsSeparator(at(position))) ++position;
        if (at(position) == u'"' && at(position + 1) == u'"')
            position += 2;
        else
            break;
    }
    std::u16string word;
    while (at(position) > u' ') {
        if (at(position) == u'"') {
            ++position;
            while (at(position) != u'\0' && at(position) != u'"') word += text[position++];
            if (at(position) != u'\0') ++position;
        } else {
            word += text[position++];
        }
    }
    return word;
}

}  // namespace

std::vector<std::u16string> SplitCommandLine(std::u16string_view commandLine) {
    std::vector<std::u16string> words;
    std::size_t position = 0;
    for (std::u16string word = NextWord(commandLine, position); !word.empty(); word = NextWord(commandLine, position))
        words.push_back(std::move(word));
    return words;
}

bool IsSwitchArgument(std::u16string_view argument) {
    return !argument.empty() && (argument[0] == u'-' || argument[0] == u'/');
}

CommandLine::CommandLine(std::u16string modulePath, std::u16string_view commandLine) {
    std::vector<std::u16string> words = SplitCommandLine(commandLine);
    arguments_.push_back(std::move(modulePath));
    if (words.size() > 1) arguments_.insert(arguments_.end(), words.begin() + 1, words.end());
}

const std::u16string& CommandLine::Argument(std::size_t index) const {
    static const std::u16string kNone;
    return index < arguments_.size() ? arguments_[index] : kNone;
}

bool CommandLine::HasSwitch(std::u16string_view name) const {
    for (std::size_t i = 1; i <= Count(); ++i) {
        std::u16string_view argument = arguments_[i];
        if (IsSwitchArgument(argument) && SameTextIgnoringCase(argument.substr(1), name)) return true;
    }
    return false;
}

bool CommandLine::FindSwitch(std::u16string_view name, std::u16string& value) const {
    value.clear();
    for (std::size_t i = 1; i <= Count(); ++i) {
        std::u16string_view argument = arguments_[i];
        if (!IsSwitchArgument(argument) || argument.size() < name.size() + 1 ||
            !SameAsciiTextIgnoringCase(argument.substr(1, name.size()), name))
            continue;
        if (argument.size() > name.size() + 1) {
            std::u16string_view rest = argument.substr(name.size() + 1);
            if (rest[0] == u':') rest.remove_prefix(1);
            value = rest;
        } else if (i < Count() && !IsSwitchArgument(arguments_[i + 1])) {
            value = arguments_[i + 1];
        }
        return true;
    }
    return false;
}

}  // namespace brevant
