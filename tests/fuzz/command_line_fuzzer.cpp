// Arbitrary command lines through the argument splitting and the switch lookups. Input
// starting with FF FE is taken as UTF-16 LE units (any unit, NUL and lone surrogates
// included), anything else as UTF-8.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "base/utf16_text.h"
#include "launcher/command_line.h"

namespace {

using namespace brevant;

void Require(bool condition) {
    if (!condition) std::abort();
}

std::u16string ToText(std::string_view bytes) {
    if (bytes.substr(0, 2) != "\xFF\xFE") return FromUtf8(bytes);
    std::u16string text;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2)
        text += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                      (static_cast<unsigned char>(bytes[i + 1]) << 8));
    return text;
}

bool EndsWith(std::u16string_view text, std::u16string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::u16string text = ToText(std::string_view(reinterpret_cast<const char*>(data), size));
    const std::u16string modulePath = u"C:\\Apps\\Brevant.exe";
    CommandLine line(modulePath, text);
    Require(line.Argument(0) == modulePath);
    Require(line.Argument(line.Count() + 1).empty());

    std::vector<std::u16string> words = SplitCommandLine(text);
    Require(line.Count() == (words.empty() ? 0 : words.size() - 1));
    for (std::size_t i = 1; i <= line.Count(); ++i) Require(line.Argument(i) == words[i]);
    std::u16string rejoined;
    for (const std::u16string& word : words) {
        Require(!word.empty());
        Require(word.find(u'"') == std::u16string::npos);
        Require(word.find(u'\0') == std::u16string::npos);
        rejoined += u" \"" + word + u"\"";
    }
    // Every word quoted and joined again splits into the same words.
    Require(SplitCommandLine(rejoined) == words);

    for (std::u16string_view name : {u"help", u"configfile", u"c", u""}) {
        std::u16string value = u"stale";
        bool found = line.FindSwitch(name, value);
        if (!found) Require(value.empty());
        if (found && !value.empty()) {
            // The value is the rest of a switch argument or a whole argument.
            bool fromAnArgument = false;
            for (std::size_t i = 1; i <= line.Count() && !fromAnArgument; ++i)
                fromAnArgument = EndsWith(line.Argument(i), value);
            Require(fromAnArgument);
        }
        // An exact "/name" is both a value-less and a value-taking switch.
        if (line.HasSwitch(name)) Require(found);
    }
    return 0;
}
