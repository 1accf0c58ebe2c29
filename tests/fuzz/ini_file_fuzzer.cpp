// Arbitrary file bytes through the configuration reader: decoding, parsing, every kind
// of lookup, and the number conversion on the raw text.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/utf16_text.h"
#include "launcher/ini_file.h"
#include "launcher/integer_text.h"

namespace {

using namespace brevant;

void Require(bool condition) {
    if (!condition) std::abort();
}

// A number that converts must convert back from its decimal text, with leading blanks too.
void CheckParseInteger(std::u16string_view text) {
    std::optional<std::int32_t> number = ParseInteger(text);
    if (!number) return;
    Require(ParseInteger(DecimalText(*number)) == number);
    Require(ParseInteger(u"  " + std::u16string(text)) == number);
}

void CheckLookups(const IniFile& ini, std::u16string_view section, std::u16string_view key) {
    constexpr std::u16string_view kDefault = u"\x01<default>";
    std::u16string value = ini.ReadString(section, key, kDefault);
    if (value != kDefault) {
        // Values come from trimmed single lines.
        Require(value.find_first_of(u"\r\n") == std::u16string::npos);
        Require(value.empty() || (value.front() > u' ' && value.back() > u' '));
        CheckParseInteger(value);
    }
    std::int32_t number = ini.ReadInteger(section, key, 1);
    Require(ini.ReadBool(section, key, true) == (number != 0));
    Require(ini.ReadBool(section, key, false) == (ini.ReadInteger(section, key, 0) != 0));
    // Only a failed conversion gives the default, so two defaults differ only then.
    if (ini.ReadInteger(section, key, 2) != number) Require(number == 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::u16string text = DecodeTextFile(bytes, [](std::string_view ansi) { return FromLatin1(ansi); });
    IniFile ini = IniFile::Parse(text);
    for (std::u16string_view section : {u"Paths", u"App", u""})
        for (std::u16string_view key : {u"Browser", u"URL", u"Debug", u"CodeName", u""})
            CheckLookups(ini, section, key);
    CheckParseInteger(text);
    return 0;
}
