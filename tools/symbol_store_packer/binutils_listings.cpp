#include "tools/symbol_store_packer/binutils_listings.h"

#include <charconv>
#include <optional>

namespace brevant::symbols {

namespace {

std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        lines.push_back(text.substr(0, end));
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

std::vector<std::string_view> SplitWords(std::string_view line) {
    std::vector<std::string_view> words;
    std::size_t at = 0;
    while (at < line.size()) {
        const std::size_t start = line.find_first_not_of(" \t\r", at);
        if (start == std::string_view::npos) break;
        std::size_t end = line.find_first_of(" \t\r", start);
        if (end == std::string_view::npos) end = line.size();
        words.push_back(line.substr(start, end - start));
        at = end;
    }
    return words;
}

template <typename Number>
std::optional<Number> ParseNumber(std::string_view text, int base) {
    if (base == 16 && text.starts_with("0x")) text.remove_prefix(2);
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
    return value;
}

}  // namespace

std::vector<NmSymbol> ParseNmListing(std::string_view listing) {
    std::vector<NmSymbol> symbols;
    for (std::string_view line : SplitLines(listing)) {
        // "<hex address> <type letter> <name, possibly with blanks>"
        const std::size_t firstBlank = line.find(' ');
        if (firstBlank == std::string_view::npos || line.size() < firstBlank + 4 || line[firstBlank + 2] != ' ')
            continue;
        const auto address = ParseNumber<std::uint64_t>(line.substr(0, firstBlank), 16);
        if (!address) continue;
        std::string_view name = line.substr(firstBlank + 3);
        if (name.ends_with('\r')) name.remove_suffix(1);
        symbols.push_back(NmSymbol{*address, line[firstBlank + 1], std::string(name)});
    }
    return symbols;
}

std::vector<LineTableRow> ParseLineTableRows(std::string_view listing) {
    std::vector<LineTableRow> rows;
    for (std::string_view line : SplitLines(listing)) {
        // "<file> <line or -> <address> [view] [x]"; the file name may hold blanks, so a row
        // is recognised by a line field followed by an address field.
        const std::vector<std::string_view> words = SplitWords(line);
        for (std::size_t index = 1; index + 1 < words.size(); ++index) {
            const std::string_view lineField = words[index], addressField = words[index + 1];
            if (!addressField.starts_with("0x") && addressField != "0") continue;
            const auto address = ParseNumber<std::uint64_t>(addressField, 16);
            const auto number = ParseNumber<std::int32_t>(lineField, 10);
            if (!address || (lineField != "-" && !number)) continue;
            std::string_view file = line.substr(0, static_cast<std::size_t>(lineField.data() - line.data()));
            file = file.substr(0, file.find_last_not_of(" \t") + 1);
            rows.push_back(LineTableRow{*address, std::string(file), number.value_or(0)});
            break;
        }
    }
    return rows;
}

std::vector<std::uint64_t> ParseLineListing(std::string_view listing) {
    std::vector<std::uint64_t> addresses;
    for (const LineTableRow& row : ParseLineTableRows(listing)) addresses.push_back(row.address);
    return addresses;
}

std::vector<AddressRange> ParseArangesListing(std::string_view listing) {
    std::vector<AddressRange> ranges;
    for (std::string_view line : SplitLines(listing)) {
        // Range lines are two hex numbers without prefix: "    0000000140001000 0000000000000524".
        const std::vector<std::string_view> words = SplitWords(line);
        if (words.size() != 2) continue;
        const auto start = ParseNumber<std::uint64_t>(words[0], 16);
        const auto length = ParseNumber<std::uint64_t>(words[1], 16);
        if (start && length && *length != 0) ranges.push_back(AddressRange{*start, *length});
    }
    return ranges;
}

std::vector<SourceLocation> ParseAddr2lineListing(std::string_view listing) {
    // With -a each answer is two lines: "0x<address>", then "<file>:<line>" optionally
    // followed by " (discriminator n)".
    std::vector<SourceLocation> locations;
    const std::vector<std::string_view> lines = SplitLines(listing);
    for (std::size_t index = 0; index + 1 < lines.size(); index += 2) {
        std::string_view location = lines[index + 1];
        location = location.substr(0, location.find(" (discriminator"));
        const std::size_t colon = location.rfind(':');
        const std::string_view file = location.substr(0, colon);
        const auto line =
            colon == std::string_view::npos ? std::nullopt : ParseNumber<std::int32_t>(location.substr(colon + 1), 10);
        locations.push_back(SourceLocation{file.starts_with("??") ? std::string() : std::string(file), line.value_or(0),
                                           std::string()});
    }
    return locations;
}

std::string UnitNameOfFile(std::string_view file) {
    const std::size_t slash = file.find_last_of("/\\");
    if (slash != std::string_view::npos) file.remove_prefix(slash + 1);
    const std::size_t dot = file.rfind('.');
    if (dot != std::string_view::npos && dot > 0) file = file.substr(0, dot);
    return std::string(file);
}

}  // namespace brevant::symbols
