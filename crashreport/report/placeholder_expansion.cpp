#include "crashreport/report/placeholder_expansion.h"

#include <functional>
#include <utility>
#include <vector>

#include "base/reporter_case.h"
#include "base/utf16_text.h"

namespace brevant::crashreport {

namespace {

constexpr std::size_t kNotFound = std::u16string_view::npos;

// The text as the caller wrote it, cut where earlier replacements inserted their values: only
// the caller's pieces are searched, so a value that itself looks like a placeholder stays.
class ExpansionText {
public:
    explicit ExpansionText(std::u16string text) { pieces_.push_back({std::move(text), true}); }

    bool Contains(std::u16string_view name) const {
        for (const Piece& piece : pieces_) {
            if (piece.searchable && FindReporterText(piece.text, name) != kNotFound) return true;
        }
        return false;
    }

    void Replace(std::u16string_view name, const std::u16string& value) {
        std::vector<Piece> result;
        for (Piece& piece : pieces_) {
            if (!piece.searchable) {
                result.push_back(std::move(piece));
                continue;
            }
            std::size_t start = 0;
            for (std::size_t found = FindReporterText(piece.text, name); found != kNotFound;
                 found = FindReporterText(piece.text, name, start)) {
                result.push_back({piece.text.substr(start, found - start), true});
                result.push_back({value, false});
                start = found + name.size();
            }
            result.push_back({piece.text.substr(start), true});
        }
        pieces_ = std::move(result);
    }

    std::u16string Joined() const {
        std::u16string text;
        for (const Piece& piece : pieces_) text += piece.text;
        return text;
    }

private:
    struct Piece {
        std::u16string text;
        bool searchable;
    };
    std::vector<Piece> pieces_;
};

struct Placeholder {
    std::u16string_view name;
    std::function<std::u16string()> value;
};

std::u16string PaddedDecimal(int number, std::size_t width) {
    std::u16string digits = DecimalText(number);
    if (digits.size() < width) digits.insert(0, width - digits.size(), u'0');
    return digits;
}

std::u16string FileNameOf(std::u16string_view path) {
    const std::size_t slash = path.rfind(u'\\');
    return std::u16string(slash == kNotFound ? path : path.substr(slash + 1));
}

std::u16string FolderOf(std::u16string_view path) {
    const std::size_t slash = path.rfind(u'\\');
    return std::u16string(slash == kNotFound ? std::u16string_view() : path.substr(0, slash));
}

std::u16string FolderText(PlaceholderEnvironment& environment, SpecialFolder folder) {
    std::u16string path = environment.SpecialFolderPath(folder);
    while (!path.empty() && path.back() == u'\\') path.pop_back();
    if (!path.empty()) return path;
    return FolderOf(environment.ModulePath(environment.ExecutableModule()));
}

}  // namespace

std::u16string DatePlaceholderText(const LocalDateTime& time) {
    return PaddedDecimal(time.year, 4) + u"-" + PaddedDecimal(time.month, 2) + u"-" + PaddedDecimal(time.day, 2);
}

std::u16string TimePlaceholderText(const LocalDateTime& time) {
    return PaddedDecimal(time.hour, 2) + u":" + PaddedDecimal(time.minute, 2) + u":" + PaddedDecimal(time.second, 2) +
           u", " + DecimalText(time.milliseconds) + u"ms";
}

void ExpandPlaceholders(PlaceholderEnvironment& environment, ModuleHandle module, std::u16string& text,
                        std::u16string_view exceptionClass, std::u16string_view errorDetails,
                        std::u16string_view report, std::optional<std::u16string_view> exceptionMessage) {
    // One reading of the clock, so that "%date%" and "%time%" in one text agree.
    std::optional<LocalDateTime> now;
    auto localTime = [&]() -> const LocalDateTime& {
        if (!now) now = environment.LocalTime();
        return *now;
    };
    auto folder = [&](SpecialFolder which) { return [&environment, which] { return FolderText(environment, which); }; };
    const Placeholder placeholders[] = {
        {u"%appname%", [&] { return FileNameOf(environment.ModulePath(environment.ExecutableModule())); }},
        {u"%modname%", [&] { return FileNameOf(environment.ModulePath(module)); }},
        {u"%appversion%", [&] { return environment.VersionText(environment.ExecutableModule()); }},
        {u"%modversion%", [&] { return environment.VersionText(module); }},
        {u"%exceptClass%", [&] { return std::u16string(exceptionClass); }},
        {u"%exceptMsg%", [&] { return std::u16string(exceptionMessage.value_or(u"Unknown")); }},
        {u"%bugReport%", [&] { return std::u16string(report); }},
        {u"%LF%", [] { return std::u16string(u"\r\n"); }},
        {u"%date%", [&] { return DatePlaceholderText(localTime()); }},
        {u"%time%", [&] { return TimePlaceholderText(localTime()); }},
        {u"%datetime%", [&] { return DatePlaceholderText(localTime()) + u", " + TimePlaceholderText(localTime()); }},
        {u"%computerName%", [&] { return environment.ComputerName(); }},
        {u"%os%", [&] { return environment.OperatingSystemDescription(); }},
        {u"%errorDetails%", [&] { return std::u16string(errorDetails); }},
        {u"%desktop%", folder(SpecialFolder::Desktop)},
        {u"%userappdata%", folder(SpecialFolder::RoamingAppData)},
        {u"%commonappdata%", folder(SpecialFolder::CommonAppData)},
        {u"%localappdata%", folder(SpecialFolder::LocalAppData)},
    };
    ExpansionText expansion(std::move(text));
    for (const Placeholder& placeholder : placeholders) {
        if (expansion.Contains(placeholder.name)) expansion.Replace(placeholder.name, placeholder.value());
    }
    text = expansion.Joined();
}

}  // namespace brevant::crashreport
