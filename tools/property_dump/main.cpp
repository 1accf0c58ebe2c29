// property_dump: prints what the crash reporter's readers see in a binary property stream,
// one line per record, so that streams written by different tools can be compared with diff.
//
//   property_dump FILE.bin
//
// A settings block ("TPF0", TQuarrex, Quarrex) is read as settings: name, type and value of
// each record, tab-separated. Any other stream is read as a form definition: its object tree
// with the text every property is handed on as. Control characters and backslashes in values
// are escaped so that each record stays on one line.

#include <cstdint>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "base/utf16_text.h"
#include "crashreport/core/settings_stream.h"
#include "crashreport/ui/form_definition.h"

namespace brevant::crashreport {

namespace {

std::string Escaped(std::u16string_view text) {
    static const char digits[] = "0123456789abcdef";
    std::u16string kept;
    std::string out;
    const auto flush = [&] {
        out += ToUtf8(kept);
        kept.clear();
    };
    for (const char16_t unit : text) {
        if (unit >= 0x20 && unit != 0x7F && unit != u'\\') {
            kept += unit;
            continue;
        }
        flush();
        if (unit == u'\\') {
            out += "\\\\";
        } else if (unit == u'\r') {
            out += "\\r";
        } else if (unit == u'\n') {
            out += "\\n";
        } else if (unit == u'\t') {
            out += "\\t";
        } else {
            out += std::string("\\x") + digits[unit >> 4] + digits[unit & 15];
        }
    }
    flush();
    return out;
}

const char* TypeName(TPropertyType type) {
    switch (type) {
        case TPropertyType::ptString:
            return "ptString";
        case TPropertyType::ptInteger:
            return "ptInteger";
        case TPropertyType::ptBoolean:
            return "ptBoolean";
        case TPropertyType::ptBinary:
            return "ptBinary";
    }
    return "?";
}

std::string ValueText(const SettingsProperty& property) {
    switch (property.typ) {
        case TPropertyType::ptInteger:
            return std::to_string(property.vInt);
        case TPropertyType::ptBoolean:
            return property.vBool ? "true" : "false";
        default:
            return Escaped(property.vStr);
    }
}

int DumpSettings(const SettingsStreamResult& settings) {
    for (const SettingsProperty& property : settings.properties) {
        std::cout << property.name << '\t' << TypeName(property.typ) << '\t' << ValueText(property) << '\n';
    }
    std::cout << settings.properties.size() << " records\n";
    if (settings.unknownTag) {
        std::cout << "stopped at unknown tag " << static_cast<int>(*settings.unknownTag) << '\n';
        return 1;
    }
    return 0;
}

void DumpObject(const FormObject& object, const std::string& indent) {
    std::cout << indent << "object " << Escaped(object.objectName) << ": " << Escaped(object.className) << '\n';
    for (const FormProperty& property : object.properties) {
        std::cout << indent << "  " << Escaped(property.name) << " = " << Escaped(property.value) << '\n';
    }
    for (const FormObject& child : object.children) DumpObject(child, indent + "  ");
    std::cout << indent << "end\n";
}

int DumpForm(const FormStreamResult& form) {
    DumpObject(form.root, "");
    if (form.invalidType) {
        std::cout << "stopped at invalid type " << static_cast<int>(*form.invalidType) << '\n';
        return 1;
    }
    return 0;
}

int Dump(const std::vector<std::uint8_t>& bytes) {
    const SettingsStreamResult settings = ReadSettingsStream(bytes, DecodeLatin1);
    if (settings.headerMatched) return DumpSettings(settings);
    const FormStreamResult form = ReadFormStream(bytes, DecodeLatin1);
    if (!form.hasSignature) {
        std::cerr << "not a property stream: the TPF0 signature is missing\n";
        return 1;
    }
    return DumpForm(form);
}

}  // namespace

}  // namespace brevant::crashreport

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: property_dump FILE.bin\n";
        return 2;
    }
    std::ifstream file(argv[1], std::ios::binary);
    if (!file) {
        std::cerr << argv[1] << ": cannot read the file\n";
        return 1;
    }
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    return brevant::crashreport::Dump(bytes);
}
