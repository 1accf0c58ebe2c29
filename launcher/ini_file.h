#pragma once
// A read-only INI document: sections in file order, entries in line order. Lookups
// find the first section of a name and in it the first entry of a key, both compared
// ignoring letter case. Only the first block of a repeated section is kept.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brevant {

class FileSystem;

// Turns the bytes of a text file into text: a byte-order mark selects UTF-8, UTF-16 LE
// or UTF-16 BE and is dropped; without one the bytes are in the ANSI code page.
std::u16string DecodeTextFile(std::string_view bytes,
                              const std::function<std::u16string(std::string_view)>& decodeAnsi);

class IniFile {
public:
    IniFile() = default;
    static IniFile Parse(std::u16string_view text);
    // Empty for an empty path or a missing file; raises EFOpenError for a file that
    // exists but cannot be read.
    static IniFile Load(const std::u16string& path, const FileSystem& files);

    std::u16string ReadString(std::u16string_view section, std::u16string_view key,
                              std::u16string_view defaultValue) const;
    std::int32_t ReadInteger(std::u16string_view section, std::u16string_view key, std::int32_t defaultValue) const;
    bool ReadBool(std::u16string_view section, std::u16string_view key, bool defaultValue) const;

private:
    struct Entry {
        std::u16string key;
        std::optional<std::u16string> value;  // none when the line had no "="
    };
    struct Section {
        std::u16string name;
        std::vector<Entry> entries;
    };

    const Section* FindSection(std::u16string_view name) const;
    const Entry* FindEntry(std::u16string_view section, std::u16string_view key) const;

    std::vector<Section> sections_;
};

}  // namespace brevant
