#include "crashreport/delivery/mail_recipients.h"

#include "base/utf16_text.h"

namespace brevant::crashreport {
namespace {

std::vector<std::u16string_view> RecipientItems(std::u16string_view list) {
    std::vector<std::u16string_view> items;
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find_first_of(u",;", start);
        if (end == list.npos) end = list.size();
        const std::u16string_view item = TrimControlsAndBlanks(list.substr(start, end - start));
        if (!item.empty()) items.push_back(item);
        start = end + 1;
    }
    return items;
}

std::u16string_view WithoutTrailingBlanks(std::u16string_view text) {
    while (!text.empty() && text.back() <= u' ') text.remove_suffix(1);
    return text;
}

MapiRecipient RecipientOf(std::u16string_view item) {
    const std::size_t open = item.find(u'<');
    if (open == item.npos) return {std::u16string(item), u"SMTP:" + std::u16string(item)};
    const std::size_t close = item.find(u'>', open + 1);
    const std::u16string_view address = item.substr(open + 1, close == item.npos ? item.npos : close - open - 1);
    const std::u16string_view name = WithoutTrailingBlanks(item.substr(0, open));
    return {std::u16string(name.empty() ? address : name), u"SMTP:" + std::u16string(address)};
}

}  // namespace

RecipientList NormalizeRecipientList(std::u16string_view list) {
    RecipientList result;
    for (std::u16string_view item : RecipientItems(list)) {
        if (result.count++ > 0) result.text += u',';
        result.text += item;
    }
    return result;
}

std::vector<MapiRecipient> MapiRecipients(std::u16string_view list) {
    std::vector<MapiRecipient> recipients;
    for (std::u16string_view item : RecipientItems(list)) recipients.push_back(RecipientOf(item));
    return recipients;
}

}  // namespace brevant::crashreport
