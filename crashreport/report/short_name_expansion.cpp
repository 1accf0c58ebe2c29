#include "crashreport/report/short_name_expansion.h"

#include <string_view>

namespace brevant::crashreport {

namespace {

void RemoveOneTrailingBackslash(std::u16string& text) {
    if (!text.empty() && text.back() == u'\\') text.pop_back();
}

// The part no lookup may touch: "\\server\share\", "C:\", or the whole of any other name.
std::u16string NameRoot(const std::u16string& name) {
    if (name.starts_with(u"\\\\")) {
        const std::size_t afterServer = name.find(u'\\', 2);
        const std::size_t afterShare =
            afterServer == std::u16string::npos ? std::u16string::npos : name.find(u'\\', afterServer + 1);
        if (afterShare == std::u16string::npos) return name + u"\\";
        return name.substr(0, afterShare) + u"\\";
    }
    if (name.size() >= 2 && name[1] == u':') return name.substr(0, 1) + u":\\";
    return name;
}

bool IsShortComponent(std::u16string_view component) {
    return component.find(u'~') != std::u16string_view::npos &&
           component.find_first_of(u"*?") == std::u16string_view::npos;
}

}  // namespace

std::u16string ExpandShortNames(const std::u16string& fileName, const LongNameLookup& longName) {
    std::u16string name = fileName;
    RemoveOneTrailingBackslash(name);
    const std::u16string root = NameRoot(name);
    std::u16string result;
    std::size_t position = 0;  // of the last "\", counted from 1; 0 when there is none
    do {
        const std::size_t last = name.rfind(u'\\');
        position = last == std::u16string::npos ? 0 : last + 1;
        if (root.empty() || position < root.size()) {
            result = name + u"\\" + result;
            break;
        }
        std::u16string component = name.substr(position);
        if (IsShortComponent(component)) {
            if (std::optional<std::u16string> found = longName(name)) component = *found;
        }
        result = component + u"\\" + result;
        name.resize(position - 1);
    } while (position > 0 && !name.empty());
    RemoveOneTrailingBackslash(result);
    return result;
}

}  // namespace brevant::crashreport
