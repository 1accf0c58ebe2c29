#include "launcher/ini_file.h"

#include "base/letter_case.h"
#include "base/utf16_text.h"
#include "launcher/integer_text.h"
#include "launcher/platform.h"

namespace brevant {

namespace {

bool IsTrimmed(char16_t unit) {
    return unit <= u' ';
}

std::u16string_view TrimLeft(std::u16string_view text) {
    while (!text.empty() && IsTrimmed(text.front())) text.remove_prefix(1);
    return text;
}

std::u16string_view TrimRight(std::u16string_view text) {
    while (!text.empty() && IsTrimmed(text.back())) text.remove_suffix(1);
    return text;
}

std::u16string_view Trim(std::u16string_view text) {
    return TrimLeft(TrimRight(text));
}

std::u16string DecodeUtf16(std::string_view bytes, bool bigEndian) {
    std::u16string text;
    text.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        auto first = static_cast<unsigned char>(bytes[i]);
        auto second = static_cast<unsigned char>(bytes[i + 1]);
        text += static_cast<char16_t>(bigEndian ? (first << 8) | second : (second << 8) | first);
    }
    return text;
}

bool StartsWithBytes(std::string_view bytes, std::string_view prefix) {
    return bytes.substr(0, prefix.size()) == prefix;
}

// Calls onLine for every line; lines end at CR LF, LF or a lone CR.
template <typename OnLine>
void ForEachLine(std::u16string_view text, OnLine onLine) {
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of(u"\r\n", start);
        if (end == std::u16string_view::npos) {
            onLine(text.substr(start));
            return;
        }
        onLine(text.substr(start, end - start));
        start = end + ((text[end] == u'\r' && end + 1 < text.size() && text[end + 1] == u'\n') ? 2 : 1);
    }
}

}  // namespace

std::u16string DecodeTextFile(std::string_view bytes,
                              const std::function<std::u16string(std::string_view)>& decodeAnsi) {
    if (StartsWithBytes(bytes, "\xEF\xBB\xBF")) return FromUtf8(bytes.substr(3));
    if (StartsWithBytes(bytes, "\xFF\xFE")) return DecodeUtf16(bytes.substr(2), false);
    if (StartsWithBytes(bytes, "\xFE\xFF")) return DecodeUtf16(bytes.substr(2), true);
    return decodeAnsi(bytes);
}

IniFile IniFile::Parse(std::u16string_view text) {
    IniFile document;
    Section* current = nullptr;
    bool skippingRepeatedSection = false;
    ForEachLine(text, [&](std::u16string_view rawLine) {
        std::u16string_view line = Trim(rawLine);
        if (line.empty() || line[0] == u';') return;
        if (line.size() >= 2 && line.front() == u'[' && line.back() == u']') {
            std::u16string_view name = Trim(line.substr(1, line.size() - 2));
            skippingRepeatedSection = document.FindSection(name) != nullptr;
            if (!skippingRepeatedSection) {
                document.sections_.push_back(Section{std::u16string(name), {}});
                current = &document.sections_.back();
            }
            return;
        }
        if (current == nullptr || skippingRepeatedSection) return;
        std::size_t equals = line.find(u'=');
        if (equals == std::u16string_view::npos) {
            current->entries.push_back(Entry{std::u16string(line), std::nullopt});
        } else {
            current->entries.push_back(Entry{std::u16string(TrimRight(line.substr(0, equals))),
                                             std::u16string(TrimLeft(line.substr(equals + 1)))});
        }
    });
    return document;
}

IniFile IniFile::Load(const std::u16string& path, const FileSystem& files) {
    if (path.empty() || !files.FileExists(path)) return IniFile();
    std::string bytes = files.ReadWholeFile(path);
    return Parse(DecodeTextFile(bytes, [&](std::string_view ansi) { return files.DecodeAnsi(ansi); }));
}

const IniFile::Section* IniFile::FindSection(std::u16string_view name) const {
    for (const Section& section : sections_)
        if (SameTextIgnoringCase(section.name, name)) return &section;
    return nullptr;
}

const IniFile::Entry* IniFile::FindEntry(std::u16string_view sectionName, std::u16string_view key) const {
    const Section* section = FindSection(sectionName);
    if (section == nullptr) return nullptr;
    for (const Entry& entry : section->entries)
        if (SameTextIgnoringCase(entry.key, key)) return &entry;
    return nullptr;
}

std::u16string IniFile::ReadString(std::u16string_view section, std::u16string_view key,
                                   std::u16string_view defaultValue) const {
    const Entry* entry = FindEntry(section, key);
    if (entry == nullptr || !entry->value) return std::u16string(defaultValue);
    return *entry->value;
}

std::int32_t IniFile::ReadInteger(std::u16string_view section, std::u16string_view key,
                                  std::int32_t defaultValue) const {
    std::u16string text = ReadString(section, key, u"");
    if (text.size() > 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X')) text.replace(0, 2, u"$");
    return ParseInteger(text).value_or(defaultValue);
}

bool IniFile::ReadBool(std::u16string_view section, std::u16string_view key, bool defaultValue) const {
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

}  // namespace brevant
