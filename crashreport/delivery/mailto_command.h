#pragma once
// The command line that hands a bug report mail to the program registered for mailto.

#include <cstddef>
#include <string>
#include <string_view>

namespace brevant::crashreport {

// The longest command line CreateProcessW takes.
constexpr std::size_t kMaxCommandLineLength = 32766;

// The text's UTF-8 bytes with every byte except A-Z, a-z, 0-9, "." and "@" written as "%"
// and two upper-case hexadecimal digits; mail clients differ in what else they accept raw.
std::u16string PercentEscapeForMailto(std::u16string_view text);

// "mailto:" + address + "?subject=" + subject + "&body=" + body, each part escaped.
std::u16string MailtoUrl(std::u16string_view addresses, std::u16string_view subject, std::u16string_view body);

// The registered command (already environment-expanded) with the URL in place of every
// "%1", or after it. Outlook wants its addresses separated by ";". Cut to the system's limit
// without splitting an escape. An empty command gives an empty line: there is nothing to start.
std::u16string MailtoCommandLine(std::u16string_view command, std::u16string_view addresses,
                                 std::u16string_view subject, std::u16string_view body);

}  // namespace brevant::crashreport
