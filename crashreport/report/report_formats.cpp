#include "crashreport/report/report_formats.h"

#include "base/number_text.h"
#include "base/utf16_text.h"

namespace brevant::crashreport {

namespace {

std::u16string WithTwoDecimals(std::uint64_t hundredths, char16_t separator, std::u16string_view unit) {
    std::u16string digits = DecimalText(static_cast<std::int64_t>(hundredths));
    while (digits.size() < 3) digits.insert(digits.begin(), u'0');
    digits.insert(digits.end() - 2, separator);
    return digits + u" " + std::u16string(unit);
}

void AppendUnit(std::u16string& text, std::int64_t number, std::u16string_view word) {
    if (number == 0) return;
    text += DecimalText(number) + u" " + std::u16string(word);
    if (number != 1) text += u's';
    text += u' ';
}

}  // namespace

std::u16string FormatByteSize(std::uint64_t bytes, char16_t decimalSeparator) {
    constexpr std::uint64_t kKiB = 1024, kMiB = kKiB * 1024, kGiB = kMiB * 1024;
    if (bytes < kKiB) return DecimalText(static_cast<std::int64_t>(bytes)) + u" Bytes";
    if (bytes < kMiB) return WithTwoDecimals(bytes * 100 / 1024, decimalSeparator, u"KB");
    if (bytes < kGiB) return WithTwoDecimals(bytes / 1024 * 100 / 1024, decimalSeparator, u"MB");
    return WithTwoDecimals(bytes / 1024 / 1024 * 100 / 1024, decimalSeparator, u"GB");
}

std::u16string FormatUpTime(std::int64_t seconds) {
    if (seconds < 0) seconds = 0;
    const std::int64_t days = seconds / 86400, hours = seconds / 3600 % 24, minutes = seconds / 60 % 60;
    std::u16string text;
    if (days > 0) {
        AppendUnit(text, days, u"day");
        AppendUnit(text, hours, u"hour");
    } else if (hours > 0) {
        AppendUnit(text, hours, u"hour");
        AppendUnit(text, minutes, u"minute");
    } else {
        AppendUnit(text, minutes, u"minute");
        AppendUnit(text, seconds % 60, u"second");
    }
    if (!text.empty()) text.pop_back();
    return text;
}

std::u16string OneLine(std::u16string_view text) {
    std::u16string line;
    line.reserve(text.size());
    for (char16_t unit : text) {
        if (unit == u'\r' || unit == u'\n') unit = u' ';
        if (unit == u' ' && !line.empty() && line.back() == u' ') continue;
        line += unit;
    }
    return line;
}

std::u16string NormalizeExceptionMessage(std::u16string_view message) {
    while (!message.empty() && (message.back() == u'.' || message.back() == u'!')) message.remove_suffix(1);
    return OneLine(std::u16string(message) + u".");
}

std::u16string CallstackCrcText(const std::uint32_t (&values)[3]) {
    std::u16string text;
    for (int i = 0; i < 3; ++i) {
        if (i > 0) text += u", ";
        text += u"$" + AddressHex(values[i], 8);
    }
    return text;
}

}  // namespace brevant::crashreport
