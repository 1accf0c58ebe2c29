#include "crashreport/delivery/mail_address_header.h"

#include <algorithm>

#include "base/utf16_text.h"
#include "crashreport/delivery/base64_text.h"

namespace brevant::crashreport {
namespace {

bool FitsIntoEightBits(std::u16string_view text) {
    return std::all_of(text.begin(), text.end(), [](char16_t unit) { return unit <= 0xFF; });
}

std::string Latin1Bytes(std::u16string_view text) {
    std::string bytes;
    for (char16_t unit : text) bytes += unit <= 0xFF ? static_cast<char>(unit) : '?';
    return bytes;
}

std::u16string_view WithoutTrailingSpaces(std::u16string_view text) {
    while (!text.empty() && text.back() == u' ') text.remove_suffix(1);
    return text;
}

std::string NameWord(std::u16string_view name) {
    if (FitsIntoEightBits(name)) return Latin1Bytes(name);
    return "=?UTF-8?B?" + Base64(ToUtf8(name)) + "?=";
}

}  // namespace

std::string MailAddressHeader(std::u16string_view address, bool withName) {
    const std::size_t open = address.find(u'<');
    if (open == address.npos) return "<" + Latin1Bytes(address) + ">";
    const std::string rest = Latin1Bytes(address.substr(open));
    const std::u16string_view name = WithoutTrailingSpaces(address.substr(0, open));
    // Nothing in front of "<" leaves no name to show, and no blank for it either.
    if (!withName || name.empty()) return rest;
    return NameWord(name) + " " + rest;
}

}  // namespace brevant::crashreport
