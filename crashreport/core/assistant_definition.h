#pragma once
// Assistant definitions ("name|title|form|form...") and the other "|"-separated lists the
// settings hold.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brevant::crashreport {

struct AssistantDefinition {
    std::u16string name;
    std::u16string title;
    std::vector<std::u16string> formNames;
};

// One form of a built assistant with its raw definition resource (empty when missing).
struct AssistantForm {
    std::u16string name;
    std::vector<std::uint8_t> definition;
};

// What GetAssistant hands out until the dialog toolkit turns it into windows.
struct BuiltAssistant {
    std::u16string name;
    std::u16string title;
    std::vector<AssistantForm> forms;
};

std::vector<std::u16string> SplitList(std::u16string_view list, char16_t separator = u'|');
std::u16string JoinList(const std::vector<std::u16string>& items, char16_t separator = u'|');

// Reads the definitions 1, 2, 3 ... through readDefinition until the first empty one and
// returns the first whose name matches, ignoring letter case.
std::optional<AssistantDefinition> FindAssistantDefinition(
    const std::function<std::u16string(int number)>& readDefinition, std::u16string_view name);

// Removes every "ScrShotForm" (any letter case) from the form list.
void DropScreenshotForm(AssistantDefinition& definition);

// The plug-in list operations on a "|"-separated list, ignoring letter case.
bool ListContains(std::u16string_view list, std::u16string_view item);
std::u16string ListWithItem(std::u16string_view list, std::u16string_view item);
std::u16string ListWithoutItem(std::u16string_view list, std::u16string_view item);

}  // namespace brevant::crashreport
