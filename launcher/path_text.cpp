#include "launcher/path_text.h"

#include "base/exception.h"
#include "base/letter_case.h"

namespace brevant {

namespace {

bool IsSlash(char16_t unit) {
    return unit == u'\\' || unit == u'/';
}
bool IsPathDelimiter(char16_t unit) {
    return IsSlash(unit) || unit == u':';
}

std::size_t LastPathDelimiter(std::u16string_view path) {
    return path.find_last_of(u"\\/:");
}

bool IsAbsolutePath(std::u16string_view path) {
    return (!path.empty() && IsSlash(path[0])) || (path.size() > 1 && path[1] == u':');
}

}  // namespace

std::u16string FileNamePart(std::u16string_view path) {
    std::size_t delimiter = LastPathDelimiter(path);
    return std::u16string(delimiter == std::u16string_view::npos ? path : path.substr(delimiter + 1));
}

std::u16string DirectoryPart(std::u16string_view path) {
    std::size_t delimiter = LastPathDelimiter(path);
    if (delimiter == std::u16string_view::npos) return {};
    std::size_t length = delimiter + 1;
    if (IsSlash(path[delimiter]) && delimiter > 0 && !IsPathDelimiter(path[delimiter - 1])) --length;
    return std::u16string(path.substr(0, length));
}

std::u16string TextBeforeLastSlash(std::u16string_view path) {
    std::size_t slash = path.find_last_of(u"\\/");
    return slash == std::u16string_view::npos ? std::u16string() : std::u16string(path.substr(0, slash));
}

std::u16string NameWithoutExtension(std::u16string_view path) {
    std::u16string name = FileNamePart(path);
    std::size_t dot = name.rfind(u'.');
    return dot == std::u16string::npos ? name : name.substr(0, dot);
}

std::u16string ReplaceExtension(std::u16string_view path, std::u16string_view extension) {
    std::size_t nameStart = LastPathDelimiter(path);
    nameStart = nameStart == std::u16string_view::npos ? 0 : nameStart + 1;
    std::size_t dot = path.rfind(u'.');
    std::u16string_view stem = (dot == std::u16string_view::npos || dot < nameStart) ? path : path.substr(0, dot);
    return std::u16string(stem) + std::u16string(extension);
}

bool HasInvalidPathCharacter(std::u16string_view path) {
    for (char16_t unit : path)
        if (unit < u' ' || unit == u'"' || unit == u'<' || unit == u'>' || unit == u'|') return true;
    return false;
}

std::u16string CombinePath(std::u16string_view first, std::u16string_view second) {
    if (first.empty()) return std::u16string(second);
    if (second.empty()) return std::u16string(first);
    if (HasInvalidPathCharacter(first) || HasInvalidPathCharacter(second))
        throw EArgumentException(u"Invalid characters in path");
    if (IsAbsolutePath(second)) return std::u16string(second);
    if (IsPathDelimiter(first.back())) return std::u16string(first) + std::u16string(second);
    return std::u16string(first) + u'\\' + std::u16string(second);
}

std::u16string QuoteIfSpaced(std::u16string_view text) {
    if (text.find(u' ') == std::u16string_view::npos) return std::u16string(text);
    std::u16string quoted = u"\"";
    for (char16_t unit : text) {
        quoted += unit;
        if (unit == u'"') quoted += u'"';
    }
    return quoted + u'"';
}

std::u16string RemoveSurroundingQuotes(std::u16string_view text) {
    if (text.empty() || text[0] != u'"') return std::u16string(text);
    std::u16string inner;
    for (std::size_t i = 1; i < text.size(); ++i) {
        if (text[i] != u'"') {
            inner += text[i];
        } else if (i + 1 < text.size() && text[i + 1] == u'"') {
            inner += u'"';
            ++i;
        } else {
            return inner;
        }
    }
    return std::u16string(text);  // no closing quote
}

std::u16string EnsureTrailingSlash(std::u16string_view text) {
    if (text.empty() || text.back() == u'/') return std::u16string(text);
    return std::u16string(text) + u'/';
}

std::u16string StripTrailingSlash(std::u16string_view text) {
    if (!text.empty() && text.back() == u'/') text.remove_suffix(1);
    return std::u16string(text);
}

std::u16string AddHttpPrefix(std::u16string_view text) {
    if (StartsWithIgnoringCase(text, u"http://") || StartsWithIgnoringCase(text, u"https://"))
        return std::u16string(text);
    return u"http://" + std::u16string(text);
}

}  // namespace brevant
