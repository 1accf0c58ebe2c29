// Arbitrary text through the property-stream compiler. A text is either rejected with a
// located message and no stream, or compiled into a stream that both readers take in full
// and agree on.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/utf16_text.h"
#include "crashreport/core/settings_stream.h"
#include "crashreport/ui/form_definition.h"
#include "tools/property_stream_compiler/property_text.h"

namespace {

using namespace brevant;

void Require(bool condition) {
    if (!condition) std::abort();
}

// "line N: message" with N within the text (or just past its last line end).
void CheckError(std::string_view text, const std::string& error) {
    Require(error.starts_with("line "));
    std::size_t line = 0;
    std::size_t position = 5;
    while (position < error.size() && error[position] >= '0' && error[position] <= '9') {
        line = line * 10 + static_cast<std::size_t>(error[position++] - '0');
        Require(line <= text.size() + 1);
    }
    Require(line >= 1 && error.compare(position, 2, ": ") == 0 && error.size() > position + 2);
    std::size_t lines = 1;
    for (char c : text) lines += c == '\n';
    Require(line <= lines);
}

std::u16string SettingText(const crashreport::SettingsProperty& property) {
    switch (property.typ) {
        case crashreport::TPropertyType::ptInteger:
            return DecimalText(property.vInt);
        case crashreport::TPropertyType::ptBoolean:
            return property.vBool ? u"1" : u"0";
        default:
            return property.vStr;
    }
}

// A settings block read as settings gives the same records as read as a form's root object.
void CheckReadersAgree(const std::vector<std::uint8_t>& stream, const crashreport::FormObject& root) {
    const crashreport::SettingsStreamResult settings =
        crashreport::ReadSettingsStream(stream, crashreport::DecodeLatin1);
    if (!settings.headerMatched) return;
    Require(!settings.unknownTag);
    Require(settings.properties.size() == root.properties.size());
    for (std::size_t i = 0; i < root.properties.size(); ++i) {
        Require(FromLatin1(settings.properties[i].name) == root.properties[i].name);
        Require(SettingText(settings.properties[i]) == root.properties[i].value);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const tools::PropertyTextResult result = tools::CompilePropertyText(text);
    if (!result.error.empty()) {
        Require(result.stream.empty());
        CheckError(text, result.error);
        return 0;
    }
    Require(result.stream.size() >= 10 && result.stream.back() == 0);
    Require(std::string_view(reinterpret_cast<const char*>(result.stream.data()), 4) == "TPF0");
    const crashreport::FormStreamResult form = crashreport::ReadFormStream(result.stream, crashreport::DecodeLatin1);
    Require(form.hasSignature && !form.invalidType);
    CheckReadersAgree(result.stream, form.root);
    return 0;
}
