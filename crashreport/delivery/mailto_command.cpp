#include "crashreport/delivery/mailto_command.h"

#include <algorithm>

#include "base/reporter_case.h"
#include "base/utf16_text.h"
#include "crashreport/delivery/mail_recipients.h"

namespace brevant::crashreport {
namespace {

bool KeptAsItIs(unsigned char byte) {
    return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9') ||
           byte == '.' || byte == '@';
}

// Collects the command line, keeping no more than one unit beyond the limit: enough to
// know that it must be cut, however often the command repeats a long URL.
class BoundedLine {
public:
    void Append(std::u16string_view text) {
        const std::size_t room = kMaxCommandLineLength + 1 - std::min(line_.size(), kMaxCommandLineLength + 1);
        line_.append(text.substr(0, room));
    }
    bool EndsWith(char16_t unit) const { return !line_.empty() && line_.back() == unit; }

    std::u16string Finish() {
        if (line_.size() <= kMaxCommandLineLength) return std::move(line_);
        line_.resize(kMaxCommandLineLength);
        if (line_.back() == u'%') {
            line_.pop_back();
        } else if (line_[line_.size() - 2] == u'%') {
            line_.resize(line_.size() - 2);
        }
        return std::move(line_);
    }

private:
    std::u16string line_;
};

std::u16string MailtoAddresses(std::u16string_view command, std::u16string_view addresses) {
    std::u16string list = NormalizeRecipientList(addresses).text;
    if (FindReporterText(command, u"OUTLOOK") != std::u16string_view::npos)
        std::replace(list.begin(), list.end(), u',', u';');
    return list;
}

}  // namespace

std::u16string PercentEscapeForMailto(std::u16string_view text) {
    static constexpr char16_t kHexDigits[] = u"0123456789ABCDEF";
    std::u16string escaped;
    for (char byte : ToUtf8(text)) {
        const auto value = static_cast<unsigned char>(byte);
        if (KeptAsItIs(value)) {
            escaped += static_cast<char16_t>(value);
        } else {
            escaped += u'%';
            escaped += kHexDigits[value >> 4];
            escaped += kHexDigits[value & 15];
        }
    }
    return escaped;
}

std::u16string MailtoUrl(std::u16string_view addresses, std::u16string_view subject, std::u16string_view body) {
    return u"mailto:" + PercentEscapeForMailto(addresses) + u"?subject=" + PercentEscapeForMailto(subject) + u"&body=" +
           PercentEscapeForMailto(body);
}

std::u16string MailtoCommandLine(std::u16string_view command, std::u16string_view addresses,
                                 std::u16string_view subject, std::u16string_view body) {
    if (command.empty()) return {};
    const std::u16string url = MailtoUrl(MailtoAddresses(command, addresses), subject, body);
    BoundedLine line;
    bool replaced = false;
    std::size_t start = 0;
    for (std::size_t place = command.find(u"%1"); place != command.npos; place = command.find(u"%1", start)) {
        line.Append(command.substr(start, place - start));
        line.Append(url);
        replaced = true;
        start = place + 2;
    }
    line.Append(command.substr(start));
    if (!replaced) {
        if (!line.EndsWith(u' ')) line.Append(u" ");
        line.Append(url);
    }
    return line.Finish();
}

}  // namespace brevant::crashreport
