#include "crashreport/core/assistant_definition.h"

#include <algorithm>

#include "base/reporter_case.h"

namespace brevant::crashreport {

std::vector<std::u16string> SplitList(std::u16string_view list, char16_t separator) {
    std::vector<std::u16string> items;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = list.find(separator, start);
        items.emplace_back(list.substr(start, end == std::u16string_view::npos ? end : end - start));
        if (end == std::u16string_view::npos) break;
        start = end + 1;
    }
    return items;
}

std::u16string JoinList(const std::vector<std::u16string>& items, char16_t separator) {
    std::u16string list;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0) list += separator;
        list += items[i];
    }
    return list;
}

std::optional<AssistantDefinition> FindAssistantDefinition(
    const std::function<std::u16string(int number)>& readDefinition, std::u16string_view name) {
    for (int number = 1;; ++number) {
        const std::u16string text = readDefinition(number);
        if (text.empty()) return std::nullopt;
        std::vector<std::u16string> items = SplitList(text);
        if (!SameReporterText(items[0], name)) continue;
        AssistantDefinition definition;
        definition.name = items[0];
        if (items.size() > 1) definition.title = items[1];
        if (items.size() > 2) definition.formNames.assign(items.begin() + 2, items.end());
        return definition;
    }
}

void DropScreenshotForm(AssistantDefinition& definition) {
    std::erase_if(definition.formNames,
                  [](const std::u16string& form) { return SameReporterText(form, u"ScrShotForm"); });
}

bool ListContains(std::u16string_view list, std::u16string_view item) {
    if (list.empty()) return false;
    const std::vector<std::u16string> items = SplitList(list);
    return std::any_of(items.begin(), items.end(),
                       [&](const std::u16string& entry) { return SameReporterText(entry, item); });
}

std::u16string ListWithItem(std::u16string_view list, std::u16string_view item) {
    if (ListContains(list, item)) return std::u16string(list);
    if (list.empty()) return std::u16string(item);
    return std::u16string(list) + u"|" + std::u16string(item);
}

std::u16string ListWithoutItem(std::u16string_view list, std::u16string_view item) {
    if (list.empty()) return {};
    std::vector<std::u16string> items = SplitList(list);
    std::erase_if(items, [&](const std::u16string& entry) { return SameReporterText(entry, item); });
    return JoinList(items);
}

}  // namespace brevant::crashreport
